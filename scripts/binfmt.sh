#!/usr/bin/env bash
# 32-bit x86 programs through qemu-user, for kernels that run no 32-bit code (IA-32 emulation off).
#
#   binfmt.sh probe        prints native, emulated or none: what happens when this machine runs a 32-bit
#                          program (a 93-byte one that only exits, written here, so no package is needed)
#   binfmt.sh qemu         prints the qemu-user this script registers (version 8 or later) and its version:
#                          "PATH VERSION"; fails when none is installed
#   binfmt.sh current      prints what runs 32-bit programs now: "NAME INTERPRETER VERSION" (VERSION is the
#                          qemu the kernel holds open, asked through a 32-bit program, or "unknown")
#   binfmt.sh register [force] [--owner PID]
#                          registers the i386 ELF formats with that qemu, as zorvant-i386 and
#                          zorvant-i386-dyn, unless 32-bit programs already run (force: even then); prints the
#                          names it registered, one a line (none when it registered nothing). With --owner,
#                          the registration belongs to that process's run: once it is gone, the next probe
#                          or register removes it.
#   binfmt.sh unregister NAME...   removes exactly those registrations
#
# binfmt_misc handlers are consulted before the kernel's own ELF loader, so a registration also sends
# 32-bit programs through qemu on a machine that runs them natively: that is how the emulated path is
# tried anywhere (ZORVANT_EMULATE_32BIT=1 in scripts/test.sh).
#
# With flag F the kernel opens the interpreter once, at registration, and keeps that binary: an upgrade of
# the package on disk changes nothing until the format is registered again. So a registration is judged by
# the qemu it actually runs (a 32-bit program asked with QEMU_VERSION), not by the file its path names now.
set -euo pipefail

binfmt=/proc/sys/fs/binfmt_misc
# Where a run records the registrations it owns. /run is emptied at boot, as binfmt_misc is.
owners=/run/zorvant-binfmt
ours=(zorvant-i386 zorvant-i386-dyn)
# Older qemu-user crashes inside Wine's remote calls and runs Wine several times slower.
min_qemu_major=8
# The i386 ELF header up to e_machine: executables (ET_EXEC) and position-independent ones (ET_DYN).
magic_exec='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
magic_dyn='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x03\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff'

# Runs a static i386 program that calls exit(0) through int 0x80, with the environment given as arguments
# (QEMU_VERSION=1 makes a qemu print its version instead of running it).
run_32bit() {
  local probe rc=0
  probe=$(mktemp "${TMPDIR:-/tmp}/zorvant-probe32.XXXXXX")
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  env "$@" "$probe" 2>/dev/null || rc=$?
  rm -f "$probe"
  return $rc
}
runs_32bit() { run_32bit >/dev/null; }

# VERSION of a qemu's "qemu-i386 version 10.0.2 (Debian ...)" line on standard input.
qemu_version() { sed -n 's/^qemu-[a-z0-9_]* version \([0-9][0-9.]*\).*/\1/p' | sed -n 1p; }
major() { echo "${1%%.*}"; }

