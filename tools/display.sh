# Sourced by the run and test scripts: gives the process a display, starting a
# private Xvfb when there is none.
qv_xvfb_pid=""

start_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return
  fi
  local n
  for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
      qv_xvfb_pid=$!
      export DISPLAY=":$n"
      local i
      for i in $(seq 1 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && return
        sleep 0.1
      done
    fi
  done
  echo "could not start Xvfb" >&2
  return 1
}

stop_display() {
  if [ -n "$qv_xvfb_pid" ]; then
    kill "$qv_xvfb_pid" 2>/dev/null || true
  fi
}
