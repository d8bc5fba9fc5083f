// prefs.txt: the preferences writer and reader.
#include <cstdio>
#include <cstring>

#include "files.h"
#include "text.h"
#include "../model/model.h"

// The pan law, always, held in the engine's range 0..6: 0 is the balance
// law, a setting of the Preferences window, and a line left out would reach
// the engine as the default 3 dB, whatever the editor held. The clamped
// value renders as the one held; the window and the reader clamp where they
// take a value, so that what the window shows is what is saved.
static void AppendPanLaw(std::string& t) { Appendf(t, "pan\t%.1f\n", ClampPanLaw(PanlawStore)); }

std::string BuildPrefsText(const std::string& old) {
  std::string carried = old;
  ScrubPrefs(carried);
  std::string t;
  t.reserve(128 + carried.size() + 4 * PATH_LEN);
  Appendf(t, PreviewOn == 1 ? "pre\ton\n" : "pre\toff\n");
  Appendf(t, "start\t%.3f\t%.3f\t%.0f\n", PreviewArray[0], PreviewArray[1], PreviewArray[2]);
  Appendf(t, "length\t%.3f\n", PreviewArray[3]);
  if (XinArray[0] != 0 || XinArray[1] != 0 || XinArray[2] != 0)
    Appendf(t, "xin\t%.3f\t%.3f\t%.3f\n", XinArray[0], XinArray[1], XinArray[2]);
  if (XoutArray[0] != 0 || XoutArray[1] != 0 || XoutArray[2] != 0)
    Appendf(t, "xout\t%.3f\t%.3f\t%.3f\n", XoutArray[0], XoutArray[1], XoutArray[2]);
  if (HeadTailArray[0] != 0) Appendf(t, "head\t%.3f\n", HeadTailArray[0]);
  if (HeadTailArray[1] != 0) Appendf(t, "tail\t%.3f\n", HeadTailArray[1]);
  if (strnlen(Path, 2) >= 2) Appendf(t, "path\t%s\n", Path);
  if (MixDirName[0]) Appendf(t, "mixdir\t%s\n", MixDirName);
  if (WavDirName[0]) Appendf(t, "wavdir\t%s\n", WavDirName);
  AppendPanLaw(t);
  Appendf(t, "outbits\t%i\n", OutbitsStore);
  Appendf(t, "dither\t%i\n", DitherBits);
  if (monoOn == 1) t += "mono\n";
  Appendf(t, "color\t%i\n", color);
  if (strnlen(LaunchCommand, 2) >= 2) Appendf(t, "launch\t%s\n", LaunchCommand);
  t += carried;
  t += "end\n";
  return t;
}

bool SavePrefsFile() {
  std::string old, why, note;
  // The lines of its own that the old file carries must not be lost.
  if (ReadWholeFile("prefs.txt", &old, &why) < 0) {
    ReportNotSaved("prefs.txt", "the old file could not be read (" + why + ")");
    return false;
  }
  std::string t = BuildPrefsText(old);
  if (!SafeWriteFile("prefs.txt", t, &why, nullptr, &note)) {
    ReportNotSaved("prefs.txt", why);
    return false;
  }
  ReportSaved("prefs.txt", (long)t.size(), note);
  return true;
}

// --- The reader ---

