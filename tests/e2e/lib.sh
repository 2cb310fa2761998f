# Sourced by the whole-program tests: a private X display, the Windows
# program in a temporary copy of its directory, and a probe that looks at
# its window from outside. Everything started here is stopped by its pid.

# Where the network is more than this machine's loopback, the calling test
# runs again in a namespace of its own (unshare -n, loopback up, through
# tools/loopback_only.sh), so that nothing it presses can look up the default
# list's public servers. tools/test.sh runs every test in such a namespace.
if [ -z "${CHRONOBEL_LOOPBACK_ONLY:-}" ]; then
  CHRONOBEL_LOOPBACK_ONLY=1 exec bash "$(dirname "${BASH_SOURCE[0]}")/../../tools/loopback_only.sh" bash "$0" "$@"
fi

e2e_fail() { echo "FAIL: $*" >&2; exit 1; }
e2e_note() { echo "e2e: $*"; }

e2e_pids=()
e2e_cleanup() {
  local pid
  for pid in "${e2e_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${e2e_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  if [ -z "${CHRONOBEL_KEEP_WINESERVER:-}" ] && [ -n "${WINEPREFIX:-}" ]; then wineserver -k 2>/dev/null || true; fi
  [ -n "${e2e_work:-}" ] && rm -rf "$e2e_work"
}
trap e2e_cleanup EXIT

# e2e_start_display: starts Xvfb on the first free display number and
# exports DISPLAY.
e2e_start_display() {
  local n
  for n in $(seq 90 160); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    e2e_pids+=($!)
    local tries
    for tries in $(seq 1 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "${e2e_pids[-1]}" 2>/dev/null || break
      sleep 0.1
    done
    if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "${e2e_pids[-1]}" 2>/dev/null; then
      export DISPLAY=":$n"
      return 0
    fi
  done
  e2e_fail "no free X display"
}

# e2e_prepare WIN32_BUILD: the Wine prefix of that tree, and a temporary
# copy of the program's directory in $e2e_work, so that the program's data
# files land there.
e2e_prepare() {
  local build=$1
  [ -f "$build/Chronobel.exe" ] || e2e_fail "no $build/Chronobel.exe"
  # shellcheck source=../../tools/wine-env.sh
  source "$(dirname "${BASH_SOURCE[0]}")/../../tools/wine-env.sh" "$build"
  e2e_probe="$build/tests/win32/window_probe.exe"
  [ -f "$e2e_probe" ] || e2e_fail "no $e2e_probe"
  e2e_work=$(mktemp -d "${TMPDIR:-/tmp}/chronobel-e2e-XXXXXX")
  e2e_use_program_dir "$e2e_work"
  cp "$build/Chronobel.exe" "$e2e_program_dir/"
}

# e2e_use_program_dir DIR: Chronobel.exe runs from DIR (made if missing); the
# probe then looks only at the window of a program started from there.
e2e_use_program_dir() {
  e2e_program_dir=$1
  mkdir -p "$e2e_program_dir"
  # Wine shows the Unix file system as drive Z:.
  e2e_program_windows_path="Z:$(printf '%s' "$e2e_program_dir/Chronobel.exe" | tr / '\\')"
}

# e2e_start_program [SWITCHES...]: starts Chronobel.exe in $e2e_program_dir; its
# pid is $e2e_program.
e2e_start_program() {
  (cd "$e2e_program_dir" && exec wine Chronobel.exe "$@") >"$e2e_work/program.log" 2>&1 &
  e2e_program=$!
  e2e_pids+=("$e2e_program")
}

# e2e_probe_run ARGS...: runs the window probe on this test's program.
e2e_probe_run() { wine "$e2e_probe" --program "$e2e_program_windows_path" "$@"; }

# e2e_await_window shown|wait SECONDS: asks the probe in short turns until the
# window is there, and gives up at once when the program has ended.
e2e_await_window() {
  local how=$1 limit=$2 waited=0
  while [ "$waited" -lt "$limit" ]; do
    e2e_probe_run "$how" 10 && return 0
    kill -0 "$e2e_program" 2>/dev/null || { e2e_note "the program ended without a window"; return 1; }
    waited=$((waited + 10))
  done
  return 1
}

# e2e_wait_for_exit SECONDS: waits for the program to end; its exit code is
# then in $e2e_exit_code.
e2e_wait_for_exit() {
  local limit=$1 waited=0
  while kill -0 "$e2e_program" 2>/dev/null; do
    [ "$waited" -ge "$((limit * 10))" ] && e2e_fail "the program did not end within $limit s"
    sleep 0.1
    waited=$((waited + 1))
  done
  e2e_exit_code=0
  wait "$e2e_program" || e2e_exit_code=$?
}
