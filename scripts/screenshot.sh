#!/usr/bin/env bash
# Takes the README's picture: runs the built vexa in a private Xvfb and
# saves its window as docs/vexa.png.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/vexa.png}
mkdir -p "$(dirname "$out")"
xvfb-run -a -s "-screen 0 1024x768x24 +extension GLX" bash -c '
  build/vexa >/dev/null 2>&1 &
  pid=$!
  win=$(timeout 20 xdotool search --sync --onlyvisible --pid $pid --name "Vexa v3.0.0b" | head -n 1)
  sleep 2
  import -window "$win" "'"$out"'"
  kill $pid'
echo "wrote $out"
