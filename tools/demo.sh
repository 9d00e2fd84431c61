#!/usr/bin/env bash
# Demonstration of the Velmo portable maker on a sample browser installation, called by
# `./run demo` with the build folder as $1 (Wine prefix, locale and display already set up).
#
# It makes $1/demo: an installation folder with the tool (under the name handed to users) and
# the substitute browser, and an APPDATA with a browser profile (Chinese file names and the three
# cache folders included). Then it starts the tool with that APPDATA and TEMP, takes a screenshot
# of the window, clicks Set (设置), answers the boxes, takes a screenshot of each box, prints
# the path file and the Setting folder that result, and starts the tool once more to show the
# recorded folders in its information panel.
# With VELMO_DEMO_VISIBLE=1 it only starts the tool on the sample installation, visibly, and
# waits until it is closed.
set -euo pipefail

BUILD=$(cd "$1" && pwd)
DEMO=$BUILD/demo
INSTALL=$DEMO/install
APPDATA_DIR=$DEMO/appdata
TEMP_DIR=$DEMO/temp
SHOTS=$DEMO/screenshots
TOOL_NAME="Velmo浏览器绿化工具1.0.exe"
DRIVER=$BUILD/velmo_driver.exe
SET_BUTTON=101

say() { printf '\033[1m== %s\033[0m\n' "$*"; }

# Z:\... path of a Linux path, as Wine programs see it.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Runs the driver. Its output goes through a file: a program the driver starts inherits its
# standard output, and a pipe would stay open for as long as the tool runs.
drive() {
  local out=$DEMO/.driver-out rc=0
  wine "$DRIVER" "$@" >"$out" 2>/dev/null || rc=$?
  tr -d '\r' <"$out"
  return $rc
}

# Saves a PNG of the tool's main window ($2 = window) or of its message box ($2 = box). The driver
# reads the picture through Wine, because the X server does not always hold a modal box's latest
# paint; when that fails, the whole X screen is taken instead.
screenshot() {  # $1: PNG file, $2: window | box
  local file=$1 bmp=$DEMO/.shot.bmp
  if drive "$PID" screenshot "$(winpath "$bmp")" "$2" >/dev/null; then
    bmptopnm "$bmp" 2>/dev/null | pnmtopng >"$file" 2>/dev/null
  else
    xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$file" 2>/dev/null
  fi
  rm -f "$bmp"
  SHOT_FILES+=("$file")
}

make_sample_installation() {
  rm -rf "$DEMO"
  mkdir -p "$INSTALL" "$TEMP_DIR" "$SHOTS"
  cp "$BUILD/velmo_portable.exe" "$INSTALL/$TOOL_NAME"
  cp "$BUILD/velmoexplorer.exe" "$INSTALL/velmoexplorer.exe"

  local profile=$APPDATA_DIR/velmoexplorer
  mkdir -p "$profile/Webkit/Cache" "$profile/Webkit/Cache2" "$profile/VelmoVideoCache" \
           "$profile/书签" "$profile/Extensions/翻译助手"
  printf '{"homepage": "https://www.example.cn/", "language": "zh-CN"}\n' >"$profile/Preferences"
  printf '常用网站\r\n新闻\r\n' >"$profile/书签/收藏夹.txt"
  mkdir -p "$profile/Cookies"
  printf 'session=1\n' >"$profile/Cookies/Cookies"
  printf '{"name": "翻译助手", "version": "2.1"}\n' >"$profile/Extensions/翻译助手/manifest.json"
  head -c 4096 /dev/zero >"$profile/Webkit/Cache/data_0"
  head -c 4096 /dev/zero >"$profile/Webkit/Cache2/index"
  head -c 8192 /dev/zero >"$profile/VelmoVideoCache/片段0001.ts"
}

start_tool() {
  drive start "$(winpath "$INSTALL/$TOOL_NAME")" \
    "APPDATA=$(winpath "$APPDATA_DIR")" "TEMP=$(winpath "$TEMP_DIR")" | tr -d '\n'
}

show_results() {
  say "path file ($INSTALL/path, decoded from GBK)"
  if [ -f "$INSTALL/path" ]; then
    iconv -f gbk -t utf-8 "$INSTALL/path" | sed 's/\r$//; s/^/  /'
  else
    echo "  (none written)"
  fi
  say "Setting folder"
  if [ -d "$INSTALL/Setting" ]; then
    (cd "$INSTALL" && find Setting | LC_ALL=C sort | sed 's/^/  /')
  else
    echo "  (none made)"
  fi
}

make_sample_installation
say "sample installation: $INSTALL"

if [ "${VELMO_DEMO_VISIBLE:-}" = 1 ]; then
  PID=$(start_tool)
  say "the tool runs (process $PID); close its window to end the demo"
  until drive "$PID" wait-exit 600000 >/dev/null; do :; done
  show_results
  exit 0
fi

SHOT_FILES=()
PID=$(start_tool)
if ! drive "$PID" wait-window 20000; then
  say "the tool's window did not appear; a box it showed instead:"
  drive "$PID" box 1000 || true
  exit 1
fi
sleep 0.5  # let the window paint before the screenshot
screenshot "$SHOTS/1-window.png" window
say "window"
drive "$PID" controls | awk -F'\t' '$6 != "" { gsub(/\\\\/, "\\", $6); printf "  %-4s %s\n", $1, $6 }'

say "clicking 设置 (Set)"
drive "$PID" click "$SET_BUTTON"
BOXES=0
while BOX=$(drive "$PID" box 5000); do
  BOXES=$((BOXES + 1))
  printf '%s\n' "$BOX" | sed 's/^/  /'
  screenshot "$SHOTS/$((BOXES + 1))-box.png" box
  BUTTONS=$(printf '%s\n' "$BOX" | sed -n 's/^buttons: //p')
  case ",$BUTTONS," in
    *,1,*) ANSWER=1 ;;   # OK
    *,7,*) ANSWER=7 ;;   # a question: No keeps the tool running and the sample's data as it is
    *) ANSWER=2 ;;
  esac
  drive "$PID" answer "$ANSWER" 2000 >/dev/null || true
  say "answered $ANSWER"
done
[ "$BOXES" -eq 0 ] && say "no box appeared: Set did nothing in this build"

show_results
drive "$PID" close 5000 >/dev/null || true

# The information panel shows the path file as it was at start: start the tool once more.
if [ -f "$INSTALL/path" ]; then
  say "the tool started again shows the recorded folders"
  PID=$(start_tool)
  if drive "$PID" wait-window 20000; then
    drive "$PID" text 306 | sed 's/\\r\\n/\n  /g; s/\\\\/\\/g; s/^/  /'
    screenshot "$SHOTS/$((BOXES + 2))-window-after-set.png" window
    drive "$PID" close 5000 >/dev/null || true
  fi
fi
say "screenshots"
for f in "${SHOT_FILES[@]}"; do echo "  $f"; done
