#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test; then builds the tree again with
# ThreadSanitizer and runs every test there too (tools/tsan.sh; FLEETDESK_TEST_TSAN=0 leaves that
# out). The tests' local stacks (database, FTP and web server) are started and stopped by the runs.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${FLEETDESK_BUILD_DIR:-$root/build}
"$root/tools/install-deps.sh"
"$root/tools/build.sh"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure --timeout 600 -j2
case "${FLEETDESK_TEST_TSAN:-1}" in 0 | false | OFF) ;; *) "$root/tools/tsan.sh" ;; esac
