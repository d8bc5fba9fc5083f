// The editor's side of a render, free of FLTK: the engine's progress and
// summary lines read back, and the texts the editor makes of a render's
// outcome (status line and report). The program that runs the engine and
// shows these texts is in src/app.
#ifndef ORVANE_MIXRUN_H
#define ORVANE_MIXRUN_H

#include <string>
#include <vector>

// The environment variable that names the descriptor for progress lines,
// and the two kinds of line written there: "progress P" and "done".
#define PROGRESS_FD_VARIABLE "VORLAX4_PROGRESS_FD"
std::string ProgressLine(int percent);
extern const char kProgressDone[];

// Splits a stream of bytes into lines ("\n" ends one; a "\r" before it is
// dropped). A line that grows past kMaxLine bytes is cut there.
struct LineSplitter {
  static constexpr size_t kMaxLine = 4096;
  std::string partial;
  // Takes the next bytes; returns the lines they complete.
  std::vector<std::string> Feed(const char* data, size_t n);
};

// One line of the progress descriptor: the percentage 0..100, PROGRESS_DONE
// for "done", or PROGRESS_NONE for anything else.
enum { PROGRESS_NONE = -1, PROGRESS_DONE = 1000 };
int ParseProgressLine(const std::string& line);

// The engine's summary line: "PATH: LEN s, RATE Hz, CH ch, BITS bit, peak
// DB dBFS, N clipped, rendered in T s (Fx realtime)". Only the path and the
// length must be there; a field that is missing keeps its "unknown" value,
// and fields the editor does not know (warnings of later engines, such as
// replaced samples) are kept in order in warnings.
struct EngineSummary {
  std::string output;
  double length = -1;         // seconds
  int rate = 0, channels = 0, bits = 0;
  bool hasPeak = false;
  double peakDb = 0;          // -inf for digital silence
  long long clipped = -1;
  double renderSeconds = -1;
  std::vector<std::string> warnings;
};
bool ParseSummaryLine(const std::string& line, EngineSummary* summary);

// What a run of the engine came to.
struct EngineOutcome {
  std::string command;        // what was started (Path followed by "vorlax4")
  std::string searchPath;     // PATH when the command has no "/"
  int startError = 0;         // errno when it could not be started, else 0
  int waitStatus = 0;         // as waitpid gives it
  bool cancelled = false;     // the user asked it to stop
  std::string out, err;       // what it printed on standard output and error
};

// The status line for an outcome; *warning is set when the render succeeded
// with a warning (clipped or replaced samples) that the status must show
// as one. The report lists every reason the engine gave (empty when there
// is nothing to tell).
std::string MixStatusText(const EngineOutcome& outcome, bool* warning);
std::string MixReportText(const EngineOutcome& outcome);

// The status line while the engine runs: "Mixing", the percentage when the
// engine reports one (percent < 0: none yet) and the time since the start.
std::string MixingText(int percent, double seconds);

#endif
