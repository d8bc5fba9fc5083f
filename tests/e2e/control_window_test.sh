#!/usr/bin/env bash
# The control window as a user meets it: only it at start, Ctrl+f and
# Ctrl+Shift+f show and hide the Faders window, Ctrl+q ends with status 0
# and writes no file.
source "$(dirname "$0")/lib.sh"
e2e_setup
start_orvane

for w in Faders Effects Preferences "Submix Matrix" "VCA Matrix" Reverb; do
  window_visible "$w" && fail "$w is shown at start"
done
screenshot Orvane control-window.png

keys_to Orvane ctrl+f
window_id Faders >/dev/null
keys_to Orvane ctrl+shift+f
wait_hidden Faders

keys_to Orvane ctrl+q
wait_exit
[ "$ORVANE_STATUS" -eq 0 ] || fail "Ctrl+q ended with status $ORVANE_STATUS"
left=$(cd "$WORK" && ls)
[ -z "$left" ] || fail "files written: $left"
echo "control window: ok"
