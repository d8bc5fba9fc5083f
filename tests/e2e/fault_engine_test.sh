#!/usr/bin/env bash
# vorlax4 given hostile mix files: numbers past every limit (1e999, nan, -0,
# channel numbers past int), absurd times, CR LF line ends, NUL bytes and
# noise in each file, names of 10,000 characters, sources that are no sound
# files. Each run ends by itself within a minute with status 0 (rendered)
# or 2 (refused, with the cause on stderr), and never with a sanitizer
# report (the test suite's sanitizer build runs this same script). No
# display needed.
source "$(dirname "$0")/lib.sh"
V="$ORVANE_BIN/vorlax4"
WORK=$(mktemp -d /tmp/orvane-fault-engine-XXXXXX)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

mkdir -p audio
sox -q -n -r 48000 -b 16 -c 1 audio/a.wav synth 0.3 sine 440 vol 0.5
sox -q -n -r 48000 -b 24 -c 2 audio/b.wav synth 0.2 sine 220 vol 0.5
TRACKS='1 audio/a.wav +\n2 audio/b.wav +\nend\n'
PREFS='pre\toff\nstart\t0.000\t0.000\t0\nlength\t0.000\npan\t3.0\noutbits\t24\ndither\t1\ncolor\t97\nend\n'
FADERS='Mix\n\nsub\t1\t1,2\n\nt\t0\t0.000\t0\nv\t1\t-3.00\nv\tG\t1\t-1.00\n\nend\n'

# Runs the engine on the three texts (printf formats) as case NAME; the
# allowed statuses follow ("0 2" by default). Keeps the files of a failed
# case in the artifacts.
case_run() {
  local name=$1 faders=$2 tracks=$3 prefs=$4 allowed=${5:-0 2}
  printf "$faders" >faders.txt
  printf "$tracks" >tracks.txt
  printf "$prefs" >prefs.txt
  engine "$name" "$allowed"
}

# Runs the engine on the files as they stand.
engine() {
  local name=$1 allowed=$2
  rm -f out.wav
  set +e
  timeout 60 "$V" -q -o out.wav >out.txt 2>err.txt
  rc=$?
  set -e
  if [ $rc -eq 124 ] || ! [[ " $allowed " == *" $rc "* ]] ||
     grep -Eq "AddressSanitizer|LeakSanitizer|runtime error|Sanitizer" err.txt ||
     { [ $rc -eq 0 ] && ! [ -s out.wav ]; } || { [ $rc -eq 2 ] && ! [ -s err.txt ]; }; then
    mkdir -p "$ARTIFACTS/fault_engine_$name"
    cp faders.txt tracks.txt prefs.txt out.txt err.txt "$ARTIFACTS/fault_engine_$name/" || true
    fail "$name: status $rc (allowed: $allowed): $(head -c 2000 err.txt)"
  fi
}

case_run plain "$FADERS" "$TRACKS" "$PREFS" 0

# Every value not a number, infinite or minus zero: every effect of
# channels 1 and 2, submix 1 and the master on with such parameters, both
# reverbs fed, pans, row times, volumes, offsets, ramps and shapes.
F='Mix\n\nsub\t1\t1,2\nVCA:\t1\t1\n'
for fx in hp comp rms nlc lim band1 band2 hshelf lshelf fxg rev trev; do
  F+="$fx\t1\tnan\tnan\tnan\tnan\n$fx\t2\t1e999\t-1e999\t1e999\t-1e999\n"
  F+="$fx\tG\t1\t-0\t-0\t-0\t-0\n$fx\tM\t-1e999\tnan\t1e999\t-0\n"
