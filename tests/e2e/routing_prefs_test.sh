#!/usr/bin/env bash
# The matrices and the Preferences window as a user meets them: in the
# Submix Matrix bank 3, row C, button 4; in the VCA Matrix row A, button 8;
# "16 bit output" in the Preferences; then Store All. Keeps a screenshot of
# every window.
source "$(dirname "$0")/lib.sh"
e2e_setup
start_orvane

# Raises window NAME above the others (there is no window manager) and
# saves its picture.
shot() {
  xdotool windowraise "$(window_id "$1")"
  sleep 0.4
  screenshot "$1" "$2"
}

keys_to Orvane ctrl+g
window_id "Submix Matrix" >/dev/null
sleep 0.3
click_in "Submix Matrix" 54 35    # bank spinner: up to 2
click_in "Submix Matrix" 54 35    # up to 3
click_in "Submix Matrix" 308 164  # row C, submix 4
shot "Submix Matrix" routing-submix-matrix.png

keys_to Orvane ctrl+v
window_id "VCA Matrix" >/dev/null
sleep 0.3
click_in "VCA Matrix" 432 84      # row A, VCA 8
shot "VCA Matrix" routing-vca-matrix.png

keys_to Orvane ctrl+p
window_id Preferences >/dev/null
sleep 0.3
click_in Preferences 287 202      # "16 bit output"
shot Preferences routing-preferences.png

for k in f e r; do keys_to Orvane ctrl+$k; done
window_id Faders >/dev/null
window_id Effects >/dev/null
window_id Reverb >/dev/null
sleep 0.3
shot Faders routing-faders.png
shot Effects routing-effects.png
shot Reverb routing-reverb.png

keys_to Preferences ctrl+s
wait_file faders.txt
wait_file prefs.txt
sleep 0.5
shot Orvane routing-control-window.png

faders=$WORK/faders.txt
grep -qxF $'sub\t4\t13' "$faders" || fail "faders.txt lacks sub 4 13: $(cat "$faders")"
grep -qxF $'VCA:\t8\t1' "$faders" || fail "faders.txt lacks VCA: 8 1"
grep -qxF $'vcaname\t8\tVCA 8' "$faders" || fail "faders.txt lacks the name of VCA 8"
[ "$(grep -c $'^sub\t' "$faders")" -eq 1 ] || fail "more than one submix in use"
[ "$(grep -c $'^VCA:\t' "$faders")" -eq 1 ] || fail "more than one VCA in use"
grep -qxF $'outbits\t16' "$WORK/prefs.txt" || fail "prefs.txt lacks outbits 16: $(cat "$WORK/prefs.txt")"

keys_to Orvane ctrl+q
wait_exit
[ "$ORVANE_STATUS" -eq 0 ] || fail "Ctrl+q ended with status $ORVANE_STATUS"
echo "routing and preferences: ok"
