#!/usr/bin/env bash
# Installs the Debian 12 packages fleetdesk needs to build, test and run, and any further packages
# named as arguments (the fuzzing script asks for clang this way). A second run installs nothing
# when everything is there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev libmariadb-dev libcurl4-openssl-dev libjpeg62-turbo-dev libgtest-dev googletest
  mariadb-server mariadb-client python3 python3-pyftpdlib
  xvfb xauth x11-utils x11-apps xdotool imagemagick fonts-noto-cjk fonts-wqy-microhei poppler-utils libxcb-damage0-dev
  libjpeg-turbo-progs libxlsxwriter-dev libzip-dev libfreexl-dev qt6-translations-l10n qt6-charts-dev libqt6opengl6-dev unzip
  galera-4 rsync openssl stunnel4 tcpdump time zstd libsodium-dev qtkeychain-qt6-dev libsecret-1-0
  dbus-daemon gnome-keyring
  dpkg-dev desktop-file-utils librsvg2-bin lintian
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "all packages are installed"
  exit 0
fi

sudo=
if [ "$(id -u)" != 0 ]; then sudo=sudo; fi
echo "installing: ${missing[*]}"
# Services must not start on install (there may be no init system); the stack starts its own.
if [ ! -e /usr/sbin/policy-rc.d ]; then
  printf '#!/bin/sh\nexit 101\n' | $sudo tee /usr/sbin/policy-rc.d >/dev/null
  $sudo chmod +x /usr/sbin/policy-rc.d
  trap '$sudo rm -f /usr/sbin/policy-rc.d' EXIT
fi
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
