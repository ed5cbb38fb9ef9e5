#!/usr/bin/env bash
# Installs what building and testing vexa need, from Debian's packages;
# with --checks also what the deeper checks need (clang for the fuzzer);
# with --cross the cross compilers and the :i386 and :arm64 libraries of
# the cross builds, and qemu-user to run the arm64 programs.
# As root it runs apt-get itself; otherwise it prints the command to run.
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
if [ "${1:-}" = "--cross" ]; then
  packages+=(g++-i686-linux-gnu g++-aarch64-linux-gnu qemu-user)
  for arch in i386 arm64; do
    packages+=("libc6:$arch" "libstdc++6:$arch" "freeglut3-dev:$arch" "libglu1-mesa-dev:$arch"
               "libgl1-mesa-dev:$arch" "libgtest-dev:$arch")
  done
  packages+=(libgl1-mesa-dri:i386)  # the i386 GL tests draw with i386 Mesa
  for arch in i386 arm64; do
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
if [ "$(id -u)" -eq 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "Missing packages: ${missing[*]}"
  echo "Run: sudo apt-get update && sudo apt-get install -y ${missing[*]}"
  exit 1
fi
