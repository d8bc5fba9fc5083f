// Fader automation: the level of a channel slot over time, built from the
// slot's automation points, and the per-sample gains of a block. Free of
// FLTK: the render engine applies these levels and the editor draws them,
// so what is shown is what is rendered.
#ifndef VORLAX4_LEVELS_H
#define VORLAX4_LEVELS_H

#include <vector>

// One move: from the level reached at start, to `to` dB over ramp frames,
// the fraction x of the ramp giving the fraction x^shape of the move in dB.
// A short move (cosine) follows a raised cosine in gain instead, shape not
// applied: a change "at once" takes the shortest move and does not click.
struct LevelMove {
  double start;  // frame from time 0, a whole number (may be negative)
  double from, to;
  double ramp;   // frames the move lasts, a whole number of at least 1
  double shape;
  bool cosine;
};

// A slot's level: its moves in the order they apply. Before the first move,
// and with none, the level is 0 dB.
struct Level {
  std::vector<LevelMove> moves;
};

// dB at or below which a level is silence.
constexpr double kSilentDb = -144.0;
// The shortest move in seconds: a point whose ramp is shorter (0 included)
// moves along a raised cosine in gain over this time.
constexpr double kShortestMoveSeconds = 0.005;

// Time of a time-index row in seconds (min x 60 + sec + msec / 1000).
double RowSeconds(int row);
// The frame nearest to a time in seconds at rate (times are held as float,
// so 1.1 s at 48 kHz is frame 52800, not 52801).
double NearestFrame(double seconds, double rate);
// The level of slot from the points of the rows in use.
Level BuildLevel(int slot, double rate);
// Exact level in dB at frame k (during a short move, 20 log10 of its gain;
// kSilentDb where that gain is silence).
double LevelDbAt(const Level& level, double k);
// Frame at which the last move ends (0 when there is none or it ends before).
double LevelEndFrame(const Level& level);

// Whether slot has an automation point on row (the row is in use and the
// slot's "auto" is on there) and, when it has, the second at which the point
// starts: the row's time plus the point's offset, before any rounding to
// frames. The editor places its handles with it.
bool LevelPointAt(int slot, int row, double* start_seconds);

// The slots whose levels add up to input channel n's fader level (1..127):
// its own slot, then every VCA it is assigned to. Returns how many (at most
// 1 + NUM_VCAS, the room slots must have).
int ChannelLevelSlots(int n, int* slots);
// The sum in dB of count levels at frame k, kSilentDb when any of them is at
// kSilentDb or below: the level that a channel's gain is made from.
double SumDbAt(const Level* const* levels, int count, double k);

// Gains of the n frames from frame k0 for the sum in dB of count levels (a
// channel's own and its VCAs'), silence when any of them is at -144 dB or
// below, within 0.01 dB of the exact level of every frame (a gain is held
// at +120 dB at most). Returns true when the gain is the same for all n
// frames; then only gain[0] is set.
bool LevelGains(const Level* const* levels, int count, long long k0, int n, float* gain);

#endif
