#!/usr/bin/env bash
# The Windows window program and its installer under Wine, as a user meets them, on a private X
# server. Run by tools/windows-tests.sh once the Windows build has the window program.
#
#   tools/windows-ui-checks.sh [LINUX_BUILD]      (LINUX_BUILD: build/asan unless given)
#
# 1. Pictures: z900-config.exe --simulate --render draws the same pictures as the Linux build's
#    z900-config, within the limits below (fonts are drawn by each system's own engine).
# 2. The utility in a Wine desktop, which has a notification area as Windows has: it starts
#    hidden with its icon, a second start shows the 822 × 544 window and ends, Exit in the
#    icon's menu ends it; the screenshot tool saves the desktop.
# 3. The installer: a silent install into a new Wine prefix, the installed z900ctl.exe, then the
#    silent uninstall, after which nothing of ours is left in Program Files; and the portable
#    .zip, unpacked, runs.
# Each check prints "ok: …" or "FAILED: …"; the exit status is 1 when one failed.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
linux=$(cd "${1:-build/asan}" && pwd)
windows=$top/build/windows
run_wine=$top/tests/windows/run_under_wine.sh
results=$windows/ui-checks
# How far the two systems' pictures may differ: the share of pixels that differ at all. Text is
# drawn by DirectWrite/GDI on Windows and FreeType on Linux, so letters differ by a pixel here
# and there; the pictures themselves must not.
max_share=15

for tool in Xvfb xdotool xwininfo; do
  command -v "$tool" >/dev/null || { echo "FAILED: $tool is missing (tools/install-deps.sh installs it)"; exit 1; }
done
for program in "$windows/bin/z900-config.exe" "$linux/bin/z900-config" "$linux/bin/z900-picture-diff"; do
  [ -x "$program" ] || { echo "FAILED: $program is not built"; exit 1; }
done
setup=$(ls "$windows"/packages/z900-setup-*.exe 2>/dev/null | head -n 1 || true)
[ -n "$setup" ] || { echo "FAILED: the installer is not built (cpack in $windows)"; exit 1; }
server=/usr/lib/wine/wineserver
[ -x "$server" ] || server=$(command -v wineserver)

# Every folder of the checks has blanks and letters beyond ASCII in its name.
work=$(mktemp -d "/tmp/z900 ui-checks Zoë 日本.XXXXXX")
rm -rf "$results"
mkdir -p "$results"
failures=0
pass() { echo "ok: $*"; }
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local limit=$1
  shift
  local deadline=$((SECONDS + limit))
  until "$@"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}
# A Windows path of a Linux path (Wine's drive Z: is the root).
winpath() { echo "Z:$1"; }

