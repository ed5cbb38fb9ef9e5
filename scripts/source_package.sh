#!/usr/bin/env bash
# The source release as a distribution takes it, end to end:
#  1. the release tarball (scripts/release.sh), unpacked away from git;
#  2. dpkg-buildpackage -us -uc on it as the user vexa-build, without
#     network, the tests running at build time in a private X server;
#  3. lintian --pedantic on the upload (.changes: source and binaries);
#  4. autopkgtest on the built package, installed here (the null runner);
#  5. a second build from another path, with the clock 400 days on (faketime),
#     another umask, locale and time zone (tests built, not run): every .deb
#     must equal the first's byte for byte; diffoscope shows any difference.
# Runs as root: it makes the build user and installs the packages here.
#   scripts/source_package.sh [WORK_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -ne 0 ]; then
  echo "source package: run it as root: it builds as the user vexa-build, and autopkgtest installs the packages here"
  exit 1
fi
scripts/setup.sh
scripts/setup.sh --package
work=${1:-$(mktemp -d /tmp/vexa-source-XXXXXX)}
mkdir -p "$work"
chmod 755 "$work"
id -u vexa-build >/dev/null 2>&1 || useradd --system --shell /usr/sbin/nologin vexa-build
mkdir -p "$work/home"
chown vexa-build "$work/home"
version=$(dpkg-parsechangelog -S Version)
arch=$(dpkg --print-architecture)
begun=$(date +%s)
elapsed() { echo "$(($(date +%s) - begun)) s"; }

# Runs a command as vexa-build in a network namespace of its own (no route
# anywhere), in the work directory and with its home there: the clone this
# script runs from may be closed to that user (mktemp -d makes it 0700).
asBuilder() {
  (cd "$work" && unshare --net runuser -u vexa-build -- env HOME="$work/home" "$@")
}

# build DIR UMASK [NAME=VALUE...] [PREFIX...]: unpacks DIR's tarball in DIR and runs
# dpkg-buildpackage there under UMASK, through env with those arguments, as the
# build user; the log goes to DIR/build.log.
build() {
  local dir=$1 mask=$2
  shift 2
  tar -xf "$dir/vexa-$version.tar.xz" -C "$dir"
  chown -R vexa-build "$dir"
  if ! asBuilder "$@" bash -c "umask $mask && cd '$dir/vexa-$version' && dpkg-buildpackage -us -uc" \
      > "$dir/build.log" 2>&1; then
    tail -n 150 "$dir/build.log"
    echo "source package: FAILED: dpkg-buildpackage in $dir (log above, whole in $dir/build.log)"
    exit 1
  fi
  (cd "$dir" && ls -l -- *.deb)
}

first=$work/first
scripts/release.sh "$first"
build "$first" 022 LC_ALL=C.UTF-8 TZ=UTC DEB_BUILD_OPTIONS="parallel=$(nproc)"
# The tests must have run, every one of them.
grep -x "100% tests passed, 0 tests failed out of [0-9]*" "$first/build.log"
echo "=== built in $first ($(elapsed))"
changes=$first/vexa_${version}_$arch.changes

# lintian's own status judges: not 0 for an error or warning of the upload
# or when lintian could not run (both 2 in this version).
status=0
asBuilder lintian --pedantic --display-info --fail-on error,warning "$changes" || status=$?
if [ "$status" -ne 0 ]; then
  echo "source package: FAILED: lintian ended with status $status (an error or warning above, or lintian could not run)"
  exit 1
fi
echo "=== lintian passed ($(elapsed))"

# autopkgtest judges the package installed here from the built .deb, with
# debian/tests from the build's tree (-B: it installs no binaries itself, so
# it never runs apt-get update, which a registry index that fails would stop).
# Its status: 0 when every test passed; 2 is a skipped test, 4 a failed one,
# 8 none run, more an error of its own. vexa is taken away again afterwards,
# unless it was installed before.
installed=$(dpkg-query -W -f '${Status}' vexa 2>/dev/null || echo none)
apt-get install -y -qq --no-install-recommends "$first/vexa_${version}_$arch.deb" > /dev/null
status=0
autopkgtest -B --output-dir "$work/autopkgtest" "$first/vexa-$version" -- null || status=$?
case $installed in *"ok installed") ;; *) apt-get purge -y -qq vexa > /dev/null ;; esac
if [ "$status" -ne 0 ]; then
  echo "source package: FAILED: autopkgtest ended with status $status (2 skipped, 4 failed, 8 no test, more its own error)"
  exit 1
fi
echo "=== autopkgtest passed ($(elapsed))"

# The second build: a longer path, a German locale made here for it, a time
# zone 12:45 ahead, a umask that lets the group write, and a clock that
# every program of the build reads as 400 days later.
second=$work/second/from/another/path
mkdir -p "$second" "$work/locale"
cp "$first/vexa-$version.tar.xz" "$second/"
localedef -i de_DE -f UTF-8 "$work/locale/de_DE.UTF-8"
build "$second" 002 LOCPATH="$work/locale" LC_ALL=de_DE.UTF-8 TZ=Pacific/Chatham \
  DEB_BUILD_OPTIONS="nocheck parallel=$(nproc)" faketime -f +400d
echo "=== built again in $second ($(elapsed))"

cd "$first"
debs=(*.deb)
(cd "$second" && ls -- *.deb) > "$work/second.list"
if [ "$(printf '%s\n' "${debs[@]}")" != "$(cat "$work/second.list")" ]; then
  echo "source package: FAILED: the builds made different packages: ${debs[*]} and $(cat "$work/second.list")"
  exit 1
fi
for deb in "${debs[@]}"; do
  if ! cmp "$deb" "$second/$deb"; then
    diffoscope "$deb" "$second/$deb" | head -n 200
    echo "source package: FAILED: $deb differs between the two builds (diffoscope above)"
    exit 1
  fi
  echo "identical: $deb ($(sha256sum < "$deb" | cut -c1-16))"
done
# The host is the same for both builds, so cmp cannot see its name.
host=$(hostname)
for deb in "${debs[@]}"; do
  mkdir -p "$work/contents/$deb"
  dpkg-deb -x "$deb" "$work/contents/$deb"
done
if [ ${#host} -ge 6 ] && grep -rlaF "$host" "$work/contents"; then
  echo "source package: FAILED: the files above hold the build host's name, $host"
  exit 1
fi
# Nor can it see a time both builds share, such as the changelog's: no gzip
# member may carry a time or a file name in its header.
for gz in $(find "$work/contents" -name '*.gz'); do
  header=$(od -An -tx1 -N8 "$gz" | tr -d ' \n')
  if [ "${header:6:10}" != "0000000000" ]; then
    echo "source package: FAILED: $gz carries a name or a time in its gzip header ($header)"
    exit 1
  fi
done
echo "=== source package passed ($(elapsed))"
