#!/usr/bin/env bash
# The user's work is never lost through an ordinary action: Mix in a folder
# holding a mix that was not recalled asks, and Cancel leaves the three files
# byte-identical; Ctrl+z after a typed volume restores it, so that Store All
# writes the file as before, byte for byte; Escape on the control window with
# the Faders shown and unsaved changes asks, and Cancel leaves both windows;
# Ctrl+q with unsaved changes asks and keeps running on Cancel, and "Quit
# without storing" ends with status 0 and the files as they were.
source "$(dirname "$0")/lib.sh"
e2e_setup
demo_files .demo
stand_in_engine <<<'#!/bin/sh
touch "$(dirname "$0")/ran"'
E2E_PATH=$ENGINE start_orvane
unsaved() { xdotool search --onlyvisible --name '^Orvane - Demo \*$' >/dev/null 2>&1; }

keys_to Orvane ctrl+m
answer "Replace mix files" cancel
screenshot Orvane session-mix-cancelled.png
[ -e "$ENGINE/ran" ] && fail "the engine ran"
(cd "$WORK" && sha256sum -c --quiet .demo) || fail "Mix changed the mix it did not load"

click_in Orvane 336 90                                   # the "Recall" menu
xdotool key --delay 80 Down Down Down Down Return        # "Recall All"
sleep 0.5
keys_to Orvane ctrl+s
window_visible "Replace mix files" && fail "Store All asked after Recall All"
sleep 0.3
cp "$WORK/faders.txt" "$WORK/.stored"

keys_to Orvane ctrl+f
click_in Faders 330 187                                  # strip 1's volume
keys_to Faders End shift+Home minus 6 Return
unsaved || fail "no unsaved mark after a typed volume"
keys_to Faders ctrl+z
unsaved && fail "still marked unsaved after undo"
keys_to Faders ctrl+s
sleep 0.3
cmp -s "$WORK/faders.txt" "$WORK/.stored" || fail "faders.txt differs after undo: $(diff "$WORK/.stored" "$WORK/faders.txt")"
(cd "$WORK" && sha256sum faders.txt tracks.txt prefs.txt) >"$WORK/.before"

click_in Faders 330 187
keys_to Faders End shift+Home minus 1 2 Return
unsaved || fail "no unsaved mark"
keys_to Orvane Escape
screenshot "Unsaved changes" session-quit-question.png
answer "Unsaved changes" cancel
window_visible Orvane || fail "the control window was hidden"
window_visible Faders || fail "the Faders window was hidden"

keys_to Orvane ctrl+q
window_id "Unsaved changes" >/dev/null
answer "Unsaved changes" cancel
kill -0 "$ORVANE_PID" 2>/dev/null || fail "the editor quit on Cancel"
keys_to Orvane ctrl+q
answer "Unsaved changes" other
wait_exit
[ "$ORVANE_STATUS" -eq 0 ] || fail "exit status $ORVANE_STATUS"
(cd "$WORK" && sha256sum -c --quiet .before) || fail "quitting without storing changed a file"
echo "session: ok"
