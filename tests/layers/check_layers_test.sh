#!/bin/sh
# The layer check on the tool's sources, and on small trees it must refuse: a unit that includes
# one above it, two units that include each other, and a cycle through a chain of three (the
# headers include nothing, the .cpp files close the loop).
# Usage: check_layers_test.sh <check_layers.sh> <source folder>
set -eu
check=${1:?usage: check_layers_test.sh <check_layers.sh> <source folder>}
sh "$check" "${2:?}"

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
refused() {  # $1: what the check must print; the files are in $tree
  if out=$(sh "$check" "$tree/src"); then echo "not refused: $1"; exit 1; fi
  case $out in *"$1"*) ;; *) echo "expected \"$1\", got: $out"; exit 1 ;; esac
  rm -rf "$tree/src"
}
unit() {  # $1: unit, $2...: units its .cpp includes
  mkdir -p "$tree/src/${1%/*}"; : >"$tree/src/$1.h"; file=$tree/src/$1.cpp; u=$1; shift
  printf '#include "%s.h"\n' "$u" "$@" >"$file"
}
unit model/a window/w; unit window/w
refused 'src/model/a.cpp:2: "window/w.h" points outside'
unit commands/a commands/b; unit commands/b commands/a
refused 'include cycle: commands/a -> commands/b -> commands/a'
unit support/a support/b; unit support/b support/c; unit support/c support/a
refused 'include cycle: support/a -> support/b -> support/c -> support/a'
echo "layers: injected faults refused"