done
F+='rtn\tnan\t1e999\ntrtn\t1e999\t-1e999\tnan\nrlp\tnan\nrhp\t1e999\nwidth\tnan\npos\tnan\t1e999\t-1e999\n'
F+='p\t1\tnan\np\t2\t1e999\np\tG\t1\t-1e999\np\tM\t-0\n'
F+='t\t0\t0\t0\nv\t1\tnan\nofs\t1e999\nv\t2\t1e999\nrmp\tnan\nshape\t-1e999\nv\tG\t1\t-1e999\nvca\t1\tnan\nv\tM\t-0\n'
F+='t\tnan\tnan\tnan\nv\t1\t-1e999\nshape\tnan\nt\t0\t0.1\t0\nv\t2\t-6\nrmp\t1e999\nofs\t-1e999\n'
F+='t\t-1e999\t0\t0\nv\t1\t0\nt\t0\t0.2\t0\nv\tM\t1e30\nrmp\t1e-30\nshape\t1e30\nend\n'
case_run values "$F" "$TRACKS" "$PREFS" 0
P='pre\ton\nstart\tnan\t1e999\t-1e999\nlength\tnan\nxin\tnan\t0\t0\nxout\t1e999\t0\t0\nhead\tnan\ntail\t1e999\n'
P+='pan\tnan\noutbits\t-2147483649\ndither\t2147483648\nmono\nend\n'
case_run prefs "$FADERS" "$TRACKS" "$P"
case_run prefs_off "$F" "$TRACKS" "${P/pre\\ton/pre\\toff}"
case_run prefs_values "$F" "$TRACKS" 'pan\t-1e999\noutbits\tnan\ndither\t-2147483649\nhead\t-1e999\ntail\tnan\nend\n' 0

# Channel, submix, VCA and row numbers past the limits of int.
F='Mix\nsub\t2147483648\t1\nsub\t1\t-2147483649,2147483648,1\nVCA:\t-2147483649\t1\n'
F+='comp\t2147483648\t1\t2\t3\t4\nhp\tG\t-2147483649\t10\np\t2147483648\t5\nrev\t-2147483649\t1\n'
F+='submu\t2147483648\nsubso\t-2147483649\nt\t0\t0\t0\nv\t2147483648\t1\nv\tG\t2147483647\t1\nvca\t-2147483649\t1\nend\n'
case_run channels "$F" "$TRACKS" "$PREFS" 0

# Times too long for any WAV file: refused, not rendered for days.
case_run long "Mix\nt\t1e9\t0\t0\nv\t1\t-1\nrmp\t1e30\nend\n" "$TRACKS" "$PREFS" 2
grep -q "too long" err.txt || fail "long: the cause is not named: $(cat err.txt)"
case_run tail "$FADERS" "$TRACKS" 'tail\t1e12\nend\n' 2

# CR LF line ends: read as the rules read them ("+\r" mutes a track).
crlf() { printf "$1" | sed 's/$/\r/'; }
crlf "$FADERS" >faders.txt; crlf "$TRACKS" >tracks.txt; crlf "$PREFS" >prefs.txt
engine crlf 0

# NUL bytes and noise in each file in turn, then in all three.
printf 'Mi\0x\nsub\t1\t1\0,2\nt\t0\t0\t0\0\nv\t1\t-3\0\nend\n' >faders.txt
printf "$TRACKS" >tracks.txt; printf "$PREFS" >prefs.txt
engine nul 0
for f in faders tracks prefs all; do
  printf "$FADERS" >faders.txt; printf "$TRACKS" >tracks.txt; printf "$PREFS" >prefs.txt
  for g in faders tracks prefs; do
    if [ $f = $g ] || [ $f = all ]; then head -c 200000 /dev/urandom >$g.txt; fi
  done
  engine "noise_$f" "0 2"
done

# Names of 10,000 characters; sources that are no sound files, empty, or
# cut short.
long=$(head -c 10000 /dev/zero | tr '\0' n)
case_run names "${long}\nsubname\t1\t${long}\nsub\t1\t1\nt\t0\t0\t0\nend\n" "1 ${long}.wav +\n2 ${long} off\nend\n" \
  "wavdir\t${long}\nmixdir\t${long}\n${PREFS}" 2
head -c 5000 /dev/urandom >audio/noise.wav
: >audio/empty.wav
head -c 100 audio/b.wav >audio/short.wav
case_run bad_sources "$FADERS" '1 audio/noise.wav +\n2 audio/empty.wav +\n3 audio +\nend\n' "$PREFS" 2
for s in audio/noise.wav audio/empty.wav "audio (channel 3)"; do grep -qF "$s" err.txt || fail "bad_sources: $s not named: $(cat err.txt)"; done
case_run short_source "$FADERS" '1 audio/short.wav +\nend\n' "$PREFS"

echo "fault_engine: ok"
