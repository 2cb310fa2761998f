#!/usr/bin/env bash
# Builds both programs: build/win32/Chronobel.exe and build/native/chronobel,
# with the test executables of every tier.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}

cmake --preset win32 >/dev/null
cmake --build build/win32 -j "$jobs"
cmake --preset native -DCHRONOBEL_WIN32_BUILD="$PWD/build/win32" -DCHRONOBEL_TSAN_BUILD="$PWD/build/tsan" >/dev/null
cmake --build build/native -j "$jobs"
# The worker and the engine run again under ThreadSanitizer.
cmake --preset tsan -DCHRONOBEL_WIN32_BUILD= >/dev/null
cmake --build build/tsan -j "$jobs" --target chronobel_unit_tests
