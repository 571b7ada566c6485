#!/usr/bin/env bash
# Checks a built Debian package: every file a desktop install needs is in it, the desktop
# entry and the AppStream metainfo pass their validators, the man page is well formed, and
# lintian reports no error (its warnings are listed in docs/internals/package.md).
#   bash scripts/package-check.sh build/package/tunwick_1.0.1_amd64.deb
set -euo pipefail
deb=$1
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

dpkg-deb --field "$deb" Package Version Architecture Depends Recommends
dpkg-deb --extract "$deb" "$work/root"
dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/files"

wanted=(
  /usr/bin/tunwick
  /usr/share/tunwick/lumo.wav
  /usr/share/applications/org.tunwick.Tunwick.desktop
  /usr/share/metainfo/org.tunwick.Tunwick.metainfo.xml
  /usr/share/icons/hicolor/scalable/apps/tunwick.svg
  /usr/share/man/man1/tunwick.1.gz
  /usr/share/doc/tunwick/copyright
  /usr/share/doc/tunwick/changelog.gz
)
for size in 16 32 48 64 128 256; do wanted+=("/usr/share/icons/hicolor/${size}x${size}/apps/tunwick.png"); done
for song in "$ROOT"/res/examples/*.txt; do wanted+=("/usr/share/tunwick/examples/$(basename "$song")"); done
for file in "${wanted[@]}"; do
  grep -qxF "$file" "$work/files" || fail "$file is not in the package"
done
echo "files: ${#wanted[@]} wanted, $(grep -c . "$work/files") in the package"

# A General MIDI soundfont comes with it; the libraries were computed, not left out.
depends=$(dpkg-deb --field "$deb" Depends)
case "$depends" in *timgm6mb-soundfont*) ;; *) fail "no soundfont in Depends: $depends" ;; esac
# So are the numbered notation's SVG module and the two fonts it is drawn in, and Qt's
# translations for its own dialogs.
for library in libfluidsynth libqt6widgets libqt6svg6 libpulse libaubio5 fonts-dejavu-core \
  fonts-wqy-zenhei qt6-translations-l10n; do
  case "$depends" in *"$library"*) ;; *) fail "$library is not in Depends: $depends" ;; esac
done

# The copyright file is machine-readable: its first line names the format.
head -n 1 "$work/root/usr/share/doc/tunwick/copyright" |
  grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "copyright is not in the machine-readable format"

desktop-file-validate "$work/root/usr/share/applications/org.tunwick.Tunwick.desktop" ||
  fail "desktop-file-validate"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/org.tunwick.Tunwick.metainfo.xml" ||
  fail "appstreamcli validate"
man_warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
  "$work/root/usr/share/man/man1/tunwick.1.gz" 2>&1 >/dev/null || true)
[ -z "$man_warnings" ] || fail "the man page: $man_warnings"

# lintian: errors fail; warnings are shown (and named in docs/internals/package.md).
lintian --allow-root --tag-display-limit 0 "$deb" | tee "$work/lintian" || true
if grep -q '^E:' "$work/lintian"; then fail "lintian reports errors"; fi

if [ "$failures" -gt 0 ]; then
  echo "package check: $failures failure(s)"
  exit 1
fi
echo "package check: $(basename "$deb") passed"
