#!/usr/bin/env bash
# The field map of a generated flight of 1,000 captures (20 lines of 50, records with a receiver's
# and a compass's errors): taloran-cli mosaic with refinement, median of 3 runs and its peak memory,
# beside the way a GIS user maps a flight today: each capture exported with its ground control
# points, warped onto the UTM grid by gdalwarp (two at once, as the two jobs), the warped frames
# joined by gdalbuildvrt and written as a COG by gdal_translate. Run from the build folder:
#   ../bench/mosaic_vs_gdal.sh [LINESxPER_LINE]
set -euo pipefail
size=${1:-20x50}
flight=/tmp/taloran-bench-mosaic-$size
work=/tmp/taloran-bench-mosaic-work
cli=./cli/taloran-cli
[ -f "$flight/camera.json" ] || ./tools/taloran-samples --flight "$size" "$flight"
rm -rf "$work" && mkdir -p "$work"
count=$(ls "$flight"/*.tif | wc -l)

seconds() { /usr/bin/time -f "%e %M" -o "$work/time" "$@" > /dev/null 2> "$work/err"; cat "$work/time"; }
median() { sort -n | sed -n "$(( ($1 + 1) / 2 ))p"; }

runs=()
for _ in 1 2 3; do runs+=("$(seconds $cli mosaic --jobs 2 --no-progress -o "$work/field.tif" "$flight")"); done
grep -E "^Refinement|^Field map" "$work/err" || true
mosaic=$(printf '%s\n' "${runs[@]}" | awk '{print $1}' | median 3)
memory=$(printf '%s\n' "${runs[@]}" | awk '{print $2}' | sort -n | tail -1)
norefine=$(seconds $cli mosaic --jobs 2 --no-progress --no-refine -o "$work/plain.tif" "$flight" | awk '{print $1}')
epsg=$(gdalinfo -json "$work/field.tif" | python3 -c 'import json,sys; print(json.load(sys.stdin)["stac"]["proj:epsg"])')
gsd=$(gdalinfo -json "$work/field.tif" | python3 -c 'import json,sys; print(json.load(sys.stdin)["geoTransform"][1])')

start=$(date +%s.%N)
$cli export --layout stack --camera "$flight/camera.json" --jobs 2 --no-progress -o "$work/export" "$flight" \
  > /dev/null 2>&1
mkdir -p "$work/warped"
ls "$work/export"/*.tif | xargs -P 2 -I{} sh -c \
  'gdalwarp -q -t_srs EPSG:'"$epsg"' -tr '"$gsd $gsd"' -tap -r bilinear -dstalpha -co TILED=YES "$1" '"$work"'/warped/$(basename "$1")' _ {}
gdalbuildvrt -q "$work/field.vrt" "$work/warped"/*.tif
gdal_translate -q -of COG -co COMPRESS=DEFLATE -co PREDICTOR=YES "$work/field.vrt" "$work/gdal.tif"
gdal=$(echo "$(date +%s.%N) - $start" | bc)

printf '%s captures: mosaic with refinement %.1f s (median of 3, peak %d MB), without %.1f s; ' \
  "$count" "$mosaic" "$((memory / 1024))" "$norefine"
printf 'export + gdalwarp + gdalbuildvrt + COG %.1f s: %.1f x\n' "$gdal" "$(echo "$gdal / $mosaic" | bc -l)"
