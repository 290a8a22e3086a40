#!/usr/bin/env bash
# Builds, for the tests only, a private libgphoto2 with its virtual USB camera (a PTP body that serves the JPEGs
# of $VCAMERADIR/DCIM on port usb:001,001). Debian 12's libgphoto2 is built without it; the Debian source of the
# next release builds with it. Never installed system-wide and never used by the product: the tests reach it
# through LD_LIBRARY_PATH, CAMLIBS and IOLIBS.
#
#   build_vcamera_libgphoto2.sh [folder]     (default: build-vcamera/ in the repository)
#
# Leaves the library under <folder>/prefix. A second run with the prefix in place returns at once.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
dir="$(mkdir -p "${1:-$root/build-vcamera}" && cd "${1:-$root/build-vcamera}" && pwd)"
prefix="$dir/prefix"
stamp="$prefix/.quortovu-vcamera"

if [ -f "$stamp" ]; then
  exit 0
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive

# The source comes from the next Debian release's source index.
list=/etc/apt/sources.list.d/quortovu-trixie-src.sources
if [ ! -f "$list" ]; then
  echo "vcamera: adding the trixie source index ($list)" >&2
  printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: trixie' 'Components: main' \
    'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' | "${as_root[@]}" tee "$list" >/dev/null
  "${as_root[@]}" apt-get update -q
elif ! compgen -G '/var/lib/apt/lists/*_dists_trixie_main_source_Sources*' >/dev/null; then
  "${as_root[@]}" apt-get update -q
fi

# What unpacking and building it takes.
packages=(build-essential dpkg-dev pkg-config libltdl-dev libexif-dev libjpeg62-turbo-dev xz-utils
          debian-archive-keyring)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "vcamera: installing ${missing[*]}" >&2
  "${as_root[@]}" apt-get install -y -q --no-install-recommends -o DPkg::Lock::Timeout=300 "${missing[@]}"
fi

src="$dir/src"
rm -rf "$src" "$prefix"
mkdir -p "$src"
echo "vcamera: fetching and building libgphoto2 from trixie with its virtual camera (a minute or two)" >&2
(cd "$src" && apt-get source -q "libgphoto2/trixie" >"$dir/fetch.log" 2>&1) || {
  cat "$dir/fetch.log" >&2
  exit 1
}
tree="$(find "$src" -mindepth 1 -maxdepth 1 -type d -name 'libgphoto2-*' | head -n1)"
if [ -z "$tree" ]; then
  echo "vcamera: the source of libgphoto2 did not unpack into $src" >&2
  exit 1
fi

# Only the PTP driver and the virtual USB port: no real USB, no serial ports, no translations, and none of the
# optional libraries whose presence would make one machine's build differ from another's.
log="$dir/build.log"
if ! (cd "$tree" &&
      ./configure --enable-vusb --with-libusb-1.0=no --with-libusb=no --with-camlibs=ptp2 --disable-nls \
        --disable-serial --disable-static --with-libxml-2.0=no --with-libcurl=no --with-gdlib=no \
        --prefix="$prefix" &&
      make -j"$(nproc)" install) >"$log" 2>&1; then
  tail -n 40 "$log" >&2
  echo "vcamera: the build failed; the whole log is $log" >&2
  exit 1
fi
for f in "$prefix/lib/libgphoto2.so.6" "$prefix/lib/libgphoto2_port.so.12"; do
  [ -e "$f" ] || { echo "vcamera: $f was not installed" >&2; exit 1; }
done
ls "$prefix"/lib/libgphoto2/*/ptp2.so "$prefix"/lib/libgphoto2_port/*/vusb.so >/dev/null
rm -rf "$src"
touch "$stamp"
echo "vcamera: libgphoto2 ${tree##*/libgphoto2-} with the virtual camera is in $prefix" >&2
