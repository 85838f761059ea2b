#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test. The tests' local stack (database, FTP and
# web server) is started and stopped by the test run itself.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${FLEETDESK_BUILD_DIR:-$root/build}
"$root/tools/install-deps.sh"
"$root/tools/build.sh"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure --timeout 600 -j2
