#!/usr/bin/env bash
# tools/build.sh turns warnings into errors when CI says so, on every run: a build folder first
# configured outside CI is configured again with -Werror, and back. A ThreadSanitizer build is asked
# for with FLEETDESK_SANITIZE_THREAD=1 and stays one when a later run does not say so. cmake and
# ninja are replaced by stand-ins that record how they were called.
set -euo pipefail
src=${FD_SOURCE_DIR:?}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/build"
cat > "$work/bin/cmake" <<'SH'
#!/usr/bin/env bash
echo "cmake $*" >> "$FD_CALLS"
touch "$FD_BUILD/CMakeCache.txt"
for a in "$@"; do
  case "$a" in
    -DFLEETDESK_*=*)
      name=${a#-D}
      name=${name%%=*}
      grep -v "^$name:" "$FD_BUILD/CMakeCache.txt" > "$FD_BUILD/cache.new" || true
      echo "$name:BOOL=${a#*=}" >> "$FD_BUILD/cache.new"
      mv "$FD_BUILD/cache.new" "$FD_BUILD/CMakeCache.txt"
      ;;
  esac
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

# The thread-sanitizer choice: asked for, kept, never dropped by a run that does not mention it.
tsan() { # description, variable value, expected "configure" or "none"
  : > "$FD_CALLS"
  FLEETDESK_SANITIZE_THREAD=$2 bash "$src/tools/build.sh" >/dev/null
  if [ "$3" = configure ]; then
    grep -q -- '-DFLEETDESK_SANITIZE_THREAD=ON' "$FD_CALLS" || { echo "FAIL: $1: not configured with the sanitizer"; fail=1; }
  else
    ! grep -q '^cmake' "$FD_CALLS" || { echo "FAIL: $1: configured again: $(grep '^cmake' "$FD_CALLS")"; fail=1; }
  fi
  grep -q '^ninja' "$FD_CALLS" || { echo "FAIL: $1: ninja did not run"; fail=1; }
}
tsan "an existing plain build asked for the sanitizer" 1 configure
tsan "asked again" 1 none
tsan "a run that does not ask" "" none
grep -qx 'FLEETDESK_SANITIZE_THREAD:BOOL=ON' "$FD_BUILD/CMakeCache.txt" || { echo "FAIL: the sanitizer build lost its option"; fail=1; }
rm -f "$FD_BUILD/build.ninja" "$FD_BUILD/CMakeCache.txt"
tsan "a new build folder asked for the sanitizer" 1 configure
[ "$fail" = 0 ] && echo "build script: every case passed"
exit "$fail"
