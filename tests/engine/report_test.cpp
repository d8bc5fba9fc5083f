// What the engine tells whoever started it: its share done while it renders,
// a render stopped on request, and a summary line that the editor reads
// back field for field.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "engine.h"
#include "mixrun/mixrun.h"
#include "model/model.h"
#include "testlib.h"

namespace {

// A silent stereo source of the given length at 8 kHz as channel 1.
void SilentSource(double seconds) {
  SF_INFO info = {};
  info.samplerate = 8000;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* s = sf_open("s.wav", SFM_WRITE, &info);
  std::vector<short> zeros(size_t(seconds * 8000) * 2);
  sf_writef_short(s, zeros.data(), sf_count_t(zeros.size() / 2));
  sf_close(s);
  ClearInternalArrays();
  HeadTailArray[0] = HeadTailArray[1] = 0;
  CopyField(NameBuffer[1], NAME_LEN, "s.wav");
}

int Render(RenderOptions o, RenderReport* report, std::vector<std::string>* errors) {
  o.output = "out.wav";
  o.blockFrames = 1024;
  return RenderModel(o, report, errors);
}

TEST(EngineReport, ShareDoneAndCancel) {
  ScopedWorkDir dir;
  SilentSource(2);
  std::atomic<int> percent(-1);
  std::atomic<bool> cancel(false);
  RenderOptions o;
  o.percent = &percent;
  o.cancel = &cancel;
  RenderReport r;
  std::vector<std::string> errors;
  ASSERT_EQ(EXIT_RENDERED, Render(o, &r, &errors));
  EXPECT_EQ(100, percent.load());

  // Cancelled: nothing written, the previous output kept, no temporary file.
  WriteFileBytes("out.wav", "previous render");
  cancel = true;
  percent = -1;
  EXPECT_EQ(EXIT_NOT_RENDERED, Render(o, &r, &errors));
  EXPECT_EQ(std::vector<std::string>{"render cancelled"}, errors);
  EXPECT_EQ("previous render", ReadFileBytes("out.wav"));
  for (auto& e : std::filesystem::directory_iterator("."))
    EXPECT_NE('.', e.path().filename().string()[0]) << e.path();
}

// The editor reads every field of the engine's summary line as written.
TEST(EngineReport, SummaryLineReadsBack) {
  RenderReport r;
  r.output = "mixes/Take: 2.wav";
  r.frames = 96000 * 3 + 48000;
  r.rate = 96000;
  r.channels = 1;
  r.bits = 16;
  r.peak = 0.5;
  r.clipped = 12;
  r.seconds = 1.25;
  EngineSummary s;
  ASSERT_TRUE(ParseSummaryLine(SummaryLine(r), &s)) << SummaryLine(r);
  EXPECT_EQ(r.output, s.output);
  EXPECT_EQ(3.5, s.length);
  EXPECT_EQ(96000, s.rate);
  EXPECT_EQ(1, s.channels);
  EXPECT_EQ(16, s.bits);
  EXPECT_NEAR(-6.02, s.peakDb, 0.005);
  EXPECT_EQ(12, s.clipped);
  EXPECT_EQ(1.25, s.renderSeconds);
  EXPECT_TRUE(s.warnings.empty()) << s.warnings[0];
  r.peak = 0;
  ASSERT_TRUE(ParseSummaryLine(SummaryLine(r), &s));
  EXPECT_TRUE(s.hasPeak && std::isinf(s.peakDb));
}

}  // namespace
