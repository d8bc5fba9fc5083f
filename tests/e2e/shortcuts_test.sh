#!/usr/bin/env bash
# The program's shortcuts fire whatever widget has the keyboard focus: with
# the cursor in the Faders window's cue name field Ctrl+s stores the three
# files and Ctrl+m runs the engine; with the cursor in the Preferences
# window's path field Ctrl+m mixes too and Ctrl+Shift+f hides the Faders.
source "$(dirname "$0")/lib.sh"
e2e_setup
mkdir -p "$WORK/engine"
cat >"$WORK/engine/vorlax4" <<'SH'
#!/bin/sh
echo ran >>mixed.txt
SH
chmod +x "$WORK/engine/vorlax4"
E2E_PATH="$WORK/engine" start_orvane

keys_to Orvane ctrl+f
click_in Faders 230 90          # the cue name field
type_to Faders "Intro"
keys_to Faders ctrl+s
wait_file faders.txt; wait_file prefs.txt; wait_file tracks.txt
sleep 0.3
# typed without Enter: the shortcut commits the field before it stores
grep -q "^cue	Intro\$" "$WORK/faders.txt" || fail "the cue name typed was not stored"

keys_to Faders ctrl+m
wait_file mixed.txt
rm "$WORK/mixed.txt"

keys_to Orvane ctrl+p
click_in Preferences 60 149     # the "Path to Vorlax4" field
keys_to Preferences ctrl+m
wait_file mixed.txt
keys_to Preferences ctrl+shift+f
wait_hidden Faders

keys_to Orvane ctrl+q
wait_exit
[ "$ORVANE_STATUS" -eq 0 ] || fail "exit status $ORVANE_STATUS"
echo "shortcuts: ok"
