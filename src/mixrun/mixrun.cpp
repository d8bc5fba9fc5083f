#include "mixrun.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

const char kProgressDone[] = "done";

std::string ProgressLine(int percent) { return "progress " + std::to_string(percent); }

std::vector<std::string> LineSplitter::Feed(const char* data, size_t n) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < n; i++) {
    if (data[i] != '\n') {
      if (partial.size() < kMaxLine) partial += data[i];
      continue;
    }
    if (!partial.empty() && partial.back() == '\r') partial.pop_back();
    lines.push_back(std::move(partial));
    partial.clear();
  }
  return lines;
}

// The number that fills text from prefix to suffix exactly; false when the
// text has another shape or the number is not finite.
static bool NumberBetween(const std::string& text, const char* prefix, const char* suffix,
                          double* value) {
  size_t p = strlen(prefix), s = strlen(suffix);
  if (text.size() <= p + s || text.compare(0, p, prefix) != 0 ||
      text.compare(text.size() - s, s, suffix) != 0)
    return false;
  std::string middle = text.substr(p, text.size() - p - s);
  if (middle.empty() || isspace((unsigned char)middle[0])) return false;
  char* end = nullptr;
  double v = strtod(middle.c_str(), &end);
  if (*end || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

// A whole number in 0..limit, as above.
static bool CountBetween(const std::string& text, const char* prefix, const char* suffix,
                         double limit, long long* value) {
  double v;
  if (!NumberBetween(text, prefix, suffix, &v) || v < 0 || v > limit || v != std::floor(v))
    return false;
  *value = (long long)v;
  return true;
}

int ParseProgressLine(const std::string& line) {
  if (line == kProgressDone) return PROGRESS_DONE;
  long long p;
  return CountBetween(line, "progress ", "", 100, &p) ? int(p) : PROGRESS_NONE;
}

// The fields after the path, split at ", ". False unless the first one is
// the length.
static bool ParseSummaryFields(const std::string& text, EngineSummary* s) {
  std::vector<std::string> fields;
  for (size_t from = 0;;) {
    size_t comma = text.find(", ", from);
    fields.push_back(text.substr(from, comma == std::string::npos ? comma : comma - from));
    if (comma == std::string::npos) break;
    from = comma + 2;
  }
  if (!NumberBetween(fields[0], "", " s", &s->length) || s->length < 0) return false;
  for (size_t i = 1; i < fields.size(); i++) {
    const std::string& f = fields[i];
    long long n;
    double v;
    if (CountBetween(f, "", " Hz", 1e9, &n)) s->rate = int(n);
    else if (CountBetween(f, "", " ch", 1e6, &n)) s->channels = int(n);
    else if (CountBetween(f, "", " bit", 1e3, &n)) s->bits = int(n);
    else if (CountBetween(f, "", " clipped", 9e18, &n)) s->clipped = n;
    else if (f == "peak -inf dBFS") s->hasPeak = true, s->peakDb = -INFINITY;
    else if (NumberBetween(f, "peak ", " dBFS", &v)) s->hasPeak = true, s->peakDb = v;
    else if (f.compare(0, 12, "rendered in ") == 0 &&
             NumberBetween(f.substr(0, f.find(" (")), "rendered in ", " s", &v))
      s->renderSeconds = v;
    else if (!f.empty()) s->warnings.push_back(f);
  }
  return true;
}

bool ParseSummaryLine(const std::string& line, EngineSummary* summary) {
  // The path may itself hold ": ": the first split whose rest reads as a
  // summary is the one.
  for (size_t sep = line.find(": "); sep != std::string::npos; sep = line.find(": ", sep + 1)) {
    if (sep == 0) continue;
    EngineSummary s;
    s.output = line.substr(0, sep);
    if (ParseSummaryFields(line.substr(sep + 2), &s)) {
      *summary = s;
      return true;
    }
  }
  return false;
}

static std::vector<std::string> Lines(const std::string& text) {
  LineSplitter split;
  std::vector<std::string> lines = split.Feed(text.data(), text.size());
  if (!split.partial.empty()) lines.push_back(split.partial);
  return lines;
}

// Every line of the engine's standard error that gives a reason: a line
// that updated itself in place ("\r", a progress line for a terminal) is
// none, nor is a blank one.
static std::vector<std::string> Reasons(const std::string& err) {
  std::vector<std::string> reasons;
  for (std::string& line : Lines(err)) {
    if (line.find('\r') != std::string::npos) continue;
    while (!line.empty() && isspace((unsigned char)line.back())) line.pop_back();
    if (!line.empty()) reasons.push_back(line);
  }
  return reasons;
}

static std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "m:ss" (or "h:mm:ss") of a time in seconds.
static std::string Clock(double seconds) {
  long t = seconds > 0 && seconds < 1e9 ? long(seconds) : 0;
  char text[32];
  if (t >= 3600) snprintf(text, sizeof text, "%ld:%02ld:%02ld", t / 3600, t / 60 % 60, t % 60);
  else snprintf(text, sizeof text, "%ld:%02ld", t / 60, t % 60);
  return text;
}

std::string MixingText(int percent, double seconds) {
  std::string text = "Mixing: ";
  if (percent >= 0) text += std::to_string(percent) + "%, ";
  return text + Clock(seconds) + " elapsed";
}

static const char kPathHint[] = "set \"Path to Vorlax4\" in Preferences";

// Why the engine did not run or did not render, for the status line.
static std::string FailureReason(const EngineOutcome& o) {
  const std::string& cmd = o.command;
  char text[64];
  if (o.startError == ENOENT && cmd.find('/') == std::string::npos)
    return cmd + " not found in the search path (" + o.searchPath + "); " + kPathHint;
  if (o.startError == ENOENT && access(cmd.c_str(), F_OK) != 0)
    return cmd + " not found; " + kPathHint;
  if (o.startError) return cmd + " could not be started: " + strerror(o.startError);
  std::vector<std::string> reasons = Reasons(o.err);
  if (!reasons.empty()) {
    // Each line names the program first; the status line does not need it.
    std::string prefix = BaseName(cmd) + ": ";
    std::string& first = reasons[0];
    if (first.size() > prefix.size() && first.compare(0, prefix.size(), prefix) == 0)
      first.erase(0, prefix.size());
    return first;
  }
  if (WIFEXITED(o.waitStatus))
    snprintf(text, sizeof text, " exit status %i", WEXITSTATUS(o.waitStatus));
  else
    snprintf(text, sizeof text, " ended by signal %i",
             WIFSIGNALED(o.waitStatus) ? WTERMSIG(o.waitStatus) : 0);
  return cmd + text;
}

static bool Rendered(const EngineOutcome& o) {
  return !o.startError && WIFEXITED(o.waitStatus) && WEXITSTATUS(o.waitStatus) == 0;
}

// "Mix Complete" and the summary in short: the warnings first, so that no
// narrow status line can hide them, then file name, length, peak and the
// time the render took.
static std::string CompleteText(const EngineOutcome& o, bool* warning) {
  std::string text = "Mix Complete";
  EngineSummary s;
  bool found = false;
  for (const std::string& line : Lines(o.out)) found |= ParseSummaryLine(line, &s);
  if (!found) return text;
  std::vector<std::string> fields;
  if (s.clipped > 0) fields.push_back("CLIPPED: " + std::to_string(s.clipped) + " samples");
  for (const std::string& w : s.warnings) fields.push_back(w);
  *warning = !fields.empty();
  fields.push_back(BaseName(s.output));
  char part[64];
  if (s.length < 60) snprintf(part, sizeof part, "%.1f s", s.length);
  else snprintf(part, sizeof part, "%s.%d", Clock(s.length).c_str(),
                int(std::fmod(s.length, 1.0) * 10));
  fields.push_back(part);
  if (s.hasPeak) {
    snprintf(part, sizeof part, "peak %.2f dBFS", s.peakDb);
    fields.push_back(part);
  }
  if (s.renderSeconds >= 0) {
    snprintf(part, sizeof part, "rendered in %.1f s", s.renderSeconds);
    fields.push_back(part);
  }
  for (size_t i = 0; i < fields.size(); i++) text += (i ? ", " : ": ") + fields[i];
  return text;
}

std::string MixStatusText(const EngineOutcome& o, bool* warning) {
  *warning = false;
  if (Rendered(o)) return CompleteText(o, warning);
  if (o.cancelled) return "Mix cancelled";
  return "Mix failed: " + FailureReason(o);
}

std::string MixReportText(const EngineOutcome& o) {
  bool warning;
  std::string text = MixStatusText(o, &warning) + "\n\n";
  if (o.startError == ENOENT) {
    if (o.command.find('/') == std::string::npos) {
      text += "Looked for " + o.command + " in these directories (the search path):\n";
      std::string dirs = o.searchPath + ":";
      for (size_t from = 0, colon; (colon = dirs.find(':', from)) != std::string::npos;
           from = colon + 1)
        text += "  " + (colon > from ? dirs.substr(from, colon - from) : std::string(".")) + "\n";
    } else {
      text += "Looked for " + o.command + ".\n";
    }
    return text + "\"Path to Vorlax4\" in Preferences sets the directory that holds " +
           BaseName(o.command) + ".\n";
  }
  if (o.startError) return text;
  std::vector<std::string> reasons = Reasons(o.err);
  if (!reasons.empty()) {
    text += BaseName(o.command) + " said:\n";
    for (const std::string& r : reasons) text += r + "\n";
  }
  std::vector<std::string> out = Lines(o.out);
  if (!out.empty()) {
    text += "\n" + BaseName(o.command) + " wrote:\n";
    for (const std::string& line : out) text += line + "\n";
  }
  return text;
}
