// The output file: word length, dither, mono, head and tail, ranges as exact
// slices of the full render, the safe replacement of the target, and the
// errors that stop a render before anything is written.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <cmath>

#include "render_support.h"
#include "testlib.h"

static const int kRate = 8000;

// Noise of a fixed seed, so that every sample of a slice can be compared.
static double Noise(long long i, int c) {
  unsigned long long z = (unsigned long long)(i * 2 + c + 1) * 0x9e3779b97f4a7c15ULL;
  z ^= z >> 29;
  z *= 0xbf58476d1ce4e5b9ULL;
  z ^= z >> 32;
  return (double(z % 20001) - 10000) / 40000.0;
}

// Names in the working directory (the temporary files of a render begin with ".").
static std::vector<std::string> Entries() {
  std::vector<std::string> names;
  DIR* d = opendir(".");
  while (dirent* e = readdir(d))
    if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) names.push_back(e->d_name);
  closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(RenderOutput, SilenceDitherAndMono) {
  ScopedWorkDir dir;
  ResetModel();
  WriteWav("z.wav", kRate, 2, kRate, [](long long, int) { return 0.0; });
  SetName(1, "z.wav");
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
    ASSERT_EQ(0, RenderTo("out.wav"));
    w = ReadWav("out.wav");
    double sum = 0, expect = 0, mean = 0;
    for (int x : w.lsb) sum += double(x) * x, mean += x;
    const int steps = 200000;
    for (int i = 0; i < steps; i++) {
      double y = -d + 2.0 * d * (i + 0.5) / steps;
      double q = std::nearbyint(y);
      expect += q * q * (d - std::fabs(y)) / (double(d) * d) * (2.0 * d / steps);
    }
    double rms = std::sqrt(sum / w.lsb.size());
    EXPECT_NEAR(std::sqrt(expect), rms, 0.02) << d;
    EXPECT_NEAR(0.0, mean / w.lsb.size(), 0.02) << d;
    for (int x : w.lsb) ASSERT_LE(std::abs(x), d);
  }

  // Mono: one channel, the mean of the two sides.
  DitherBits = 0;
  OutbitsStore = 24;
  monoOn = 1;
  WriteWav("s.wav", kRate, 2, 100, [](long long, int c) { return c ? 0.25 : 0.5; });
  SetName(1, "s.wav");
  ASSERT_EQ(0, RenderTo("out.wav"));
  w = ReadWav("out.wav");
  ASSERT_EQ(1, w.channels);
  EXPECT_EQ(0.375, w.value(50, 0));
}

TEST(RenderOutput, HeadTailAndClipping) {
  ScopedWorkDir dir;
  ResetModel();
  WriteWav("s.wav", kRate, 1, kRate, [](long long, int) { return 0.9; });
  SetName(1, "s.wav");
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
  EXPECT_EQ(8388607, w.at(kRate, 1));  // clipped at full scale
  EXPECT_EQ(0, w.at(kRate / 4 + kRate, 0));  // the tail
  EXPECT_EQ(2LL * kRate / 2, r.clipped);
  EXPECT_NEAR(20 * std::log10(0.9) + 3, 20 * std::log10(r.peak), 1e-4);
}

TEST(RenderOutput, RangesAreExactSlices) {
  ScopedWorkDir dir;
  ResetModel();
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
  const long long head = kRate / 10;
  ASSERT_EQ(head + 3 * kRate + kRate / 5, full.frames);

  auto SameSlice = [&](long long start, long long frames) {
    Wav part = ReadWav("part.wav");
    ASSERT_EQ(head + frames, part.frames);
    for (long long i = 0; i < head + frames; i++)
      for (int c = 0; c < 2; c++) {
        long long j = i < head ? i : start + i;
        ASSERT_EQ(full.at(j, c), part.at(i, c)) << "frame " << i << " side " << c;
      }
  };
  // Preview from 0 min 1 s 250 ms for 0.5 s.
  PreviewOn = 1;
  PreviewArray[0] = 0, PreviewArray[1] = 1, PreviewArray[2] = 250, PreviewArray[3] = 0.5;
  ASSERT_EQ(0, RenderTo("part.wav"));
  SameSlice(kRate + kRate / 4, kRate / 2);
  // Preview length 0: to the end.
  PreviewArray[3] = 0;
  ASSERT_EQ(0, RenderTo("part.wav"));
  SameSlice(kRate + kRate / 4, 3 * kRate + kRate / 5 - (kRate + kRate / 4));
  // Xin and Xout (used when preview is off); Xout zero: to the end.
  PreviewOn = 0;
  XinArray[1] = 0.5, XoutArray[1] = 2, XoutArray[2] = 125;
  ASSERT_EQ(0, RenderTo("part.wav"));
  SameSlice(kRate / 2, 2 * kRate + kRate / 8 - kRate / 2);
  XoutArray[1] = XoutArray[2] = 0;
  ASSERT_EQ(0, RenderTo("part.wav"));
  SameSlice(kRate / 2, 3 * kRate + kRate / 5 - kRate / 2);

  // A range that holds nothing of the mix is an error naming prefs.txt.
  XinArray[1] = 9;
  std::string errors;
  EXPECT_EQ(2, RenderTo("none.wav", &errors));
  EXPECT_NE(std::string::npos, errors.find("prefs.txt")) << errors;
  EXPECT_FALSE(FileExists("none.wav"));
}

