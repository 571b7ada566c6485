#!/usr/bin/env bash
# Installs what the build needs (the set-up), builds the Debian package
# build/package/tunwick_<version>_<arch>.deb, then checks it: its file list, the desktop entry and the software
# centre's metadata with their validators, and lintian, which must report no error.
# Install it with: apt-get install ./build/package/tunwick_*.deb
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

bash scripts/setup.sh

BUILD="$ROOT/build/package"
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DTUNWICK_BUILD_TESTS=OFF -DTUNWICK_BUILD_BENCH=OFF
cmake --build "$BUILD" -j"$(nproc)"
rm -f "$BUILD"/tunwick_*.deb
(cd "$BUILD" && cpack -G DEB)

bash scripts/package-check.sh "$BUILD"/tunwick_*.deb
