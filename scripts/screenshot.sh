#!/usr/bin/env bash
# Takes the README's picture: runs the built vexa in a private Xvfb and saves
# its window as PNG (default docs/vexa.png). With a second argument it also
# writes the 256 x 256 icon made from the same picture.
#   scripts/screenshot.sh [picture.png [icon.png]]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/vexa.png}
icon=${2:-}
mkdir -p "$(dirname "$out")"
# The paths travel as arguments, never spliced into the script text.
xvfb-run -a -s "-screen 0 1024x768x24 +extension GLX" bash -c '
  set -euo pipefail
  build/vexa >/dev/null 2>&1 &
  pid=$!
  trap "kill $pid 2>/dev/null || true" EXIT
  win=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" --name "Vexa v3.0.0b" | head -n 1)
  [ -n "$win" ] || { echo "no vexa window appeared" >&2; exit 1; }
  sleep 2
  import -window "$win" "$1"
' screenshot "$out"
if [ -n "$icon" ]; then
  mkdir -p "$(dirname "$icon")"
  convert "$out" -resize 256x256 "$icon"
fi
echo "wrote $out${icon:+ and $icon}"
