#!/usr/bin/env bash
# Checks the built 32-bit product quorvin.exe: a PE32 GUI program for Intel 80386 whose first icon
# group is 1000 with the images of src/app/resources/quorvin.ico, and whose manifest (id 1) depends
# on Microsoft.Windows.Common-Controls 6.0.0.0. Needs `file` and icoutils (wrestool, icotool).
# The program: QUORVIN_PRODUCT_EXE (default build/win32/src/app/quorvin.exe).
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
exe="${QUORVIN_PRODUCT_EXE:-build/win32/src/app/quorvin.exe}"
icon=src/app/resources/quorvin.ico

if [ ! -f "$exe" ]; then
    echo "FAIL quorvin.exe is missing: $exe (build the win32 configuration first)"
    exit 1
fi
for tool in file wrestool icotool; do
    if ! command -v "$tool" >/dev/null; then
        echo "FAIL $tool is not installed (scripts/setup test installs it)"
        exit 1
    fi
done

work="$(mktemp -d /tmp/quorvin-product.XXXXXX)"
trap 'rm -rf "$work"' EXIT
source "$root/scripts/lib/check.sh"

kind="$(file -b "$exe")"
check "PE32 GUI program for Intel 80386 (file: $kind)" \
    grep -q '^PE32 executable (GUI) Intel 80386' <<<"$kind"

wrestool -l "$exe" >"$work/resources" 2>&1
first_group="$(sed -n 's/.*--type=14 --name=\([^ ]*\).*/\1/p' "$work/resources" | head -1)"
check "the first icon group is 1000 (found: ${first_group:-none})" test "$first_group" = 1000

# The images of the group, as icotool lists them, must be those of the committed icon file.
wrestool -x -t 14 -n 1000 "$exe" >"$work/group.ico" 2>/dev/null
icotool -l "$work/group.ico" 2>/dev/null | sed 's/--index=[0-9]* //' >"$work/images"
icotool -l "$icon" | sed 's/--index=[0-9]* //' >"$work/expected"
images=$(wc -l <"$work/images")
check "icon group 1000 holds the $(wc -l <"$work/expected") images of $icon (found $images)" \
    cmp -s "$work/images" "$work/expected"
for image in 16x16x4 32x32x4 48x48x4 16x16x8 32x32x8 48x48x8 \
    16x16x32 32x32x32 48x48x32 128x128x32 256x256x32; do
    IFS=x read -r width height depth <<<"$image"
    check "icon image $image" grep -q -- "--width=$width --height=$height --bit-depth=$depth " \
        "$work/images"
done

wrestool -x -R -t 24 -n 1 "$exe" >"$work/manifest" 2>/dev/null
dependency() {
    tr -s ' \n\r\t' ' ' <"$work/manifest" |
        grep -o '<assemblyIdentity [^>]*name="Microsoft.Windows.Common-Controls"[^>]*>' |
        grep 'version="6.0.0.0"' | grep 'publicKeyToken="6595b64144ccf1df"' |
        grep -q 'processorArchitecture="\*"'
}
check "manifest 1 depends on Microsoft.Windows.Common-Controls 6.0.0.0" dependency

echo "quorvin.exe: $kind; icon group 1000 with $images images; $(wc -c <"$work/manifest") byte manifest"
echo "product_exe.sh: $((checks - failures)) of $checks checks passed"
[ "$failures" -eq 0 ]
