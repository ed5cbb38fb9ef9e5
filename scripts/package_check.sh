#!/usr/bin/env bash
# The package as a distribution would judge it: builds the .deb from a build
# tree (build/, or BUILD_DIR) into its deb/ and fails on any lintian error or
# warning (pedantic, infos shown). A cross build's tree is packaged for its
# architecture with DEB_HOST_ARCH set, which dpkg-shlibdeps reads.
#   [DEB_HOST_ARCH=ARCH] scripts/package_check.sh [BUILD_DIR]
# A tool that is missing, or that fails to run at all, fails the check too.
# appstreamcli, desktop-file-validate and man judge the same files in the
# package tests (tests/e2e_package.cpp), which scripts/test.sh runs.
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in cpack lintian; do
  if ! command -v "$tool" >/dev/null; then
    echo "package check: FAILED: $tool is not installed (scripts/setup.sh --checks installs it)"
    exit 1
  fi
done
dir=${1:-build}
if [ "$dir" = build ]; then
  [ -x build/vexa ] || scripts/build.sh
elif [ ! -x "$dir/vexa" ]; then
  echo "package check: FAILED: $dir has no built vexa"
  exit 1
fi
cmake --build "$dir" --target vexa_gzipped >/dev/null
rm -rf "$dir/deb"
if ! (cd "$dir" && cpack --config CPackConfig.cmake -B deb > cpack.log 2>&1); then
  echo "package check: FAILED: cpack could not make the package; it said:"
  cat "$dir/cpack.log"
  exit 1
fi
deb=$(ls "$dir"/deb/vexa_*.deb)
echo "Package: $deb"

# lintian's own status judges: not 0 for an error or warning of the package
# or when lintian could not run (both 2 in this version).
status=0
lintian --pedantic --display-info --fail-on error,warning "$deb" > "$dir/deb/lintian.txt" 2>&1 || status=$?
cat "$dir/deb/lintian.txt"
if [ "$status" -ne 0 ]; then
  echo "lintian: FAILED with status $status (an error or warning above, or lintian could not run)"
  exit 1
fi
echo "Package check passed."
