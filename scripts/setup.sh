#!/usr/bin/env bash
# Installs what building and testing vexa need, from Debian's packages;
# with --checks also what the deeper checks need (clang for the fuzzer,
# lintian); with --package what the source package's build and checks need
# (debhelper, autopkgtest, diffoscope, faketime, a locale to build in); with --cross
# the cross compilers and the :<arch> libraries of every other architecture
# Debian releases, and qemu-user to run their programs.
# As root it runs apt-get itself; otherwise it prints the command to run.
#
# The registry is not always whole: an index may fail to download for an
# hour ("Mirror sync in progress?"), and a foreign architecture's index may
# lag the security updates that the machine's own packages already have, so
# that a Multi-Arch: same pair finds no common version. So the update is
# retried and then let go, and an install that fails is tried again from the
# release's own archive before the script gives up, naming what it could
# not install and why.
set -euo pipefail

packages=(cmake g++ make pkg-config freeglut3-dev libglu1-mesa-dev libgl1-mesa-dev libgl1-mesa-dri
          libgtest-dev xvfb xauth xdotool imagemagick x11-utils dpkg-dev file desktop-file-utils)
# What the package tests run: man and lexgrog on the manual pages, appstreamcli
# on the metadata.
packages+=(man-db groff-base appstream)
if [ "${1:-}" = "--checks" ]; then
  packages+=(clang libclang-rt-14-dev)
  packages+=(lintian)  # the package check (scripts/package_check.sh)
fi
if [ "${1:-}" = "--package" ]; then
  packages+=(debhelper lintian autopkgtest diffoscope-minimal locales faketime)
fi
if [ "${1:-}" = "--cross" ]; then
  packages+=(qemu-user lintian)
  # Each architecture and its cross compiler's GNU triplet.
  declare -A triplet=([i386]=i686-linux-gnu [arm64]=aarch64-linux-gnu [armhf]=arm-linux-gnueabihf
                      [armel]=arm-linux-gnueabi [ppc64el]=powerpc64le-linux-gnu [s390x]=s390x-linux-gnu
                      [mips64el]=mips64el-linux-gnuabi64 [mipsel]=mipsel-linux-gnu)
  for arch in "${!triplet[@]}"; do
    packages+=("g++-${triplet[$arch]}" "libc6:$arch" "libstdc++6:$arch" "freeglut3-dev:$arch"
               "libglu1-mesa-dev:$arch" "libgl1-mesa-dev:$arch" "libgtest-dev:$arch")
  done
  packages+=(libgl1-mesa-dri:i386)  # the i386 GL tests draw with i386 Mesa
  for arch in "${!triplet[@]}"; do
    dpkg --print-foreign-architectures | grep -qx "$arch" && continue
    if [ "$(id -u)" -ne 0 ]; then
      echo "Run: sudo dpkg --add-architecture $arch"
      exit 1
    fi
    dpkg --add-architecture "$arch"
  done
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}"
  echo "Run: sudo apt-get update && sudo apt-get install -y ${missing[*]}"
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
log=$(mktemp /tmp/vexa-setup-XXXXXX)
trap 'rm -f "$log"' EXIT
# Another apt or dpkg at work (an unattended upgrade, a second CI step) is
# waited for, not taken as a failure.
wait=(-o DPkg::Lock::Timeout=600)
lockHeld() { grep -q "Could not get lock" "$log"; }

# The indexes: tried three times. apt-get update does not wait for the lists'
# lock, so a held lock is waited out here, up to ten minutes.
# A source that cannot be reached is only a warning to apt; a broken index
# is an error. Either way the lines name the index.
updateIndexes() {
  local try=0 waited=0
  while ! apt-get "${wait[@]}" update -qq >"$log" 2>&1; do
    if lockHeld && [ "$waited" -lt 600 ]; then
      sleep 5; waited=$((waited + 5)); continue
    fi
    try=$((try + 1))
    [ "$try" -ge 3 ] && break
    echo "setup: apt-get update failed; trying again in $((try * 10)) s"
    sleep $((try * 10))
  done
  if grep -Eq '^(E|W): (Failed to fetch|Could not|Unable)|^Err:' "$log"; then
    echo "setup: these indexes could not be read; the install goes on with what apt has:"
    grep -E '^(E|W): (Failed to fetch|Could not|Unable)|^Err:' "$log" | sed 's/^/  /'
  elif [ "$try" -ge 3 ]; then
    cat "$log"
  fi
}

# One install; its output is shown and kept for the reason of a failure.
install() {
  apt-get "${wait[@]}" install -y -qq --no-install-recommends "$@" "${missing[@]}" 2>&1 | tee "$log"
  return "${PIPESTATUS[0]}"
}

echo "Installing: ${missing[*]}"
updateIndexes
install && exit 0
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
if [ -n "$codename" ]; then
  echo "setup: the install failed; trying again with $codename's own archive preferred (-t $codename)"
  install -t "$codename" && exit 0
fi
echo "setup: FAILED: could not install: ${missing[*]}"
echo "setup: apt said:"
grep -E '^(E:| [^ ].* : (Depends|Breaks|Conflicts|PreDepends))' "$log" | sed 's/^/  /' || tail -n 20 "$log"
exit 1
