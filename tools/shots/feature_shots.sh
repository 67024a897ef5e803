#!/usr/bin/env bash
# Takes the round's aids (summary, countdown, first-start hint, number pad, helped answer) in
# German, French and Norwegian at the normal and the double scale, for looking them over:
#   bash tools/shots/feature_shots.sh OUT_DIR [BUILD_DIR]
# Needs Xvfb and ImageMagick, like readme_shots.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=${1:?output folder}
build=${2:-build}
mkdir -p "$out"
game=$build/tests/shot_game
for scale in 1 2; do
    size=$((1024 * scale))x$((768 * scale))
    for language in de:0 fr:6000 nb:5000; do
        name=${language%%:*} base=${language#*:}
        for shot in summary:3 countdown:4.5 firststart:3 pad:4 helped:5; do
            # Waits long enough for a loaded machine; the double scale paints slower.
            action=${shot%%:*} wait=$(awk -v w="${shot#*:}" -v s="$scale" 'BEGIN { print w + s - 1 }')
            file=$out/$action-$name-${scale}x.png
            QT_SCALE_FACTOR=$scale tools/shots/shoot.sh "$file" "$wait" "$size" \
                "$game" 2 "$action" "$base"
            convert "$file" -trim +repage "$file"
        done
    done
done
echo "screenshots written to $out"
