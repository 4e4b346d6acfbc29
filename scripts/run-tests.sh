#!/usr/bin/env bash
# Builds Brisvane and runs every test. BUILD_DIR and CMAKE_ARGS choose another build, e.g.
#   BUILD_DIR=build-asan CMAKE_ARGS=-DBRISVANE_SANITIZE=ON scripts/run-tests.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build="${BUILD_DIR:-build}"
# shellcheck disable=SC2086
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" ${CMAKE_ARGS:-}
# As many jobs as the machine has cores; Ninja would start more.
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 600
