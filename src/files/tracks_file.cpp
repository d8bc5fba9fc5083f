// tracks.txt: the track list writer and reader.
#include <cstdio>
#include <cstring>
#include <string>

#include "files.h"
#include "text.h"
#include "../model/model.h"

// The list runs up to the last channel with a name of its own (muted or
// not, so that no name is lost); the gaps below it become muted "----".
std::string BuildTracksText() {
  int last = 1;
  for (int n = NUM_INPUTS; n >= 1; n--)
    if (NameBuffer[n][0] != '\0' && strcmp(NameBuffer[n], "----") != 0) {
      last = n;
      break;
    }
  std::string t;
  for (int n = 1; n <= last; n++) {
    if (NameBuffer[n][0] == '\0') {
      CopyField(NameBuffer[n], NAME_LEN, "----");
      MuteArray[n] = 1;
    }
    const char* state = SoloArray[n] == 1 ? "++" : MuteArray[n] == 1 ? "off" : "+";
    Appendf(t, "%i %s %s\n", n, NameBuffer[n], state);
  }
  t += "end\n";
  return t;
}

bool SaveTracksFile() {
  std::string t = BuildTracksText(), why, note;
  if (!SafeWriteFile("tracks.txt", t, &why, nullptr, &note)) {
    ReportNotSaved("tracks.txt", why);
    return false;
  }
  ReportSaved("tracks.txt", (long)t.size(), note);
  return true;
}

// Where the track lines begin: after a line that starts with the word
// "begin" (a free header may stand before it), else at the start.
static size_t TracksStart(const char* t, size_t len) {
  for (size_t i = 0; i + 5 <= len; i++) {
    if ((i == 0 || t[i - 1] == '\n') && memcmp(t + i, "begin", 5) == 0 &&
        (i + 5 == len || strchr(" \t\r\n", t[i + 5]))) {
      return i + 6 < len ? i + 6 : len;
    }
    const void* nl = memchr(t + i, '\n', len - i);
    if (!nl) break;
    i = (size_t)(static_cast<const char*>(nl) - t);
  }
  return 0;
}

static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// One line a channel, in order from channel 1: the number (not used), a
// space, the name, a space, the state. White space at the end of a line is
// not part of it. The last word is the state when it is a state word ("+",
// "++", "off"); the name is everything between the number and the state (or
// the end of the line), so that names with spaces read back whole. A line
// without a state word mutes its channel, as any state but "+" and "++" does.
void ParseTracksText(const char* t, size_t len) {
  if (!t) len = 0;
  size_t pos = TracksStart(t, len);
  int n = 0;
  while (pos < len) {
    const char* nl = static_cast<const char*>(memchr(t + pos, '\n', len - pos));
    size_t eol = nl ? (size_t)(nl - t) : len;
    size_t b = pos;
    pos = eol + 1;
    while (b < eol && t[b] == ' ') b++;
    if (b >= eol) continue;  // a blank line
    size_t e = b;
    while (e < eol && t[e] != ' ') e++;
    if (Field{t + b, e - b}.Is("end")) return;
    n++;
    while (eol > e && IsBlank(t[eol - 1])) eol--;
    if (e >= eol || n > NUM_INPUTS) continue;  // no name: the channel stays as it is
    const char* rest = t + e + 1;
    size_t rest_n = eol - (e + 1);
    const char* last_space = static_cast<const char*>(memrchr(rest, ' ', rest_n));
    Field state{last_space ? last_space + 1 : rest + rest_n,
                last_space ? (size_t)(rest + rest_n - last_space - 1) : 0};
    bool stated = state.Is("+") || state.Is("++") || state.Is("off");
    Field name{rest, stated ? (size_t)(last_space - rest) : rest_n};
    while (name.n > 0 && IsBlank(name.p[name.n - 1])) name.n--;
    CopyFieldText(NameBuffer[n], NAME_LEN, name, CUT_TRACK_NAME);
    // Trimmed after the cut too, so that a long name cut at a space reads
    // back as it is written.
    for (size_t k = strlen(NameBuffer[n]); k > 0 && IsBlank(NameBuffer[n][k - 1]); k--)
      NameBuffer[n][k - 1] = '\0';
    if (state.Is("++"))
      SoloArray[n] = 1;
    else if (!state.Is("+"))
      MuteArray[n] = 1;
  }
}

int LoadTracksFile() {
  std::string text, why;
  int got = ReadWholeFile("tracks.txt", &text, &why);
  if (got == 0) return 0;
  if (got < 0) {
    snprintf(tbuffer, TBUF_LEN, "tracks.txt could not be read: %s", why.c_str());
    printf("%s\n", tbuffer);
    return -1;
  }
  snprintf(tbuffer, TBUF_LEN, "Read %li bytes from tracks.txt", (long)text.size());
  ParseTracksText(text.data(), text.size());
  return 1;
}

bool IsSilentName(const char* name) { return name[0] == 0 || strcmp(name, "----") == 0; }

std::string SourcePath(const char* name) {
  if (name[0] == '/' || WavDirName[0] == 0) return name;
  std::string dir = WavDirName;
  if (dir.back() != '/') dir += '/';
  return dir + name;
}
