# Sourced by the scripts: kolm_ensure_display starts Xvfb on a free display number when there
# is no usable display, exports DISPLAY, and stops it when the calling script exits.
# Xvfb runs with -noreset: otherwise it resets whenever its last client disconnects, and a
# program that opens its next window right then fails to connect.
kolm_xvfb_pid=""
kolm_ensure_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in $(seq 90 120); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
      kolm_xvfb_pid=$!
      export DISPLAY=":$n"
      trap 'kill "$kolm_xvfb_pid" 2>/dev/null || true' EXIT
      for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
      return 0
    fi
  done
  return 1
}
