// Renders of a model set up here (or read from its three files), measured on
// the written file: the plain mix against sox, automation, VCAs, pan laws,
// routing, solo and mute, sends, look-ahead, the output format, ranges as
// exact slices, sources, and the errors that stop a render.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "../files/fault_env.h"
#include "engine.h"
#include "model/model.h"
#include "sources.h"
#include "testlib.h"

namespace {

const int kRate = 8000;

// Writes a PCM wave file whose sample of frame i, side c is f(i, c), as
// exact words: x full scale is x * 2^(bits-1) LSB.
void WriteWav(const std::string& path, int rate, int channels, long long frames,
              const std::function<double(long long, int)>& f, int bits = 24) {
  SF_INFO info = {};
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | (bits == 16 ? SF_FORMAT_PCM_16 : SF_FORMAT_PCM_24);
  SNDFILE* s = sf_open(path.c_str(), SFM_WRITE, &info);
  std::vector<int> buf(size_t(frames) * channels);
  double scale = bits == 16 ? 32768.0 : 8388608.0;
  for (size_t i = 0; i < buf.size(); i++) {
    double y = std::nearbyint(f(i / channels, i % channels) * scale);
    buf[i] = int(std::min(scale - 1, std::max(-scale, y))) * (bits == 16 ? 65536 : 256);
  }
  sf_writef_int(s, buf.data(), frames);
  sf_close(s);
}
void Constant(const char* name, double v, double seconds, int channels = 2) {
  WriteWav(name, kRate, channels, (long long)(seconds * kRate), [v](long long, int) { return v; });
}
// Noise of a fixed seed, peak 1/4, so that every sample can be compared.
double Noise(long long i, int c) {
  unsigned long long z = (unsigned long long)(i * 2 + c + 1) * 0x9e3779b97f4a7c15ULL;
  z ^= z >> 29;
  z *= 0xbf58476d1ce4e5b9ULL;
  z ^= z >> 32;
  return (double(z % 20001) - 10000) / 40000.0;
}

// A wave file read back: its samples in LSB of its word length.
struct Wav {
  int channels = 0, bits = 0;
  long long frames = 0;
  std::vector<int> lsb;  // interleaved
  bool ok = false;
  int at(long long i, int c) const { return lsb[size_t(i) * channels + c]; }
  double value(long long i, int c) const { return at(i, c) / double(1 << (bits - 1)); }
};
Wav ReadWav(const std::string& path) {
  Wav w;
  SF_INFO info = {};
  SNDFILE* s = sf_open(path.c_str(), SFM_READ, &info);
  if (!s) return w;
  w.channels = info.channels;
  w.frames = info.frames;
  w.bits = (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 ? 16 : 24;
  w.lsb.resize(size_t(w.frames) * w.channels);
  sf_readf_int(s, w.lsb.data(), w.frames);
  for (int& x : w.lsb) x >>= (32 - w.bits);
  sf_close(s);
  w.ok = true;
  return w;
}
double Db(double x) { return 20 * std::log10(std::fabs(x)); }

// A reset model with dither off (tests that want dither set it).
void ResetModel() {
  ClearInternalArrays();
  HeadTailArray[0] = HeadTailArray[1] = 0;
  DitherBits = 0;
}
void SetName(int slot, const char* name) { CopyField(NameBuffer[slot], NAME_LEN, name); }
// A constant source as channel slot.
void ConstantSource(int slot, const char* name, double v, double seconds, int channels = 2) {
  Constant(name, v, seconds, channels);
  SetName(slot, name);
}
// Renders the model to path; the exit status, errors joined by newlines.
int RenderTo(const std::string& path, std::string* errors = nullptr, RenderReport* report = nullptr) {
  RenderOptions o;
  o.output = path;
  std::vector<std::string> e;
  RenderReport r;
  int status = RenderModel(o, report ? report : &r, &e);
  if (errors) errors->clear();
  for (const std::string& s : e)
    if (errors) *errors += s + "\n";
  return status;
}
Wav Render() {
  std::string errors;
  EXPECT_EQ(0, RenderTo("out.wav", &errors)) << errors;
  return ReadWav("out.wav");
}
// Level in dB of the render's left side at frame i over a source of level v.
double LevelAt(const Wav& w, long long i, double v = 0.5, int c = 0) { return Db(w.value(i, c) / v); }

// Each render test in its own temporary directory on a reset model.
class Mix : public testing::Test {
 protected:
  void SetUp() override { ResetModel(); }
  ScopedWorkDir dir;
};

TEST_F(Mix, PlainMixEqualsSoxWithinOneLsb) {
  const char* make[] = {
      "sox -q -n -r 48000 -b 24 -c 2 s1.wav synth 1.5 sine 220 sine 330 vol 0.2",
      "sox -q -n -r 48000 -b 24 -c 2 s2.wav synth 0.75 square 97 sine 1250 vol 0.15",
      "sox -q -n -r 48000 -b 24 -c 2 s3.wav synth 2.25 pinknoise pinknoise vol 0.2",
      "sox -q -n -r 48000 -b 24 -c 2 s4.wav synth 1.2 sawtooth 55 triangle 440 vol 0.2",
      "sox -q -D -m -v 1 s1.wav -v 1 s2.wav -v 1 s3.wav -v 1 s4.wav -b 24 ref.wav",
  };
  for (const char* cmd : make) ASSERT_EQ(0, system(cmd)) << cmd;
  ResetModel();
  for (int n = 1; n <= 4; n++) SetName(n, ("s" + std::to_string(n) + ".wav").c_str());
  Wav ref = ReadWav("ref.wav"), out = Render();
  ASSERT_TRUE(ref.ok && out.ok);
  EXPECT_EQ(48000 * 9 / 4, out.frames);  // the longest source
  ASSERT_EQ(ref.frames, out.frames);
  ASSERT_EQ(24, out.bits);
  int worst = 0;
  long long loud = 0;
  for (size_t i = 0; i < ref.lsb.size(); i++) {
    worst = std::max(worst, std::abs(ref.lsb[i] - out.lsb[i]));
    loud += std::abs(ref.lsb[i]) > 100000;
  }
  EXPECT_LE(worst, 1);
  EXPECT_GT(loud, 10000);  // the comparison is not one of silences
}

TEST_F(Mix, AutomationRampShapeOffsetAndTakeOver) {
  ConstantSource(1, "a.wav", 0.5, 4);
  SetPoint(1, 0, 0, -12, 2);  // 0 -> -12 dB over 2 s
  Wav w = Render();
  EXPECT_EQ(4 * kRate, w.frames);
  for (auto [at, db] : {std::pair<int, double>{0, 0}, {kRate, -6}, {3 * kRate, -12}})
    EXPECT_NEAR(db, LevelAt(w, at), 0.01) << at;
  EXPECT_NEAR(-12.0, LevelAt(w, 2 * kRate, 0.5, 1), 0.01);
  Shape[Cell(1, 0)] = 2;  // half of the ramp gives a quarter of the move
  EXPECT_NEAR(-3.0, LevelAt(Render(), kRate), 0.01);
  Shape[Cell(1, 0)] = 1;
  Offset[Cell(1, 0)] = 0.5;  // shifts the whole move
  w = Render();
  for (auto [at, db] : {std::pair<int, double>{kRate / 2, 0}, {3 * kRate / 2, -6}, {5 * kRate / 2, -12}})
    EXPECT_NEAR(db, LevelAt(w, at), 0.01) << at;
  // A point at 1 s (ramp 1 s back to 0 dB) takes over from the -6 dB reached.
  Offset[Cell(1, 0)] = 0;
  SetPoint(1, 1, 1.0, 0, 1);
  w = Render();
  for (auto [at, db] : {std::pair<int, double>{kRate, -6}, {3 * kRate / 2, -3}, {2 * kRate, 0}, {3 * kRate, 0}})
    EXPECT_NEAR(db, LevelAt(w, at), 0.01) << at;
  // The last move sets the length: the master's ends at 1.75 s.
  ResetModel();
  ConstantSource(1, "a.wav", 0.25, 1);
  SetPoint(0, 0, 1.0, -10, 0.5, 0.25);
  EXPECT_EQ(7 * kRate / 4, Render().frames);
}

TEST_F(Mix, AutomationStepsVcaSubmixMasterAndRowsInUse) {
  ConstantSource(1, "a.wav", 0.5, 2);
  // At once at 0.5 s: from the point's frame, a raised cosine in gain over
  // the shortest move (5 ms, 40 frames).
  SetPoint(1, 0, 0.5, -6);
  Wav w = Render();
  const int k = kRate / 2, shortest = kRate / 200;
  EXPECT_EQ(0.5, w.value(k, 0));
  EXPECT_NEAR(0.5 * (0.5 + 0.5 * std::pow(10, -0.3)), w.value(k + shortest / 2, 0), 1e-6);
  EXPECT_NEAR(0.5 * (1 - (1 - std::pow(10, -0.3)) * (0.5 - 0.5 * std::cos(M_PI / 4))),
              w.value(k + shortest / 4, 0), 1e-6);
  EXPECT_NEAR(-6.0, LevelAt(w, k + shortest), 0.001);
  // VCA 1 at -6 dB lowers its member by 6 dB more; an unassigned VCA nothing.
  SetPoint(VcaSlot(1), 1, 0, -6);
  SetPoint(VcaSlot(2), 1, 0, -20);
  VcaAsn[0] = 1;
  w = Render();
  EXPECT_NEAR(-6.0, LevelAt(w, shortest), 0.001);
  EXPECT_NEAR(-12.0, LevelAt(w, kRate, 0.5, 1), 0.001);
  // -144 dB is silence; a point on a row not in use does not count.
  VcaAsn[0] = 0;
  SetPoint(1, 2, 1.0, -144);
  SetPoint(1, 3, 1.5, -20);
  IndexActiveArray[3] = 0;
  EXPECT_EQ(0, Render().at(2 * kRate - 1, 1));
  // The master and a submix fader act too, in dB on top of the channel.
  ResetModel();
  SetName(1, "a.wav");
  SubAsn[0] = 1;
  SetPoint(GroupSlot(1), 0, 0, -6);
  SetPoint(0, 0, 0, -3);
  EXPECT_NEAR(-9.0, LevelAt(Render(), 100), 0.001);
}

// Level in dBFS of what lies above 4 kHz in the 4800 frames of x centred
// on frame c at 48 kHz: a periodic Hann window, so that a 1 kHz sine (100
// whole periods) leaves nothing there and all that is found is the click of
// a gain change (a full-scale sine would read 0 dBFS).
double SplatterAbove4k(const std::function<double(long long)>& x, long long c) {
  const int N = 4800;
  std::vector<double> w(N), tw(N);
  double power = 0;
  for (int i = 0; i < N; i++) {
    double h = 0.5 - 0.5 * std::cos(2 * M_PI * i / N);
    w[i] = x(c - N / 2 + i) * h;
    power += h * h / 2;
    tw[i] = 2 * M_PI * i / N;
  }
  double band = 0;
  for (int k = 400; k <= N / 2; k++) {
    double re = 0, im = 0;
    for (int i = 0; i < N; i++) {
      double a = tw[(long long)k * i % N];
      re += w[i] * std::cos(a), im -= w[i] * std::sin(a);
    }
    band += (k == N / 2 ? 1 : 2) * (re * re + im * im) / N;
  }
  return 10 * std::log10(band / power);
}

// A -6 dBFS 1 kHz sine through points of ramp 0 (a mute, an unmute, a step
// to -20 dB): no click, nothing above 4 kHz louder than -70 dBFS, where a
// hard step of the gain would splatter far above that.
TEST_F(Mix, StepsAtOnceDoNotClick) {
  const int rate = 48000;
  auto Sine = [](long long i) { return 0.5 * std::sin(2 * M_PI * 1000 * double(i) / 48000); };
  WriteWav("sine.wav", rate, 2, 2 * rate, [&](long long i, int) { return Sine(i); });
  SetName(1, "sine.wav");
  SetPoint(1, 0, 0.5, -144);
  SetPoint(1, 1, 1.0, 0);
  SetPoint(1, 2, 1.5, -20);
  Wav w = Render();
  ASSERT_EQ(2 * rate, w.frames);
  auto Out = [&](long long i) { return w.value(i, 0); };
  for (long long k : {rate / 2LL, 1LL * rate, 3LL * rate / 2})
    EXPECT_LT(SplatterAbove4k(Out, k + 120), -70.0) << k;
  // The measurement hears a hard step.
  auto Step = [&](long long i) { return i < rate / 2 ? Sine(i) : 0.0; };
  EXPECT_GT(SplatterAbove4k(Step, rate / 2), -60.0);
}

// Times held as float land on the nearest frame: a point at 0.3 s starts
// its move at frame 14400 at 48 kHz (the middle of its 240 frames is at
// half the gain).
TEST_F(Mix, PointTimesLandOnTheNearestFrame) {
  WriteWav("c.wav", 48000, 2, 24000, [](long long, int) { return 0.5; });
  SetName(1, "c.wav");
  SetPoint(1, 0, 0.3, -144);
  Wav w = Render();
  EXPECT_EQ(0.5, w.value(14400, 0));
  EXPECT_NEAR(0.25, w.value(14400 + 120, 0), 1e-6);
  EXPECT_EQ(0, w.at(14400 + 240, 1));
}

// One thread or many, any block size: the same output, sample for sample,
// for a mix with effects, submixes, reverbs, VCAs and dense automation.
TEST_F(Mix, OutputIsTheSameWhateverTheThreads) {
  for (int n = 1; n <= 12; n++) {
    WriteWav("n" + std::to_string(n) + ".wav", kRate, 1 + n % 2, 2 * kRate,
             [n](long long i, int c) { return Noise(i * n, c) / 2; });
    SetName(n, ("n" + std::to_string(n) + ".wav").c_str());
    SubAsn[(n - 1) * 8 + n % 3] = n % 4 != 0;
    VcaAsn[(n - 1) * 8] = n % 2;
    Pan[n] = float(n * 15 - 100);
    float* hp = &Php[n * REC];
    hp[0] = 1, hp[1] = 100.0f * n;
    float* comp = &Pcomp[n * REC];
    comp[0] = 1, comp[1] = -20, comp[2] = 5, comp[3] = 80, comp[4] = 3;
    Prev[n * REC] = 1, Prev[n * REC + 1] = -10;
    Ptrev[n * REC] = n % 4 == 0, Ptrev[n * REC + 1] = -12;
    for (int r = 0; r < 8; r++) SetPoint(n, r, 0.25 * r, float(-3 * ((r + n) % 5)), 0.2f, 0, 0.5f + r);
  }
  SetPoint(VcaSlot(1), 8, 0.3, -6, 1, 0, 2);
  SetPoint(GroupSlot(2), 9, 0.7, -10);
  Plim[0] = 1, Plim[1] = -3;
  Pnlc[GroupSlot(1) * REC] = 1;
  HeadTailArray[1] = 0.5;
  DitherBits = 1;
  std::string first;
  const struct { int threads, block; } runs[] = {{1, 4096}, {2, 4096}, {5, 4096}, {3, 1000}};
  for (const auto& run : runs) {
    RenderOptions o;
    o.output = "out.wav";
    o.threads = run.threads;
    o.blockFrames = run.block;
    RenderReport r;
    std::vector<std::string> e;
    ASSERT_EQ(0, RenderModel(o, &r, &e));
    std::string bytes = ReadFileBytes("out.wav");
    if (first.empty()) first = bytes;
    EXPECT_TRUE(bytes == first) << run.threads << " threads, blocks of " << run.block;
  }
  EXPECT_GT(first.size(), size_t(2 * kRate * 6));
}

TEST_F(Mix, AbsurdTimesAreRefusedNotOverflowed) {
  SetPoint(0, 0, 0, -6, 1e30f);  // a ramp of 1e30 s
  std::string errors;
  EXPECT_EQ(2, RenderTo("out.wav", &errors));
  EXPECT_NE(std::string::npos, errors.find("out.wav: the mix is too long")) << errors;
  ResetModel();
  HeadTailArray[1] = 1e38f;
  EXPECT_EQ(2, RenderTo("out.wav", &errors));
  EXPECT_FALSE(FileExists("out.wav"));
}

TEST_F(Mix, PanLawsAndBalance) {
  ConstantSource(1, "m.wav", 0.5, 0.1, 1);
  double l, r;
  auto Gains = [&](float p, float law) {  // of a mono source at pan p
    Pan[1] = p;
    PanlawStore = law;
    Wav w = Render();
    l = w.value(10, 0) / 0.5;
    r = w.value(10, 1) / 0.5;
  };
  Gains(0, 3);
  EXPECT_NEAR(-3.0, Db(l), 0.02);
  EXPECT_NEAR(-3.0, Db(r), 0.02);
  Gains(-100, 3);
  EXPECT_NEAR(1.0, l, 1e-6);
  EXPECT_EQ(0.0, r);
  Gains(100, 4.5);
  EXPECT_EQ(0.0, l);
  EXPECT_NEAR(1.0, r, 1e-6);
  for (float p : {-60.0f, 35.0f, 0.0f}) {  // 6 dB law: the gains sum to 1
    Gains(p, 6);
    EXPECT_NEAR(1.0, l + r, 1e-6) << p;
  }
  EXPECT_NEAR(-6.0, Db(l), 0.03);  // at the centre
  Gains(30, 3);  // constant power
  EXPECT_NEAR(1.0, l * l + r * r, 1e-6);
  Gains(-50, 0);  // law 0: balance
  EXPECT_NEAR(1.0, l, 1e-6);
  EXPECT_NEAR(0.5, r, 1e-6);
  ConstantSource(1, "s.wav", 0.5, 0.1);  // a stereo source is balanced: p > 0 lowers the left only
  Pan[1] = 25;
  Wav w = Render();
  EXPECT_NEAR(0.375, w.value(5, 0), 1e-6);
  EXPECT_NEAR(0.5, w.value(5, 1), 1e-6);
}

// Three stereo channels of distinct constant levels 1/4, 1/8, 1/16: the
// output tells which of them sound.
TEST_F(Mix, RoutingThroughSubmixesSoloAndMute) {
  auto Three = [] {
    ResetModel();
    for (int i = 0; i < 3; i++) {
      std::string name = "c" + std::to_string(i + 1) + ".wav";
      ConstantSource(i + 1, name.c_str(), 0.25 / (1 << i), 0.1);
    }
  };
  auto Left = [] { return Render().value(20, 0); };
  Three();
  EXPECT_DOUBLE_EQ(0.4375, Left());
  SubAsn[0] = SubAsn[1] = 1;  // channel 1 in submixes 1 and 2 sounds through both
  EXPECT_DOUBLE_EQ(0.6875, Left());
  Pan[GroupSlot(2)] = 100;  // the submix's pan is a balance
  Wav w = Render();
  EXPECT_DOUBLE_EQ(0.4375, w.value(20, 0));
  EXPECT_DOUBLE_EQ(0.6875, w.value(20, 1));
  Pan[GroupSlot(2)] = 0;
  MuteArray[GroupSlot(1)] = 1;  // a muted submix silences what goes through it only
  EXPECT_DOUBLE_EQ(0.4375, Left());
  MuteArray[GroupSlot(2)] = 1;
  EXPECT_DOUBLE_EQ(0.1875, Left());
  MuteArray[GroupSlot(1)] = MuteArray[GroupSlot(2)] = 0;
  // Solo of submix 2: submix 1 and the directly routed channels 2, 3 are silent.
  SubAsn[2 * 8 + 0] = 1;  // channel 3 to submix 1
  SoloArray[GroupSlot(2)] = 1;
  EXPECT_DOUBLE_EQ(0.25, Left());
  // Input solo: only the soloed channels sound; a muted channel is silent.
  Three();
  SoloArray[2] = SoloArray[3] = 1;
  EXPECT_DOUBLE_EQ(0.1875, Left());
  MuteArray[2] = 1;
  SoloArray[2] = 0;
  EXPECT_DOUBLE_EQ(0.0625, Left());
  SoloArray[3] = 0;
  EXPECT_DOUBLE_EQ(0.3125, Left());
  SetName(1, "----");  // a placeholder or empty name is a silent channel
  SetName(3, "");
  EXPECT_DOUBLE_EQ(0.0, Left());
}

// The sends, taken after the fader and mute, feed the reverbs' buses, whose
// returns reach the master: measured as the energy after the source ends.
TEST_F(Mix, SendsFeedTheReverbsAfterFaderAndMute) {
  WriteWav("b.wav", kRate, 2, kRate / 4, [](long long i, int) { return i % 16 < 8 ? 0.25 : -0.25; });
  SetName(1, "b.wav");
  SetName(2, "b.wav");
  HeadTailArray[1] = 1.0;
  Prtn[0] = Ptrtn[0] = 0;
  auto Tail = [] {
    Wav w = Render();
    double e = 0;
    for (long long i = kRate / 4 + 100; i < w.frames; i++) e += w.value(i, 0) * w.value(i, 0) + w.value(i, 1) * w.value(i, 1);
    return e;
  };
  auto Send = [](float* table, int slot, float on) {
    table[slot * REC] = on;
    table[slot * REC + 1] = 0;
  };
  EXPECT_EQ(0.0, Tail());  // no send: the mix ends with its source
  Send(Prev, 1, 1);
  double one = Tail();
  EXPECT_GT(one, 1e-4);
  MuteArray[1] = 1;  // a muted channel sends nothing
  EXPECT_EQ(0.0, Tail());
  MuteArray[1] = 0;
  SoloArray[2] = 1;  // nor does one silenced by another's solo
  EXPECT_EQ(0.0, Tail());
  SoloArray[2] = 0;
  SetPoint(1, 0, 0, -6.0206f, 0, -0.1f);  // the send follows the fader: half the level
  EXPECT_NEAR(one / 4, Tail(), one / 100);
  SetPoint(1, 0, 0, -144, 0, -0.1f);
  EXPECT_EQ(0.0, Tail());
  ChanActive[Cell(1, 0)] = 0;
  Send(Prev, 1, 0);
  SubAsn[1 * 8 + 2] = 1;  // channel 2 to submix 3, which sends
  Send(Prev, GroupSlot(3), 1);
  EXPECT_GT(Tail(), 1e-4);
  Send(Prev, GroupSlot(3), 0);
  Send(Prev, 0, 1);  // the master's sends are ignored
  Send(Ptrev, 0, 1);
  EXPECT_EQ(0.0, Tail());
  Send(Ptrev, 1, 1);  // the tap reverb has its own send and bus
  EXPECT_GT(Tail(), 1e-4);
}

// Two channels of the same noise, centred at 0 dB: the output is twice the
// noise frame for frame whatever carries a look-ahead (a 0 dB limiter that
// never acts on the quiet noise), its automation and a preview included.
TEST_F(Mix, LookAheadKeepsEveryStageAligned) {
  auto Quiet = [](long long i, int) { return Noise(i, 0) / 2; };
  WriteWav("n.wav", kRate, 2, kRate, Quiet);
  SetName(1, "n.wav");
  SetName(2, "n.wav");
  for (int slot : {1, GroupSlot(1), 0}) {  // channel 1, then its submix, then the master
    Plim[slot * REC] = 1.0f;
    SubAsn[0] = slot != 1;
    Wav w = Render();
    ASSERT_EQ(kRate, w.frames);
    for (long long i = 0; i < w.frames; i++) ASSERT_NEAR(2 * Quiet(i, 0), w.value(i, 0), 2.5 / 8388608) << slot << " " << i;
  }
  SetPoint(1, 0, 0.5, -144);  // a fader step at 0.5 s on the limited channel: frames 4000 to 4040
  Wav w = Render();
  EXPECT_NEAR(2 * Quiet(4000, 0), w.value(4000, 0), 2.5 / 8388608);
  EXPECT_NEAR(Quiet(4040, 0), w.value(4040, 0), 2.5 / 8388608);
  PreviewOn = 1;
  PreviewArray[1] = 0.375;
  PreviewArray[3] = 0.25;
  Wav p = Render();
  ASSERT_EQ(kRate / 4, p.frames);
  for (long long i = 0; i < p.frames; i++) ASSERT_EQ(w.at(3000 + i, 1), p.at(i, 1)) << i;
}

TEST_F(Mix, OutputSilenceDitherAndMono) {
  ConstantSource(1, "z.wav", 0, 1);
  OutbitsStore = 16;
  RenderReport r;
  ASSERT_EQ(0, RenderTo("out.wav", nullptr, &r));
  Wav w = ReadWav("out.wav");
  ASSERT_EQ(16, w.bits);
  ASSERT_EQ(kRate, w.frames);
  for (int x : w.lsb) ASSERT_EQ(0, x);
  EXPECT_EQ(0, r.peak);
  // TPDF of peak d LSB, rounded: the RMS of the words is that of the rounded
  // triangular density on [-d, d], integrated here numerically.
  for (int d : {1, 2}) {
    DitherBits = d;
    w = Render();
    double sum = 0, expect = 0, mean = 0;
    for (int x : w.lsb) sum += double(x) * x, mean += x;
    const int steps = 200000;
    for (int i = 0; i < steps; i++) {
      double y = -d + 2.0 * d * (i + 0.5) / steps, q = std::nearbyint(y);
      expect += q * q * (d - std::fabs(y)) / (double(d) * d) * (2.0 * d / steps);
    }
    EXPECT_NEAR(std::sqrt(expect), std::sqrt(sum / w.lsb.size()), 0.02) << d;
    EXPECT_NEAR(0.0, mean / w.lsb.size(), 0.02) << d;
    for (int x : w.lsb) ASSERT_LE(std::abs(x), d);
  }
  DitherBits = 0;  // mono: one channel, the mean of the two sides
  OutbitsStore = 24;
  monoOn = 1;
  WriteWav("s.wav", kRate, 2, 100, [](long long, int c) { return c ? 0.25 : 0.5; });
  SetName(1, "s.wav");
  w = Render();
  ASSERT_EQ(1, w.channels);
  EXPECT_EQ(0.375, w.value(50, 0));
}

TEST_F(Mix, OutputHeadTailAndClipping) {
  ConstantSource(1, "s.wav", 0.9, 1, 1);
  PanlawStore = 0;  // balance: the mono source at full level on both sides
  HeadTailArray[0] = 0.25;
  HeadTailArray[1] = 0.5;
  SetPoint(0, 0, 0.5, 3);  // the master 3 dB up from 0.5 s: clips
  RenderReport r;
  ASSERT_EQ(0, RenderTo("out.wav", nullptr, &r));
  Wav w = ReadWav("out.wav");
  ASSERT_EQ(kRate / 4 + kRate + kRate / 2, w.frames);
  EXPECT_EQ(w.frames, r.frames);
  EXPECT_EQ(0, w.at(kRate / 4 - 1, 0));
  EXPECT_NEAR(0.9, w.value(kRate / 4, 0), 1e-6);
  EXPECT_EQ(8388607, w.at(kRate, 1));        // clipped at full scale
  EXPECT_EQ(0, w.at(kRate / 4 + kRate, 0));  // the tail
  long long clipped = 0;  // from 0.5 s on, the short move included
  for (int i = 0; i < kRate / 2; i++) {
    double g = 1 + (std::pow(10, 0.15) - 1) * (i < 40 ? 0.5 - 0.5 * std::cos(M_PI * i / 40) : 1);
    clipped += std::nearbyint(0.9 * 8388608) * g > 8388607.5 ? 2 : 0;
  }
  EXPECT_EQ(clipped, r.clipped);
  EXPECT_LT(clipped, 2LL * kRate / 2);
  EXPECT_NEAR(20 * std::log10(0.9) + 3, 20 * std::log10(r.peak), 1e-4);
}

// A preview, or Xin to Xout when preview is off, is the same slice of the
// full render (after the head) sample for sample; a length or Xout of zero
// runs to the end; a range that holds nothing is an error naming prefs.txt.
TEST_F(Mix, RangesAreExactSlices) {
  WriteWav("n.wav", kRate, 2, 3 * kRate, Noise);
  WriteWav("m.wav", kRate, 1, 2 * kRate, [](long long i, int) { return Noise(i, 5) / 2; });
  SetName(1, "n.wav");
  SetName(2, "m.wav");
  Pan[2] = -30;
  SubAsn[1 * 8 + 3] = 1;
  SetPoint(1, 0, 0.3, -20, 1.7, 0, 2.5);
  SetPoint(GroupSlot(4), 1, 1.1, -6, 0.4);
  SetPoint(0, 2, 0.05, -1, 0.1);
  DitherBits = 1;
  HeadTailArray[0] = 0.1;
  HeadTailArray[1] = 0.2;
  ASSERT_EQ(0, RenderTo("full.wav"));
  Wav full = ReadWav("full.wav");
  const long long head = kRate / 10, end = 3 * kRate + kRate / 5;
  ASSERT_EQ(head + end, full.frames);
  const struct { int preview; float from, length, to, to_ms; long long start, frames; } cases[] = {
      {1, 0, 0.5, 0, 0, kRate + kRate / 4, kRate / 2},  // 0 min 1 s 250 ms for 0.5 s
      {1, 0, 0, 0, 0, kRate + kRate / 4, end - kRate - kRate / 4},
      {0, 0.5, 0, 2, 125, kRate / 2, 2 * kRate + kRate / 8 - kRate / 2},
      {0, 0.5, 0, 0, 0, kRate / 2, end - kRate / 2}};
  for (const auto& c : cases) {
    PreviewOn = c.preview;
    PreviewArray[1] = 1, PreviewArray[2] = 250, PreviewArray[3] = c.length;
    XinArray[1] = c.from, XoutArray[1] = c.to, XoutArray[2] = c.to_ms;
    Wav part = Render();
    ASSERT_EQ(head + c.frames, part.frames) << c.start;
    for (long long i = 0; i < head + c.frames; i++)
      for (int s = 0; s < 2; s++)
        ASSERT_EQ(full.at(i < head ? i : c.start + i, s), part.at(i, s)) << "frame " << i;
  }
  XinArray[1] = 9;
  std::string errors;
  EXPECT_EQ(2, RenderTo("none.wav", &errors));
  EXPECT_NE(std::string::npos, errors.find("prefs.txt")) << errors;
  EXPECT_FALSE(FileExists("none.wav"));
}

// Names in the working directory (the temporary files of a render begin
// with ".").
std::vector<std::string> Entries() {
  std::vector<std::string> names;
  DIR* d = opendir(".");
  while (dirent* e = readdir(d))
    if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) names.push_back(e->d_name);
  closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(Mix, DefaultPathAndSafeReplacement) {
  WriteWav("s.wav", kRate, 2, 100, [](long long, int) { return 0.5; });
  SetName(1, "s.wav");
  CopyField(MixName, NAME_LEN, "My/Mix");
  CopyField(MixDirName, PATH_LEN, "mixes");
  EXPECT_EQ("mixes/My_Mix.wav", DefaultOutputPath());
  mkdir("mixes", 0755);
  RenderOptions o;
  std::vector<std::string> errors;
  RenderReport r;
  ASSERT_EQ(0, RenderModel(o, &r, &errors));
  EXPECT_EQ("mixes/My_Mix.wav", r.output);
  EXPECT_EQ(100, ReadWav("mixes/My_Mix.wav").frames);
  MixDirName[0] = 0;
  EXPECT_EQ("My_Mix.wav", DefaultOutputPath());
  // A missing output directory: exit 2 naming the output and the cause.
  CopyField(MixDirName, PATH_LEN, "no/such/dir");
  EXPECT_EQ(2, RenderModel(o, &r, &errors));
  ASSERT_EQ(1u, errors.size());
  EXPECT_NE(std::string::npos, errors[0].find("no/such/dir/My_Mix.wav")) << errors[0];
  EXPECT_NE(std::string::npos, errors[0].find("No such file or directory")) << errors[0];
  // A disk that fills up during the render: the old file stays as it was
  // and no temporary file is left.
  ConstantSource(1, "long.wav", 0.1, 4);
  WriteFileBytes("out.wav", "previous render");
  pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit lim = {20000, 20000};
    setrlimit(RLIMIT_FSIZE, &lim);
    std::string e;
    int status = RenderTo("out.wav", &e);
    _exit(status == 2 && e.find("out.wav") != std::string::npos ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ("previous render", ReadFileBytes("out.wav"));
  for (const std::string& name : Entries()) EXPECT_NE('.', name[0]) << name;
}

TEST_F(Mix, EverySourceProblemListedBeforeAnyAudio) {
  mkdir("wav", 0755);
  auto Tone = [](long long, int) { return 0.1; };
  WriteWav("wav/a.wav", 48000, 2, 100, Tone);
  WriteWav("wav/b.wav", 44100, 1, 100, Tone);
  WriteWav("wav/c.wav", 48000, 3, 100, Tone);
  WriteFileBytes("wav/d.wav", "not a wave file");
  CopyField(WavDirName, PATH_LEN, "wav");
  SetName(1, "a.wav");
  SetName(2, "gone1.wav");
  SetName(3, "----");
  SetName(5, "gone2.wav");
  std::string e;
  EXPECT_EQ(2, RenderTo("out.wav", &e));
  EXPECT_NE(std::string::npos, e.find("wav/gone1.wav (channel 2): No such file")) << e;
  EXPECT_NE(std::string::npos, e.find("wav/gone2.wav (channel 5): No such file")) << e;
  EXPECT_EQ(2, std::count(e.begin(), e.end(), '\n')) << e;
  EXPECT_EQ(std::vector<std::string>({"wav"}), Entries());  // nothing written
  // Rates that differ, a file with three channels, one libsndfile cannot read.
  SetName(2, "b.wav");
  SetName(5, "c.wav");
  SetName(7, "d.wav");
  EXPECT_EQ(2, RenderTo("out.wav", &e));
  EXPECT_NE(std::string::npos,
            e.find("wav/b.wav (channel 2): sample rate 44100 Hz, but wav/a.wav (channel 1) has 48000 Hz"))
      << e;
  EXPECT_NE(std::string::npos, e.find("wav/c.wav (channel 5): 3 channels")) << e;
  EXPECT_NE(std::string::npos, e.find("wav/d.wav (channel 7): cannot read")) << e;
  EXPECT_FALSE(FileExists("out.wav"));
  ResetModel();  // an absolute name is taken as it stands
  SetName(1, (dir.path() + "/wav/a.wav").c_str());
  EXPECT_EQ(0, RenderTo("out.wav", &e)) << e;
}

// 16-bit stereo, 24-bit mono, float stereo and FLAC of different lengths,
// each read at its value.
TEST_F(Mix, SourceFormatsAndLengths) {
  WriteWav("a16.wav", kRate, 2, kRate, [](long long i, int c) { return c ? -0.25 : (i % 2 ? 0.125 : 0.0625); }, 16);
  WriteWav("b24.wav", kRate, 1, kRate / 2, [](long long, int) { return 1.0 / 64; });
  SF_INFO info = {};
  info.samplerate = kRate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* f = sf_open("c.wav", SFM_WRITE, &info);
  std::vector<float> v(2 * kRate / 4, 1.0f / 32);
  sf_writef_float(f, v.data(), kRate / 4);
  sf_close(f);
  info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
  f = sf_open("d.flac", SFM_WRITE, &info);
  std::vector<short> s(2 * kRate / 8, 1024);  // 1/32
  sf_writef_short(f, s.data(), kRate / 8);
  sf_close(f);
  for (const char* name : {"a16.wav", "b24.wav", "c.wav", "d.flac"}) SetName(1 + (name[0] - 'a'), name);
  PanlawStore = 0;  // the mono source at full level on both sides
  Wav w = Render();
  ASSERT_EQ(kRate, w.frames);
  const double b = 1.0 / 64, c = 1.0 / 32;
  const struct { long long i; double l, r; } at[] = {
      {10, 0.0625 + b + c + c, -0.25 + b + c + c}, {kRate / 8 + 1, 0.125 + b + c, -0.25 + b + c},
      {kRate / 4 + 2, 0.0625 + b, -0.25 + b}, {kRate / 2 + 3, 0.125, -0.25}};
  for (const auto& a : at) {
    EXPECT_EQ(a.l, w.value(a.i, 0)) << a.i;
    EXPECT_EQ(a.r, w.value(a.i, 1)) << a.i;
  }
}

// 16- and 24-bit PCM, mono and stereo, of lengths around the decoders'
// rounds, read in blocks from before the start to past the end by both
// builds: exactly libsndfile's floats, silence outside.
TEST_F(Mix, RawSourcesReadAsLibsndfileReadsThem) {
  for (int bits : {16, 24})
    for (int channels : {1, 2})
      for (long long frames : {1, 3, 8, 9, 4101}) {
        ResetModel();
        WriteWav("s.wav", kRate, channels, frames, Noise, bits);
        SetName(1, "s.wav");
        SF_INFO info = {};
        SNDFILE* f = sf_open("s.wav", SFM_READ, &info);
        std::vector<float> want(size_t(frames) * channels);
        sf_readf_float(f, want.data(), frames);
        sf_close(f);
        for (bool plain : {true, false}) {
          SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(channels) + " ch, " +
                       std::to_string(frames) + " frames" + (plain ? ", plain" : ""));
          ForcePlainDecode(plain);
          std::vector<Source> sources;
          std::vector<std::string> errors;
          int rate = 0;
          ASSERT_TRUE(OpenSources(&sources, &rate, &errors));
          const int block = 1000;
          std::vector<float> l(block), r(block);
          for (long long k = -5; k < frames + block; k += block) {
            ASSERT_TRUE(ReadSource(&sources[0], k, block, l.data(), r.data()));
            for (int i = 0; i < block; i++) {
              long long at = k + i;
              bool in = at >= 0 && at < frames;
              ASSERT_EQ(in ? want[size_t(at) * channels] : 0.0f, l[i]) << at;
              if (channels == 2) {
                ASSERT_EQ(in ? want[size_t(at) * 2 + 1] : 0.0f, r[i]) << at;
              }
            }
          }
          CloseSources(&sources);
        }
        ForcePlainDecode(false);
      }
}

// What each of the three files says reaches the output, through the
// editor's readers.
TEST_F(Mix, ThreeFilesReachTheOutput) {
  std::vector<std::string> errors;
  mkdir("wav", 0755);
  mkdir("out", 0755);
  const struct { const char* name; double v; int channels; } sources[] = {
      {"wav/one.wav", 0.25, 2}, {"wav/two.wav", 0.125, 2}, {"wav/three.wav", 0.0625, 1}, {"wav/four.wav", 0.5, 2}};
  for (const auto& s : sources) Constant(s.name, s.v, 1, s.channels);
  WriteFileBytes("faders.txt",
                 "FileMix\n\nsubname\t2\tBus\nsub\t2\t3\n\np\t3\t-100\n\n"
                 "t\t0\t0.000\t0\nv\t1\t-6.02\nv\tG\t2\t-6.02\n\n"
                 "t\t0\t0.500\t0\nv\tM\t-144.00\nofs\t0.250\nend\n");
  WriteFileBytes("tracks.txt", "1 one.wav +\n2 two.wav +\n3 three.wav +\n4 four.wav off\nend\n");
  WriteFileBytes("prefs.txt",
                 "pre\toff\nhead\t0.100\ntail\t0.200\nwavdir\twav\nmixdir\tout\npan\t0.0\n"
                 "outbits\t16\ndither\t0\nend\n");
  ASSERT_TRUE(LoadMixFiles(&errors));
  RenderOptions o;
  RenderReport r;
  ASSERT_EQ(0, RenderModel(o, &r, &errors)) << (errors.empty() ? "" : errors.back());
  EXPECT_EQ("out/FileMix.wav", r.output);
  Wav w = ReadWav("out/FileMix.wav");
  ASSERT_TRUE(w.ok);
  EXPECT_EQ(16, w.bits);
  EXPECT_EQ(800 + 8000 + 1600, w.frames);
  EXPECT_EQ(0, w.at(799, 0));
  // Channel 1 at -6.02 dB, channel 2 at 0 dB, channel 3 (mono, pan law 0:
  // balance, hard left) through submix 2 at -6.02 dB; channel 4 muted.
  double g = std::pow(10, -6.02 / 20);
  EXPECT_NEAR(0.25 * g + 0.125 + 0.0625 * g, w.value(900, 0), 1.0 / 32768);
  EXPECT_NEAR(0.25 * g + 0.125, w.value(900, 1), 1.0 / 32768);
  EXPECT_NE(0, w.at(800 + 6039, 0));  // the master drops to silence at 0.5 + 0.25 s (in 5 ms)
  EXPECT_EQ(0, w.at(800 + 6040, 0));
}

}  // namespace

// The output may never be one of the sources: by its name (MixDirName
// "audio" and MixName "drums"), a hard link or a symbolic link. The render
// stops before any audio is read, naming the channel and the file, and the
// recording stays as it was.
TEST_F(Mix, OutputThatIsOneOfTheSourcesIsRefused) {
  mkdir("audio", 0755);
  ConstantSource(3, "audio/drums.wav", 0.25, 0.5);
  const std::string recording = ReadFileBytes("audio/drums.wav");
  link("audio/drums.wav", "hard.wav");
  symlink("audio/drums.wav", "soft.wav");
  CopyField(MixDirName, PATH_LEN, "audio");
  CopyField(MixName, NAME_LEN, "drums");
  for (const char* output : {"", "hard.wav", "soft.wav"}) {
    RenderOptions o;
    o.output = output;
    std::vector<std::string> errors;
    RenderReport r;
    EXPECT_EQ(2, RenderModel(o, &r, &errors)) << output;
    ASSERT_EQ(1u, errors.size()) << output;
    EXPECT_EQ("audio/drums.wav (channel 3): is the output " + (*output ? std::string(output) : "audio/drums.wav") +
                  "; the mix would be written over its own source", errors[0]);
    EXPECT_EQ(recording, ReadFileBytes("audio/drums.wav")) << output;
  }
  EXPECT_EQ(std::vector<std::string>({"audio", "hard.wav", "soft.wav"}), Entries());
}

// NaN and infinite samples of float sources are read as 0 before any
// processing, so a render through filters, compressors and the reverb is
// exactly that of the sources with zeros in their place (once, one such
// sample silenced the rest of the mix). They are counted per file, warned
// about with the file's name, and the summary line mentions them.
TEST_F(Mix, NonFiniteSourceSamplesAreZeroAndCounted) {
  auto Float = [](const char* name, bool poisoned) {
    SF_INFO info = {};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(name, SFM_WRITE, &info);
    std::vector<float> v(2 * kRate);
    for (size_t i = 0; i < v.size(); i++) v[i] = float(Noise(i / 2, i % 2));
    for (size_t i : {200, 201, 4001, 9000}) v[i] = poisoned ? (i == 4001 ? INFINITY : i == 9000 ? -INFINITY : NAN) : 0;
    sf_writef_float(f, v.data(), kRate);
    sf_close(f);
  };
  for (int slot : {1, 2}) {
    Php[slot * REC] = Prms[slot * REC] = Pband1[slot * REC] = Prev[slot * REC] = 1.0f;
    Php[slot * REC + 1] = 80;
  }
  HeadTailArray[1] = 0.5;
  SetName(1, "a.wav");
  SetName(2, "b.wav");
  Float("a.wav", false);
  Float("b.wav", false);
  Wav clean = Render();
  Float("a.wav", true);
  RenderReport r;
  std::string e;
  ASSERT_EQ(0, RenderTo("out.wav", &e, &r)) << e;
  Wav w = ReadWav("out.wav");
  ASSERT_EQ(clean.frames, w.frames);
  EXPECT_TRUE(clean.lsb == w.lsb);
  double tail = 0;
  for (long long i = kRate; i < w.frames; i++) tail += std::fabs(w.value(i, 0));
  EXPECT_GT(tail, 0) << "the reverb's tail went on";
  EXPECT_EQ(4, r.nonFinite);
  EXPECT_EQ(std::vector<std::string>({"a.wav (channel 1): 4 samples that are not numbers (NaN or "
                                      "infinite) replaced by 0"}), r.warnings);
  std::string summary = SummaryLine(r);
  EXPECT_EQ(summary.size() - summary.find(" realtime), 4 non-finite samples replaced"),
            strlen(" realtime), 4 non-finite samples replaced")) << summary;
  r.nonFinite = 0;
  EXPECT_EQ(std::string::npos, SummaryLine(r).find("non-finite")) << "mentioned only when there are any";
}

// The output is saved as the mix files are: through a symbolic link into its
// target, and partial files of renders that were killed are cleared.
TEST_F(Mix, OutputSavedThroughLinksAndDeadRendersCleared) {
  ConstantSource(1, "s.wav", 0.25, 0.25);
  mkdir("renders", 0755);
  WriteFileBytes("renders/mix.wav", "previous render");
  symlink("renders/mix.wav", "out.wav");
  pid_t dead = fork();
  if (dead == 0) _exit(0);
  waitpid(dead, nullptr, 0);
  const std::string partial = "renders/.mix.wav." + std::to_string(dead) + ".0.tmp";
  WriteFileBytes(partial, "part of a killed render");
  Wav w = Render();
  EXPECT_EQ(kRate / 4, w.frames);
  struct stat st;
  ASSERT_EQ(0, lstat("out.wav", &st));
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(kRate / 4, ReadWav("renders/mix.wav").frames);
  EXPECT_FALSE(FileExists(partial));

  // Rendered by root over another user's output: owner, group and mode
  // stay. Rendered by that user over root's output: refused, bytes kept.
  chmod(".", 0777);
  WriteFileBytes("theirs.wav", "their render");
  ASSERT_EQ(0, chown("theirs.wav", 65534, 65534));
  chmod("theirs.wav", 0640);
  ASSERT_EQ(0, RenderTo("theirs.wav"));
  ASSERT_EQ(0, stat("theirs.wav", &st));
  EXPECT_EQ(65534u, st.st_uid);
  EXPECT_EQ(65534u, st.st_gid);
  EXPECT_EQ(0640u, st.st_mode & 07777);
  WriteFileBytes("mine.wav", "root's render");
  ChildRun r = RunInChild([] {
    if (!BecomeNobody()) return (int)NO_OTHER_USER;
    std::string e;
    int status = RenderTo("mine.wav", &e);
    printf("%i %s", status, e.c_str());
    return 0;
  });
  if (r.exit_code == NO_OTHER_USER) GTEST_SKIP() << "no other user can be taken here";
  EXPECT_EQ("2 mine.wav: the output is read-only\n", r.out);
  EXPECT_EQ("root's render", ReadFileBytes("mine.wav"));
}

// The engine's loader: a mix in which no channel names a wave file is
// refused, and a FIFO in place of a mix file is refused at once.
TEST_F(Mix, NothingToMixAndMixFilesThatAreNotFiles) {
  WriteFileBytes("faders.txt", "Mix\nend\n");
  WriteFileBytes("tracks.txt", "1 ---- off\n2 ---- off\nend\n");
  WriteFileBytes("prefs.txt", "end\n");
  std::vector<std::string> errors;
  EXPECT_FALSE(LoadMixFiles(&errors));
  EXPECT_EQ(std::vector<std::string>({"nothing to mix: no channel names a wave file"}), errors);
  unlink("prefs.txt");
  mkfifo("prefs.txt", 0644);
  errors.clear();
  alarm(20);  // a read that waits on the FIFO fails the test instead of hanging it
  EXPECT_FALSE(LoadMixFiles(&errors));
  alarm(0);
  EXPECT_EQ(std::vector<std::string>({"prefs.txt: cannot read: it is a FIFO, not a regular file"}), errors);
}
