#!/usr/bin/env bash
# 32-bit x86 programs through qemu-user, for kernels that run no 32-bit code (IA-32 emulation off).
#
#   binfmt.sh probe        prints native, emulated or none: what happens when this machine runs a 32-bit
#                          program (a 93-byte one that only exits, written here, so no package is needed)
#   binfmt.sh register     registers the i386 ELF formats with /usr/bin/qemu-i386-static, as zorvant-i386
#                          and zorvant-i386-dyn, unless 32-bit programs already run; prints the names it
#                          registered, one a line (none when it registered nothing)
#   binfmt.sh unregister NAME...   removes exactly those registrations
#
# binfmt_misc handlers are consulted before the kernel's own ELF loader, so a registration also sends
# 32-bit programs through qemu on a machine that runs them natively: that is how the emulated path is
# tried anywhere (ZORVANT_EMULATE_32BIT=1 in scripts/test.sh).
set -euo pipefail

binfmt=/proc/sys/fs/binfmt_misc
qemu=/usr/bin/qemu-i386-static
# The i386 ELF header up to e_machine: executables (ET_EXEC) and position-independent ones (ET_DYN).
magic_exec='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
magic_dyn='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x03\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff'

# Runs a static i386 program that calls exit(0) through int 0x80.
runs_32bit() {
  local probe
  probe=$(mktemp "${TMPDIR:-/tmp}/zorvant-probe32.XXXXXX")
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  local rc=0
  "$probe" 2>/dev/null || rc=$?
  rm -f "$probe"
  return $rc
}

# The enabled registrations whose magic is an i386 ELF header (ours or anyone's), one name a line.
i386_handlers() {
  [ -d "$binfmt" ] || return 0
  local entry
  for entry in "$binfmt"/*; do
    case "${entry##*/}" in register | status) continue ;; esac
    [ -f "$entry" ] || continue
    grep -qx enabled "$entry" 2>/dev/null || continue
    # The kernel prints the magic in hex: 7f454c46010101 ... then e_type and e_machine 0300.
    if grep -q '^magic 7f454c460101010000000000000000000[23]000300' "$entry" 2>/dev/null; then
      echo "${entry##*/}"
    fi
  done
}

probe() {
  if ! runs_32bit; then
    echo none
  elif [ -n "$(i386_handlers)" ]; then
    echo emulated
  else
    echo native
  fi
}

mount_binfmt() {
  [ -w "$binfmt/register" ] && return 0
  [ "$(id -u)" -eq 0 ] || return 1
  mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || true
  [ -w "$binfmt/register" ]
}

# register [force]: with force, registers even where 32-bit programs already run natively.
register() {
  local force="${1:-}"
  if [ "$force" != force ] && runs_32bit; then
    return 0
  fi
  if [ -n "$(i386_handlers)" ]; then
    # Someone else's registration is in place; it is theirs to mend, not ours to replace.
    echo "binfmt: an i386 registration is already in place ($(i386_handlers | tr '\n' ' ' | sed 's/ $//')); left as it is" >&2
    return 0
  fi
  if [ ! -x "$qemu" ]; then
    echo "binfmt: $qemu is missing (Debian package qemu-user-static)" >&2
    return 1
  fi
  if ! mount_binfmt; then
    echo "binfmt: cannot register the i386 formats (needs root and binfmt_misc)" >&2
    return 1
  fi
  local name spec
  for name in zorvant-i386 zorvant-i386-dyn; do
    [ -e "$binfmt/$name" ] && continue
    if [ "$name" = zorvant-i386 ]; then spec="$magic_exec"; else spec="$magic_dyn"; fi
    # F: the interpreter is opened now, so it serves programs in any mount namespace later.
    if ! printf ':%s:M::%s:%s:%s:F\n' "$name" "$spec" "$mask" "$qemu" >"$binfmt/register" 2>/dev/null; then
      echo "binfmt: the kernel refused the registration $name" >&2
      return 1
    fi
    echo "$name"
  done
  runs_32bit || { echo "binfmt: registered, but 32-bit programs still do not run" >&2; return 1; }
}

unregister() {
  local name
  for name in "$@"; do
    case "$name" in zorvant-i386 | zorvant-i386-dyn) ;; *) continue ;; esac  # only what this script makes
    [ -e "$binfmt/$name" ] && echo -1 >"$binfmt/$name"
  done
  return 0
}

case "${1:-}" in
  probe) probe ;;
  register) shift; register "$@" ;;
  unregister) shift; unregister "$@" ;;
  *) echo "usage: binfmt.sh probe | register [force] | unregister NAME..." >&2; exit 2 ;;
esac
