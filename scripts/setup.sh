#!/usr/bin/env bash
# Installs every Debian package Tunwick needs to build, run and test.
# Safe to run again: apt skips what is already there.
set -euo pipefail

PACKAGES=(
  # toolchain; clang-format keeps the sources in one format
  build-essential g++ cmake pkg-config git clang-format-14
  # the naming convention checked (clang-tidy's identifier-naming check)
  clang-tidy-14
  # fuzzing and sanitizers (libFuzzer ships with clang's runtime)
  clang-14 libclang-rt-14-dev
  # window
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # Qt's own dialogs and buttons in Chinese (qtbase_zh_CN)
  qt6-translations-l10n
  # Chinese text in the dialog; the numbered notation's digits and music signs (♩ ♯ ♭), and its
  # SVG export
  fonts-wqy-zenhei fonts-dejavu-core fontconfig libfontconfig-dev qt6-svg-dev
  # sound: embedded synthesizer, General MIDI soundfont, ALSA ports, WAV files, and the
  # synthesizer's own PulseAudio stream
  libfluidsynth-dev timgm6mb-soundfont librtmidi-dev libasound2-dev libsndfile1-dev libpulse-dev
  # sing-back: pitch tracking (aubio, GPL-3.0-or-later), capture from the default input
  # (RtAudio); aubio's own command-line tracker, which the pitch benchmark compares with
  libaubio-dev librtaudio-dev aubio-tools
  # the practice history: SQLite through its own C interface (a few prepared statements need
  # no wrapper library)
  libsqlite3-dev
  # legacy GBK score files
  libc-bin
  # songs imported from MusicXML: compressed .mxl archives (its XML is read by Qt)
  libzip-dev
  # tests and benchmarks; abc2midi and MuseScore 3, the independent ABC and MusicXML readers the
  # import tests compare with
  libgtest-dev libgmock-dev libbenchmark-dev abcmidi musescore3
  # GUI tests and screenshots on a virtual display; xprop (x11-utils) follows the caption
  xvfb xauth imagemagick xdotool x11-utils
  # the numbered notation's PDF read back (pdftotext, pdfinfo) and its pages looked at (pdftoppm)
  poppler-utils
  # live playback test and timing benchmark: a private sound server whose output is captured,
  # FluidSynth's own player beside ours; peak memory in the benchmarks (/usr/bin/time)
  pulseaudio fluidsynth time
  # the Debian package: dependencies computed (dpkg-shlibdeps), the man page made from --help,
  # and the checks of what it installs (desktop entry, AppStream metainfo, man page, lintian)
  dpkg-dev fakeroot file help2man man-db lintian desktop-file-utils appstream
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
