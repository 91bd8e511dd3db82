#!/usr/bin/env bash
# Builds the benchmarks optimised and runs them all (or the ones named: loading naming newnames replan pattern
# regexlimit plan rename undo checksums copy window windowrun metadata photocolumn). Each prints Mervane's figure beside a reference measured in the same
# run, and the ratio of the two.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/tools/install-deps.sh" --bench >&2
cmake -S "$here" -B "$here/build/bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMERVANE_TESTS=OFF -DMERVANE_TEST_SWITCHES=ON >/dev/null
cmake --build "$here/build/bench" >&2
names=("$@")
[ ${#names[@]} -gt 0 ] || names=(loading naming plan newnames replan pattern regexlimit rename undo checksums copy window windowrun metadata photocolumn)
for name in "${names[@]}"; do
  echo "== $name"
  "$here/build/bench/bench/bench_$name"
done
