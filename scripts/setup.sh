#!/usr/bin/env bash
# Installs every Debian package the console, its tests and its benchmarks need (Debian 12). Installs only what is
# missing, so a second run costs a second. Needs root (or sudo).
set -euo pipefail

packages=(
  build-essential cmake pkg-config python3
  qt6-base-dev libqt6test6 qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
  libgtest-dev libbenchmark-dev
  libudev-dev libgphoto2-dev libjpeg62-turbo-dev libexif-dev
  gphoto2
  appstream desktop-file-utils dpkg-dev fakeroot
  clang libclang-rt-14-dev
  xvfb xauth xdotool x11-apps x11-utils imagemagick openbox xclip
  fusefat fuse dosfstools
  fonts-liberation fonts-wqy-zenhei
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  as_root=(sudo)
fi
echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends -o DPkg::Lock::Timeout=300 "${missing[@]}"
