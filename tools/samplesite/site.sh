#!/usr/bin/env bash
# Starts or stops the bundled sample site for one build directory.
#   site.sh start <build-dir>    prints the sample post's address when it serves
#   site.sh stop  <build-dir>
# Everything it makes lives in <build-dir>/samplesite: the pictures, the certificates,
# the server's pid, log and address.
#
# The pictures go out over HTTPS as https://localhost:<port>/..., so the Wine prefix the
# program runs in (QV_WINEPREFIX) has to trust the certificate. By default the
# certificate authority, the localhost certificate and the authority's installation into
# the prefix come from the loopback test server's fixture (tools/testserver), run once
# with a state directory of the site's own. To use another certificate instead, set
# QV_SAMPLESITE_CERT and QV_SAMPLESITE_KEY (PEM files) and see to the trust yourself.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
action="${1:?start or stop}"
build="$(cd "${2:?build directory}" && pwd)"
state="$build/samplesite"

source "$root/tools/pidfile.sh"

stop_site() {
  stop_pidfile "$state/server.pid"
  rm -f "$state/address"
}

# Certificates and trust from the test server's fixture: its start makes them once per
# state directory and installs the authority into QV_WINEPREFIX once; its own server,
# which that start also runs, is stopped again at once.
prepare_certificates() {
  if [ -n "${QV_SAMPLESITE_CERT:-}" ]; then
    cert="$QV_SAMPLESITE_CERT"
    key="${QV_SAMPLESITE_KEY:?QV_SAMPLESITE_KEY goes with QV_SAMPLESITE_CERT}"
    return
  fi
  local fixture="$root/tools/testserver/fixture.sh"
  local installer
  installer="$(find "$build" -name qv_install_root_ca.exe -print -quit)"
  if [ ! -f "$fixture" ] || [ -z "$installer" ]; then
    echo "the test server's certificate tools are not built in $build;" \
         "set QV_SAMPLESITE_CERT and QV_SAMPLESITE_KEY instead" >&2
    exit 1
  fi
  bash "$fixture" start "$state/tls" "$installer" >/dev/null
  bash "$fixture" stop "$state/tls"
  cert="$state/tls/server.pem"
  key="$state/tls/server.key"
}

case "$action" in
  start)
    mkdir -p "$state"
    stop_site
    bash "$here/make_pictures.sh" "$state/pictures" 12
    prepare_certificates
    setsid python3 "$here/server.py" --pictures "$state/pictures" --cert "$cert" --key "$key" \
      --address-file "$state/address" --pid-file "$state/server.pid" \
      >"$state/server.log" 2>&1 </dev/null &
    for _ in $(seq 1 100); do
      [ -f "$state/address" ] && { cat "$state/address"; exit 0; }
      sleep 0.1
    done
    echo "the sample site did not start; see $state/server.log" >&2
    cat "$state/server.log" >&2 || true
    stop_site
    exit 1
    ;;
  stop)
    stop_site
    ;;
  *)
    echo "unknown action $action" >&2
    exit 2
    ;;
esac
