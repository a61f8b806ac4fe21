# Running 32-bit Windows programs on a kernel that refuses i386 Linux programs: Wine's 32-bit
# loader under qemu user-mode emulation, registered in binfmt_misc for the run only. Sourced by
# scripts/test-win32, which sets `logs`, and counts with scripts/lib/testrun.sh.

binfmt_name=quorvin-qemu-i386
binfmt_dir=/proc/sys/fs/binfmt_misc
# ELF, 32-bit, little-endian, i386, executables and shared objects (the preloader and the loader),
# as the text binfmt_misc reads: the kernel itself turns the \x escapes into bytes.
i386_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
i386_magic_hex=7f454c4601010100000000000000000002000300
emulation_mode=
namespace_holder=
display_server=
mounted_binfmt=

# qemu-i386 10 from bookworm-backports, unpacked into DIR once: Debian 12's own qemu 7.2 fails
# inside Wine ("failed to map the shared user data"). The backports source is used through a
# temporary list only; it never becomes a source of the machine. Prints the program's path.
fetch_qemu() { # DIR
    local dir="$1" program="$1/qemu-i386"
    if [ -x "$program" ] && "$program" --version 2>/dev/null | grep -q 'version 10\.'; then
        echo "$program"
        return 0
    fi
    echo "== fetch qemu-user from bookworm-backports" >&2
    local work mirror
    work="$(mktemp -d)"
    mirror="$(grep -hoE '^URIs: *https?://[^ ]*/debian/?$' /etc/apt/sources.list.d/*.sources 2>/dev/null |
        head -1 | sed 's/^URIs: *//')"
    echo "deb [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
        "${mirror:-http://deb.debian.org/debian} bookworm-backports main" >"$work/sources.list"
    mkdir -p "$work/lists/partial" "$work/cache/archives/partial"
    local options=(-o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
        -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work/cache" -o APT::Sandbox::User=root)
    apt-get "${options[@]}" update -qq >&2 || echo "fetch_qemu: the backports list did not update fully" >&2
    if ! (cd "$work" && apt-get "${options[@]}" download qemu-user >&2) ||
        ! dpkg -x "$work"/qemu-user_*.deb "$work/unpacked"; then
        echo "fetch_qemu: cannot fetch qemu-user from bookworm-backports" >&2
        rm -rf "$work"
        return 1
    fi
    mkdir -p "$dir"
    mv "$work/unpacked/usr/bin/qemu-i386" "$program"
    rm -rf "$work"
    echo "$program"
}

# Runs a command where i386 programs start: inside the private namespace, or as it is.
emulated() {
    if [ "$emulation_mode" = private ]; then
        nsenter --target "$namespace_holder" --user --mount --preserve-credentials --wd="$PWD" -- "$@"
    else
        "$@"
    fi
}

