#!/usr/bin/env bash
# The Effects and Reverb windows as a user meets them: open the Effects
# window, choose channel 5, switch "Peak Comp" on, store; then switch the
# reverb's "High Pass" on in the Reverb window and store again.
source "$(dirname "$0")/lib.sh"
e2e_setup
start_orvane

# Waits until faders.txt holds the line LINE (tabs written as \t).
wait_line() {
  local want i
  want=$(printf "$1")
  for i in $(seq 1 100); do
    [ -e "$WORK/faders.txt" ] && grep -qxF "$want" "$WORK/faders.txt" && return 0
    sleep 0.1
  done
  echo "--- faders.txt:" >&2; cat "$WORK/faders.txt" >&2 || true
  fail "faders.txt has no line '$1'"
}

keys_to Orvane ctrl+e
window_id Effects >/dev/null

# Channel 5: type it into the "Channel" spinner, then one step up and one
# down with its arrows.
click_in Effects 200 32
keys_to Effects Home shift+End     # select the field (Ctrl+a shows the Automation window)
type_to Effects 4
click_in Effects 224 26
click_in Effects 224 26
click_in Effects 224 38

click_in Effects 80 135          # "Peak Comp"
keys_to Effects ctrl+s
wait_line 'comp\t5\t0.0\t10.0\t100.0\t1.5'
grep -q $'^rhp\t' "$WORK/faders.txt" && fail "rhp written before High Pass was on"
screenshot Effects effects-window.png

keys_to Effects ctrl+r
window_id Reverb >/dev/null
click_in Reverb 63 30            # "High Pass"
keys_to Reverb ctrl+s
wait_line 'rhp\t150'
wait_line 'comp\t5\t0.0\t10.0\t100.0\t1.5'
screenshot Reverb reverb-window.png

keys_to Orvane ctrl+q
wait_exit
[ "$ORVANE_STATUS" -eq 0 ] || fail "Ctrl+q ended with status $ORVANE_STATUS"
echo "effects window: ok"
