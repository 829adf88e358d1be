#!/bin/sh
# Builds and starts Sonoverne on its default music folder: the program's folder, which the build
# fills with a small sample collection. Without a display the program runs under Xvfb, walks the
# collection, saves a picture of its main window and exits.
set -e
cd "$(dirname "$0")/.."
scripts/setup.sh build
PROGRAM="$PWD/build/Sonoverne/Sonoverne"
if [ -n "$DISPLAY" ] || [ -n "$WAYLAND_DISPLAY" ]; then
  exec "$PROGRAM"
fi
SHOT="$PWD/build/sonoverne-main-window.png"
rm -f "$SHOT"
SONOVERNE_SCREENSHOT="$SHOT" xvfb-run -a -s "-screen 0 1280x900x24" "$PROGRAM"
if [ -f "$SHOT" ]; then
  echo "No display here: Sonoverne ran under Xvfb, walked $(dirname "$PROGRAM") and saved its main window to $SHOT"
else
  echo "Sonoverne ran under Xvfb but saved no picture" >&2
  exit 1
fi
