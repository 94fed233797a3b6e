#!/usr/bin/env bash
# Runs every fuzz target for the given number of seconds each (default 10)
# and prints a table of executions per target. A finding fails the run and
# leaves the input in build/fuzz/findings/.
#   bash scripts/fuzz.sh            short run (CI)
#   bash scripts/fuzz.sh 1800       long run
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 >/dev/null
mkdir -p build/fuzz/findings
status=0
echo "| target | seconds | executions | findings |"
echo "|---|---|---|---|"
for target in build/fuzz/tests/fuzz/fuzz_*; do
  name=$(basename "$target")
  corpus=build/fuzz/corpus/$name
  mkdir -p "$corpus"
  log=build/fuzz/$name.log
  if "$target" "$corpus" -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix=build/fuzz/findings/"$name"- >"$log" 2>&1; then
    findings=0
  else
    findings=1
    status=1
  fi
  runs=$(grep -o 'Done [0-9]* runs' "$log" | awk '{print $2}' | tail -1)
  echo "| $name | $seconds | ${runs:-?} | $findings |"
done
exit $status
