#!/usr/bin/env bash
# Builds everything and runs every test: the formatting check, the build with
# warnings as errors, all test programs (window tests on the offscreen
# platform), clang-tidy, the tests of every room but the window's again under
# AddressSanitizer and UndefinedBehaviorSanitizer, the engine tests, runs on
# threads and the window's runs under ThreadSanitizer, and the fuzzers' corpus.
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
cmake --build build-asan --target engine_tests engine_thread_tests data_tests runs_tests \
  forecasting_tests records_tests batch_tests batch_thread_tests cli_tests quarvel-cli
ctest --test-dir build-asan --output-on-failure -j2

# ThreadSanitizer: the engine's tests (fitting on two threads among them), runs
# of several streams on threads of one process, and the window's runs, whose
# generations run off the GUI thread. Qt is not built with the sanitizer; the
# suppressions leave out only what Qt calls itself.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan-suppressions.txt"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARVEL_TSAN=ON \
  -DQUARVEL_BUILD_BENCH=OFF
cmake --build build-tsan --target engine_tests engine_thread_tests batch_thread_tests test_run \
  test_run_failures
ctest --test-dir build-tsan/tests/engine --output-on-failure -j2
build-tsan/tests/batch/batch_thread_tests
ctest --test-dir build-tsan/tests/ui --output-on-failure -R '^test_run(_failures)?$'

# libFuzzer needs clang; only the fuzz targets are built there.
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DQUARVEL_FUZZ=ON -DQUARVEL_BUILD_TESTS=OFF -DQUARVEL_BUILD_GUI=OFF -DQUARVEL_BUILD_BENCH=OFF
cmake --build build-fuzz --target fuzzers
ctest --test-dir build-fuzz --output-on-failure -j2
