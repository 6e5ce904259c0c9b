#!/bin/sh
# The side-by-side of name queries on one generated netlist: ncdsh's
# get_blocks next to Tcl's lsearch over the same names in the same process
# (bench/tcl/query_speed.tcl, which also times exact names, paths below a
# module and get_pins), and Yosys `select -count` over the same blocks as
# the cells of one module, where Yosys is installed.
#
#   bench/select_side_by_side.sh [BLOCKS [GLOB]]     (defaults: 1000000 '*c1*')
#
# The design is made by ncdgen (seed 1) in $NCD_BENCH_DATA (default
# build/bench-data) unless it is there already, as the benchmarks do; the
# build is $NCD_BUILD (default build).
set -eu
blocks=${1:-1000000}
glob=${2:-*c1*}
here=$(cd "$(dirname "$0")/.." && pwd)
build=${NCD_BUILD:-$here/build}
data=${NCD_BENCH_DATA:-$build/bench-data}
mkdir -p "$data"
design=$data/ncdgen1_b${blocks}_s1.json
[ -f "$design" ] || "$build/bin/ncdgen" --blocks "$blocks" --seed 1 -o "$design"
cells=$(mktemp "${TMPDIR:-/tmp}/select_cells.XXXXXX.json")
log=$(mktemp "${TMPDIR:-/tmp}/select_yosys.XXXXXX.log")
trap 'rm -f "$cells" "$log"' EXIT

CIT_COMPONENT_PATH=$build/lib "$build/bin/ncdsh" "$here/bench/tcl/query_speed.tcl" \
  "$design" "$glob" u1 "$cells"

if ! command -v yosys > /dev/null; then
  echo "yosys is not installed: no Yosys figures"
  exit 0
fi
count=$(grep -c '"type":"B"' "$cells")
# Three selections after the read; -d prints the time each kind of pass took.
yosys -d -p "read_json $cells; select -count top/c:$glob; select -count top/c:$glob; select -count top/c:$glob" \
  > "$log" 2>&1
matched=$(grep -m1 'objects\.' "$log" | awk '{print $1}')
awk -v cells="$count" -v glob="$glob" -v matched="$matched" '
  / calls .* sec select$/ { per = $4 / $2 * 1e9 / cells
    printf "%-58s %12.1f ns   (%s cells, %s match)\n", "yosys select -count top/c:" glob ", per cell", per, cells, matched }
  / calls .* sec read_json$/ { printf "%-58s %12.1f s\n", "yosys read_json", $4 }' "$log"
