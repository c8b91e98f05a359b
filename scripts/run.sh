#!/usr/bin/env bash
# Installs what is missing and builds velto1. (The updater program itself is
# not part of the build yet: this builds the library, the simulated device and
# the tests, and says so.)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/build.sh"
echo "velto1: built the device library and the simulated device in ${VELTO1_BUILD_DIR:-$root/build/mingw};"
echo "the updater program is not part of the build yet."
