#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need.
# Quiet when everything is already present; uses sudo only when not root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-multimedia-dev libqt6svg6
  libcurl4-openssl-dev libssl-dev openssl libsqlite3-dev libboost-regex-dev
  # proposing a scheme: an HTML5 parser; JSON for the scheme files, qw-propose and the renderer's protocol
  libgumbo-dev nlohmann-json3-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev xvfb xauth
  # the end-to-end run: a system tray for the virtual display, and X input
  trayer xdotool
  # the notification tests run a session bus of their own
  dbus-daemon
  # the install test checks the desktop entry with desktop-file-validate
  desktop-file-utils
  # every caption of the window is Chinese: a font with its glyphs
  fonts-wqy-microhei
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
