#!/usr/bin/env bash
# Starts or stops the loopback test server for one build directory.
#   fixture.sh start <state-dir> <ca-install-exe>
#   fixture.sh stop  <state-dir>
# start makes a certificate authority and a localhost certificate once per state
# directory, puts the authority into the current user's Root store of the tests' Wine
# prefix (QV_WINEPREFIX) when it is not there yet, and starts the server in the
# background. The machine's own trust store is never touched.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
action="${1:?start or stop}"
state="${2:?state directory}"

source "$here/../pidfile.sh"

stop_server() {
  stop_pidfile "$state/server.pid"
  rm -f "$state/ports"
}

make_certificates() {
  [ -f "$state/server.pem" ] && [ -f "$state/ca.der" ] && return
  local tmp="$state/certs.tmp"
  rm -rf "$tmp" && mkdir -p "$tmp"
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 \
    -subj "/CN=Quorvale Test Authority" \
    -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" \
    -keyout "$tmp/ca.key" -out "$tmp/ca.pem" 2>/dev/null
  openssl req -newkey rsa:2048 -nodes -sha256 -subj "/CN=localhost" \
    -keyout "$tmp/server.key" -out "$tmp/server.csr" 2>/dev/null
  printf '%s\n' "basicConstraints=CA:FALSE" \
    "keyUsage=critical,digitalSignature,keyEncipherment" \
    "extendedKeyUsage=serverAuth" \
    "subjectAltName=DNS:localhost,IP:127.0.0.1" > "$tmp/server.ext"
  openssl x509 -req -in "$tmp/server.csr" -CA "$tmp/ca.pem" -CAkey "$tmp/ca.key" \
    -CAcreateserial -days 3650 -sha256 -extfile "$tmp/server.ext" -out "$tmp/server.crt" 2>/dev/null
  cat "$tmp/server.crt" "$tmp/ca.pem" > "$tmp/server.pem"
  openssl x509 -in "$tmp/ca.pem" -outform DER -out "$tmp/ca.der"
  mv "$tmp/server.key" "$tmp/server.pem" "$tmp/ca.pem" "$tmp/ca.der" "$state/"
  rm -rf "$tmp"
}

# The authority goes into the prefix once; a marker named after its fingerprint tells
# later runs (and a new authority after the state directory was removed) apart.
install_authority() {
  local installer="$1"
  local prefix="${QV_WINEPREFIX:-}"
  if [ -z "$prefix" ]; then
    echo "QV_WINEPREFIX is not set: HTTPS tests will not trust the test server" >&2
    return
  fi
  local fingerprint
  fingerprint="$(openssl x509 -in "$state/ca.pem" -noout -fingerprint -sha256 | tr -d ':' | cut -d= -f2)"
  local marker="$prefix/quorvale-test-ca-$fingerprint"
  [ -f "$marker" ] && return
  WINEPREFIX="$prefix" wineboot --init >/dev/null 2>&1 || true
  QV_WINEPREFIX="$prefix" "$here/../wine-run.sh" "$installer" "Z:$state/ca.der"
  touch "$marker"
}

case "$action" in
  start)
    installer="${3:?CA install helper}"
    mkdir -p "$state"
    stop_server
    make_certificates
    install_authority "$installer"
    setsid python3 "$here/server.py" --state-dir "$state" \
      --cert "$state/server.pem" --key "$state/server.key" \
      >"$state/server.log" 2>&1 </dev/null &
    for _ in $(seq 1 100); do
      [ -f "$state/ports" ] && { cat "$state/ports"; exit 0; }
      sleep 0.1
    done
    echo "the test server did not start; see $state/server.log" >&2
    cat "$state/server.log" >&2 || true
    exit 1
    ;;
  stop)
    stop_server
    ;;
  *)
    echo "unknown action $action" >&2
    exit 2
    ;;
esac
