#!/usr/bin/env bash
# The typical road through the Faders window, with the mouse and keyboard:
# Ctrl+f shows the window, the time-index arrows pick index 3, "Active"
# marks the row in use, "auto" of strip 2 and -6 in its volume make a
# point, 150 typed into its pan is refused, a time goes into "sec/beat",
# strip 1's browse button names channel 1 after a wave file, and Ctrl+m
# saves and runs the engine found on the search path. faders.txt then holds
# the row as a `t` line followed by the point, and tracks.txt the chosen
# file.
source "$(dirname "$0")/lib.sh"
e2e_setup

# Stand-in engine: keeps the faders.txt it was handed.
mkdir "$WORK/.engine"
cat >"$WORK/.engine/vorlax4" <<'ENGINE'
#!/bin/sh
cp faders.txt .engine/handed.txt
ENGINE
chmod +x "$WORK/.engine/vorlax4"
E2E_PATH="$WORK/.engine" start_orvane

keys_to Orvane ctrl+f
window_id Faders >/dev/null

# Up arrow of the "time index" spinner twice: 1 -> 3.
click_in Faders 69 85
click_in Faders 69 85
click_in Faders 143 90            # "Active"
click_in Faders 292 217           # "auto" of strip 2
click_in Faders 336 217           # volume of strip 2
keys_to Faders End BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace minus 6 Tab
click_in Faders 567 216           # pan of strip 2: 150 is refused whole
keys_to Faders End BackSpace BackSpace BackSpace 1 5 0 Tab
click_in Faders 493 90            # "sec/beat"
keys_to Faders End BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace 1 2 Tab
: >"$WORK/kick.wav"
click_in Faders 262 187           # "*" of strip 1
keys_to "Choose File" k i c k period w a v Return
wait_hidden "Choose File"
screenshot Faders faders-window.png

keys_to Faders ctrl+m
wait_file .engine/handed.txt
wait_file faders.txt

# The lines after each `t` line: row 1 (in use from the start) has no point,
# row 3 has its time and the point of channel 2.
blocks=$(awk '/^t\t/ { print; getline; print }' "$WORK/faders.txt")
expected=$(printf 't\t0\t0.000\t0\n\nt\t0\t12.000\t0\nv\t2\t-6.00')
[ "$blocks" = "$expected" ] || fail "time-index blocks in faders.txt:
$(cat "$WORK/faders.txt")"
grep -q "^p	" "$WORK/faders.txt" && fail "a refused pan was stored: $(grep "^p	" "$WORK/faders.txt")"
grep -qx "1 $WORK/kick.wav +" "$WORK/tracks.txt" || fail "tracks.txt: $(cat "$WORK/tracks.txt")"
cmp -s "$WORK/faders.txt" "$WORK/.engine/handed.txt" || fail "the engine ran before faders.txt was saved"

keys_to Orvane ctrl+q
wait_exit
echo "faders road: ok"
