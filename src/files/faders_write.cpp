// faders.txt: the record formats, the keyword test and the writer.
#include <cstdio>
#include <cstring>

#include "files.h"
#include "records.h"
#include "text.h"
#include "../model/model.h"

std::string reserve_fbuff;

const RecordFormat Records[NUM_RECORDS] = {
  {Str_hp, EFFECT, Php, 2, "hp\t%i\t%.1f\n", "hp\tG\t%i\t%.1f\n", "hp\tM\t%.1f\n"},
  {Str_comp, EFFECT, Pcomp, 5, "comp\t%i\t%.1f\t%.1f\t%.1f\t%.1f\n",
   "comp\tG\t%i\t%.1f\t%.1f\t%.1f\t%.1f\n", "comp\tM\t%.1f\t%.1f\t%.1f\t%.1f\n"},
  {Str_rms, EFFECT, Prms, 5, "rms\t%i\t%.1f\t%.1f\t%.1f\t%.1f\n",
   "rms\tG\t%i\t%.1f\t%.1f\t%.1f\t%.1f\n", "rms\tM\t%.1f\t%.1f\t%.1f\t%.1f\n"},
  {Str_nlc, EFFECT, Pnlc, 4, "nlc\t%i\t%.1f\t%.1f\t%.1f\n", "nlc\tG\t%i\t%.1f\t%.1f\t%.1f\n",
   "nlc\tM\t%.1f\t%.1f\t%.1f\n"},
  {Str_lim, EFFECT, Plim, 2, "lim\t%i\t%.1f\n", "lim\tG\t%i\t%.1f\n", "lim\tM\t%.1f\n"},
  {Str_band1, EFFECT, Pband1, 4, "band1\t%i\t%.1f\t%.1f\t%.1f\n",
   "band1\tG\t%i\t%.1f\t%.1f\t%.1f\n", "band1\tM\t%.1f\t%.1f\t%.1f\n"},
  {Str_band2, EFFECT, Pband2, 4, "band2\t%i\t%.1f\t%.1f\t%.1f\n",
   "band2\tG\t%i\t%.1f\t%.1f\t%.1f\n", "band2\tM\t%.1f\t%.1f\t%.1f\n"},
  {Str_hshelf, EFFECT, Phshelf, 4, "hshelf\t%i\t%.1f\t%.1f\t%.1f\n",
   "hshelf\tG\t%i\t%.1f\t%.1f\t%.1f\n", "hshelf\tM\t%.1f\t%.1f\t%.1f\n"},
  {Str_lshelf, EFFECT, Plshelf, 4, "lshelf\t%i\t%.1f\t%.1f\t%.1f\n",
   "lshelf\tG\t%i\t%.1f\t%.1f\t%.1f\n", "lshelf\tM\t%.1f\t%.1f\t%.1f\n"},
  {Str_rev, SEND, Prev, 2, "rev\t%i\t%.1f\n", "rev\tG\t%i\t%.1f\n", "rev\tM\t%.1f\n"},
  {Str_trev, SEND, Ptrev, 2, "trev\t%i\t%.1f\n", "trev\tG\t%i\t%.1f\n", "trev\tM\t%.1f\n"},
  {Str_fxg, EFFECT, Pfxg, 2, "fxg\t%i\t%.1f\n", "fxg\tG\t%i\t%.1f\n", "fxg\tM\t%.1f\n"},
  {Str_pan, PAN, Pan, 1, "p\t%i\t%.0f\n", "p\tG\t%i\t%.0f\n", "p\tM\t%.0f\n"},
  {Str_vol, POINT, Volume, 1, "v\t%i\t%.2f\n", "v\tG\t%i\t%.2f\n", "v\tM\t%.2f\n"},
};

const int ChannelOrder[NUM_FX_RECORDS] = {R_HP,    R_COMP,   R_RMS,    R_NLC,
                                          R_LIM,   R_BAND1,  R_BAND2,  R_HSHELF,
                                          R_LSHELF, R_REV,   R_TREV,   R_FXG};
const int MasterOrder[NUM_FX_RECORDS] = {R_HP,    R_COMP,   R_RMS,    R_NLC,
                                         R_LIM,   R_BAND1,  R_BAND2,  R_HSHELF,
                                         R_LSHELF, R_FXG,   R_REV,    R_TREV};
const int ScanOrder[NUM_SCAN_RECORDS] = {R_COMP,   R_RMS, R_NLC, R_LIM,    R_FXG,
                                         R_BAND1,  R_BAND2, R_HSHELF, R_LSHELF,
                                         R_HP,     R_PAN, R_REV, R_TREV};

// --- The keyword test ---