TEST(RenderOutput, DefaultPathAndSafeReplacement) {
  ScopedWorkDir dir;
  ResetModel();
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
  errors.clear();
  EXPECT_EQ(2, RenderModel(o, &r, &errors));
  ASSERT_EQ(1u, errors.size());
  EXPECT_NE(std::string::npos, errors[0].find("no/such/dir/My_Mix.wav")) << errors[0];
  EXPECT_NE(std::string::npos, errors[0].find("No such file or directory")) << errors[0];

  // A disk that fills up during the render: the old file stays as it was
  // and no temporary file is left.
  WriteWav("long.wav", kRate, 2, 4 * kRate, [](long long, int) { return 0.1; });
  SetName(1, "long.wav");
  WriteFileBytes("out.wav", "previous render");
  pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit lim = {20000, 20000};
    setrlimit(RLIMIT_FSIZE, &lim);
    std::string e;
    int status = RenderTo("out.wav", &e);
    bool named = e.find("out.wav") != std::string::npos;
    _exit(status == 2 && named ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ("previous render", ReadFileBytes("out.wav"));
  for (const std::string& name : Entries()) EXPECT_NE('.', name[0]) << name;
}

TEST(RenderErrors, EverySourceProblemListedBeforeAnyAudio) {
  ScopedWorkDir dir;
  ResetModel();
  mkdir("wav", 0755);
  WriteWav("wav/a.wav", 48000, 2, 100, [](long long, int) { return 0.1; });
  WriteWav("wav/b.wav", 44100, 1, 100, [](long long, int) { return 0.1; });
  WriteWav("wav/c.wav", 48000, 3, 100, [](long long, int) { return 0.1; });
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
  EXPECT_FALSE(FileExists("out.wav"));
  EXPECT_EQ(std::vector<std::string>({"wav"}), Entries());

  // Rates that differ, a file with three channels, one libsndfile cannot read.
  SetName(2, "b.wav");
  SetName(5, "c.wav");
  SetName(7, "d.wav");
  EXPECT_EQ(2, RenderTo("out.wav", &e));
  EXPECT_NE(std::string::npos, e.find("wav/b.wav (channel 2): sample rate 44100 Hz, but "
                                      "wav/a.wav (channel 1) has 48000 Hz")) << e;
  EXPECT_NE(std::string::npos, e.find("wav/c.wav (channel 5): 3 channels")) << e;
  EXPECT_NE(std::string::npos, e.find("wav/d.wav (channel 7): cannot read")) << e;
  EXPECT_FALSE(FileExists("out.wav"));

  // An absolute name is taken as it stands.
  ResetModel();
  SetName(1, (dir.path() + "/wav/a.wav").c_str());
  EXPECT_EQ(0, RenderTo("out.wav", &e)) << e;
}

TEST(RenderErrors, MixFilesMissing) {
  ScopedWorkDir dir;
  WriteFileBytes("tracks.txt", "1 ---- off\nend\n");
  std::vector<std::string> errors;
  EXPECT_FALSE(LoadMixFiles(&errors));
  ASSERT_EQ(2u, errors.size());
  EXPECT_EQ("faders.txt: No such file or directory", errors[0]);
  EXPECT_EQ("prefs.txt: No such file or directory", errors[1]);
  mkdir("faders.txt", 0755);
  WriteFileBytes("prefs.txt", "end\n");
  errors.clear();
  EXPECT_FALSE(LoadMixFiles(&errors));
  ASSERT_EQ(1u, errors.size());
  EXPECT_EQ("faders.txt: cannot read: Is a directory", errors[0]);
}

TEST(RenderSources, FormatsLengthsAndSeek) {
  ScopedWorkDir dir;
  ResetModel();
  // 16-bit stereo, 24-bit mono, float stereo and FLAC: each read at its value.
  WriteWav("a16.wav", kRate, 2, kRate, [](long long i, int c) { return c ? -0.25 : (i % 2 ? 0.125 : 0.0625); }, 16);
  WriteWav("b24.wav", kRate, 1, kRate / 2, [](long long, int) { return 1.0 / 64; });
  SF_INFO info;
  memset(&info, 0, sizeof info);
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
  SetName(1, "a16.wav");
  SetName(2, "b24.wav");
  SetName(3, "c.wav");
  SetName(4, "d.flac");
  PanlawStore = 0;  // the mono source at full level on both sides
  ASSERT_EQ(0, RenderTo("out.wav"));
  Wav w = ReadWav("out.wav");
  ASSERT_EQ(kRate, w.frames);
  auto Expect = [&](long long i, double l, double r) {
    EXPECT_EQ(l, w.value(i, 0)) << i;
    EXPECT_EQ(r, w.value(i, 1)) << i;
  };
  Expect(10, 0.0625 + 1.0 / 64 + 1.0 / 32 + 1.0 / 32, -0.25 + 1.0 / 64 + 1.0 / 32 + 1.0 / 32);
  Expect(kRate / 8 + 1, 0.125 + 1.0 / 64 + 1.0 / 32, -0.25 + 1.0 / 64 + 1.0 / 32);
  Expect(kRate / 4 + 2, 0.0625 + 1.0 / 64, -0.25 + 1.0 / 64);
  Expect(kRate / 2 + 3, 0.125, -0.25);
  // Xin past the start of some sources: each is read from the right frame.
  XinArray[1] = 0.125;
  ASSERT_EQ(0, RenderTo("part.wav"));
  Wav p = ReadWav("part.wav");
  ASSERT_EQ(kRate - kRate / 8, p.frames);
  for (long long i = 0; i < p.frames; i++)
    for (int c = 0; c < 2; c++) ASSERT_EQ(w.at(kRate / 8 + i, c), p.at(i, c)) << i;
}
