#!/usr/bin/env bash
# Fails when a file of a library folder includes a header of a layer above it.
# The layers, lowest first; each may include only itself and the layers before
# it. Every offending line is listed as file:line: text.
set -euo pipefail
cd "$(dirname "$0")/.."

layers="platform engine/core engine/graphics engine/media engine/scene engine/runtime game app"

files=()
for folder in $layers; do
  [ -d "$folder" ] && while IFS= read -r -d '' f; do files+=("$f"); done \
    < <(find "$folder" -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.c' \) -print0)
done
[ "${#files[@]}" -gt 0 ] || exit 0

awk -v layers="$layers" '
  BEGIN { count = split(layers, order, " ") }
  # The layer of a path, 0 for none (system headers, linkwell, tests).
  function layer_of(path,    i) {
    for (i = count; i >= 1; --i)
      if (index(path, order[i] "/") == 1)
        return i
    return 0
  }
  /^[ \t]*#[ \t]*include[ \t]*"/ {
    header = $0
    sub(/^[ \t]*#[ \t]*include[ \t]*"/, "", header)
    sub(/".*/, "", header)
    if (layer_of(header) > layer_of(FILENAME)) {
      print FILENAME ":" FNR ": " $0 > "/dev/stderr"
      bad = 1
    }
  }
  END {
    if (bad) {
      print "check-layers: the lines above include a header of a higher layer (order: " layers ")" > "/dev/stderr"
      exit 1
    }
  }
' "${files[@]}"
