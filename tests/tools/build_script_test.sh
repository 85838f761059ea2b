#!/usr/bin/env bash
# tools/build.sh turns warnings into errors when CI says so, on every run: a build folder first
# configured outside CI is configured again with -Werror, and back. cmake and ninja are replaced by
# stand-ins that record how they were called.
set -euo pipefail
src=${FD_SOURCE_DIR:?}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/build"
cat > "$work/bin/cmake" <<'SH'
#!/usr/bin/env bash
echo "cmake $*" >> "$FD_CALLS"
for a in "$@"; do
  case "$a" in -DFLEETDESK_WERROR=*) echo "FLEETDESK_WERROR:BOOL=${a#*=}" > "$FD_BUILD/CMakeCache.txt" ;; esac
done
touch "$FD_BUILD/build.ninja"
SH
printf '#!/usr/bin/env bash\necho "ninja $*" >> "$FD_CALLS"\n' > "$work/bin/ninja"
chmod +x "$work/bin/cmake" "$work/bin/ninja"
export PATH=$work/bin:$PATH FD_CALLS=$work/calls FD_BUILD=$work/build FLEETDESK_BUILD_DIR=$work/build

fail=0
expect() { # description, CI value, expected werror or "none"
  : > "$FD_CALLS"
  CI=$2 bash "$src/tools/build.sh" >/dev/null
  local got
  got=$(grep -o -- '-DFLEETDESK_WERROR=[A-Z]*' "$FD_CALLS" | tail -1 || true)
  if [ "$3" = none ]; then
    [ -z "$got" ] || { echo "FAIL: $1: configured again ($got)"; fail=1; }
  else
    [ "$got" = "-DFLEETDESK_WERROR=$3" ] || { echo "FAIL: $1: expected -DFLEETDESK_WERROR=$3, got '${got}'"; fail=1; }
  fi
  grep -q '^ninja' "$FD_CALLS" || { echo "FAIL: $1: ninja did not run"; fail=1; }
}

expect "first configure outside CI" "" OFF
expect "same rule, nothing to configure" "" none
expect "CI on an existing build folder" true ON
expect "CI again" true none
expect "back outside CI" "" OFF
[ "$fail" = 0 ] && echo "build script: every case passed"
exit "$fail"
