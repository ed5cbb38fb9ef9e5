#!/usr/bin/env bash
# The package as a distribution would judge it: builds the .deb from build/
# into build/deb and fails on any lintian error or warning (pedantic, infos
# shown), on any error or warning of appstreamcli, on any word from
# desktop-file-validate, and on any warning while formatting the manual pages.
# A tool that is missing, or that fails to run at all, fails the check too.
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in cpack dpkg-deb lintian appstreamcli desktop-file-validate man; do
  if ! command -v "$tool" >/dev/null; then
    echo "package check: FAILED: $tool is not installed (scripts/setup.sh --checks installs it)"
    exit 1
  fi
done
[ -x build/vexa ] || scripts/build.sh
cmake --build build --target vexa_gzipped >/dev/null
rm -rf build/deb
if ! cpack --config build/CPackConfig.cmake -B build/deb > build/cpack.log 2>&1; then
  echo "package check: FAILED: cpack could not make the package; it said:"
  cat build/cpack.log
  exit 1
fi
deb=$(ls build/deb/vexa_*.deb)
echo "Package: $deb"
failed=0

# lintian's own status judges: 1 for a tag of those levels, 2 when lintian
# itself could not run.
status=0
lintian --pedantic --display-info --fail-on error,warning "$deb" > build/deb/lintian.txt 2>&1 || status=$?
cat build/deb/lintian.txt
if [ "$status" -ne 0 ]; then
  echo "lintian: FAILED with status $status (1: an error or warning above; 2: lintian could not run)"
  failed=1
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
