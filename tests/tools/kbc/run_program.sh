#!/usr/bin/env bash
# run_program.sh BIN_DIR PROGRAM.kb: compiles the program with kbc (options from its
# ";@kbc:" line), runs it with ksrun (arguments from ";@args:"), and compares standard
# output and standard error, merged, with PROGRAM.out. String addresses printed by
# RuntimeStats are cut to "string@". The exit status must be ";@exit:" (default 0).
set -u
bin=$1
src=$2
expected=${src%.kb}.out
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
flags=$(sed -n 's/^;@kbc: *//p' "$src")
args=$(sed -n 's/^;@args: *//p' "$src")
want=$(sed -n 's/^;@exit: *//p' "$src")
want=${want:-0}
cd "$(dirname "$src")"
# shellcheck disable=SC2086
if ! "$bin/kbc" $flags "$(basename "$src")" -o "$work/program.ksm"; then
  echo "kbc failed on $src"
  exit 1
fi
# shellcheck disable=SC2086
SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy timeout 240 "$bin/ksrun" "$work/program.ksm" $args >"$work/out" 2>&1
code=$?
sed -i 's/string@0x[0-9a-fA-F]*/string@/' "$work/out"
status=0
if ! diff -u "$expected" "$work/out"; then
  status=1
fi
if [ "$code" != "$want" ]; then
  echo "ksrun exited with $code, expected $want"
  status=1
fi
exit $status
