#!/usr/bin/env bash
# Builds login_bench, starts a private stack holding N generated vehicles and measures RUNS logins,
# each in a process of its own as in the program: from the click on 登录 until the login check
# answered, the full list's first rows are in the main window's grid and the list is whole. The
# report gives each run and the medians, and the cost of a role check.
#
#   bench/run_login_bench.sh [N] [RUNS]        N defaults to 100000, RUNS to 5
#
# BUILD_DIR picks the build folder (default: build-bench beside the sources, an optimised build
# without tests, configured when missing).
# The stack lives in /tmp/fd-bench-login on ports 4770-4773 and is stopped afterwards.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
n=${1:-100000}
runs=${2:-5}
. "$here/bench-lib.sh"
bench_build login_bench
bench_stack /tmp/fd-bench-login 4770 "$n"

work=$(mktemp -d /tmp/fd-login-XXXXXX)
trap 'rm -rf "$work"; "$root/tools/stack.sh" stop /tmp/fd-bench-login >/dev/null' EXIT
mkdir -m 700 "$work/run"
export FLEETDESK_CONFIG=/tmp/fd-bench-login/fleetdesk.ini QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work/run HOME=$work
# No desktop session: no keyring to ask either.
unset DBUS_SESSION_BUS_ADDRESS
echo "machine load before the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
for i in $(seq 1 "$runs"); do
    "$build/bench/login_bench" "$n" | tee -a "$work/runs"
done
echo "machine load after the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
awk '
    /^login check/ { c[++k] = $3; f[k] = $8; w[k] = $12; p[k] = $(NF - 1) }
    function median(a, n,   i, j, t, s) {
        for (i = 1; i <= n; i++) s[i] = a[i]
        for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (s[j] < s[i]) { t = s[i]; s[i] = s[j]; s[j] = t }
        return n % 2 ? s[(n + 1) / 2] : (s[n / 2] + s[n / 2 + 1]) / 2
    }
    END { if (k) printf "median of %d logins: login check %.1f ms (processor time %.1f ms), first rows %.1f ms, whole list %.1f ms\n", k, median(c, k), median(p, k), median(f, k), median(w, k) }
' "$work/runs"
