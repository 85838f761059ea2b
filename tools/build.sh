#!/usr/bin/env bash
# Configures (once) and builds fleetdesk in build/. Extra arguments go to ninja.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${FLEETDESK_BUILD_DIR:-$root/build}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# Checkouts in other folders share the compiler cache.
export CCACHE_BASEDIR=$root
werror=OFF
[ "${CI:-}" = true ] && werror=ON
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" -DFLEETDESK_WERROR=$werror
fi
ninja -C "$build" "$@"
