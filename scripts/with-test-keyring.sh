#!/usr/bin/env bash
# Runs a command against a private, throwaway Secret Service:
#
#   bash scripts/with-test-keyring.sh COMMAND [ARGUMENT]...
#
# The command runs inside its own D-Bus session bus (dbus-run-session), with a
# temporary HOME and XDG folders, and a gnome-keyring-daemon there whose
# "login" collection is created, made the default and unlocked with a throwaway
# password. The user's own keyring and session bus are never touched: every
# variable that could lead to them is unset or pointed into the scratch folder.
# Works as root, without a display and without a systemd user session.
#
# Inside, ORVANE_TEST_KEYRING_PASSWORD holds the password (tests lock and
# unlock the collection with it) and ORVANE_TEST_KEYRING=1 says where we are.
# The daemon and the scratch folder are removed afterwards; the command's exit
# status is passed through.
set -euo pipefail

if [ "${1:-}" = "--inside-private-session" ]; then
  shift
  daemon_log=$XDG_RUNTIME_DIR/gnome-keyring.log
  # --unlock reads the password from standard input and creates the "login"
  # collection when there is none; --foreground keeps the daemon our child.
  printf '%s' "$ORVANE_TEST_KEYRING_PASSWORD" |
    gnome-keyring-daemon --foreground --unlock --components=secrets >"$daemon_log" 2>&1 &
  daemon=$!
  stop_daemon() {
    kill "$daemon" 2>/dev/null || true
    wait "$daemon" 2>/dev/null || true
  }
  trap stop_daemon EXIT

  for _ in $(seq 100); do
    if dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null |
        grep -q 'boolean true'; then
      break
    fi
    if ! kill -0 "$daemon" 2>/dev/null; then
      break
    fi
    sleep 0.1
  done

  # A store and lookup through the default collection proves the keyring usable
  # before the command relies on it; the probe item is removed again.
  probe=orvane-test-keyring-probe
  if ! printf 'probe' | timeout 20 secret-tool store --label="$probe" orvane-probe "$probe" ||
      [ "$(timeout 20 secret-tool lookup orvane-probe "$probe")" != "probe" ]; then
    echo "with-test-keyring: the private gnome-keyring-daemon is not usable" >&2
    cat "$daemon_log" >&2 || true
    exit 125
  fi
  timeout 20 secret-tool clear orvane-probe "$probe"

  status=0
  "$@" || status=$?
  exit "$status"
fi

if [ "$#" -eq 0 ]; then
  echo "usage: with-test-keyring.sh COMMAND [ARGUMENT]..." >&2
  exit 2
fi

for tool in dbus-run-session dbus-send gnome-keyring-daemon secret-tool; do
  if ! command -v "$tool" >/dev/null; then
    echo "with-test-keyring: $tool is missing (run scripts/install-dependencies.sh)" >&2
    exit 127
  fi
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/orvane-keyring.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/data" "$scratch/config" "$scratch/cache" "$scratch/runtime"
chmod 700 "$scratch" "$scratch/runtime"

status=0
env -u DBUS_SESSION_BUS_ADDRESS -u DBUS_STARTER_ADDRESS -u DBUS_STARTER_BUS_TYPE \
  -u DISPLAY -u WAYLAND_DISPLAY -u GNOME_KEYRING_CONTROL -u SSH_AUTH_SOCK \
  HOME="$scratch/home" \
  XDG_DATA_HOME="$scratch/data" \
  XDG_CONFIG_HOME="$scratch/config" \
  XDG_CACHE_HOME="$scratch/cache" \
  XDG_RUNTIME_DIR="$scratch/runtime" \
  ORVANE_TEST_KEYRING=1 \
  ORVANE_TEST_KEYRING_PASSWORD="throwaway-$$-$RANDOM" \
  dbus-run-session -- bash "${BASH_SOURCE[0]}" --inside-private-session "$@" || status=$?
exit "$status"
