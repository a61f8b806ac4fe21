#!/usr/bin/env bash
# Our compiler (GCC 12) lays out the frame of a procedure wrongly when an await stands in the
# condition of an `if` and the procedure's body declares no variable of its own at its top: the
# condition's value is placed before the resume address, and the first resumption after a wait
# jumps to nowhere. Recompiles every source that awaits, as the native build compiles it, and fails
# on every procedure whose frame starts with anything but the resume address.
# Usage: tests/coroutine_frames.sh (QUORVIN_NATIVE_BUILD names the native build, build/native)
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$root/${QUORVIN_NATIVE_BUILD:-build/native}" && pwd)" || exit 1
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The names of the procedures in a tree dump whose frame has a field before the resume address.
misplaced_frames() { # DUMP
    awk '/^;; Function / { name = $0 }
         /_Coro_resume_fn \[value-expr/ && previous ~ /\[value-expr: frame_ptr->/ { print name }
         { previous = $0 }' "$1" | sort -u
}

checked=0
failures=0
count=0
while read -r command; do
    source="$(sed -E 's/.* -c ([^ ]+).*/\1/' <<<"$command")"
    grep -q co_await "$source" 2>/dev/null || continue
    count=$((count + 1))
    command="$(sed -E "s# -MD -MT [^ ]+ -MF [^ ]+##; s# -o [^ ]+# -o /dev/null#" <<<"$command")"
    (cd "$build" && eval "$command -fdump-tree-original -dumpdir $work/$count-") || {
        echo "FAIL $source does not compile"
        failures=$((failures + 1))
        continue
    }
    dump="$work/$count-$(basename "$source").005t.original"
    if [ ! -s "$dump" ]; then
        echo "FAIL $source left no tree dump at $dump"
        failures=$((failures + 1))
        continue
    fi
    checked=$((checked + 1))
    misplaced="$(misplaced_frames "$dump")"
    if [ -n "$misplaced" ]; then
        echo "FAIL $source: a frame laid out wrongly (give the procedure a variable of its own" \
            "at the top of its body, or await before the condition):"
        sed 's/^/    /' <<<"$misplaced"
        failures=$((failures + 1))
    fi
done < <(ninja -C "$build" -t commands | grep -- ' -c ' | grep -v googletest)

[ "$checked" -gt 0 ] || {
    echo "coroutine_frames.sh: no source that awaits was found in $build"
    exit 1
}
echo "coroutine_frames.sh: $checked sources read, $failures failures"
[ "$failures" -eq 0 ]
