#!/usr/bin/env bash
# Builds the data-file fuzz targets with clang (libFuzzer, ASan, UBSan) in
# build/fuzz and runs each for a bounded time. Usage: tools/fuzz.sh [seconds]
# (default 20 per target). Fails when a target reports a finding.
set -euo pipefail

seconds=${1:-20}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz

cmake -S "$root/tests/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2

# Seeds: the built-in defaults, plus a few edge shapes the rules care about.
seed() {
    local target=$1 corpus=$build/corpus/$1
    mkdir -p "$corpus"
    cp "$root/resources/Strings.txt" "$corpus/default-strings"
    cp "$root/resources/ServFile.txt" "$corpus/default-servers"
    printf '#c\r\nab\r\nabc\r\n\r\nx#y\r\nlast' >"$corpus/rules"
    printf 'one\ntwo\nthree\n' >"$corpus/lf-only"
    head -c 700 /dev/zero | tr '\0' 'a' >"$corpus/long-line"
    printf '\r\nnext\r\n' >>"$corpus/long-line"
}

failed=0
for target in ui_strings_fuzz server_list_fuzz; do
    seed "$target"
    mkdir -p "$build/findings"
    echo "fuzzing $target for ${seconds}s"
    if ! setpriv --bounding-set=-sys_time -- "$build/$target" \
            -max_total_time="$seconds" -max_len=8192 -timeout=10 \
            -artifact_prefix="$build/findings/$target-" -print_final_stats=1 \
            "$build/corpus/$target" >"$build/$target.log" 2>&1; then
        echo "FINDING in $target (see $build/$target.log and $build/findings/)" >&2
        tail -n 40 "$build/$target.log" >&2
        failed=1
    else
        grep -E '^stat::number_of_executed_units' "$build/$target.log" || true
    fi
done
exit $failed
