#include "testlib.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "mixrun/mixrun.h"
#include "model/model.h"

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string Golden(const std::string& name) {
  return ReadFileBytes(std::string(ORVANE_SOURCE_DIR) + "/tests/golden/" + name);
}

ScopedWorkDir::ScopedWorkDir() {
  char buf[4096];
  old_ = getcwd(buf, sizeof buf) ? buf : ".";
  char tmpl[] = "/tmp/orvane-test-XXXXXX";
  dir_ = mkdtemp(tmpl);
  if (chdir(dir_.c_str()) != 0) abort();
}

ScopedWorkDir::~ScopedWorkDir() {
  if (chdir(old_.c_str()) != 0) abort();
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::string SummaryFields(const std::string& line) {
  EngineSummary s;
  if (!ParseSummaryLine(line, &s)) return "-";
  std::ostringstream o;
  o << s.output << '|' << s.length << " s|" << s.rate << " Hz|" << s.channels << " ch|" << s.bits
    << " bit|peak ";
  if (s.hasPeak) o << s.peakDb;
  else o << "none";
  o << '|' << s.clipped << " clipped|" << s.renderSeconds << " s|";
  for (const std::string& w : s.warnings) o << w << ';';
  return o.str();
}

void SetPoint(int slot, int row, double t, float volume, float ramp, float offset, float shape) {
  IndexActiveArray[row] = 1;
  IndexMin[row] = IndexMsec[row] = 0;
  IndexSec[row] = float(t);
  int e = Cell(slot, row);
  ChanActive[e] = 1;
  Volume[e] = volume;
  Ramp[e] = ramp;
  Offset[e] = offset;
  Shape[e] = shape;
}
