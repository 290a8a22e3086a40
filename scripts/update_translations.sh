#!/usr/bin/env bash
# Brings the English catalogues (res/i18n/*_en.ts) up to date with the texts in the sources: new texts arrive
# unfinished, texts gone from the sources are dropped. Fill in the new ones (Qt Linguist, or by hand) and commit.
# QUOR_TS_DIR updates the catalogues in another folder instead (the translation check works on copies).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
lupdate=/usr/lib/qt6/bin/lupdate
ts_dir="$(realpath "${QUOR_TS_DIR:-$root/res/i18n}")"
cd "$root"
update() {
  local ts="$ts_dir/$1"; shift
  "$lupdate" -silent -no-obsolete -locations none -I "$root" -source-language zh_CN -target-language en "$@" -ts "$ts"
}
update console_en.ts console app
update host_en.ts component/host
update camera_en.ts component/gphoto component/sim component/session component/storage component/liveview
