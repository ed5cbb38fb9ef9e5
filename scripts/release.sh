#!/usr/bin/env bash
# Makes the source release from the committed tree: vexa-VERSION.tar.xz in
# OUT_DIR (default dist/), holding the files git tracks under vexa-VERSION/,
# less those .gitattributes marks export-ignore. It is also the Debian source
# package, whose debian/ it holds, so VERSION is debian/changelog's newest
# (3.0.0~b). Every member carries the commit's time and xz runs on one
# thread, so one commit gives the same bytes wherever and whenever it is made.
#   scripts/release.sh [OUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(mkdir -p "${1:-dist}" && cd "${1:-dist}" && pwd)
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release: FAILED: the tree has uncommitted changes, which the release would leave out:"
  git status --short --untracked-files=no
  exit 1
fi
name=vexa-$(dpkg-parsechangelog -S Version)
git archive --format=tar --prefix="$name/" HEAD | xz -9 -T1 > "$out/$name.tar.xz"
echo "release: $out/$name.tar.xz ($(git rev-parse --short HEAD), $(stat -c %s "$out/$name.tar.xz") bytes)"
