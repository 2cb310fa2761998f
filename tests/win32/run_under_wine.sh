#!/usr/bin/env bash
# Runs a program under Wine in the prefix of a Windows build tree:
#   run_under_wine.sh WIN32_BUILD PROGRAM [ARGUMENTS...]
# and ends with the program's own exit code.
set -euo pipefail
build=$1
shift
# shellcheck source=../../tools/wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../tools/wine-env.sh" "$build"
exec wine "$@"
