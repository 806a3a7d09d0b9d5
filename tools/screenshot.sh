#!/usr/bin/env bash
# Starts the windows under a virtual X server (Xvfb, 96 dpi) and saves PNG
# screenshots of the main window (English and German), the help window and
# the metadata view.
#   tools/screenshot.sh [OUTPUT_FOLDER]     (default: docs)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs}
if ! command -v xvfb-run >/dev/null; then
  echo "xvfb-run is missing: apt-get install xvfb xauth" >&2
  exit 1
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target zorezaz-screenshot translations >/dev/null
mkdir -p "$out"
xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" build/app/zorezaz-screenshot "$out"
echo "Saved $out/main-window.png, main-window-de.png, help-window.png and metadata-view.png"
