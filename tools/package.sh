#!/usr/bin/env bash
# Builds the installed programs and makes the Debian package of them in the build folder; prints
# the package's path. Install it with: apt install ./build/fleetdesk_*.deb
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${FLEETDESK_BUILD_DIR:-$root/build}
"$root/tools/build.sh" fleetdesk fleetdesk-remind fleetdesk-encipher fleetdesk-backup >&2
# A package made earlier with another version must not be taken for this one.
rm -f "$build"/fleetdesk_*.deb
(cd "$build" && cpack -G DEB >&2)
ls "$build"/fleetdesk_*.deb
