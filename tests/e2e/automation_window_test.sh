#!/usr/bin/env bash
# The Automation window under X: Ctrl+a shows it; a volume typed into the
# Faders window changes its picture; a click on the point's handle makes
# the point's time index the Faders window's current one, so a volume typed
# next lands on that point; Ctrl+Shift+a hides it.
source "$(dirname "$0")/lib.sh"
e2e_setup
start_orvane

keys_to Orvane ctrl+a
window_id Automation >/dev/null
keys_to Orvane ctrl+f
window_id Faders >/dev/null

# Time index 3 in use at 4 s, with "auto" of strip 2 on: a point at 0 dB.
click_in Faders 69 85             # "time index" up: 2
click_in Faders 69 85             # 3
click_in Faders 143 90            # "Active"
click_in Faders 493 90            # "sec/beat"
keys_to Faders End BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace 4 Tab
click_in Faders 292 217           # "auto" of strip 2
sleep 0.5
screenshot Automation automation-before.png

click_in Faders 336 217           # volume of strip 2: -12
keys_to Faders End BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace minus 1 2 Tab
sleep 0.5
screenshot Automation automation-after.png
changed=$(compare -metric AE "$ARTIFACTS/automation-before.png" "$ARTIFACTS/automation-after.png" \
  null: 2>&1 || true)
[ "${changed%% *}" != 0 ] || fail "the Automation window did not change after a volume edit"

# Back to time index 1, then a click on the handle. The rows reach 4 s, so
# the plot (x 56..878) spans 0..5 s; -12 dB lies at y 138.
click_in Faders 69 97
click_in Faders 69 97
click_in Automation 713 138
window_id Faders >/dev/null
click_in Faders 336 217           # volume of strip 2, typed on the handle's row
keys_to Faders End BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace minus 2 0 Tab
keys_to Faders ctrl+s
wait_file faders.txt
blocks=$(awk '/^t\t/ { print; getline; print }' "$WORK/faders.txt")
expected=$(printf 't\t0\t0.000\t0\n\nt\t0\t4.000\t0\nv\t2\t-20.00')
[ "$blocks" = "$expected" ] || fail "the handle did not select its time index:
$(cat "$WORK/faders.txt")"

keys_to Orvane ctrl+shift+a
wait_hidden Automation
keys_to Orvane ctrl+q
wait_exit
echo "automation window: ok"
