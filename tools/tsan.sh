#!/usr/bin/env bash
# Builds everything with ThreadSanitizer in a build folder of its own (FLEETDESK_TSAN_BUILD_DIR,
# default build-tsan beside build) and runs every test there but the package test, with a stack of
# its own and the suppressions in tools/tsan.supp: any race the sanitizer reports ends its program
# and fails the run. Extra arguments go to ctest (-R name, -L unit, ...).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${FLEETDESK_TSAN_BUILD_DIR:-${FLEETDESK_BUILD_DIR:-$root/build}-tsan}
"$root/tools/install-deps.sh"
FLEETDESK_BUILD_DIR=$build FLEETDESK_SANITIZE_THREAD=1 "$root/tools/build.sh"
export QT_QPA_PLATFORM=offscreen
export TSAN_OPTIONS="suppressions=$root/tools/tsan.supp halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
ctest --test-dir "$build" --output-on-failure --timeout 900 -j2 "$@"
