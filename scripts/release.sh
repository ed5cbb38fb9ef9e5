#!/usr/bin/env bash
# Makes the source release from the committed tree: vexa-VERSION.tar.xz in
# OUT_DIR (default dist/), holding the files git tracks under vexa-VERSION/,
# less those .gitattributes marks export-ignore. VERSION is the upstream part
# of debian/changelog's newest entry (3.0.0~b). Every member carries the
# commit's time and xz runs on one thread, so one commit gives the same
# bytes wherever and whenever it is made. Beside it goes the name Debian's
# source package looks for, vexa_VERSION.orig.tar.xz.
#   scripts/release.sh [OUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(mkdir -p "${1:-dist}" && cd "${1:-dist}" && pwd)
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release: FAILED: the tree has uncommitted changes, which the release would leave out:"
  git status --short --untracked-files=no
  exit 1
fi
version=$(dpkg-parsechangelog -S Version)
version=${version%-*}
name=vexa-$version
git archive --format=tar --prefix="$name/" HEAD | xz -9 -T1 > "$out/$name.tar.xz"
ln -sf "$name.tar.xz" "$out/vexa_$version.orig.tar.xz"
echo "release: $out/$name.tar.xz ($(git rev-parse --short HEAD), $(stat -c %s "$out/$name.tar.xz") bytes)"
