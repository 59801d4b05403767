#!/usr/bin/env bash
# Builds everything and runs every test: the formatting check, the build with
# warnings as errors, all test programs (window tests on the offscreen
# platform), clang-tidy, the engine, front-end and runner tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzzers' corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/check-format.sh
export QT_QPA_PLATFORM=offscreen
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUARVEL_WERROR=ON
cmake --build build
ctest --test-dir build --output-on-failure -j2
bash scripts/tidy.sh build

# The window is left out: Qt is not built with the sanitizers, and its tests run above.
export ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARVEL_SANITIZE=ON \
  -DQUARVEL_BUILD_GUI=OFF -DQUARVEL_BUILD_BENCH=OFF
cmake --build build-asan --target engine_tests frontend_tests cli_tests quarvel-cli
ctest --test-dir build-asan --output-on-failure -j2

# libFuzzer needs clang; only the fuzz targets are built there.
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DQUARVEL_FUZZ=ON -DQUARVEL_BUILD_TESTS=OFF -DQUARVEL_BUILD_GUI=OFF -DQUARVEL_BUILD_BENCH=OFF
cmake --build build-fuzz --target fuzzers
ctest --test-dir build-fuzz --output-on-failure -j2
