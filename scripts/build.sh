#!/bin/bash
# build.sh - configures and builds the three trees under build/:
#   build/native  pure logic + unit tests (ASan/UBSan)
#   build/win64   tolvik.exe (x86_64, runs under wine64) + Windows test programs
#   build/win32   tolvik.exe (i686, the shipped build)
# and build/fuzz (clang, libFuzzer) when FUZZ=1.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
B=$ROOT/build
JOBS=${JOBS:-2}
cmake -S "$ROOT" -B "$B/native" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$B/native" -j"$JOBS"
cmake -S "$ROOT" -B "$B/win64" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-x86_64-w64-mingw32.cmake" >/dev/null
cmake --build "$B/win64" -j"$JOBS"
cmake -S "$ROOT" -B "$B/win32" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-i686-w64-mingw32.cmake" >/dev/null
cmake --build "$B/win32" -j"$JOBS"
if [ "${FUZZ:-0}" = 1 ]; then
  CC=clang CXX=clang++ cmake -S "$ROOT" -B "$B/fuzz" -DTOLVIK_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$B/fuzz" -j"$JOBS"
fi
