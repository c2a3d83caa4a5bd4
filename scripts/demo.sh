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

# touchid_tour ORVANE: `orvane touchid` against a fake fprintd on a private
# system bus (scripts/with-fake-fprintd.sh), one scripted reader per command.
touchid_tour() {
  local orvane=$1 status
  fake() {
    local parameters=$1
    shift
    printf '\n$ orvane %s   # fake reader: %s\n' "$*" "$parameters"
    status=0
    ORVANE_FAKE_FPRINTD=$parameters bash "$root/scripts/with-fake-fprintd.sh" "$orvane" "$@" 2>&1 || status=$?
    echo "exit status $status"
  }
  echo
  echo "== Fingerprint authorization (orvane touchid, on a fake fprintd)"
  fake '{}' touchid state
  fake '{"enrolled": []}' touchid state
  fake '{"device": false}' touchid state
  fake '{"verify": [["verify-retry-scan", "verify-match"]]}' \
    touchid authorize --reason "Unlock the vault" --fallback-title "Use password"
  fake '{"verify": [["verify-no-match"]]}' touchid authorize --reason "Unlock the vault"
  fake '{"claim_error": "AlreadyInUse"}' touchid authorize --reason "Unlock the vault"
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
touchid_tour "$build/Tools/orvane"

bash "$root/scripts/with-test-keyring.sh" bash "${BASH_SOURCE[0]}" --keychain-tour "$build/Tools/orvane"