ui_prefix=$windows/wine-prefix-ui
install_prefix=$work/prefix-install
xvfb_pid=
cleanup() {
  for prefix in "$ui_prefix" "$install_prefix"; do
    [ -d "$prefix" ] && WINEPREFIX=$prefix "$server" -k 2>/dev/null || true
  done
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# --- 1. Pictures ---------------------------------------------------------------------------
Z900_HOME=$work/home-linux ASAN_OPTIONS=detect_leaks=0 \
  "$linux/bin/z900-config" --simulate --render "$work/linux" >"$results/render-linux.log" 2>&1 ||
  fail "the Linux build's z900-config --render (see $results/render-linux.log)"
Z900_HOME=$(winpath "$work/home-windows") \
  "$run_wine" "$ui_prefix" "$windows/bin/z900-config.exe" --simulate --render "$(winpath "$work/windows")" \
  >"$results/render-windows.log" 2>&1 ||
  fail "z900-config.exe --render (see $results/render-windows.log)"
if "$linux/bin/z900-picture-diff" --max-share "$max_share" "$work/linux" "$work/windows" \
  >"$results/pictures.txt" 2>&1; then
  pass "pictures: $(tail -n 1 "$results/pictures.txt"); $(tail -n 2 "$results/pictures.txt" | head -n 1)"
else
  fail "pictures ($results/pictures.txt): $(tail -n 1 "$results/pictures.txt")"
fi
mkdir -p "$results/pictures-windows"
cp -r "$work/windows/." "$results/pictures-windows/" 2>/dev/null || true

# --- 2. The utility in a Wine desktop ------------------------------------------------------
exec 8< <(Xvfb -displayfd 1 -nolisten tcp -screen 0 1280x1024x24 2>"$results/xvfb.log")
xvfb_pid=$!
read -r -t 30 number <&8 || { fail "Xvfb did not start (see $results/xvfb.log)"; exit 1; }
export DISPLAY=:$number Z900_WINE_DISPLAY=:$number
# Every window program of the prefix runs in one Wine desktop of this size, with a taskbar and
# its notification area at the bottom, as on Windows. (An X tray host such as trayer takes the X
# focus on a click, and Wine then takes the activation from the icon's menu, which closes it.)
width=1280
height=1000
"$run_wine" "$ui_prefix" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
"$run_wine" "$ui_prefix" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "${width}x$height" /f \
  >/dev/null 2>&1
title=$(sed -n 's:.*<str_program_title>\(.*\)</str_program_title>.*:\1:p' resources/language.xml | head -n 1)
home=$(winpath "$work/home-tray")
utility_log=$results/utility.log
Z900_HOME=$home "$run_wine" "$ui_prefix" "$windows/bin/z900-config.exe" --simulate >"$utility_log" 2>&1 &
utility=$!

shown_windows() { xdotool search --onlyvisible --name "$1" 2>/dev/null || true; }
# The utility's icon is the only one of the notification area, at the right end of the taskbar.
icon_x=$((width - 11))
icon_y=$((height - 10))
# The icon's "Running" notice: a window of the desktop's own above the icon.
balloon_shown() {
  for id in $(shown_windows ''); do
    xdotool getwindowgeometry "$id" 2>/dev/null | grep -q 'Geometry: 169x67' && return 0
  done
  return 1
}
window_shown() { [ -n "$(shown_windows "^$title\$")" ]; }
if wait_for 60 balloon_shown; then
  if window_shown; then fail "the utility started with its window shown"; else pass "the utility started hidden, its icon telling that it runs"; fi
else
  fail "no notice of the running utility appeared in the notification area"
fi

if Z900_HOME=$home timeout 60 "$run_wine" "$ui_prefix" "$windows/bin/z900-config.exe" --simulate \
  >"$results/second-start.log" 2>&1; then
  if wait_for 30 window_shown; then
    geometry=$(xdotool getwindowgeometry "$(shown_windows "^$title\$" | head -n 1)" | sed -n 's/ *Geometry: //p')
    if [ "$geometry" = 822x544 ]; then
      pass "a second start showed the $geometry window and ended"
    else
      fail "a second start showed a window of $geometry, not 822x544"
    fi
  else
    fail "a second start ended without the window showing"
  fi
else
  fail "the second start did not end at once (see $results/second-start.log)"
fi

# The screenshot tool the screenshot buttons start, on the same desktop, the window shown.
shots=$work/shots
if "$run_wine" "$ui_prefix" "$windows/bin/z900-screengrab.exe" -t desktop -p -o "$(winpath "$shots")" \
  >"$results/screengrab.log" 2>&1 && ls "$shots"/Screenshot_*.png >/dev/null 2>&1; then
  cp "$shots"/Screenshot_*.png "$results/desktop.png"
  pass "z900-screengrab.exe saved the desktop as $(basename "$(ls "$shots"/Screenshot_*.png)")"
else
  fail "z900-screengrab.exe -t desktop -p (see $results/screengrab.log)"
fi

menu_window() {
  for id in $(shown_windows ''); do
    xdotool getwindowgeometry "$id" 2>/dev/null | grep -q 'Geometry: 89x68' && { echo "$id"; return 0; }
  done
  return 1
}
xdotool mousemove --sync "$icon_x" "$icon_y" click 3
if wait_for 20 menu_window >/dev/null; then
  # Where the menu is on the screen (xdotool misplaces the windows of a Wine desktop).
  info=$(xwininfo -id "$(menu_window)")
  menu_x=$(sed -n 's/ *Absolute upper-left X: *//p' <<<"$info")
  menu_y=$(sed -n 's/ *Absolute upper-left Y: *//p' <<<"$info")
  # The third item, Exit, once the icon's tip over the menu has gone.
  xdotool mousemove --sync $((menu_x + 40)) $((menu_y + 1 + 2 * 22 + 11)) sleep 1 click 1
  ended() { ! kill -0 "$utility" 2>/dev/null; }
  if wait_for 30 ended; then
    status=0
    wait "$utility" || status=$?
    if [ "$status" = 0 ]; then pass "Exit in the icon's menu ended the utility"; else fail "the utility ended with status $status"; fi
  else
    fail "Exit in the icon's menu did not end the utility"
    kill "$utility" 2>/dev/null || true
  fi
else
  fail "a right click on the icon opened no menu"
  kill "$utility" 2>/dev/null || true
fi

WINEPREFIX=$ui_prefix "$server" -k 2>/dev/null || true

# --- 3. The installer ----------------------------------------------------------------------
program_files=$install_prefix/drive_c/Program\ Files/Z900
if "$run_wine" "$install_prefix" "$setup" /S >"$results/install.log" 2>&1; then
  WINEPREFIX=$install_prefix "$server" -w
  (cd "$program_files" 2>/dev/null && find . -type f | sed 's:^\./::' | sort) >"$results/installed-files.txt"
  missing=
  for file in z900-config.exe z900ctl.exe z900-screengrab.exe Uninstall.exe language.xml \
              platforms/qwindows.dll Qt6Core.dll skins/Slider.png fonts/OpenSans-Light.ttf; do
    grep -qx "$file" "$results/installed-files.txt" || missing="$missing $file"
  done
  [ -d "$program_files/Profile" ] || missing="$missing Profile/"
  if [ -z "$missing" ]; then
    pass "installed $(wc -l <"$results/installed-files.txt") files into Program Files\\Z900 ($results/installed-files.txt)"
  else
    fail "the installation lacks:$missing"
  fi
  installed_ctl='C:\Program Files\Z900\z900ctl.exe'
  if Z900_HOME=$(winpath "$work/home-installed") "$run_wine" "$install_prefix" "$installed_ctl" --simulate info \
    >"$results/installed-info.log" 2>&1 && grep -q '^firmware:' "$results/installed-info.log"; then
    pass "the installed z900ctl.exe --simulate info: $(grep '^firmware:' "$results/installed-info.log")"
  else
    fail "the installed z900ctl.exe --simulate info (see $results/installed-info.log)"
  fi
  "$run_wine" "$install_prefix" "$installed_ctl" autostart status >"$results/autostart.log" 2>&1 || true
  if grep -q '^on' "$results/autostart.log"; then
    pass "the installer made the logon task: $(head -n 1 "$results/autostart.log")"
  else
    fail "no logon task after the install: $(head -n 1 "$results/autostart.log")"
  fi
  # A profile of the user's, which a silent uninstall keeps.
  echo profile >"$program_files/Profile/Profile1.cfg"
  "$run_wine" "$install_prefix" 'C:\Program Files\Z900\Uninstall.exe' /S >"$results/uninstall.log" 2>&1 || true
  # The uninstaller runs on as a copy of itself; the prefix is idle once it has ended.
  WINEPREFIX=$install_prefix "$server" -w
  tasks=$install_prefix/drive_c/windows/system32/Tasks
  left=$(cd "$program_files" 2>/dev/null && find . -type f | sed 's:^\./::' | tr '\n' ' ')
  if [ "$left" != "Profile/Profile1.cfg " ]; then
    fail "the uninstall left in Program Files\\Z900: ${left:-nothing, not even the profile put there}"
  elif ls "$install_prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/" 2>/dev/null | grep -qi z900; then
    fail "the uninstall left the Start-menu entry"
  elif [ -e "$tasks/Z900 configuration utility" ]; then
    fail "the uninstall left the logon task"
  else
    pass "the uninstall left nothing of ours in Program Files, the Start menu or the tasks; the user's profile stays"
  fi
else
  fail "the silent install failed (see $results/install.log)"
fi

# The portable folder: unpacked anywhere, its programs run from there.
portable=$(ls "$windows"/packages/z900-*-windows-portable.zip 2>/dev/null | head -n 1 || true)
if [ -n "$portable" ] && (cd "$work" && python3 -m zipfile -e "$portable" portable) &&
  Z900_HOME=$(winpath "$work/home-portable") "$run_wine" "$install_prefix" \
    "$(winpath "$(ls -d "$work"/portable/z900-*)/z900ctl.exe")" --simulate info \
    >"$results/portable-info.log" 2>&1 && grep -q '^firmware:' "$results/portable-info.log"; then
  pass "the portable .zip unpacked and its z900ctl.exe ran"
else
  fail "the portable .zip (see $results/portable-info.log)"
fi

if [ "$failures" -gt 0 ]; then
  echo "Windows window and installer checks: $failures failed; the logs are in $results"
  exit 1
fi
echo "Windows window and installer checks: all passed; the logs are in $results"
