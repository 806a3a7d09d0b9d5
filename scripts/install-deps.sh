#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; quick when all are there.
# With "fuzz" (make fuzz, make fuzz-replay) also clang with libFuzzer and the
# sanitizer runtimes.
set -euo pipefail
pkgs=(build-essential cmake pkg-config libjpeg62-turbo-dev libexpat1-dev zlib1g-dev libgtest-dev libgmock-dev
      libpng-dev  # the PNG tests decode pixels before and after
      qt6-base-dev qt6-base-dev-tools libgl-dev libimage-exiftool-perl
      qt6-l10n-tools qt6-translations-l10n  # lupdate, lrelease; Qt's own German
      webp libwebp-dev  # cwebp, img2webp, webpmux make the WebP fixtures and make bench's set; libwebp decodes them in the tests
      xvfb xauth  # xvfb, xauth: tools/screenshot.sh
      ffmpeg  # makes the movie tests' clips and decodes their frames before and after; make bench's video set
      libheif-examples libheif-dev  # heif-enc makes the HEIF tests' fixtures and make bench's set; libheif decodes them in the tests only
      dpkg-dev file librsvg2-bin appstream groff-base  # make package and its tests
      xfsprogs)  # make bench: mkfs.xfs for the video set on an XFS with reflink (the step is skipped without it)
fuzz_pkgs=(clang libclang-rt-dev)
[ "${1:-}" = fuzz ] && pkgs+=("${fuzz_pkgs[@]}")
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
