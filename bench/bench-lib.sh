# Sourced by the bench/run_*.sh scripts: an optimised build without tests, and a private stack.
# Needs $root (the sources).

# bench_build TARGET: builds TARGET in $build (BUILD_DIR, default build-bench beside the sources,
# configured as an optimised build without tests when missing).
bench_build() {
    build=${BUILD_DIR:-$root/build-bench}
    if [ ! -f "$build/build.ninja" ]; then
        local launcher=()
        if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
        cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DFLEETDESK_TESTS=OFF "${launcher[@]}" >/dev/null
    fi
    ninja -C "$build" "$1" >/dev/null
}

# bench_stack DIR PORT N: a fresh stack in DIR holding N generated vehicles, stopped when the
# script ends.
bench_stack() {
    local dir=$1 port=$2 n=$3 start
    "$root/tools/stack.sh" stop "$dir" >/dev/null 2>&1 || true
    rm -rf "$dir"
    trap '"$root/tools/stack.sh" stop "'"$dir"'" >/dev/null' EXIT
    start=$(date +%s.%N)
    "$root/tools/stack.sh" start "$dir" "$port" "$n" >/dev/null
    echo "stack with $n vehicles ready in $(echo "$(date +%s.%N) - $start" | bc) s"
}
