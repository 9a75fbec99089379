#!/usr/bin/env bash
# Makes this machine able to run the shipped 32-bit program under Wine: 32-bit
# Linux code through qemu's user-mode emulation (binfmt_misc), and Wine's 32-bit
# half. Idempotent; needs root. Exits non-zero, saying why, where the machine
# cannot do it.
#   --check   only tell (exit 0) whether the emulation can be set up or already is
# Exit status 3: the machine could do it, but the packages could not be had
# (a package mirror part-way through a sync leaves the i386 lists behind the
# amd64 ones, and Wine's 32-bit half cannot be installed beside its 64-bit one).
set -euo pipefail

binfmt=/proc/sys/fs/binfmt_misc
handler=$binfmt/qemu-i386
# The i386 ELF header and mask; F: the interpreter is opened now, so it works
# inside any mount namespace and with Wine's own loader.
registration=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F'

fail() { echo "32-bit emulation: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "needs root (to install packages and register the i386 handler)"

mount_binfmt() {
    [ -e "$binfmt/register" ] && return 0
    mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null
}

if [ "${1:-}" = "--check" ]; then
    [ -e "$handler" ] && exit 0
    mount_binfmt || fail "binfmt_misc cannot be mounted here"
    [ -w "$binfmt/register" ] || fail "binfmt_misc registration is not writable here"
    exit 0
fi

export DEBIAN_FRONTEND=noninteractive
. "$(dirname "$0")/package-lists.sh"
if ! [ -x /usr/bin/qemu-i386-static ]; then
    update_lists
    apt-get install -y -qq --no-install-recommends qemu-user-static >/dev/null ||
        { echo "32-bit emulation: qemu-user-static cannot be installed from the package mirror" >&2; exit 3; }
fi

if ! [ -e "$handler" ]; then
    mount_binfmt || fail "binfmt_misc cannot be mounted here"
    printf '%s' "$registration" > "$binfmt/register" 2>/dev/null || fail "the i386 handler cannot be registered"
fi
grep -q '^enabled' "$handler" || fail "the i386 handler is registered but disabled"

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
    update_lists
    apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null ||
        { echo "32-bit emulation: Wine's 32-bit half (wine32:i386) cannot be installed from the package mirror" >&2; exit 3; }
fi

# A 32-bit Linux program must now run; Wine's 32-bit loader is one.
[ -x /usr/lib/wine/wine ] || fail "wine32 did not install its loader"
echo "32-bit emulation ready: $(cat "$handler" | head -1), wine32 $(dpkg-query -W -f='${Version}' wine32:i386)"
