#!/usr/bin/env bash
# Runs every test tier: native unit tests (ASan + UBSan), the same tests
# under ThreadSanitizer, the Win32 tests under Wine, whole-program tests and
# the fuzz targets, all from one CTest run.
#
# Nothing here may set this machine's clock: the whole run goes without the
# right to set it, so even a faulty test meets EPERM instead. Nor may a test
# reach beyond this machine: the run has a network of its own with loopback
# only.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh
bash tools/build.sh
exec setpriv --bounding-set=-sys_time -- bash tools/loopback_only.sh \
  ctest --test-dir build/native --output-on-failure --timeout 300 -j "${JOBS:-2}" "$@"
