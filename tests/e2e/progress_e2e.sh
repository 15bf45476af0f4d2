#!/bin/sh
# Runs the progress tests on a screen of their own: an Xvfb server that this
# script starts and stops, on which Wine's display driver draws real windows.
# Wine binds its desktop to the display of the process that first needed it,
# for as long as its server runs, so the prefix's server is started afresh on
# this screen, and afresh without it at the end, for the tests that follow.
# While the tests run, the screen is photographed whenever a progress window
# is on it; the last photograph taken while the window was still there is
# kept as SHOT.
# usage: progress_e2e.sh WINE_RUN TEST.exe SHOT.png
set -u
wine_run=$1 test_exe=$2 shot=$3
work=$(mktemp -d)
poller= xvfb=
finish() {
  "$wine_run" --stop
  [ -n "$poller" ] && kill $poller 2>/dev/null
  [ -n "$xvfb" ] && kill $xvfb 2>/dev/null
  wait 2>/dev/null
  (unset DISPLAY; "$wine_run" --start)
  rm -rf "$work"
}
trap finish EXIT

# -displayfd picks a free display and writes its number once it accepts.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start:"; cat "$work/xvfb.log"; exit 1; }
DISPLAY=:$(cat "$work/display")
export DISPLAY
"$wine_run" --stop
"$wine_run" --start

rm -f "$shot"
(
  while :; do
    if xdotool search --name '^ProgressProbe$' >/dev/null 2>&1; then
      import -window root "$work/shot.png" 2>/dev/null &&
        xdotool search --name '^ProgressProbe$' >/dev/null 2>&1 && mv "$work/shot.png" "$shot"
    fi
    sleep 0.05
  done
) &
poller=$!

"$wine_run" "$test_exe"
status=$?
kill $poller 2>/dev/null
if [ $status -eq 0 ] && [ ! -s "$shot" ]; then
  echo "progress_e2e: no photograph of the progress window was taken"
  status=1
fi
[ -s "$shot" ] && echo "progress_e2e: the window as shown: $shot"
exit $status
