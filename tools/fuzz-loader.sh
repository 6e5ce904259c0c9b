#!/usr/bin/env bash
# Fuzzes the design loader, the importer's inputs or the snapshot reader
# with libFuzzer (the "fuzz" preset: clang, address and undefined-behaviour
# sanitizers) and prints how many inputs ran.
#
#   tools/fuzz-loader.sh [-T target] [-t seconds] [-r runs] [-j jobs]
#
# -T: fuzz_loader (default), fuzz_import or fuzz_snapshot; -t: stop after
# this many seconds (default 60); -r: stop after this many runs in all
# instead (e.g. -r 10000000); -j: parallel jobs (default 1). The loader's
# corpus grows in build-fuzz/corpus (seeded from tests/fuzz/corpus), the
# importer's in build-fuzz/import/corpus (from tests/fuzz/import_corpus),
# the snapshot reader's in build-fuzz/snapshot/corpus (from
# tests/fuzz/snapshot_corpus); findings land in findings/ beside the corpus
# with the job's log in logs/, and the script then fails. Run from
# anywhere; builds what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

target=fuzz_loader
seconds=60
runs=0
jobs=1
while getopts "T:t:r:j:" option; do
  case $option in
    T) target=$OPTARG ;;
    t) seconds=$OPTARG ;;
    r) runs=$OPTARG ;;
    j) jobs=$OPTARG ;;
    *) echo "usage: $0 [-T fuzz_loader|fuzz_import|fuzz_snapshot] [-t seconds] [-r runs] [-j jobs]" >&2; exit 2 ;;
  esac
done
case $target in
  fuzz_loader) out=build-fuzz seeds=tests/fuzz/corpus dict=tests/fuzz/ncd.dict ;;
  fuzz_import) out=build-fuzz/import seeds=tests/fuzz/import_corpus dict=tests/fuzz/import.dict ;;
  fuzz_snapshot) out=build-fuzz/snapshot seeds=tests/fuzz/snapshot_corpus dict= ;;
  *) echo "$0: no fuzz target '$target' (fuzz_loader, fuzz_import or fuzz_snapshot)" >&2; exit 2 ;;
esac

cmake --preset fuzz >/dev/null
cmake --build build-fuzz -j2 --target "$target"
if [ "$target" = fuzz_snapshot ]; then
  # The seeds must be snapshots as this build writes them: the reader
  # refuses any other version outright, and the fuzzer would get no further.
  cmake --build build-fuzz -j2 --target snapshot_seeds
  designs=(tests/fuzz/corpus/*.json tests/data/tiny.ncd.json examples/demo.ncd.json)
  fresh=$(mktemp -d)
  build-fuzz/bin/snapshot_seeds "$fresh" "${designs[@]}" >/dev/null
  if ! diff -r -q "$fresh" $seeds >&2; then
    echo "$0: $seeds is out of date; make it again:" >&2
    echo "  rm $seeds/*; build-fuzz/bin/snapshot_seeds $seeds ${designs[*]}" >&2
    rm -rf "$fresh"
    exit 1
  fi
  rm -rf "$fresh"
fi
mkdir -p $out/corpus $out/findings $out/logs
rm -f $out/logs/*.log

limit=(-max_total_time="$seconds")
[ "$runs" -gt 0 ] && limit=(-runs=$(( (runs + jobs - 1) / jobs )))
options=(${dict:+-dict=$dict} -artifact_prefix=$out/findings/ -print_final_stats=1
         -timeout=10 -rss_limit_mb=2048 "${limit[@]}")

status=0
for ((job = 0; job < jobs; ++job)); do
  build-fuzz/bin/$target "${options[@]}" $out/corpus $seeds > "$out/logs/job$job.log" 2>&1 &
done
for ((job = 0; job < jobs; ++job)); do
  wait -n || status=1
done

total=0
for log in $out/logs/*.log; do
  done_runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  total=$(( total + ${done_runs:-0} ))
done
echo "$target: $total runs in $jobs job(s), corpus $(ls $out/corpus | wc -l) inputs"
if [ $status -ne 0 ]; then
  echo "$target: FINDING; logs in $out/logs, inputs in $out/findings:" >&2
  grep -h -A30 "ERROR\|finding\|deadly signal" $out/logs/*.log | head -60 >&2 || true
  ls $out/findings >&2
fi
exit $status
