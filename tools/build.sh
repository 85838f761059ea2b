#!/usr/bin/env bash
# Configures (once, and again when CI changes the warning rule) and builds fleetdesk in build/.
# Extra arguments go to ninja.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${FLEETDESK_BUILD_DIR:-$root/build}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# Checkouts in other folders share the compiler cache: paths below the checkout are hashed as
# relative ones, and so is the working folder that -g would otherwise put into every hash.
export CCACHE_BASEDIR=$root
export CCACHE_NOHASHDIR=true
# Warnings are errors under CI, whatever an earlier configure of this build folder chose.
werror=OFF
case "${CI:-}" in "" | false | 0) ;; *) werror=ON ;; esac
# FLEETDESK_SANITIZE_THREAD=1: a ThreadSanitizer build (tools/tsan.sh's build-tsan). Without it a
# build folder keeps the sanitizer choice it was configured with.
tsan=()
case "${FLEETDESK_SANITIZE_THREAD:-}" in "" | 0 | false | OFF) ;; *) tsan=(-DFLEETDESK_SANITIZE_THREAD=ON) ;; esac
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" -DFLEETDESK_WERROR=$werror "${tsan[@]}"
elif ! grep -qx "FLEETDESK_WERROR:BOOL=$werror" "$build/CMakeCache.txt" 2>/dev/null ||
  { [ ${#tsan[@]} -gt 0 ] && ! grep -qx "FLEETDESK_SANITIZE_THREAD:BOOL=ON" "$build/CMakeCache.txt"; }; then
  cmake -S "$root" -B "$build" -DFLEETDESK_WERROR=$werror "${tsan[@]}"
fi
ninja -C "$build" "$@"
