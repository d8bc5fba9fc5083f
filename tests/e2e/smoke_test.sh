#!/usr/bin/env bash
# The whole editor once over: show every window, change one value in each,
# Store All, Quit; start again, Recall All, Store All: the three files come
# back byte for byte.
source "$(dirname "$0")/lib.sh"
e2e_setup
start_orvane

keys_to Orvane ctrl+f; click_in Faders 292 187          # "auto" of strip 1
keys_to Orvane ctrl+e; click_in Effects 80 135           # "Peak Comp" on
keys_to Orvane ctrl+r; click_in Reverb 63 30             # reverb "High Pass" on
keys_to Orvane ctrl+g; click_in "Submix Matrix" 216 84   # channel 1 to submix 1
keys_to Orvane ctrl+v; click_in "VCA Matrix" 246 84      # channel 1 to VCA 2
keys_to Orvane ctrl+p; click_in Preferences 287 247      # "mono output"
for w in Orvane Faders Effects Reverb "Submix Matrix" "VCA Matrix" Preferences; do
  screenshot "$w" "smoke-${w// /-}.png"
done
keys_to Orvane ctrl+s
wait_file faders.txt
sleep 0.5
mkdir "$WORK/first"
cp "$WORK"/faders.txt "$WORK"/tracks.txt "$WORK"/prefs.txt "$WORK/first/"
grep -q "^comp	1	" "$WORK/faders.txt" || fail "no comp record for channel 1"
grep -q "^rhp	" "$WORK/faders.txt" || fail "no rhp record"
grep -q "^sub	1	1\$" "$WORK/faders.txt" || fail "no submix 1 routing"
grep -q "^VCA:	2	1\$" "$WORK/faders.txt" || fail "no VCA 2 routing"
grep -q "^mono\$" "$WORK/prefs.txt" || fail "no mono line"
keys_to Orvane ctrl+q
wait_exit

start_orvane
click_in Orvane 336 90                                   # the "Recall" menu
xdotool key --delay 80 Down Down Down Down Return        # "Recall All"
sleep 0.5
keys_to Orvane ctrl+s
sleep 0.5
for f in faders.txt tracks.txt prefs.txt; do
  cmp "$WORK/first/$f" "$WORK/$f" || fail "$f differs after Recall All and Store All"
done
keys_to Orvane ctrl+q
wait_exit
echo "smoke: ok"
