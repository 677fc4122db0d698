# Sourced by the scripts that start helper servers: ends the process whose id a pid
# file holds, waits up to five seconds for it to go, and removes the file.
stop_pidfile() {
  local file="$1" pid
  [ -f "$file" ] || return 0
  pid="$(cat "$file")"
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid"
    for _ in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
  fi
  rm -f "$file"
}