# Names the i386 handlers in a binfmt_misc folder other than ours.
foreign_i386_handlers() {
    local entry
    for entry in "$binfmt_dir"/*; do
        case "$(basename "$entry")" in register | status | "$binfmt_name") continue ;; esac
        grep -q "^magic $i386_magic_hex" "$entry" 2>/dev/null && basename "$entry"
    done
}

register_line() { # QEMU
    printf ':%s:M::%s:%s:%s:F' "$binfmt_name" "$i386_magic" "$i386_mask" "$1"
}

# A binfmt_misc of our own in a new user and mount namespace (Linux 6.7 and later), held open by
# a sleeping process that every emulated command enters.
start_private_emulation() { # QEMU
    local ready="$logs/emulation-ready"
    rm -f "$ready"
    unshare --user --map-root-user --mount --propagation private bash -c '
        mount -t binfmt_misc binfmt_misc "$1" 2>/dev/null && printf "%s" "$2" >"$1/register" &&
            touch "$3" || exit 1
        exec sleep infinity' _ "$binfmt_dir" "$(register_line "$1")" "$ready" \
        >"$logs/emulation.log" 2>&1 &
    namespace_holder=$!
    local deadline=$((SECONDS + 10))
    while [ ! -e "$ready" ] && kill -0 "$namespace_holder" 2>/dev/null && [ $SECONDS -lt $deadline ]; do
        sleep 0.1
    done
    if [ -e "$ready" ]; then
        emulation_mode=private
        return 0
    fi
    kill "$namespace_holder" 2>/dev/null
    wait "$namespace_holder" 2>/dev/null
    namespace_holder=
    return 1
}

# The machine-wide binfmt_misc, when no private one can be had: only our own entry is added,
# and stop_emulation removes it.
start_global_emulation() { # QEMU
    if [ ! -e "$binfmt_dir/register" ]; then
        mount -t binfmt_misc binfmt_misc "$binfmt_dir" || return 1
        mounted_binfmt=1
    fi
    local other
    for other in $(foreign_i386_handlers); do
        echo "note: binfmt_misc already has an i386 handler, $other; it is left as it is" \
            "(ours, registered later, takes precedence for this run)"
    done
    [ -e "$binfmt_dir/$binfmt_name" ] && echo -1 >"$binfmt_dir/$binfmt_name"
    register_line "$1" >"$binfmt_dir/register" || return 1
    emulation_mode=global
}

start_emulation() { # QEMU
    echo "== emulation"
    if [ "${QUORVIN_BINFMT:-}" != global ] && start_private_emulation "$1"; then
        echo "   qemu-i386 registered in a private binfmt_misc (pid $namespace_holder holds it)"
    elif start_global_emulation "$1"; then
        echo "   qemu-i386 registered machine-wide as $binfmt_dir/$binfmt_name for this run"
    else
        note_failure "cannot register qemu-i386 in binfmt_misc"
        return 1
    fi
    if ! emulated /usr/lib/wine/wine --version >"$logs/wine-version.log" 2>&1; then
        note_failure "Wine's 32-bit loader does not start: $(start_failure_reason "$logs/wine-version.log")"
        return 1
    fi
}

# Safe to call more than once, and from a trap.
stop_emulation() {
    [ -n "$emulation_mode" ] && QUORVIN_WINE_ARCH=win32 scripts/wine-run --stop-server
    if [ -n "$display_server" ]; then
        kill "$display_server" 2>/dev/null
        wait "$display_server" 2>/dev/null
        display_server=
    fi
    if [ "$emulation_mode" = private ] && [ -n "$namespace_holder" ]; then
        kill "$namespace_holder" 2>/dev/null
        wait "$namespace_holder" 2>/dev/null
        namespace_holder=
    elif [ "$emulation_mode" = global ] && [ -e "$binfmt_dir/$binfmt_name" ]; then
        echo -1 >"$binfmt_dir/$binfmt_name" && echo "   $binfmt_dir/$binfmt_name removed"
    fi
    # Left as found: unmounted again when we mounted it and nothing else registered since.
    if [ -n "$mounted_binfmt" ] && [ -z "$(ls "$binfmt_dir" | grep -vx -e register -e status)" ]; then
        umount "$binfmt_dir" && mounted_binfmt=
    fi
    emulation_mode=
}

# One Xvfb screen for the whole run.
start_display() {
    local number="$logs/display-number"
    rm -f "$number"
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$number" >"$logs/xvfb.log" 2>&1 &
    display_server=$!
    local deadline=$((SECONDS + 20))
    while [ ! -s "$number" ] && [ $SECONDS -lt $deadline ]; do
        sleep 0.1
    done
    export DISPLAY=":$(head -1 "$number")"
}

# quorvin.exe starts and shows its top-level window "Quorvin Software"; then it is stopped.
window_smoke_test() { # EXE
    local program="$1"
    echo "== window"
    if [ ! -f "$program" ]; then
        echo "   note: $program is not built; window smoke test skipped"
        return 0
    fi
    emulated env "${fake_opener_env[@]}" scripts/wine-run "$program" >"$logs/window.log" 2>&1 &
    local pid=$! deadline=$((SECONDS + 120)) found=
    while [ $SECONDS -lt $deadline ] && kill -0 "$pid" 2>/dev/null; do
        found="$(xdotool search --onlyvisible --name '^Quorvin Software$' 2>/dev/null | head -1)"
        [ -n "$found" ] && break
        sleep 0.5
    done
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    if [ -n "$found" ]; then
        echo "   window \"Quorvin Software\" shown ($((SECONDS - deadline + 120)) s)"
        passed=$((passed + 1))
    else
        note_failure "window: no top-level window \"Quorvin Software\": $(start_failure_reason "$logs/window.log")"
    fi
}