namespace {

enum { TAB, LINE };

// A keyword of the reader: the fields it takes and where they go. A text
// value (a directory, a name, a command) is data and is never handed on.
struct PrefKey {
  const char* keyword;
  int count;
  int kinds[3];
  void (*store)(const Field* f);
  bool text = false;
};

void Floats(float* dest, const Field* f, int n) {
  for (int k = 0; k < n; k++) dest[k] = (float)ToDouble(f[k]);
}

const PrefKey pref_keys[] = {
  {Str_pre, 1, {LINE}, [](const Field* f) {
     if (f[0].Is("on")) PreviewOn = 1;
     else if (f[0].Is("off")) PreviewOn = 0;
   }},
  {Str_start, 3, {TAB, TAB, LINE}, [](const Field* f) { Floats(PreviewArray, f, 3); }},
  {Str_length, 1, {LINE}, [](const Field* f) { Floats(&PreviewArray[3], f, 1); }},
  {Str_xin, 3, {TAB, TAB, LINE}, [](const Field* f) { Floats(XinArray, f, 3); }},
  {Str_xout, 3, {TAB, TAB, LINE}, [](const Field* f) { Floats(XoutArray, f, 3); }},
  {Str_head, 1, {LINE}, [](const Field* f) { Floats(&HeadTailArray[0], f, 1); }},
  {Str_tail, 1, {LINE}, [](const Field* f) { Floats(&HeadTailArray[1], f, 1); }},
  {Str_path, 1, {LINE}, [](const Field* f) { CopyFieldText(Path, PATH_LEN, f[0], CUT_DIRECTORY); }, true},
  {Str_wavdir, 1, {LINE}, [](const Field* f) { CopyFieldText(WavDirName, PATH_LEN, f[0], CUT_DIRECTORY); }, true},
  {Str_mixdir, 1, {LINE}, [](const Field* f) { CopyFieldText(MixDirName, PATH_LEN, f[0], CUT_DIRECTORY); }, true},
  {Str_oname, 1, {LINE}, [](const Field* f) { CopyFieldText(MixName, NAME_LEN, f[0], CUT_MIX_NAME); }, true},
  {Str_panlaw, 1, {LINE}, [](const Field* f) { PanlawStore = ClampPanLaw((float)ToDouble(f[0])); }},
  {Str_outbits, 1, {LINE}, [](const Field* f) { OutbitsStore = TruncToInt(ToDouble(f[0])); }},
  {Str_device, 1, {LINE}, [](const Field* f) { CopyFieldText(DeviceName, DEVICE_LEN, f[0], CUT_DEVICE); }, true},
  {Str_play, 1, {LINE}, [](const Field* f) { PlayMode = ToInt(f[0]); }},
  {Str_mono, 0, {}, [](const Field*) { monoOn = 1; }},
  {Str_color, 1, {LINE}, [](const Field* f) { color = ToInt(f[0]); }},
  {Str_launch, 1, {LINE}, [](const Field* f) { CopyFieldText(LaunchCommand, PATH_LEN, f[0], CUT_LAUNCH); }, true},
  {Str_dither, 1, {LINE}, [](const Field* f) { DitherBits = ToInt(f[0]); }},
};

}  // namespace

// Each field is tested against the keywords in the table's order; a keyword
// that takes numbers or words hands its last field on to the keywords
// further down.
void ParsePrefsText(const char* t, size_t len) {
  if (!t) len = 0;
  size_t pos = 0;
  for (;;) {
    while (pos < len && (t[pos] == '\t' || t[pos] == '\n')) pos++;
    if (pos >= len) return;
    size_t b = pos;
    while (pos < len && t[pos] != '\t' && t[pos] != '\n') pos++;
    Field cur{t + b, pos - b};
    if (pos < len) pos++;
    if (cur.Is("end")) return;
    for (const PrefKey& k : pref_keys) {
      if (!cur.Is(k.keyword)) continue;
      Field f[3];
      for (int i = 0; i < k.count; i++) {
        if (k.kinds[i] == TAB)
          while (pos < len && t[pos] == '\t') pos++;
        if (pos >= len) return;  // the text ends inside the record
        const void* stop = memchr(t + pos, k.kinds[i] == TAB ? '\t' : '\n', len - pos);
        size_t e = stop ? (size_t)(static_cast<const char*>(stop) - t) : len;
        f[i] = Field{t + pos, e - pos};
        pos = stop ? e + 1 : len;
      }
      k.store(f);
      if (k.count && !k.text) cur = f[k.count - 1];
    }
  }
}

int LoadPrefsFile() {
  std::string text, why;
  int got = ReadWholeFile("prefs.txt", &text, &why);
  if (got == 0) return 0;
  if (got < 0) {
    snprintf(tbuffer, TBUF_LEN, "prefs.txt could not be read: %s", why.c_str());
    printf("%s\n", tbuffer);
    return -1;
  }
  snprintf(tbuffer, TBUF_LEN, "Read %li bytes from prefs.txt", (long)text.size());
  ParsePrefsText(text.data(), text.size());
  return 1;
}
