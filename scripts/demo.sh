#!/usr/bin/env bash
# The demonstration: installs what is missing, builds, runs orvane-demo, then
# tours `orvane keychain`. The tour always runs inside
# scripts/with-test-keyring.sh, a throwaway gnome-keyring on a private session
# bus, so it never writes to the user's own keyring.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# keychain_tour ORVANE: store, fetch, a migration and a removal, each command
# printed before it runs. Called inside the private keyring (see below).
keychain_tour() {
  local orvane=$1 scratch status
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' RETURN
  show() { printf '\n$ %s\n' "$*"; }

  echo
  echo "== Keychain (orvane keychain, on a throwaway keyring)"
  head -c 32 /dev/urandom >"$scratch/secret"
  show "orvane keychain store --account alice --service com.orvane.demo --name 'Demo vault' --acl /bin/sh < 32 random bytes"
  "$orvane" keychain store --account alice --service com.orvane.demo --name 'Demo vault' --acl /bin/sh <"$scratch/secret"

  show "orvane keychain fetch --account alice --service com.orvane.demo --acl /bin/sh > fetched"
  "$orvane" keychain fetch --account alice --service com.orvane.demo --acl /bin/sh >"$scratch/fetched"
  cmp -s "$scratch/secret" "$scratch/fetched" &&
    echo "fetched $(wc -c <"$scratch/fetched") bytes, identical to the stored ones"

  show "orvane keychain store --account alice --service com.orvane.demo < other bytes   # the item exists"
  status=0
  printf 'other' | "$orvane" keychain store --account alice --service com.orvane.demo 2>&1 || status=$?
  echo "exit status $status"

  show "orvane keychain fetch --account alice --service com.orvane.demo   # no --acl: the item trusts /bin/sh"
  status=0
  "$orvane" keychain fetch --account alice --service com.orvane.demo 2>&1 >/dev/null || status=$?
  echo "exit status $status"

  show "printf 'old password' | orvane keychain store --account alice --service com.orvane.demo.legacy --acl /bin/sh"
  printf 'old password' | "$orvane" keychain store --account alice --service com.orvane.demo.legacy --acl /bin/sh

  show "orvane keychain fetch --account alice --service com.orvane.demo.v2 --acl /bin/sh --migrating-from alice:com.orvane.demo.legacy"
  "$orvane" keychain fetch --account alice --service com.orvane.demo.v2 --acl /bin/sh \
    --migrating-from alice:com.orvane.demo.legacy
  echo

  show "orvane keychain fetch --account alice --service com.orvane.demo.legacy --acl /bin/sh   # the older item stays"
  "$orvane" keychain fetch --account alice --service com.orvane.demo.legacy --acl /bin/sh
  echo

  show "orvane keychain remove --account alice --service com.orvane.demo"
  "$orvane" keychain remove --account alice --service com.orvane.demo
  show "orvane keychain fetch --account alice --service com.orvane.demo --acl /bin/sh"
  status=0
  "$orvane" keychain fetch --account alice --service com.orvane.demo --acl /bin/sh 2>&1 || status=$?
  echo "exit status $status: no such item"
}

# system_tour ORVANE: the host facts, as this user and, when run as root, as
# an ordinary user (who cannot read the DMI serial number).
system_tour() {
  local orvane=$1
  echo
  echo "== Host facts (orvane system)"
  printf '\n$ orvane system\n'
  "$orvane" system
  if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
    printf '\n$ setpriv --reuid nobody --regid nogroup --clear-groups orvane system\n'
    setpriv --reuid nobody --regid nogroup --clear-groups "$orvane" system
  fi
}

# notify_tour ORVANE: one notification posted to a private notification server
# (python3-dbusmock on a private session bus), then clicked through the
# server's ActionInvoked signal: `orvane notify --wait` prints "activated".
notify_tour() {
  local orvane=$1 scratch bus_pid mock_pid notify_pid
  scratch=$(mktemp -d)
  cat >"$scratch/session.conf" <<CONF
<busconfig><type>session</type><listen>unix:path=$scratch/bus</listen><auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/></policy></busconfig>
CONF
  dbus-daemon --nofork --nopidfile --config-file="$scratch/session.conf" 2>/dev/null &
  bus_pid=$!
  while [ ! -S "$scratch/bus" ]; do sleep 0.05; done
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$scratch/bus"
  /usr/bin/python3 -m dbusmock --template notification_daemon -l "$scratch/server.log" \
    -p '{"capabilities": "body body-markup actions persistence"}' >/dev/null &
  mock_pid=$!
  until gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner org.freedesktop.Notifications 2>/dev/null | grep -q true; do
    sleep 0.1
  done

  echo
  echo "== Notifications (orvane notify, to a private notification server)"
  printf '\n$ orvane notify --title "Vault synchronised" --body "12 items <updated>" --wait\n'
  "$orvane" notify --title "Vault synchronised" --body "12 items <updated>" --wait &
  notify_pid=$!
  until grep -q ' Notify ' "$scratch/server.log" 2>/dev/null || ! kill -0 "$notify_pid" 2>/dev/null; do
    sleep 0.1
  done
  echo "the server received: $(grep ' Notify ' "$scratch/server.log" | cut -d' ' -f2-)"
  echo "(the user clicks it: the server emits ActionInvoked(1, \"default\"), sent again until orvane has its id)"
  for _ in $(seq 50); do
    gdbus call --session --dest org.freedesktop.Notifications --object-path /org/freedesktop/Notifications \
      --method org.freedesktop.DBus.Mock.EmitSignal org.freedesktop.Notifications ActionInvoked us \
      "[<uint32 1>, <'default'>]" >/dev/null
    sleep 0.2
    kill -0 "$notify_pid" 2>/dev/null || break
  done
  kill "$notify_pid" 2>/dev/null || true
  wait "$notify_pid" || true
  kill "$mock_pid" "$bus_pid" 2>/dev/null || true
  wait "$mock_pid" "$bus_pid" 2>/dev/null || true
  unset DBUS_SESSION_BUS_ADDRESS
  rm -rf "$scratch"
}

if [ "${1:-}" = "--keychain-tour" ]; then
  keychain_tour "$2"
  exit 0
fi

build=${ORVANE_BUILD_DIR:-$root/build/demo}

bash "$root/scripts/install-dependencies.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_BUILD_TESTS=OFF
cmake --build "$build" --target orvane-demo orvane
"$build/Tools/orvane-demo" --verbose --mode Fast
system_tour "$build/Tools/orvane"
notify_tour "$build/Tools/orvane"

bash "$root/scripts/with-test-keyring.sh" bash "${BASH_SOURCE[0]}" --keychain-tour "$build/Tools/orvane"
