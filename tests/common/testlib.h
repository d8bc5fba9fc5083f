// Test support shared by every test binary.
#ifndef ORVANE_TESTLIB_H
#define ORVANE_TESTLIB_H

#include <string>

// Makes a fresh temporary directory, changes into it, and on destruction
// changes back and removes it with everything in it.
class ScopedWorkDir {
 public:
  ScopedWorkDir();
  ~ScopedWorkDir();
  const std::string& path() const { return dir_; }
 private:
  std::string dir_, old_;
};

// Whole file as bytes ("" when missing); whether it exists.
std::string ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// A golden file under tests/golden/.
std::string Golden(const std::string& name);

// The fields that the editor reads from an engine summary line, in one text
// ("PATH|LEN s|RATE Hz|CH ch|BITS bit|peak DB|N clipped|T s|WARNING;..."),
// or "-" when the line is no summary.
std::string SummaryFields(const std::string& line);

// An automation point of slot at row, the row put in use at time t seconds.
void SetPoint(int slot, int row, double t, float volume, float ramp = 0, float offset = 0,
              float shape = 1);

// Builds every window of the editor once per test binary (no display
// needed) on a freshly reset model, as main does before the event loop.
// The questions the editor asks go to AnswerForTests, which answers
// test_answer (at first 2: go ahead, "Replace it", "Quit without storing")
// and counts them.
void BuildEditorOnce();
extern int test_answer;
extern int questions_asked;
extern std::string last_question;

#endif
