#!/usr/bin/env bash
# A 20-second soak of the native quorvin-serve under a small mixed load (bench/soak --smoke):
# every answer must be right, no exchange may fail, and the server must hold no more descriptors
# after the load than before it. Timing is reported, never judged.
# Build folder: QUORVIN_NATIVE_BUILD (default build/native; empty skips the check).
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
native_build="${QUORVIN_NATIVE_BUILD-build/native}"
if [ -z "$native_build" ]; then
    echo "soak smoke: no native build named; skipped"
    exit 0
fi
program="$native_build/src/app/quorvin-serve"
[ -x "$program" ] || { echo "soak smoke: no $program"; exit 1; }

work="$(mktemp -d /tmp/quorvin-soak-smoke.XXXXXX)"
trap 'rm -rf "$work"' EXIT
bench/soak --smoke --seconds "${QUORVIN_SOAK_SECONDS:-20}" --program "$program" \
    --site "$work/site" --out "$work/out"
