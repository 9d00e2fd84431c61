#!/bin/sh
# Checks that the tool's layers depend on each other one way only:
#   window -> commands -> model -> support
# A file may include headers of its own layer and of the layers below it, never of one above.
# Every quoted include must name a layer folder, so that a header outside the layers stands out.
# And no two units include each other, directly or through a chain, inside a layer too (a unit is
# x.h with x.cpp): what both sides need belongs in a unit below them.
# Usage: check_layers.sh <source folder>   (the repository's src/)
# Prints each offending include as file:line, and each cycle as the units along it, and exits 1
# when there is one.
set -eu
src=${1:?usage: check_layers.sh <source folder>}

allowed() {  # $1: layer of the including file
  case $1 in
    window) echo "window commands model support" ;;
    commands) echo "commands model support" ;;
    model) echo "model support" ;;
    support) echo "support" ;;
    *) echo "" ;;
  esac
}

report=$(mktemp)
trap 'rm -f "$report"' EXIT
for layer_dir in "$src"/*/; do
  layer=$(basename "$layer_dir")
  permitted=$(allowed "$layer")
  if [ -z "$permitted" ]; then
    echo "${layer_dir%/}: not a layer (window, commands, model, support)" >>"$report"
    continue
  fi
  # Lines "file:line:#include "folder/header.h"", one per quoted include.
  grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$layer_dir" |
  while IFS= read -r hit; do
    location=$(printf '%s' "$hit" | cut -d: -f1,2)
    header=$(printf '%s' "$hit" | sed -E 's/^[^:]*:[0-9]+:[^"]*"([^"]*)".*/\1/')
    case $header in
      */*) target=${header%%/*} ;;
      *) target="" ;;  # no folder: not inside a layer
    esac
    ok=no
    for p in $permitted; do [ "$target" = "$p" ] && ok=yes; done
    [ $ok = yes ] ||
      echo "$location: \"$header\" points outside what a $layer file may include ($permitted)"
  done >>"$report"
done

# The units' includes as "unit included-unit" lines (both as paths below the source folder without
# the extension), then a depth-first walk that reports each cycle once, from the unit it reaches
# first again.
( cd "$src" && grep -rHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]*"' --include='*.h' \
    --include='*.cpp' . ) |
sed -E 's#^\./([^:]*)\.(h|cpp):[^"]*"([^"]*)\.h".*#\1 \3#' | sort -u |
awk '$1 != $2 { edges[$1] = edges[$1] " " $2; if (!($1 in seen)) order[++count] = $1; seen[$1] = 1 }
  function visit(unit, path,   n, next_units, i, target, from) {
    state[unit] = "open"; on_path[unit] = path
    n = split(edges[unit], next_units, " ")
    for (i = 1; i <= n; i++) {
      target = next_units[i]
      if (state[target] == "open") {
        from = index(" " on_path[unit], " " target " -> ")
        print "include cycle: " substr(on_path[unit], from) unit " -> " target
      } else if (state[target] == "") {
        visit(target, path unit " -> ")
      }
    }
    state[unit] = "done"
  }
  END { for (i = 1; i <= count; i++) if (state[order[i]] == "") visit(order[i], "") }' >>"$report"

if [ -s "$report" ]; then
  cat "$report"
  exit 1
fi
echo "layers: every include points to the same layer or one below, and no units include each other"
