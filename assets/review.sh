#!/bin/sh
# Builds the review tool and writes a contact sheet of every generated picture and font and a
# rendering of every map on the puzzle screen, for looking at the game's content by eye.
# Usage: assets/review.sh [build folder] [output folder]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build-review"}
out=${2:-"$build/review"}
[ -f "$build/build.ninja" ] || [ -f "$build/Makefile" ] || cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target quorvane_review
"$build/assets/content/quorvane_review" "$out"
echo "open $out/contact_sheet.png, $out/maps_overview.png and $out/maps/N.png"
