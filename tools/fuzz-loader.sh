#!/usr/bin/env bash
# Fuzzes the design loader with libFuzzer (the "fuzz" preset: clang, address
# and undefined-behaviour sanitizers) and prints how many inputs ran.
#
#   tools/fuzz-loader.sh [-t seconds] [-r runs] [-j jobs]
#
# -t: stop after this many seconds (default 60); -r: stop after this many
# runs in all instead (e.g. -r 10000000); -j: parallel jobs (default 1).
# The corpus grows in build-fuzz/corpus (seeded from tests/fuzz/corpus);
# findings land in build-fuzz/findings with the job's log, and the script
# then fails. Run from anywhere; builds what it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
runs=0
jobs=1
while getopts "t:r:j:" option; do
  case $option in
    t) seconds=$OPTARG ;;
    r) runs=$OPTARG ;;
    j) jobs=$OPTARG ;;
    *) echo "usage: $0 [-t seconds] [-r runs] [-j jobs]" >&2; exit 2 ;;
  esac
done

cmake --preset fuzz >/dev/null
cmake --build build-fuzz -j2 --target fuzz_loader
mkdir -p build-fuzz/corpus build-fuzz/findings build-fuzz/logs
rm -f build-fuzz/logs/*.log

limit=(-max_total_time="$seconds")
[ "$runs" -gt 0 ] && limit=(-runs=$(( (runs + jobs - 1) / jobs )))
options=(-dict=tests/fuzz/ncd.dict -artifact_prefix=build-fuzz/findings/ -print_final_stats=1
         -timeout=10 -rss_limit_mb=2048 "${limit[@]}")

status=0
for ((job = 0; job < jobs; ++job)); do
  build-fuzz/bin/fuzz_loader "${options[@]}" build-fuzz/corpus tests/fuzz/corpus \
      > "build-fuzz/logs/job$job.log" 2>&1 &
done
for ((job = 0; job < jobs; ++job)); do
  wait -n || status=1
done

total=0
for log in build-fuzz/logs/*.log; do
  done_runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  total=$(( total + ${done_runs:-0} ))
done
echo "fuzz_loader: $total runs in $jobs job(s), corpus $(ls build-fuzz/corpus | wc -l) inputs"
if [ $status -ne 0 ]; then
  echo "fuzz_loader: FINDING; logs in build-fuzz/logs, inputs in build-fuzz/findings:" >&2
  grep -h -A30 "ERROR\|finding\|deadly signal" build-fuzz/logs/*.log | head -60 >&2 || true
  ls build-fuzz/findings >&2
fi
exit $status
