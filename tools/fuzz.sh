#!/usr/bin/env bash
# Runs each libFuzzer target for the given number of seconds (default 60),
# after replaying the kept regression inputs under fuzz/regressions/<target>/.
# A crash input is written there, to be committed as a new regression case.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
. tools/deps.sh
ensure_packages cmake make clang libclang-rt-14-dev libgtest-dev libssl-dev
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
status=0
for target in argument_count locations folder_tree sha256 kit_manifest; do
  regressions=fuzz/regressions/$target
  corpus=build/fuzz/corpus/$target
  mkdir -p "$regressions" "$corpus"
  echo "== $target: $seconds s"
  if ! build/fuzz/fuzz/${target}_fuzz -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$regressions/" "$corpus" "$regressions" 2>build/fuzz/$target.log; then
    status=1
    tail -30 build/fuzz/$target.log
    echo "$target: crash input kept in $regressions/"
  fi
  grep -E "stat::number_of_executed_units" build/fuzz/$target.log | sed "s/^/$target /" || true
done
exit $status
