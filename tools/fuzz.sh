#!/usr/bin/env bash
# Builds the fuzz targets of every parser of outside bytes with clang
# (libFuzzer, ASan, UBSan) in build/fuzz and runs each for a bounded time.
# Usage: tools/fuzz.sh [seconds] (default 20 per target). Fails when a target
# reports a finding.
set -euo pipefail

seconds=${1:-20}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz
targets="ui_strings_fuzz server_list_fuzz settings_file_fuzz sntp_reply_fuzz time_reply_fuzz sntp_request_fuzz pipe_request_fuzz"

cmake -S "$root/tests/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2

# Seeds: the shapes each parser cares about; libFuzzer takes it from there.
seed() {
    local target=$1 corpus=$build/corpus/$1
    mkdir -p "$corpus"
    case $target in
    ui_strings_fuzz | server_list_fuzz)
        cp "$root/resources/Strings.txt" "$corpus/default-strings"
        cp "$root/resources/ServFile.txt" "$corpus/default-servers"
        printf '#c\r\nab\r\nabc\r\n\r\nx#y\r\nlast' >"$corpus/rules"
        printf 'one\ntwo\nthree\n' >"$corpus/lf-only"
        head -c 700 /dev/zero | tr '\0' 'a' >"$corpus/long-line"
        printf '\r\nnext\r\n' >>"$corpus/long-line"
        ;;
    settings_file_fuzz)
        # "SYNC2000", a record of zeros with its size field (332), and the
        # byte that keeps the size field as it is.
        { printf 'SYNC2000'; head -c 52 /dev/zero; printf '\x4c\x01\x00\x00'; head -c 276 /dev/zero
          printf '\x00'; } >"$corpus/zero-record"
        head -c 100 /dev/zero >"$corpus/short"
        ;;
    sntp_reply_fuzz)
        # A server reply (mode 4, stratum 2) of 2020-01-01 12:00, then T1 and T4.
        { printf '\x1c\x02\x06\xf6'; head -c 28 /dev/zero
          printf '\xe1\xb7\x08\x40\x80\x00\x00\x00\xe1\xb7\x08\x40\x80\x00\x00\x00'
          printf '\x00\x40\xe0\xfd\x3b\x37\x4f\x01\x00\x40\xe0\xfd\x3b\x37\x4f\x01'; } >"$corpus/reply"
        ;;
    time_reply_fuzz)
        { printf '\xe1\xb7\x08\x40\x04'; head -c 4 /dev/zero; printf '\x00\x00\xd5\x01'
          head -c 4 /dev/zero; printf '\x00\x00\xd9\x01\x03'; } >"$corpus/in-range"
        ;;
    sntp_request_fuzz)
        # A client request, one with an authenticator (68 bytes), a reply
        # (mode 4), and a short datagram before a request.
        { printf '\x30\x1b'; head -c 47 /dev/zero; } >"$corpus/request"
        { printf '\x44\x23'; head -c 67 /dev/zero; } >"$corpus/authenticated"
        { printf '\x30\x1c'; head -c 47 /dev/zero; } >"$corpus/reply"
        { printf '\x01\x1b\x30\x0b'; head -c 47 /dev/zero | tr '\0' 'r'; } >"$corpus/short-then-request"
        ;;
    pipe_request_fuzz)
        # Steps of a client: a whole request at once, the same split in two
        # slow halves, one byte too many, and a request that ends the message.
        printf '\x10CB\x01c' >"$corpus/request"
        printf '\x68CB\x68\x01k' >"$corpus/split"
        printf '\x14CB\x01cc' >"$corpus/too-long"
        printf '\x13CB\x01c' >"$corpus/ended"
        ;;
    esac
}

failed=0
for target in $targets; do
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
