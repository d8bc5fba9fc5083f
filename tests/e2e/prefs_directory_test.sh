#!/usr/bin/env bash
# The directory choosers of the Preferences window as a user meets them:
# a directory picked and confirmed with OK fills its field, a chooser
# cancelled after a click changes nothing, and each new chooser replaces the
# last one. Store All then carries the choices into prefs.txt, and Ctrl+m
# starts the mix while a text field of the window has the focus.
source "$(dirname "$0")/lib.sh"
e2e_setup
mkdir "$WORK/takes"
ENGINE_DIR=$WORK/.engine   # hidden: the choosers do not list it
mkdir "$ENGINE_DIR"
printf '#!/bin/sh\ntouch engine-ran\n' >"$ENGINE_DIR/vorlax4"
chmod +x "$ENGINE_DIR/vorlax4"
E2E_PATH=$ENGINE_DIR
start_orvane

chooser() { window_id "Choose File"; }
# Clicks at x y inside the open chooser.
click_chooser() {
  xdotool mousemove --window "$(chooser)" "$1" "$2" sleep 0.1 click 1
  sleep 0.4
}
OK_X=343; CANCEL_X=443; BUTTON_Y=356; SECOND_ENTRY_Y=73   # "../" then "takes/"

keys_to Orvane ctrl+p
window_id Preferences >/dev/null
sleep 0.3

click_in Preferences 219 238          # browse button of "Wavefile Directory"
chooser >/dev/null
click_chooser 40 $SECOND_ENTRY_Y      # takes/
click_chooser $OK_X $BUTTON_Y
wait_hidden "Choose File"

click_in Preferences 219 150          # browse button of "Path to Vorlax4"
chooser >/dev/null
click_chooser 40 $SECOND_ENTRY_Y      # a click, then Cancel
click_chooser $CANCEL_X $BUTTON_Y
wait_hidden "Choose File"

click_in Preferences 219 284          # browse button of "Mix Directory"
chooser >/dev/null
click_chooser $OK_X $BUTTON_Y         # the directory shown
wait_hidden "Choose File"
screenshot Preferences prefs-directories.png

keys_to Preferences ctrl+s
wait_file prefs.txt
sleep 0.5
prefs=$WORK/prefs.txt
grep -qxF "wavdir	$WORK/takes" "$prefs" || fail "prefs.txt lacks the chosen wave directory: $(cat "$prefs")"
grep -qxF "mixdir	$WORK/" "$prefs" || fail "prefs.txt lacks the mix directory shown"
grep -q $'^path\t' "$prefs" && fail "the cancelled chooser changed the path"

click_in Preferences 100 193          # into "Launch Command"
type_to Preferences "aplay"
keys_to Preferences ctrl+m
wait_file engine-ran

keys_to Orvane ctrl+q
wait_exit
[ "$ORVANE_STATUS" -eq 0 ] || fail "Ctrl+q ended with status $ORVANE_STATUS"
echo "preferences directories: ok"
