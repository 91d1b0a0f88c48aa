#!/usr/bin/env bash
# Until the viewer window exists: render every sample capture in every view with taloran-cli.
set -euo pipefail
build=${1:-build}
out="$build/sample-views"
mkdir -p "$out"
views="red green blue nir color ndvi evi rvi grvi ipvi sipi osavi ci dvi gi"
for capture in "$build"/samples/*.tif "$build"/samples/four-layer/*.tif; do
  layout=()
  case "$capture" in */four-layer/*) layout=(--four-layer) ;; esac
  name=$(basename "$capture" .tif)
  for view in $views; do
    "$build/tools/taloran-cli" render "${layout[@]}" --view "$view" -o "$out/$name-$view.png" "$capture"
  done
  "$build/tools/taloran-cli" info "${layout[@]}" "$capture" > "$out/$name-info.txt"
done
echo "Rendered every sample capture in every view: $(cd "$out" && pwd)"
