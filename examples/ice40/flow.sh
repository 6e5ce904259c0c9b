#!/usr/bin/env bash
# Regenerates the imported iCE40 examples from their Verilog: yosys
# synthesises each design, nextpnr-ice40 places and routes it with its PCF
# and a fixed seed, ncdimport imports the result and ncdplot draws it.
#
#   tools/install-deps.sh --flow   # yosys and nextpnr-ice40, for this script only
#   cmake --preset default && cmake --build build -j2 --target ncdimport ncdplot
#   examples/ice40/flow.sh [design...]
#
# Writes, for each design D: flow/D.pnr.json.gz and flow/D.sdf.gz (what
# nextpnr wrote, the importer's test inputs), D.ncd.json.gz (the imported
# design) and docs/ice40/D.svg (its picture), and prints the time each step
# took. Everything is written compressed with gzip -n, so that the same
# tools give the same bytes. With Chromium at hand it also takes the
# screenshot of the counter's placement page that the README shows
# (docs/ice40/counter-page.png).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
bin=${NCD_BIN:-$root/build/bin}
seed=1

# design  device  package  picture options
designs=(
  "counter hx1k tq144"
  "uart    hx1k tq144"
  "alu     hx1k tq144"
  "fill    hx8k ct256 --max-fanout 0"
  "sampler hx8k ct256"
  "glow    up5k sg48"
)

for tool in yosys nextpnr-ice40 "$bin/ncdimport" "$bin/ncdplot"; do
  command -v "$tool" > /dev/null || { echo "flow.sh: '$tool' is missing (see the comment at the top)" >&2; exit 1; }
done

wanted=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$here/flow" "$root/docs/ice40"

seconds() { local start=$1; echo "$(( $(date +%s%N) / 1000000 - start ))" | awk '{printf "%.2f s", $1 / 1000}'; }
now() { echo $(( $(date +%s%N) / 1000000 )); }

for entry in "${designs[@]}"; do
  read -r design device package plot <<< "$entry"
  if [ ${#wanted[@]} -gt 0 ] && [[ ! " ${wanted[*]} " == *" $design "* ]]; then continue; fi
  # Relative names keep the machine's folders out of what the tools record.
  cp "$here/$design.v" "$here/$design.pcf" "$work/"
  cd "$work"
  t=$(now)
  yosys -q -p "synth_ice40 -top $design -json $design.syn.json" "$design.v"
  echo "$design: yosys $(seconds "$t")"
  t=$(now)
  nextpnr-ice40 "--$device" --package "$package" --pcf "$design.pcf" --pcf-allow-unconstrained \
    --seed "$seed" --json "$design.syn.json" --write "$design.pnr.json" --sdf "$design.sdf" -q
  echo "$design: nextpnr-ice40 $(seconds "$t") ($(stat -c %s "$design.pnr.json") bytes of JSON, $(stat -c %s "$design.sdf") of SDF)"
  t=$(now)
  "$bin/ncdimport" --sdf "$design.sdf" --pcf "$design.pcf" -o "$design.ncd.json" "$design.pnr.json" 2> "$design.notes"
  echo "$design: ncdimport $(seconds "$t") ($(stat -c %s "$design.ncd.json") bytes)"
  gzip -9n -c "$design.pnr.json" > "$here/flow/$design.pnr.json.gz"
  gzip -9n -c "$design.sdf" > "$here/flow/$design.sdf.gz"
  gzip -9n -c "$design.ncd.json" > "$here/$design.ncd.json.gz"
  # shellcheck disable=SC2086 # the picture options are words
  "$bin/ncdplot" $plot -o "$root/docs/ice40/$design.svg" "$here/$design.ncd.json.gz"
  cd "$root"
done

# The counter's page with its u_cnt comps found and one comp clicked, as
# headless Chromium shows it.
if [ ${#wanted[@]} -eq 0 ] || [[ " ${wanted[*]} " == *" counter "* ]]; then
  if command -v chromium > /dev/null; then
    "$bin/ncdplot" --html -o "$work/counter.html" "$here/counter.ncd.json.gz"
    chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
      --disable-background-networking --disable-component-update --disable-sync \
      --user-data-dir="$work/profile" --window-size=1200,700 --virtual-time-budget=5000 \
      --screenshot="$root/docs/ice40/counter-page.png" \
      "file://$work/counter.html#search=u_cnt/*&select=u_cnt/count_SB_LUT4_I3_LC" 2> /dev/null
    echo "counter: page screenshot docs/ice40/counter-page.png"
  fi
fi
