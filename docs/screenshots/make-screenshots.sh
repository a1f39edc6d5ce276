#!/usr/bin/env bash
# Runs the program on the sample line under a real X server (Xvfb): the
# window shows, F5 builds the page as "OK  Display" does, each tab is
# photographed from the screen, and Ctrl+Q closes the window (settings
# saved). Needs xvfb, xdotool and imagemagick (import).
#
#   docs/screenshots/make-screenshots.sh [BUILD_DIR] [OUT_DIR]
#
# Exits 0 when the window showed, the page was built and the program ended
# cleanly with its settings saved.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${1:-${TAVELO_BUILD_DIR:-$here/build}}"
out="${2:-$here/docs/screenshots}"
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "make-screenshots: $tool is missing" >&2; exit 1; }
done

work="$(mktemp -d)"
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$build/bench/tavelo_gen" --sample "$work/line.su" >/dev/null
mkdir -p "$work/settings" "$out"
cp "$here/sample/TAVELO3.ini" "$here/sample/Korvane.ini" "$work/settings/"

# Xvfb picks a free display and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "make-screenshots: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$work/display")"

env -u QT_QPA_PLATFORM QT_QPA_PLATFORM=xcb "$build/src/tavelo" --settings-dir "$work/settings" "$work/line.su" \
  >"$work/tavelo.log" 2>&1 &
app_pid=$!

window=""
for _ in $(seq 1 100); do
  window="$(xdotool search --onlyvisible --name '^TAVELO 4\.3$' 2>/dev/null | head -n 1 || true)"
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "make-screenshots: the window did not show" >&2; cat "$work/tavelo.log" >&2; exit 1; }
# Without a window manager the window is placed and focused by hand, once
# it has settled; keys then go to it through the XTEST extension.
sleep 1
window="$(xdotool search --onlyvisible --name '^TAVELO 4\.3$' | head -n 1)"
xdotool windowmove "$window" 0 0 windowsize "$window" 1280 900 2>/dev/null || true
xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
sleep 0.5

shot() {
  # The window's own area of the screen.
  import -window root -crop 1280x900+0+0 +repage "$out/$1.png"
}

shot tab1-plot-parameters
xdotool key F5      # "OK  Display": builds, then shows "Virtual plot"
sleep 3
shot tab2-virtual-plot
xdotool key ctrl+Tab
sleep 1
shot tab3-tools
xdotool key ctrl+q
status=0
wait "$app_pid" || status=$?
app_pid=""
if [ "$status" -ne 0 ]; then
  echo "make-screenshots: the program ended with status $status" >&2
  cat "$work/tavelo.log" >&2
  exit 1
fi
grep -q "tavelo4=" "$work/settings/TAVELO3.ini" || { echo "make-screenshots: settings not saved" >&2; exit 1; }
echo "make-screenshots: window shown, page built, closed cleanly; pictures in $out"
