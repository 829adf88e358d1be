#!/bin/sh
# Installs what is missing, checks the code style, builds everything and runs every test; then
# builds the Qt-free libraries alone (tag library, folder walker, platform core, rules, CD and
# encoder components) under AddressSanitizer and UndefinedBehaviorSanitizer and runs their tests
# (leaks included); then the whole program the same way, leaks aside (Qt keeps caches for the
# life of the process); then a few seconds of every fuzz target. Every build here treats
# warnings as errors.
set -e
cd "$(dirname "$0")/.."
scripts/setup.sh build -DSONOVERNE_WERROR=ON
scripts/check-format.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j "$(nproc)"

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSONOVERNE_CORE_ONLY=ON -DSONOVERNE_SANITIZE=ON \
  -DSONOVERNE_WERROR=ON
cmake --build build-sanitize
ctest --test-dir build-sanitize --output-on-failure -j "$(nproc)"

cmake -S . -B build-sanitize-app -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSONOVERNE_SANITIZE=ON -DSONOVERNE_WERROR=ON
cmake --build build-sanitize-app
ASAN_OPTIONS=detect_leaks=0 ctest --test-dir build-sanitize-app --output-on-failure -j "$(nproc)"

scripts/fuzz-smoke.sh
