#!/usr/bin/env bash
# Checks the built 32-bit product quorvin.exe: a PE32 GUI program for Intel 80386 whose first icon
# group is 1000 with the images of src/app/resources/quorvin.ico, and whose manifest (id 1) depends
# on Microsoft.Windows.Common-Controls 6.0.0.0. It and quorvin-serve.exe beside it (a PE32 console
# program) import only DLLs that every Windows has, carry a version resource, and no link time.
# Needs `file`, icoutils (wrestool, icotool) and binutils-mingw-w64-i686 (objdump).
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
serve_exe="$(dirname "$exe")/quorvin-serve.exe"
for tool in file wrestool icotool i686-w64-mingw32-objdump strings; do
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

# The DLLs of Windows itself that the programs may import; a MinGW runtime DLL (libgcc, libstdc++,
# libwinpthread) would have to be shipped beside them, so the runtime is linked in instead.
system_dlls="KERNEL32.dll USER32.dll GDI32.dll COMCTL32.dll SHELL32.dll ole32.dll WS2_32.dll msvcrt.dll"
imports_only_system_dlls() { # EXE
    local dll found=0
    while read -r dll; do
        found=1
        if ! tr ' ' '\n' <<<"$system_dlls" | grep -qixF -- "$dll"; then
            echo "     $(basename "$1") imports $dll"
            return 1
        fi
    done < <(i686-w64-mingw32-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p')
    [ "$found" -eq 1 ]
}

# The TimeDateStamp of the COFF header: 0 when the link wrote none.
pe_time_stamp() { # EXE
    local offset
    offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    od -An -tu4 -j$((offset + 8)) -N4 "$1" | tr -d ' '
}

# The value that follows KEY among the UTF-16 strings of the version resource.
version_string() { # RESOURCE KEY
    strings -el -n 1 "$1" | grep -A1 -xF -- "$2" | sed -n 2p
}

# FILEVERSION of the fixed part (after the signature FEEF04BD) as "A.B.C.D".
fixed_file_version() { # RESOURCE
    local hex prefix offset ms ls
    hex="$(od -An -tx1 -v "$1" | tr -d ' \n')"
    prefix="${hex%%bd04effe*}"
    [ "$prefix" != "$hex" ] || return 1
    offset=$((${#prefix} / 2))
    ms=$(od -An -tu4 -j$((offset + 8)) -N4 "$1" | tr -d ' ')
    ls=$(od -An -tu4 -j$((offset + 12)) -N4 "$1" | tr -d ' ')
    echo "$((ms >> 16)).$((ms & 65535)).$((ls >> 16)).$((ls & 65535))"
}

check_version_resource() { # EXE DESCRIPTION
    local program="$1" name resource
    name="$(basename "$program")"
    resource="$work/version-$name"
    wrestool -x -R -t 16 -n 1 "$program" >"$resource" 2>/dev/null
    check "$name: version resource 1 is present" test -s "$resource"
    local key expected
    while IFS='|' read -r key expected; do
        check "$name: version $key is \"$expected\" (found \"$(version_string "$resource" "$key")\")" \
            test "$(version_string "$resource" "$key")" = "$expected"
    done <<EOF
ProductName|Quorvin Software
ProductVersion|20.08.14
FileVersion|20.8.14.0
OriginalFilename|$name
FileDescription|$2
EOF
    check "$name: fixed file version is 20.8.14.0 (found $(fixed_file_version "$resource"))" \
        test "$(fixed_file_version "$resource")" = 20.8.14.0
}

if [ -f "$serve_exe" ]; then
    serve_kind="$(file -b "$serve_exe")"
    check "quorvin-serve.exe is a PE32 console program for Intel 80386 (file: $serve_kind)" \
        grep -q '^PE32 executable (console) Intel 80386' <<<"$serve_kind"
else
    check "quorvin-serve.exe is built beside quorvin.exe: $serve_exe" false
fi
check_version_resource "$exe" "Quorvin: one folder served as a web site"
[ -f "$serve_exe" ] && check_version_resource "$serve_exe" \
    "Quorvin console server: one folder served as a web site"
check "the manifest's assembly version is the file version 20.8.14.0" \
    grep -q 'name="Quorvin.Quorvin" version="20.8.14.0"' "$work/manifest"
for program in "$exe" "$serve_exe"; do
    [ -f "$program" ] || continue
    check "$(basename "$program") imports only system DLLs ($system_dlls)" \
        imports_only_system_dlls "$program"
    check "$(basename "$program") has no link time stamp (found $(pe_time_stamp "$program"))" \
        test "$(pe_time_stamp "$program")" = 0
done

echo "quorvin.exe: $kind; icon group 1000 with $images images; $(wc -c <"$work/manifest") byte manifest"
echo "product_exe.sh: $((checks - failures)) of $checks checks passed"
[ "$failures" -eq 0 ]
