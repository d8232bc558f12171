#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite headless.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"
tess_install_packages
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc 2>/dev/null || echo 2)

tess_build "$TESS_ROOT/build/test" -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir "$TESS_ROOT/build/test" --output-on-failure -j "$jobs"

# Sanitizer pass: the whole suite again, built with clang under
# AddressSanitizer and UndefinedBehaviorSanitizer. Any report fails a test.
sanitize_dir="$TESS_ROOT/build/test-sanitize"
CC=clang CXX=clang++ tess_build "$sanitize_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTESSIVANEV_SANITIZE=ON -DTESSIVANEV_BENCH=OFF
LSAN_OPTIONS="suppressions=$TESS_ROOT/fuzz/lsan.supp" \
  ctest --test-dir "$sanitize_dir" --output-on-failure -j "$jobs"

# The picture-loading fuzz targets, briefly, on their seed corpus and every
# kept finding (fuzz/run_fuzzers.sh); any finding fails.
fuzz_dir="$TESS_ROOT/build/test-fuzz"
CC=clang CXX=clang++ cmake -S "$TESS_ROOT" -B "$fuzz_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTESSIVANEV_SANITIZE=ON -DTESSIVANEV_FUZZ=ON -DTESSIVANEV_TESTS=OFF -DTESSIVANEV_BENCH=OFF >/dev/null
cmake --build "$fuzz_dir" --target load_bytes_fuzzer load_path_fuzzer
"$TESS_ROOT/fuzz/run_fuzzers.sh" "$fuzz_dir" 20000 60
