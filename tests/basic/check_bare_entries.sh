#!/usr/bin/env bash
# Bare entries run on compiled code's stack, aligned to 4 bytes only, so they may call
# nothing but wrapped handlers (which realign), other bare entries and the PIC base
# helper. Lists every other call or jump out of a function in the bare-entry section.
# Usage: check_bare_entries.sh LINKED_LIBRARY OBJECT...
set -euo pipefail
library=$1
shift

declare -A bare=()
for object in "$@"; do
  while read -r name; do
    bare[$name]=1
  done < <(objdump -t "$object" | awk '/ F \.text\.ks_bare/ {print $NF}')
done
if [ ${#bare[@]} -eq 0 ]; then
  echo "no functions found in the bare-entry section" >&2
  exit 1
fi

status=0
for name in "${!bare[@]}"; do
  listing=$(objdump -d --no-show-raw-insn --disassemble="$name" "$library")
  if ! grep -q "<$name>:" <<<"$listing"; then
    echo "$name: not found in $library" >&2
    status=1
    continue
  fi
  while read -r target; do
    case $target in
      "$name" | __x86.get_pc_thunk.* | _ZN12entry_detail7Wrapper*) ;;
      *)
        if [ -z "${bare[$target]:-}" ]; then
          echo "$name calls $target" >&2
          status=1
        fi
        ;;
    esac
  done < <(grep -E $'\t(call|jmp) ' <<<"$listing" | sed -nE 's/.*<([^>+]+)(\+0x[0-9a-f]+)?>.*/\1/p')
  if grep -qE $'\t(call|jmp) +\*' <<<"$listing"; then
    echo "$name makes an indirect call or jump" >&2
    status=1
  fi
done
if [ $status -eq 0 ]; then
  echo "${#bare[@]} bare entries call only wrapped handlers and each other"
fi
exit $status
