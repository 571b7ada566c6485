#!/usr/bin/env bash
# Installs what Tunwick needs, builds it and starts the program (arguments are passed on).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

bash scripts/setup.sh

BUILD="$ROOT/build/release"
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNWICK_BUILD_TESTS=OFF -DTUNWICK_BUILD_BENCH=OFF
cmake --build "$BUILD" -j"$(nproc)" --target tunwick

exec "$BUILD/cli/tunwick" "$@"
