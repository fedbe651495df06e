#!/usr/bin/env bash
# run_error.sh BIN_DIR PROGRAM.kb: kbc must refuse the program with exit status 1 and
# print, first, the diagnostic written on the program's ";@error:" line (without the
# file name, which is the program's own), then the source line and a caret.
set -u
bin=$1
src=$2
name=$(basename "$src")
want="$name:$(sed -n 's/^;@error: *\([0-9]*:[0-9]*:\) */\1 error: /p' "$src")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$(dirname "$src")"
timeout 60 "$bin/kbc" "$name" -o "$work/program.ksm" 2>"$work/err"
code=$?
got=$(head -n 1 "$work/err")
status=0
if [ "$got" != "$want" ]; then
  echo "expected: $want"
  echo "got:      $got"
  status=1
fi
if [ "$code" != 1 ]; then
  echo "kbc exited with $code, expected 1"
  status=1
fi
if [ "$(wc -l <"$work/err")" -lt 3 ] || ! sed -n 3p "$work/err" | grep -q '^ *^$'; then
  echo "no source line and caret:"
  cat "$work/err"
  status=1
fi
[ -e "$work/program.ksm" ] && { echo "a module was written"; status=1; }
exit $status
