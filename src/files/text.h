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
// -1 when it exists but could not be read whole (reason in *why). Only a
// regular file is read: a FIFO or a device is refused at once, never waited on.
int ReadWholeFile(const char* name, std::string* out, std::string* why);

// A save in progress: the new bytes go to a temporary file beside the file
// they replace, named .BASE.PID.N.tmp so that its owner can be recognised.
struct SaveFile {
  std::string path;       // the file replaced: the name with its symbolic links resolved
  std::string dir, base;  // path's directory and last component
  std::string temp;       // the temporary file
  int fd = -1;            // open on temp
  bool exists = false;    // path is there (its owner, group and mode are kept)
  bool inPlace = false;   // more than one name, or an owner this user cannot give:
                          // the new bytes are copied into the file itself
  unsigned long links = 1;
  std::string note;       // after CommitSave: how the guarantee was weakened, if it was
};

// Starts the save of name: resolves symbolic links (the link stays a link
// and its target is replaced in the target's directory), refuses a file
// that is not a regular one or that this user may not write ("read-only"),
// removes the temporary files of processes that no longer run from that
// directory, and creates the temporary file with the old file's owner,
// group and mode. False with the reason in *why; nothing is changed then.
bool BeginSave(const char* name, SaveFile* f, std::string* why);
// Flushes the temporary file and puts it in place: renamed over path, or,
// when inPlace, copied into path after a complete copy of the old file was
// made beside it (removed once the copy is complete; f->note says so).
// On failure path is as it was and the temporary file is gone.
bool CommitSave(SaveFile* f, std::string* why);
// Drops the temporary file of a save that will not be completed.
void AbortSave(SaveFile* f);
// The reason BeginSave gives for a file this user may not write.
extern const char* const kReadOnly;

// Replaces name by the bytes the safe way (BeginSave, checked writes,
// CommitSave). On failure name is left as it was, false is returned and
// *why holds the reason. *written counts the bytes that reached the
// temporary file; *note tells how a file with several names was written.
bool SafeWriteFile(const char* name, const std::string& bytes, std::string* why,
                   size_t* written = nullptr, std::string* note = nullptr);

// Text that came from the user's files (names, paths) as it may be shown on
// a terminal or in the status line: control characters (C0, DEL and C1) and
// bytes that are not UTF-8 become \n, \t, \r or \xHH, never raw.
std::string Escaped(const std::string& text);

// A path that begins with "~/" names a file under $HOME; others as they are.
std::string ExpandHome(const char* path);

// True when the bytes [p, p + n) are one of the 52 keywords of the mix files.
bool IsKeyword(const char* p, size_t n);

// Appends to out the lines of text that a save carries over: every line up
// to the line "end" whose first field is not a keyword of the mix files,
// unchanged and followed by "\n"; blank lines are dropped. With skip_first
// the first line (the mix-name line of faders.txt) is dropped too.
void AppendKeptLines(std::string& out, const std::string& text, bool skip_first);

// The report of a file that was not saved, in tbuffer and on standard
// output ("NAME not saved: WHY", or "NAME is read-only: not saved"); the
// reason is also kept in LastSaveError.
void ReportNotSaved(const char* name, const std::string& why);
extern std::string LastSaveError;
// How the last save of a file with several names was written ("" when it
// was replaced whole); shown after the report of the save.
extern std::string LastSaveNote;
// The report of a saved file: "Wrote N bytes to NAME", and the note.
void ReportSaved(const char* name, long bytes, const std::string& note);

#endif
