#!/bin/bash
# One whole run of Quendrel through its window, as a person does it, on an X
# server of its own: "Add Single Web Site URL" with the address of a page
# served on 127.0.0.1, method 2, "Start Saving As PDF"; then the PDF must
# appear in the chosen folder, hold the page's text, and the run must end with
# its closing message. The program is driven from outside (xdotool), so this
# checks the program exactly as it is installed.
#
#   window-run.sh [PROGRAM]     (default: /usr/bin/quendrel)
#
# Run it as an ordinary user (the PDF printer writes no files for root), with
# cupsd running and the PDF printer installed. The run's settings live in a
# folder of this script's own: the user's own Quendrel settings stay as they are.
set -euo pipefail
program=${1:-/usr/bin/quendrel}
[ -x "$program" ] || { echo "window-run.sh: $program is not a program" >&2; exit 1; }

work=$(mktemp -d /tmp/quendrel-window-run.XXXXXX)
started=()
finish() {
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT
fail() {
  echo "window-run.sh: $*" >&2
  for log in quendrel server xvfb; do
    [ ! -s "$work/$log.log" ] || { echo "-- $log:" >&2; cat "$work/$log.log" >&2; }
  done
  exit 1
}
# await SECONDS DESCRIPTION COMMAND...: until COMMAND succeeds, or fails.
await() {
  local seconds=$1 what=$2
  shift 2
  for _ in $(seq $((seconds * 5))); do
    "$@" && return 0
    sleep 0.2
  done
  fail "$what did not happen within $seconds s"
}

mkdir "$work/site" "$work/out" "$work/bin" "$work/config"
words="Vermilion Heron packaged window run"
printf '<html><head><title>%s</title></head><body><h1>%s</h1></body></html>\n' "$words" "$words" \
  >"$work/site/page.html"

# The page server takes a free port and names it.
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$work/site" >"$work/server.log" 2>&1 &
started+=($!)
server_port() { grep -o 'port [0-9]*' "$work/server.log" | head -n 1 | cut -d' ' -f2; }
port_named() { [ -n "$(server_port)" ]; }
await 20 "the page server's start" port_named
url="http://127.0.0.1:$(server_port)/page.html"

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
started+=($!)
await 20 "the X server's start" test -s "$work/display"
export DISPLAY=":$(head -n 1 "$work/display")"

# The folder and method, as an earlier session of the user left them.
mkdir "$work/config/Marrowby"
printf '[Quendrel]\nFolder=%s/\nOption1=0\nOption2=1\nOption3=0\n' "$work/out" \
  >"$work/config/Marrowby/Quendrel.conf"
# Once in a hundred starts the program visits its home page in the desktop's
# browser; here that browser does nothing and succeeds.
ln -s /bin/true "$work/bin/xdg-open"
XDG_CONFIG_HOME="$work/config" PATH="$work/bin:$PATH" QT_QPA_PLATFORM=xcb \
  "$program" >"$work/quendrel.log" 2>&1 &
started+=($!)

# The main window, its dialogs and its message boxes all carry the title "Quendrel".
windows() { xdotool search --onlyvisible --name '^Quendrel$' 2>/dev/null || true; }
shown() { [ "$(windows | wc -l)" -eq "$1" ]; }
await 30 "the main window's appearance" shown 1
main=$(windows)
# Button centres in the window's pixels (the layout's twips / 15).
xdotool mousemove --window "$main" 136 197 click 1    # Add Single Web Site URL
await 10 "the address dialog's appearance" shown 2
dialog=$(windows | grep -vx "$main")
xdotool windowfocus --sync "$dialog"
xdotool type --delay 5 "$url"
xdotool key Return
await 10 "the address dialog's closing" shown 1
xdotool mousemove --window "$main" 268 381 click 1    # Start Saving As PDF

pdf_made() { compgen -G "$work/out/*.pdf" >/dev/null; }
await 120 "a PDF in the chosen folder" pdf_made
await 60 "the run's closing message" shown 2
pdf=$(compgen -G "$work/out/*.pdf" | head -n 1)
text=$(pdftotext "$pdf" - 2>/dev/null) || fail "$pdf is no PDF"
grep -qF "$words" <<<"$text" || fail "$pdf does not hold the page's text; it holds: $text"
echo "window-run.sh: $(basename "$pdf") holds the page"
