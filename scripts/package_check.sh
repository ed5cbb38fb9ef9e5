#!/usr/bin/env bash
# The package as a distribution would judge it: builds the .deb from build/
# into build/deb and fails on any lintian error or warning (pedantic, infos
# shown), on any error or warning of appstreamcli, on any word from
# desktop-file-validate, and on any warning while formatting the manual pages.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -x build/vexa ] || scripts/build.sh
cmake --build build --target vexa_gzipped >/dev/null
rm -rf build/deb
cpack --config build/CPackConfig.cmake -B build/deb > build/cpack.log 2>&1
deb=$(ls build/deb/vexa_*.deb)
echo "Package: $deb"
failed=0

# lintian warns when run as root, which CI containers are; that line is not a tag.
lintian --pedantic --display-info "$deb" 2>&1 | grep -v '^running with root privileges' | tee build/deb/lintian.txt || true
if grep -Eq '^[EW]: ' build/deb/lintian.txt; then
  echo "lintian: errors or warnings above"; failed=1
fi

# What the package holds, as dpkg would unpack it.
root=build/deb/root
dpkg-deb -x "$deb" "$root"
metainfo=$(ls "$root"/usr/share/metainfo/*.metainfo.xml)
if ! appstreamcli validate --no-net "$metainfo" | tee build/deb/appstream.txt ||
    grep -Eq '^[EW]: ' build/deb/appstream.txt; then
  echo "appstreamcli: errors or warnings above"; failed=1
fi

said=$(desktop-file-validate "$root"/usr/share/applications/vexa.desktop 2>&1) || failed=1
if [ -n "$said" ]; then
  echo "$said"; failed=1
fi

pages=("$root"/usr/share/man/man1/vexa.1.gz "$root"/usr/share/man/man1/vexa_bench.1.gz)
for page in "${pages[@]}"; do
  said=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null) || failed=1
  if [ -n "$said" ]; then
    echo "$page: $said"; failed=1
  fi
done

[ "$failed" -eq 0 ] && echo "Package check passed."
exit "$failed"
