#!/bin/sh
# Runs every benchmark (the bench_* programs in the folder given), each in
# the tests' sandbox and each to its end, whatever the ones before it did.
# A benchmark marks a figure over its limit with "EXCEEDED" on the figure's
# line and exits non-zero. At the end the marked lines are listed again,
# with the benchmarks that failed without a mark, and the run fails when
# there was any.
set -u
dir=${1:?usage: run-benchmarks.sh <folder of the bench_* programs>}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/benchruns.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT INT TERM
: >"$work/summary"
count=0
for bench in "$dir"/bench_*; do
  [ -x "$bench" ] || continue
  count=$((count + 1))
  name=$(basename "$bench")
  echo "== $bench"
  # Shown as it comes and kept; the pipe would lose the status.
  { "$here/../tests/run-test.sh" "$bench" 2>&1; echo $? >"$work/status"; } | tee "$work/output"
  status=$(cat "$work/status")
  if grep -q 'EXCEEDED' "$work/output"; then
    grep 'EXCEEDED' "$work/output" | sed "s|^|$name: |" >>"$work/summary"
  elif [ "$status" -ne 0 ]; then
    echo "$name: failed with exit status $status" >>"$work/summary"
  fi
done
if [ "$count" -eq 0 ]; then
  echo "No benchmark in $dir (configure with -DBUILD_BENCH=ON)." >&2
  exit 1
fi
if [ -s "$work/summary" ]; then
  echo "== Limits exceeded, or benchmarks that failed:"
  cat "$work/summary"
  exit 1
fi
echo "== Every benchmark kept its limits."
