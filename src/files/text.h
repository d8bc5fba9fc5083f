// Shared by the readers and writers of the three mix files: formatting of
// lines, number conversion of fields, whole-file reads and the safe save.
#ifndef ORVANE_FILES_TEXT_H
#define ORVANE_FILES_TEXT_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

// Appends to out what printf would print for fmt. Knows the conversions of
// the mix files: %i, %li, %s and %.Nf (N = 0..9); the fixed-point ones are
// formatted without printf for speed, rounding exactly as printf does.
void Appendf(std::string& out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// A field of a text: the bytes [begin, end) of it. Not NUL-terminated.
struct Field {
  const char* p = nullptr;
  size_t n = 0;
  bool Is(const char* word) const;  // exact, case-sensitive
};

// The bytes and the length of a word of up to 7 characters in one integer
// (0 for longer words or none): compares fields with keywords in one step.
inline uint64_t PackWord(const char* p, size_t n) {
  if (n == 0 || n > 7) return 0;
  uint64_t v = (uint64_t)n << 56;
  for (size_t i = 0; i < n; i++) v |= (uint64_t)(unsigned char)p[i] << (8 * i);
  return v;
}
inline uint64_t PackWord(const char* word) { return PackWord(word, strlen(word)); }

// A small set of words (up to 64) of up to 7 characters with a value each.
struct WordTable {
  uint64_t keys[128] = {0};
  int values[128];
  void Add(const char* word, int value);
  int Find(uint64_t packed) const;  // the value, or -1
};

// Decimal conversions of a field as atof and atoi read it: leading white
// space skipped, the longest numeric prefix taken, 0 when there is none.
// ToInt saturates at the limits of int instead of overflowing.
double ToDouble(Field f);
int ToInt(Field f);
// A double truncated toward zero to an int, saturating; NaN gives 0.
int TruncToInt(double v);

// What a text value of a file is, for the report of the values cut to fit.
enum CutKind {
  CUT_TRACK_NAME, CUT_SUBMIX_NAME, CUT_VCA_NAME, CUT_CUE_NAME, CUT_MIX_NAME,
  CUT_DIRECTORY, CUT_LAUNCH, CUT_DEVICE, NUM_CUT_KINDS
};

// Copies a field into a fixed model field of size n, cut to fit (CopyField);
// a cut is counted for ReadCutsReport.
void CopyFieldText(char* dst, size_t n, Field f, CutKind kind);

// Reads a whole file. Returns 1 when read, 0 when the file does not exist,
// -1 when it exists but could not be read whole (reason in *why).
int ReadWholeFile(const char* name, std::string* out, std::string* why);

// Replaces name by the bytes: writes a temporary file in the same directory,
// checks every write, flushes it to the disk and renames it over name. On
// failure the temporary file is removed, name is left as it was, false is
// returned and *why holds the reason. *written counts the bytes that reached
// the temporary file.
bool SafeWriteFile(const char* name, const std::string& bytes, std::string* why,
                   size_t* written = nullptr);

// True when the bytes [p, p + n) are one of the 52 keywords of the mix files.
bool IsKeyword(const char* p, size_t n);

// Appends to out the lines of text that a save carries over: every line up
// to the line "end" whose first field is not a keyword of the mix files,
// unchanged and followed by "\n"; blank lines are dropped. With skip_first
// the first line (the mix-name line of faders.txt) is dropped too.
void AppendKeptLines(std::string& out, const std::string& text, bool skip_first);

// The report of a file that was not saved, in tbuffer and on standard
// output; the reason is also kept in LastSaveError.
void ReportNotSaved(const char* name, const std::string& why);
extern std::string LastSaveError;

#endif
