// The engine's progress and summary lines as the editor reads them, and the
// status texts it makes of a render's outcome (no engine run here).
#include <sys/wait.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mixrun/mixrun.h"
#include "testlib.h"

namespace {

const char kSummary[] =
    "mixes/Take 2: final.wav: 9.500 s, 48000 Hz, 2 ch, 24 bit, peak -8.31 dBFS, 0 clipped, "
    "rendered in 0.18 s (52.5x realtime)";

TEST(MixRun, ProgressLinesWholeAndInPieces) {
  struct { const char* line; int want; } cases[] = {
    {"progress 0", 0}, {"progress 37", 37}, {"progress 100", 100}, {"done", PROGRESS_DONE},
    {"progress 101", PROGRESS_NONE}, {"progress -1", PROGRESS_NONE}, {"progress 3.5", PROGRESS_NONE},
    {"progress  5", PROGRESS_NONE}, {"progress 5 ", PROGRESS_NONE}, {"progress", PROGRESS_NONE},
    {"progress nan", PROGRESS_NONE}, {"Progress 5", PROGRESS_NONE}, {"done!", PROGRESS_NONE},
    {"", PROGRESS_NONE}, {"\x01\xff garbage", PROGRESS_NONE},
  };
  for (auto& c : cases) EXPECT_EQ(c.want, ParseProgressLine(c.line)) << c.line;

  // Lines cut anywhere, CR LF ends, and a runaway line bounded.
  LineSplitter split;
  std::vector<std::string> got;
  for (const char* piece : {"progr", "ess 4", "0\npro", "gress 50\r\n", "", "done\n", "tail"})
    for (std::string& line : split.Feed(piece, strlen(piece))) got.push_back(line);
  EXPECT_EQ((std::vector<std::string>{"progress 40", "progress 50", "done"}), got);
  EXPECT_EQ("tail", split.partial);
  std::string flood(3 * LineSplitter::kMaxLine, 'x');
  flood += "\nprogress 7\n";
  got = split.Feed(flood.data(), flood.size());
  ASSERT_EQ(2u, got.size());
  EXPECT_EQ(LineSplitter::kMaxLine, got[0].size());
  EXPECT_EQ(7, ParseProgressLine(got[1]));
}

// Every field read, in one text per line; "-" for a line that is no summary.
// Later fields the editor does not know are warnings; missing fields keep
// their unknown values; silence has a peak of -inf; the path may hold ": ".
TEST(MixRun, SummaryLines) {
  struct { std::string line; const char* fields; } cases[] = {
    {kSummary, "mixes/Take 2: final.wav|9.5 s|48000 Hz|2 ch|24 bit|peak -8.31|0 clipped|0.18 s|"},
    {std::string(kSummary) + ", 12 non-finite samples replaced, odd",
     "mixes/Take 2: final.wav|9.5 s|48000 Hz|2 ch|24 bit|peak -8.31|0 clipped|0.18 s|"
     "12 non-finite samples replaced;odd;"},
    {"out.wav: 1.25 s, peak -inf dBFS", "out.wav|1.25 s|0 Hz|0 ch|0 bit|peak -inf|-1 clipped|-1 s|"},
    {"", "-"}, {"out.wav", "-"}, {"out.wav: ", "-"}, {": 1.0 s", "-"}, {"out.wav: 1.0", "-"},
    {"out.wav: -1 s", "-"}, {"out.wav: nan s", "-"}, {"rendering Mix: 37%", "-"},
    {"vorlax4: audio/a.wav: No such file or directory", "-"},
  };
  for (auto& c : cases) EXPECT_EQ(c.fields, SummaryFields(c.line)) << c.line;
}

EngineOutcome Exited(int code, const std::string& out, const std::string& err) {
  EngineOutcome o;
  o.command = "/opt/v4/vorlax4";
  o.waitStatus = code << 8;  // as waitpid reports an exit
  o.out = out;
  o.err = err;
  return o;
}

TEST(MixRun, StatusTexts) {
  std::string clipped = std::string(kSummary);
  clipped.replace(clipped.find("0 clipped"), 9, "1234 clipped");
  EngineOutcome cancelled = Exited(2, "", "vorlax4: render cancelled\n");
  cancelled.cancelled = true;
  EngineOutcome cancelledLate = Exited(0, std::string(kSummary) + "\n", "");
  cancelledLate.cancelled = true;
  EngineOutcome signalled = Exited(0, "", "");
  signalled.waitStatus = SIGSEGV;
  EngineOutcome killed = signalled;
  killed.waitStatus = SIGKILL;
  killed.cancelled = true;
  EngineOutcome missing = Exited(0, "", "");
  missing.startError = ENOENT;
  EngineOutcome searched = missing;
  searched.command = "vorlax4";
  searched.searchPath = "/usr/local/bin:/usr/bin";
  EngineOutcome denied = missing;
  denied.startError = EACCES;
  struct { EngineOutcome o; const char* status; bool warning; } cases[] = {
    {Exited(0, std::string("warming up\n") + kSummary + "\n", ""),
     "Mix Complete: Take 2: final.wav, 9.5 s, peak -8.31 dBFS, rendered in 0.2 s", false},
    {Exited(0, clipped + ", 3 non-finite samples replaced\n", "vorlax4: warning: 1234 samples clipped\n"),
     "Mix Complete: CLIPPED: 1234 samples, 3 non-finite samples replaced, Take 2: final.wav, "
     "9.5 s, peak -8.31 dBFS, rendered in 0.2 s", true},
    {Exited(0, "out.wav: 312.46 s\n", ""), "Mix Complete: out.wav, 5:12.4", false},
    {Exited(0, "", ""), "Mix Complete", false},
    {Exited(2, "", "vorlax4: audio/vocal.wav (channel 4): No such file or directory\r\n"
                   "vorlax4: b.wav: 44100 Hz, not 48000 Hz\nvorlax4: nothing rendered\n"),
     "Mix failed: audio/vocal.wav (channel 4): No such file or directory", false},
    {Exited(2, "", "\rrendering Mix: 3%\rrendering Mix: 7%\nout.wav: disk full\n"),
     "Mix failed: out.wav: disk full", false},
    {Exited(3, "", ""), "Mix failed: /opt/v4/vorlax4 exit status 3", false},
    {signalled, "Mix failed: /opt/v4/vorlax4 ended by signal 11", false},
    {cancelled, "Mix cancelled", false},
    {killed, "Mix cancelled", false},
    {cancelledLate, "Mix Complete: Take 2: final.wav, 9.5 s, peak -8.31 dBFS, rendered in 0.2 s", false},
    {missing, "Mix failed: /opt/v4/vorlax4 not found; set \"Path to Vorlax4\" in Preferences", false},
    {searched, "Mix failed: vorlax4 not found in the search path (/usr/local/bin:/usr/bin); "
               "set \"Path to Vorlax4\" in Preferences", false},
    {denied, "Mix failed: /opt/v4/vorlax4 could not be started: Permission denied", false},
  };
  for (auto& c : cases) {
    bool warning = !c.warning;
    EXPECT_EQ(c.status, MixStatusText(c.o, &warning)) << c.o.out << c.o.err;
    EXPECT_EQ(c.warning, warning) << c.status;
  }

  // The report: every reason as printed, and where a missing engine was
  // looked for.
  EXPECT_EQ(MixReportText(cases[4].o),
            std::string(cases[4].status) + "\n\nvorlax4 said:\n"
            "vorlax4: audio/vocal.wav (channel 4): No such file or directory\n"
            "vorlax4: b.wav: 44100 Hz, not 48000 Hz\nvorlax4: nothing rendered\n");
  EXPECT_EQ(MixReportText(searched),
            std::string(cases[12].status) + "\n\nLooked for vorlax4 in these directories (the "
            "search path):\n  /usr/local/bin\n  /usr/bin\n\"Path to Vorlax4\" in Preferences "
            "sets the directory that holds vorlax4.\n");
}

TEST(MixRun, MixingText) {
  EXPECT_EQ("Mixing: 0:00 elapsed", MixingText(-1, 0.4));
  EXPECT_EQ("Mixing: 37%, 1:05 elapsed", MixingText(37, 65.9));
  EXPECT_EQ("Mixing: 100%, 1:01:01 elapsed", MixingText(100, 3661));
}

}  // namespace