// Index of the keyword equal to the bytes, or -1.
static int KeyIndex(const char* p, size_t n) {
  static const WordTable table = [] {
    WordTable t;
    for (int k = 0; k < NUM_KEYWORDS; k++) t.Add(Keywords[k], k);
    return t;
  }();
  return table.Find(PackWord(p, n));
}

bool IsKeyword(const char* p, size_t n) { return KeyIndex(p, n) >= 0; }

bool CheckForKey(const char* field) {
  return field && KeyIndex(field, strlen(field)) >= 0;
}

// --- The line scrubbers ---

void AppendKeptLines(std::string& out, const std::string& text, bool skip_first) {
  const char* p = text.data();
  const char* end = p + text.size();
  for (bool first = true; p < end; first = false) {
    const char* nl = static_cast<const char*>(memchr(p, '\n', (size_t)(end - p)));
    const char* eol = nl ? nl : end;
    const char* f = p;
    while (f < eol && *f == '\t') f++;
    const char* fe = f;
    while (fe < eol && *fe != '\t') fe++;
    if (!(first && skip_first)) {  // the first line of faders.txt is the mix name
      if (fe - f == 3 && memcmp(f, "end", 3) == 0) break;
      if (fe > f && KeyIndex(f, (size_t)(fe - f)) < 0) {
        out.append(p, (size_t)(eol - p));
        out.push_back('\n');
      }
    }
    p = eol + 1;
  }
}

std::string& ScrubEffects(std::string& text) {
  std::string out;
  out.reserve(text.size() < 65536 ? 256 : 65536);
  Appendf(out, "%s\n", MixName);
  AppendKeptLines(out, text, true);
  text.swap(out);
  return text;
}

std::string& ScrubPrefs(std::string& text) {
  std::string out;
  AppendKeptLines(out, text, false);
  text.swap(out);
  return text;
}

// --- The writer ---

// One record of a channel slot (0 master, 1..127 inputs, 128..135 submixes),
// with up to four values after the channel.
static void AppendRecord(std::string& t, const RecordFormat& f, int slot, const float* v) {
  if (slot == 0)
    Appendf(t, f.master, v[0], v[1], v[2], v[3]);
  else if (slot > NUM_INPUTS)
    Appendf(t, f.group, slot - NUM_INPUTS, v[0], v[1], v[2], v[3]);
  else
    Appendf(t, f.channel, slot, v[0], v[1], v[2], v[3]);
}

static void AppendEffects(std::string& t, int slot, const int* order) {
  for (int i = 0; i < NUM_FX_RECORDS; i++) {
    const RecordFormat& f = Records[order[i]];
    const float* rec = f.table + slot * REC;
    if (rec[0] == 1.0f) AppendRecord(t, f, slot, rec + 1);
  }
}

// The input channels assigned in one column of SubAsn or VcaAsn.
static void AppendList(std::string& t, const int* asn, int s) {
  bool any = false;
  for (int r = 0; r < NUM_ASN_ROWS; r++) {
    if (asn[r * 8 + s - 1] != 1) continue;
    if (any) t.push_back(',');
    Appendf(t, "%i", r + 1);
    any = true;
  }
}

static void AppendRouting(std::string& t, const int* on, const int* asn, int first_slot,
                          const char* name_fmt, const char* list_fmt) {
  for (int s = 1; s <= 8; s++) {
    if (on[s - 1] != 1) continue;
    Appendf(t, name_fmt, s, NameBuffer[first_slot + s - 1]);
    Appendf(t, list_fmt, s);
    AppendList(t, asn, s);
    t.push_back('\n');
  }
}

std::string& AppendBuffer(std::string& t) {
  t += "\n";
  AppendRouting(t, SubOn, SubAsn, GroupSlot(1), "subname\t%i\t%s\n", "sub\t%i\t");
  t += "\n\n";
  AppendRouting(t, VcaOn, VcaAsn, VcaSlot(1), "vcaname\t%i\t%s\n", "VCA:\t%i\t");
  t += "\n";
  for (int n = 1; n <= NUM_INPUTS; n++) AppendEffects(t, n, ChannelOrder);
  t += "\n";
  for (int g = 1; g <= NUM_GROUPS; g++) AppendEffects(t, GroupSlot(g), ChannelOrder);
  t += "\n";
  AppendEffects(t, 0, MasterOrder);
  t += "\n";

  bool rev = false, trev = false;
  for (int c = 0; c < NUM_SLOTS; c++) {
    rev = rev || Prev[c * REC] == 1.0f;
    trev = trev || Ptrev[c * REC] == 1.0f;
  }
  if (rev) Appendf(t, "rtn\t%.1f\t%.1f\n", Prtn[0], Prtn[1]);
  if (trev) Appendf(t, "trtn\t%.1f\t%.1f\t%.1f\n", Ptrtn[0], Ptrtn[1], Ptrtn[2]);
  if (Prlp[0] == 1.0f) Appendf(t, "rlp\t%.0f\n", Prlp[1]);
  if (Prhp[0] == 1.0f) Appendf(t, "rhp\t%.0f\n", Prhp[1]);
  if (Prev_width >= 0 && Prev_width <= 100 && (rev || trev))
    Appendf(t, "width\t%.0f\n", Prev_width);
  if (rev || trev)
    Appendf(t, "pos\t%.0f\t%.0f\t%.0f\n", Prev_position[0], Prev_position[1], Prev_position[2]);
  t += "\n";
  return t;
}