# The qemu-user to register: the first of these that is version 8 or later.
find_qemu() {
  local q v
  for q in /usr/bin/qemu-i386 /usr/bin/qemu-i386-static; do
    [ -x "$q" ] || continue
    v=$("$q" --version 2>/dev/null | qemu_version)
    if [ -n "$v" ] && [ "$(major "$v")" -ge "$min_qemu_major" ]; then
      echo "$q $v"
      return 0
    fi
  done
  return 1
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
interpreter_of() { sed -n 's/^interpreter //p' "$binfmt/$1" 2>/dev/null; }
# The version of the qemu that runs 32-bit programs now, as the kernel holds it; empty when what runs
# them is not a qemu (or they run natively).
running_qemu_version() { run_32bit QEMU_VERSION=1 | qemu_version; }

# A process, told apart from a later one with the same PID by its start time.
process_id() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  stat=${stat##*) }  # the fields after the command name, which may hold spaces
  echo "$1 $(echo "$stat" | cut -d' ' -f20)"
}

remove() {  # NAME: one of ours, with its owner record
  [ -e "$binfmt/$1" ] && echo -1 >"$binfmt/$1" 2>/dev/null || true
  rm -f "$owners/$1"
}

# Registrations of ours made by a run that has ended without removing them (killed, say): removed, so
# that the machine does not go the emulated way for good.
remove_orphans() {
  [ -d "$owners" ] || return 0
  local name pid recorded
  for name in "${ours[@]}"; do
    [ -f "$owners/$name" ] || continue
    read -r pid recorded <"$owners/$name" || true
    if [ -z "$pid" ] || [ "$(process_id "$pid" 2>/dev/null)" != "$pid $recorded" ]; then
      if [ -w "$binfmt/register" ] || [ ! -e "$binfmt/$name" ]; then
        remove "$name"
        echo "binfmt: removed $name, left by a run that has ended (process $pid)" >&2
      fi
    fi
  done
}

probe() {
  remove_orphans
  if ! runs_32bit; then
    echo none
  elif [ -n "$(i386_handlers)" ]; then
    echo emulated
  else
    echo native
  fi
}

current() {
  local first v
  first=$(i386_handlers | sed -n 1p)
  [ -n "$first" ] || { runs_32bit && echo "native - -" || echo "none - -"; return 0; }
  v=$(running_qemu_version)
  echo "$first $(interpreter_of "$first") ${v:-unknown}"
}

mount_binfmt() {
  [ -w "$binfmt/register" ] && return 0
  [ "$(id -u)" -eq 0 ] || return 1
  mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || true
  [ -w "$binfmt/register" ]
}

# register [force] [--owner PID]
register() {
  local force="" owner=""
  while [ $# -gt 0 ]; do
    case "$1" in
      force) force=force ;;
      --owner) owner="$2"; shift ;;
      *) echo "binfmt: unknown argument $1" >&2; return 2 ;;
    esac
    shift
  done
  remove_orphans
  local found qemu version
  found=$(find_qemu) || {
    echo "binfmt: no qemu-user of version $min_qemu_major or later is installed (scripts/setup.sh installs one)" >&2
    return 1
  }
  read -r qemu version <<<"$found"

  # Ours, but not running the qemu found above (another path, or the binary an older package left open):
  # replaced.
  local name stale=""
  for name in "${ours[@]}"; do
    [ -e "$binfmt/$name" ] || continue
    if [ "$(interpreter_of "$name")" != "$qemu" ]; then stale=1; fi
  done
  if [ -z "$stale" ] && [ -e "$binfmt/${ours[0]}" ] && [ "$(i386_handlers | sed -n 1p)" = "${ours[0]}" ] &&
    [ "$(running_qemu_version)" != "$version" ]; then
    stale=1
  fi
  if [ -n "$stale" ]; then
    for name in "${ours[@]}"; do remove "$name"; done
    echo "binfmt: replaced the registration of an older or other qemu with $qemu ($version)" >&2
  fi

  if [ "$force" != force ] && [ -z "$(i386_handlers)" ] && runs_32bit; then
    return 0  # native
  fi
  local others
  others=$(i386_handlers | grep -v -x -e "${ours[0]}" -e "${ours[1]}" || true)
  if [ -n "$others" ]; then
    # Someone else's registration is in place; it is theirs to mend, not ours to replace.
    echo "binfmt: an i386 registration is already in place ($(echo "$others" | tr '\n' ' ' | sed 's/ $//')); left as it is" >&2
    return 0
  fi
  if ! mount_binfmt; then
    echo "binfmt: cannot register the i386 formats (needs root and binfmt_misc)" >&2
    return 1
  fi
  local spec
  for name in "${ours[@]}"; do
    [ -e "$binfmt/$name" ] && continue
    if [ "$name" = zorvant-i386 ]; then spec="$magic_exec"; else spec="$magic_dyn"; fi
    # F: the interpreter is opened now, so it serves programs in any mount namespace later.
    if ! printf ':%s:M::%s:%s:%s:F\n' "$name" "$spec" "$mask" "$qemu" >"$binfmt/register" 2>/dev/null; then
      echo "binfmt: the kernel refused the registration $name" >&2
      return 1
    fi
    if [ -n "$owner" ]; then
      mkdir -p "$owners"
      process_id "$owner" >"$owners/$name" || { remove "$name"; echo "binfmt: no process $owner" >&2; return 1; }
    else
      rm -f "$owners/$name"
    fi
    echo "$name"
  done
  runs_32bit || { echo "binfmt: registered, but 32-bit programs still do not run" >&2; return 1; }
}

unregister() {
  local name
  for name in "$@"; do
    case "$name" in zorvant-i386 | zorvant-i386-dyn) ;; *) continue ;; esac  # only what this script makes
    remove "$name"
  done
  return 0
}

case "${1:-}" in
  probe) probe ;;
  qemu) find_qemu ;;
  current) current ;;
  register) shift; register "$@" ;;
  unregister) shift; unregister "$@" ;;
  *) echo "usage: binfmt.sh probe | qemu | current | register [force] [--owner PID] | unregister NAME..." >&2; exit 2 ;;
esac
