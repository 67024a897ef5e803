#!/usr/bin/env bash
# Builds Kalmix (installing what it needs) and runs every test: a short libFuzzer run of each
# fuzz target, the suite once more in a build with AddressSanitizer and
# UndefinedBehaviorSanitizer, then the whole suite under CTest, headless.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

# The fuzz targets need clang's libFuzzer: a small build of their own.
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALMIX_FUZZ=ON \
    -DKALMIX_WERROR=OFF > build-fuzz.log 2>&1 || { cat build-fuzz.log; exit 1; }
cmake --build build-fuzz -j"$(nproc)" --target ini_fuzzer lng_fuzzer log_fuzzer \
    >> build-fuzz.log 2>&1 || { cat build-fuzz.log; exit 1; }
for target in ini lng log; do
    mkdir -p "build-fuzz/corpus-$target"
    cp "fuzz/corpus/$target/"* "build-fuzz/corpus-$target/"
    echo "Fuzzing $target for 20 s..."
    "./build-fuzz/fuzz/${target}_fuzzer" -max_total_time=20 -max_len=65536 \
        -print_final_stats=0 "build-fuzz/corpus-$target" 2> "build-fuzz/$target.log" ||
        { tail -50 "build-fuzz/$target.log"; exit 1; }
    tail -1 "build-fuzz/$target.log"
done

# The sanitizers' build; the end-to-end tests preload a probe, which the address sanitizer's
# runtime does not allow, and the installation test starts the program as another user, so
# these run in the plain build only.
echo "Building and testing with AddressSanitizer and UndefinedBehaviorSanitizer..."
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKALMIX_SANITIZE=ON > build-asan.log 2>&1 ||
    { cat build-asan.log; exit 1; }
cmake --build build-asan -j"$(nproc)" >> build-asan.log 2>&1 || { tail -50 build-asan.log; exit 1; }
QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -E '^(e2e_|installed_as_user)' > build-asan/ctest.log 2>&1 ||
    { cat build-asan/ctest.log; exit 1; }
tail -1 build-asan/ctest.log

QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure
