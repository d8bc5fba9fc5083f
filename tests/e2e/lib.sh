# Shared by the end-to-end tests: a private Xvfb display, a temporary working
# directory, the real orvane started in it, and xdotool helpers.
# Use: source "$(dirname "$0")/lib.sh"; e2e_setup; start_orvane; ...
set -euo pipefail

ORVANE_BIN=${ORVANE_BIN:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../../build" && pwd)}
ORVANE_SRC=${ORVANE_SRC:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
ARTIFACTS=${ARTIFACTS:-$ORVANE_BIN/e2e-artifacts}
mkdir -p "$ARTIFACTS"

fail() { echo "FAIL: $*" >&2; exit 1; }

_e2e_cleanup() {
  [ -n "${ORVANE_PID:-}" ] && kill "$ORVANE_PID" 2>/dev/null || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  [ -n "${E2E_OWN:-}" ] && rm -rf "$E2E_OWN"
  [ -n "${WORK:-}" ] && rm -rf "$WORK"
}

# Starts Xvfb on a free display and makes a working directory ($WORK).
# -noreset: without it the server resets when its last client leaves, and
# an editor started again at that moment cannot open the display.
e2e_setup() {
  local d
  for d in $(seq 50 150); do
    [ -e /tmp/.X$d-lock ] && continue
    Xvfb ":$d" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    XVFB_PID=$!
    sleep 0.5
    if kill -0 "$XVFB_PID" 2>/dev/null && xdpyinfo -display ":$d" >/dev/null 2>&1; then
      export DISPLAY=":$d"
      break
    fi
    XVFB_PID=
  done
  [ -n "${XVFB_PID:-}" ] || fail "no Xvfb display could be started"
  WORK=$(mktemp -d /tmp/orvane-e2e-XXXXXX)
  trap _e2e_cleanup EXIT
}

# A stand-in vorlax4, its script read from standard input, in a directory of
# its own ($ENGINE, removed at exit), for E2E_PATH=$ENGINE start_orvane.
stand_in_engine() {
  ENGINE=$(mktemp -d /tmp/orvane-e2e-engine-XXXXXX)
  trap '_e2e_cleanup; rm -rf "$ENGINE"' EXIT
  cat >"$ENGINE/vorlax4"
  chmod +x "$ENGINE/vorlax4"
}

# The demo's three files in the working directory, their sums in $WORK/FILE
# (check with: (cd "$WORK" && sha256sum -c --quiet FILE)).
demo_files() {
  cp "$ORVANE_SRC/examples/demo/"*.txt "$WORK/"
  (cd "$WORK" && sha256sum faders.txt tracks.txt prefs.txt) >"$WORK/$1"
}

# An editor with an empty "Path to Vorlax4" runs the vorlax4 beside it
# before the search path's: for a stand-in engine on the search path, this
# copies the editor once into a directory of its own, $E2E_OWN.
orvane_apart() {
  [ -n "${E2E_OWN:-}" ] && return 0
  E2E_OWN=$(mktemp -d /tmp/orvane-e2e-bin-XXXXXX)
  chmod 755 "$E2E_OWN"
  cp "$ORVANE_BIN/orvane" "$E2E_OWN/orvane"
}

# Starts the editor in $WORK (extra PATH entries first in $E2E_PATH; an
# engine there is the one Mix runs).
start_orvane() {
  local bin=$ORVANE_BIN
  if [ -n "${E2E_PATH:-}" ] && [ "$E2E_PATH" != "$ORVANE_BIN" ]; then
    orvane_apart
    bin=$E2E_OWN
  fi
  ( cd "$WORK" && PATH="${E2E_PATH:+$E2E_PATH:}$PATH" exec "$bin/orvane" ) \
    >"$WORK/.stdout" 2>"$WORK/.stderr" &
  ORVANE_PID=$!
  window_id Orvane >/dev/null
}

# The title pattern of window NAME: the control window ("Orvane") carries the
# mix name and a mark while changes are unsaved ("Orvane - MyMix *").
title_of() {
  if [ "$1" = Orvane ]; then echo '^Orvane( - .*)?$'; else echo "^$1\$"; fi
}

# The X window id of the window titled NAME (waits up to 30 s).
window_id() {
  local id i
  for i in $(seq 1 300); do
    id=$(xdotool search --onlyvisible --name "$(title_of "$1")" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  fail "window '$1' did not appear"
}

# True when a window titled NAME is mapped.
window_visible() { xdotool search --onlyvisible --name "$(title_of "$1")" >/dev/null 2>&1; }

# Waits until no visible window has the title NAME.
wait_hidden() {
  local i
  for i in $(seq 1 100); do window_visible "$1" || return 0; sleep 0.1; done
  fail "window '$1' is still shown"
}

# Gives the keyboard focus to window NAME and types keys (xdotool names).
keys_to() {
  local id; id=$(window_id "$1"); shift
  xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
  sleep 0.2
  xdotool key --clearmodifiers --delay 80 "$@"
  sleep 0.3
}

# Types text into whatever has the focus in window NAME.
type_to() {
  local id; id=$(window_id "$1"); shift
  xdotool windowfocus "$id"; sleep 0.1
  xdotool type --delay 60 "$1"
  sleep 0.2
}

# Clicks at x y inside window NAME.
click_in() {
  local id; id=$(window_id "$1")
  xdotool mousemove --window "$id" "$2" "$3" sleep 0.1 click 1
  sleep 0.3
}

# Saves a PNG of window NAME as $ARTIFACTS/FILE.
screenshot() {
  local id; id=$(window_id "$1")
  import -window "$id" "$ARTIFACTS/$2"
}

# Waits until the editor has exited; its status in $ORVANE_STATUS.
wait_exit() {
  local i
  for i in $(seq 1 100); do
    kill -0 "$ORVANE_PID" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$ORVANE_PID" 2>/dev/null && fail "orvane did not exit"
  set +e; wait "$ORVANE_PID"; ORVANE_STATUS=$?; set -e
  ORVANE_PID=
}

# Waits until FILE exists in $WORK.
wait_file() {
  local i
  for i in $(seq 1 100); do [ -e "$WORK/$1" ] && return 0; sleep 0.1; done
  fail "$1 was not written"
}

# The title of the window titled NAME when the search began (any title
# matching the regular expression NAME).
window_title() {
  local id; id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
  [ -n "$id" ] && xdotool getwindowname "$id" 2>/dev/null || true
}

# What a text field or text display at x y of window NAME holds, as a user
# copies it: select it (copy_text WINDOW X Y for a field, WINDOW X Y X2 Y2
# for a text area), copy, read the clipboard.
copy_text() {
  if [ $# -ge 5 ]; then
    # A text area: dragged over from (X, Y) to (X2, Y2).
    local id; id=$(window_id "$1")
    xdotool mousemove --window "$id" "$2" "$3" sleep 0.1 mousedown 1 \
      mousemove --window "$id" "$4" "$5" sleep 0.1 mouseup 1
    sleep 0.3
    keys_to "$1" ctrl+c
  else
    # A one-line field: Home, then Shift+End (Ctrl+a is a program shortcut).
    click_in "$1" "$2" "$3"
    keys_to "$1" Home shift+End ctrl+c
  fi
  xclip -o -selection clipboard 2>/dev/null || true
}

# The control window's status line.
status_line() { copy_text Orvane 190 25; }

# Answers the question in the dialog titled TITLE with its first button
# (cancel: Escape), its second (default: Return) or its third (other).
answer() {
  local id; id=$(window_id "$1")
  xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
  sleep 0.2
  case "$2" in
    cancel) xdotool key Escape ;;
    default) xdotool key Return ;;
    other) xdotool key shift+Tab space ;;
  esac
  wait_hidden "$1"
}
