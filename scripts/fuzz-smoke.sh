#!/bin/sh
# A short run of every fuzz target (a few seconds each, under ASan and UBSan), so that a parser
# that crashes on the first mutations of the tests' fixtures fails the test command. Skipped
# where clang or its libFuzzer is missing.
set -e
cd "$(dirname "$0")/.."
probe="$(mktemp -d)"
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' >"$probe/p.cpp"
if ! command -v clang++ >/dev/null 2>&1 ||
   ! clang++ -fsanitize=fuzzer,address,undefined "$probe/p.cpp" -o "$probe/p" >/dev/null 2>&1; then
  echo "fuzz smoke run skipped: clang++ with libFuzzer is not installed (package libclang-rt-14-dev)"
  exit 0
fi
scripts/fuzz.sh "${FUZZ_SMOKE_SECONDS:-5}"
