#!/bin/bash
# bench.sh [BENCH...] - runs the benchmarks (they print figures and assert nothing about
# time): the Wine bench_* suites of the driver, each in its own prefix. Builds first.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
bash "$ROOT/scripts/build.sh" >/dev/null || exit 1
benches=("$@")
if [ ${#benches[@]} -eq 0 ]; then
  for f in "$ROOT"/tests/e2e/bench_*_e2e.cpp; do b=$(basename "$f" _e2e.cpp); benches+=("$b"); done
fi
status=0
for b in "${benches[@]}"; do
  bash "$ROOT/tests/e2e/run-suite.sh" "$ROOT/build/win64" "$b" | grep -E 'BENCH|FAIL|passed' || status=1
done
exit $status