// The point group of one slot at one row: volume, then offset, ramp, shape.
static void AppendPoint(std::string& t, int slot, int row) {
  int i = Cell(slot, row);
  float v[4] = {Volume[i], 0, 0, 0};
  if (slot > NUM_INPUTS + NUM_GROUPS)
    Appendf(t, "vca\t%i\t%.2f\n", slot - (NUM_INPUTS + NUM_GROUPS), v[0]);
  else
    AppendRecord(t, Records[R_VOL], slot, v);
  if (Offset[i] != 0) Appendf(t, "ofs\t%.3f\n", Offset[i]);
  if (Ramp[i] != 0) Appendf(t, "rmp\t%.3f\n", Ramp[i]);
  if (Shape[i] != 1.0f) Appendf(t, "shape\t%.3f\n", Shape[i]);
}

std::string& VolumeVarnToText(std::string& t) {
  t += "\n";
  for (int c = 1; c <= NUM_INPUTS + NUM_GROUPS; c++)
    if (Pan[c] != 0) AppendRecord(t, Records[R_PAN], c, &Pan[c]);
  if (Pan[0] != 0) AppendRecord(t, Records[R_PAN], 0, &Pan[0]);
  t += "\n";
  for (int r = 0; r < NUM_ROWS; r++) {
    if (IndexActiveArray[r] != 1) continue;
    t += "\n";
    if (strnlen(CueNameBuffer[r], 2) >= 2) Appendf(t, "\ncue\t%s\n", CueNameBuffer[r]);
    Appendf(t, "\nt\t%.0f\t%.3f\t%.0f\n", IndexMin[r], IndexSec[r], IndexMsec[r]);
    // Inputs, submixes, VCAs, then the master.
    for (int c = 1; c < NUM_SLOTS; c++)
      if (ChanActive[Cell(c, r)] == 1) AppendPoint(t, c, r);
    if (ChanActive[Cell(0, r)] == 1) AppendPoint(t, 0, r);
  }
  t += "\n";
  for (int g = 1; g <= NUM_GROUPS; g++)
    if (MuteArray[GroupSlot(g)] == 1) Appendf(t, "submu\t%i\n", g);
  for (int g = 1; g <= NUM_GROUPS; g++)
    if (SoloArray[GroupSlot(g)] == 1) Appendf(t, "subso\t%i\n", g);
  t += "end\n";
  return t;
}

std::string BuildFaderText(const std::string& old) {
  std::string t = old;
  ScrubEffects(t);
  AppendBuffer(t);
  VolumeVarnToText(t);
  return t;
}

// --- The file ---

static std::string write_note;  // how the last write of faders.txt was done

long WriteFaderFile(const std::string& text) {
  std::string why;
  size_t written = 0;
  if (!SafeWriteFile("faders.txt", text, &why, &written, &write_note)) {
    if (written != text.size())
      printf("write error:  expected %li, returned %li\n", (long)text.size(), (long)written);
    ReportNotSaved("faders.txt", why);
    return -1;
  }
  return (long)text.size();
}

bool SaveFaderFile() {
  // reserve_fbuff keeps its room from one save to the next. An old file
  // that cannot be read would take its kept lines with it: not saved.
  long old = ReadFaderFile();
  if (!FaderReadError().empty()) {
    ReportNotSaved("faders.txt", "the old file could not be read (" + FaderReadError() + ")");
    return false;
  }
  if (old > 0) ScrubEffects(reserve_fbuff);
  else if (reserve_fbuff.empty()) Appendf(reserve_fbuff, "%s\n", MixName);
  AppendBuffer(reserve_fbuff);
  VolumeVarnToText(reserve_fbuff);
  long n = WriteFaderFile(reserve_fbuff);
  if (n < 0) return false;
  ReportSaved("faders.txt", n, write_note);
  return true;
}
