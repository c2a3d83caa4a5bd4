#!/usr/bin/env bash
# Runs a command against a fake fprintd on a private system bus:
#
#   ORVANE_FAKE_FPRINTD='{"verify": [["verify-retry-scan", "verify-match"]]}' \
#     bash scripts/with-fake-fprintd.sh COMMAND [ARGUMENT]...
#
# Starts a throwaway dbus-daemon of the system type listening in a scratch
# folder, the python3-dbusmock template Tests/Support/fprintd_template.py on
# it (ORVANE_FAKE_FPRINTD holds its JSON parameters, see the template), and
# runs the command with DBUS_SYSTEM_BUS_ADDRESS pointing at that bus. The real
# system bus is never touched. Both are stopped afterwards; the command's exit
# status is passed through.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
template=$here/../Tests/Support/fprintd_template.py
scratch=$(mktemp -d /tmp/orvane-fprintd.XXXXXX)
bus_pid=
mock_pid=
cleanup() {
  local status=$?
  if [ -n "$mock_pid" ]; then kill "$mock_pid" 2>/dev/null || true; wait "$mock_pid" 2>/dev/null || true; fi
  if [ -n "$bus_pid" ]; then kill "$bus_pid" 2>/dev/null || true; fi
  rm -rf "$scratch"
  exit "$status"
}
trap cleanup EXIT

cat >"$scratch/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:dir=$scratch</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
address=$(dbus-daemon --config-file="$scratch/bus.conf" --print-address=1 --print-pid=3 --fork 3>"$scratch/pid" | head -n1)
bus_pid=$(cat "$scratch/pid")
export DBUS_SYSTEM_BUS_ADDRESS=$address

/usr/bin/python3 -m dbusmock --system --template "$template" -p "${ORVANE_FAKE_FPRINTD:-{\}}" \
  >"$scratch/mock.log" 2>&1 &
mock_pid=$!
for _ in $(seq 100); do
  if dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner string:net.reactivated.Fprint 2>/dev/null | grep -q 'boolean true'; then
    break
  fi
  if ! kill -0 "$mock_pid" 2>/dev/null; then
    echo "with-fake-fprintd: the fake fprintd did not start" >&2
    cat "$scratch/mock.log" >&2
    exit 125
  fi
  sleep 0.1
done

status=0
"$@" || status=$?
exit "$status"
