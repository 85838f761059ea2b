#!/usr/bin/env bash
# Renders the program's icon (packaging/fleetdesk.svg) as the PNG sizes the desktop and the
# program's windows use: packaging/icons/NxN/fleetdesk.png. Run it again after changing the SVG
# and commit what it writes.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
svg=$root/packaging/fleetdesk.svg
command -v rsvg-convert >/dev/null || "$root/tools/install-deps.sh"
for size in 16 32 48 64 128 256; do
  out=$root/packaging/icons/${size}x${size}/fleetdesk.png
  mkdir -p "$(dirname "$out")"
  rsvg-convert --width "$size" --height "$size" --format png --output "$out" "$svg"
  echo "$out"
done
