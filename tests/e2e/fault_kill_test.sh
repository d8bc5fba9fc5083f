#!/usr/bin/env bash
# The editor killed with SIGKILL at random moments while it stores a large
# mix again and again (Ctrl+s pressed repeatedly after Recall All of a mix
# of 512 rows, 144 points each, effects on every channel): after every kill
# the three files are whole and as the saves write them, never torn and
# never missing. Only hidden temporary files of interrupted saves may be
# left beside them.
source "$(dirname "$0")/lib.sh"
e2e_setup

# The large mix.
awk 'BEGIN {
  print "Big mix"; print "";
  for (s = 1; s <= 8; s++) {
    printf "subname\t%d\tGroup %d\nsub\t%d\t", s, s, s
    for (n = s; n <= 127; n += 8) printf "%s%d", (n == s ? "" : ","), n
    print ""
  }
  for (v = 1; v <= 8; v++) printf "vcaname\t%d\tVCA %d\nVCA:\t%d\t%d\n", v, v, v, v
  for (n = 1; n <= 127; n++) printf "comp\t%d\t-10.0\t10.0\t100.0\t1.5\nhp\t%d\t80.0\nrev\t%d\t-20.0\n", n, n, n
  print "rtn\t0.0\t150.0"
  for (r = 0; r < 512; r++) {
    printf "\ncue\tCue %d\n\nt\t%d\t%d.000\t0\n", r + 1, int(r / 60), r % 60
    for (n = 1; n <= 127; n++) printf "v\t%d\t%.2f\nofs\t0.250\nrmp\t1.000\n", n, -((n + r) % 60)
    for (g = 1; g <= 8; g++) printf "v\tG\t%d\t-1.00\n", g
    for (v = 1; v <= 8; v++) printf "vca\t%d\t-2.00\n", v
    print "v\tM\t0.00"
  }
  print "end"
}' >"$WORK/faders.txt"
for n in $(seq 1 127); do echo "$n audio/track$n.wav +"; done >"$WORK/tracks.txt"
echo end >>"$WORK/tracks.txt"
cp "$ORVANE_SRC/tests/golden/prefs_defaults.txt" "$WORK/prefs.txt"

recall_all() {
  click_in Orvane 336 90                                 # the "Recall" menu
  xdotool key --delay 80 Down Down Down Down Return      # "Recall All"
}

# Once without a kill: the texts that every save of this mix writes.
start_orvane
recall_all
keys_to Orvane ctrl+s
keys_to Orvane ctrl+q
wait_exit
mkdir "$WORK/.complete"
cp "$WORK/faders.txt" "$WORK/tracks.txt" "$WORK/prefs.txt" "$WORK/.complete/"
[ "$(head -n 1 "$WORK/faders.txt")" = "Big mix" ] || fail "the first save did not store the mix"
[ "$(stat -c %s "$WORK/faders.txt")" -gt 1000000 ] || fail "the mix is not large"

# Odd rounds kill at a random moment; even rounds watch for a save of
# faders.txt being written (its temporary file exists) and kill at once.
# The rounds go on until three kills fell inside a save (at most 16).
inside=0
for round in $(seq 1 16); do
  start_orvane
  recall_all
  id=$(window_id Orvane)
  xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
  xdotool key --delay 5 $(printf 'ctrl+s %.0s' $(seq 1 60)) &   # the saves queue up
  KEYS=$!
  if [ $((round % 2)) -eq 1 ]; then
    sleep "0.$((2 + RANDOM % 8))$((RANDOM % 10))"
  else
    end=$((SECONDS + 5))
    until compgen -G "$WORK/.faders.txt.*.tmp" >/dev/null || [ $SECONDS -ge $end ]; do :; done
  fi
  kill -9 "$ORVANE_PID"
  set +e; wait "$ORVANE_PID" 2>/dev/null; wait "$KEYS"; set -e   # no key is left held down
  ORVANE_PID=
  for f in faders.txt tracks.txt prefs.txt; do
    cmp -s "$WORK/$f" "$WORK/.complete/$f" ||
      fail "round $round: $f is not whole ($(stat -c %s "$WORK/$f" 2>/dev/null || echo missing) bytes)"
  done
  # What an interrupted save leaves: its hidden temporary file alone.
  left=$(cd "$WORK" && ls -A | grep -v '^\.std\|^\.complete\|^\.\(faders\|tracks\|prefs\)\.txt\.[0-9]*\.[0-9]*\.tmp$' | tr '\n' ' ')
  [ "$left" = "faders.txt prefs.txt tracks.txt " ] || fail "round $round: files left: $left"
  if compgen -G "$WORK/.*.tmp" >/dev/null; then inside=$((inside + 1)); rm -f "$WORK"/.*.tmp; fi
  [ $inside -ge 3 ] && break
done
[ $inside -ge 1 ] || fail "no kill fell inside a save in $round rounds"
echo "fault_kill: ok ($inside of $round kills fell inside a save)"
