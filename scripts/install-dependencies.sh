#!/usr/bin/env bash
# Installs the Debian packages that building and testing the library need.
# Idempotent: asks apt only for what is missing, and updates the package lists
# only when something is. Run as root on Debian 12.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config git
  # library dependencies
  libssl-dev libplist-dev libglib2.0-dev nlohmann-json3-dev libsecret-1-dev gnome-keyring dbus libsecret-tools libcli11-dev libgumbo-dev libcurl4-openssl-dev
  # tests, benchmarks, fuzzing
  googletest libgtest-dev libgmock-dev libbenchmark-dev libnss-wrapper util-linux libpango1.0-dev libmicrohttpd-dev openssl
  clang libclang-rt-14-dev python3
  # test services: python3-dbusmock (NetworkManager, fprintd, the notification server), gdbus,
  # network namespaces
  python3-dbusmock libglib2.0-bin iproute2 util-linux
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

sudo_prefix=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_prefix=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo_prefix[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_prefix[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
