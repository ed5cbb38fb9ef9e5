#!/usr/bin/env bash
# The package as a distribution would judge it: builds the .deb from build/
# into build/deb and fails on any lintian error or warning (pedantic, infos
# shown). A tool that is missing, or that fails to run at all, fails the check
# too. appstreamcli, desktop-file-validate and man judge the same files in the
# package tests (tests/e2e_package.cpp), which scripts/test.sh runs.
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in cpack lintian; do
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

# lintian's own status judges: not 0 for an error or warning of the package
# or when lintian could not run (both 2 in this version).
status=0
lintian --pedantic --display-info --fail-on error,warning "$deb" > build/deb/lintian.txt 2>&1 || status=$?
cat build/deb/lintian.txt
if [ "$status" -ne 0 ]; then
  echo "lintian: FAILED with status $status (an error or warning above, or lintian could not run)"
  exit 1
fi
echo "Package check passed."
