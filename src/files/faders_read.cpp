// faders.txt: loading the file and the reader's keyword scans.
//
// Every scan walks the text as fields separated by runs of tabs and
// newlines and stops at its first field "end". A field equal to the scan's
// keyword starts a record; the record's fields are then taken one by one,
// each but the last up to the next tab, the last up to the end of its line.
// Scans are independent: a field inside one scan's record is still a field
// of every other scan. Instead of walking the whole text once per scan, the
// text is cut into fields once, the fields that are keywords of some scan are
// listed, and each scan visits its own keywords in order, skipping those
// that fell inside its previous record. The result is that of a full walk.
// When the whole file is read, the walk of the rows and points lists the
// keywords on its way, so that the text is walked once.
//
// Names are data: the mix-name line and the names of the lines "cue",
// "subname" and "vcaname" never start records, whatever they say, so that a
// submix named "rev" or a cue named "end" reads back as a name. So is a line
// that a save keeps unchanged (its first field is none of the keywords):
// the reader and the writer agree on what a line is, so that a kept note
// such as "note\tt\t1\t2\t3" is not read as a time-index row at every recall.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "files.h"
#include "records.h"
#include "text.h"
#include "../model/model.h"

namespace {

// Where the first byte equal to a or b stands at or after pos (len when
// none). Fields are short, so eight bytes are tested at a time, which keeps
// the processor from guessing wrong at every field's end.
inline size_t FindEither(const char* t, size_t pos, size_t len, char a, char b) {
  const uint64_t ones = 0x0101010101010101ULL, highs = 0x8080808080808080ULL;
  const uint64_t ma = ones * (unsigned char)a, mb = ones * (unsigned char)b;
  while (pos + 8 <= len) {
    uint64_t w;
    memcpy(&w, t + pos, 8);
    uint64_t xa = w ^ ma, xb = w ^ mb;
    uint64_t hit = (((xa - ones) & ~xa) | ((xb - ones) & ~xb)) & highs;
    if (hit) return pos + (size_t)(__builtin_ctzll(hit) >> 3);
    pos += 8;
  }
  while (pos < len && t[pos] != a && t[pos] != b) pos++;
  return pos;
}

bool InRange(long long v, long long lo, long long hi) { return v >= lo && v <= hi; }

// The scans of ParseBufferMulti after the mix name, in their order.
enum ScanId {
  SCAN_RECORD0,                                    // ScanOrder: effects, pan, sends
  SCAN_RTN = SCAN_RECORD0 + NUM_SCAN_RECORDS, SCAN_TRTN, SCAN_RHP, SCAN_RLP,
  SCAN_WIDTH, SCAN_POS, SCAN_SUBSTATE, SCAN_SUB, SCAN_VCA, NUM_SCANS
};

struct ScanKey {
  const char* keyword;
  int scan;
};

const ScanKey scan_keys[] = {
  {Str_comp, SCAN_RECORD0 + 0}, {Str_rms, SCAN_RECORD0 + 1}, {Str_nlc, SCAN_RECORD0 + 2},
  {Str_lim, SCAN_RECORD0 + 3}, {Str_fxg, SCAN_RECORD0 + 4}, {Str_band1, SCAN_RECORD0 + 5},
  {Str_band2, SCAN_RECORD0 + 6}, {Str_hshelf, SCAN_RECORD0 + 7},
  {Str_lshelf, SCAN_RECORD0 + 8}, {Str_hp, SCAN_RECORD0 + 9}, {Str_pan, SCAN_RECORD0 + 10},
  {Str_rev, SCAN_RECORD0 + 11}, {Str_trev, SCAN_RECORD0 + 12},
  {Str_rtn, SCAN_RTN}, {Str_trtn, SCAN_TRTN}, {Str_rhp, SCAN_RHP}, {Str_rlp, SCAN_RLP},
  {Str_width, SCAN_WIDTH}, {Str_pos, SCAN_POS},
  {Str_submu, SCAN_SUBSTATE}, {Str_subso, SCAN_SUBSTATE},
  {Str_sub, SCAN_SUB}, {Str_subname, SCAN_SUB},
  {Str_VCA_List, SCAN_VCA}, {Str_vcaname, SCAN_VCA},
};
const int NUM_SCAN_KEYS = sizeof scan_keys / sizeof scan_keys[0];

// A field that starts a record of some scan.
struct Occurrence {
  size_t start;   // where the field begins
  size_t fields;  // where the record's fields begin
  int key;        // index into scan_keys
};

// The keywords of the scans by their bytes, and the lengths that a keyword
// (or "end") has by its first character: most fields are numbers or point
// records and fail that test at once.
struct ScanKeyTable {
  WordTable words;
  unsigned char lengths[256] = {0};
  void Allow(const char* word) {
    lengths[(unsigned char)word[0]] |= (unsigned char)(1u << strlen(word));
  }
  ScanKeyTable() {
    for (int k = 0; k < NUM_SCAN_KEYS; k++) {
      words.Add(scan_keys[k].keyword, k);
      Allow(scan_keys[k].keyword);
    }
    Allow("end");
  }
};
const ScanKeyTable scan_table;

// Which fields are data: the first line (the mix name), every field of a
// line that a save keeps as it is (its first field is neither a keyword nor
// "end"), and what follows "cue" or the number of "subname" and "vcaname" on
// a line that begins with one of them. Asked about fields in text order, it
// looks at each line once.
struct NameSpans {
  size_t asked = 0, line = 0;  // the last field asked about, and its line
  size_t start = 0;            // where the data of that line begins (0: none)
  bool known = false;          // start is that of line

  bool In(const char* t, size_t len, size_t b) {
    if (b == 0) return true;
    if (t[b - 1] == '\n') return false;  // a field that begins a line: a keyword, or not one
    if (b < asked) asked = line = 0, known = false;  // (not in text order: start over)
    const void* nl = memrchr(t + asked, '\n', b - asked);
    if (nl) line = (size_t)(static_cast<const char*>(nl) - t) + 1, known = false;
    asked = b;
    if (line == 0) return true;
    if (!known) start = DataStart(t, len, line), known = true;
    return start != 0 && b >= start;
  }
  // Where the data of the line at ls > 0 begins, or 0 when it holds none.
  static size_t DataStart(const char* t, size_t len, size_t ls) {
    auto begins = [&](const char* w, size_t n) { return len - ls > n && memcmp(t + ls, w, n) == 0; };
    if (begins("cue\t", 4)) return ls + 4;
    if (begins("subname\t", 8) || begins("vcaname\t", 8)) {
      size_t p = ls + 8;
      while (p < len && t[p] == '\t') p++;
      while (p < len && t[p] != '\t' && t[p] != '\n') p++;
      return p < len && t[p] == '\t' ? p + 1 : 0;
    }
    size_t f = ls;
    while (f < len && t[f] == '\t') f++;
    size_t fe = FindEither(t, f, len, '\t', '\n');
    if (fe == f || IsKeyword(t + f, fe - f) || (fe - f == 3 && memcmp(t + f, "end", 3) == 0))
      return 0;
    return ls;  // a kept line
  }
};

// The fields of a text that start records of the scans, in text order.
struct Lists {
  std::vector<Occurrence> occ[NUM_SCANS];
  std::vector<size_t> ends;  // where the fields "end" begin
  NameSpans names;

  // The field [b, e), followed by its delimiter (or the end of the text).
  void Token(const char* t, size_t b, size_t e, size_t len) {
    size_t n = e - b;
    if (n > 7 || !(scan_table.lengths[(unsigned char)t[b]] & (1u << n))) return;
    if (names.In(t, len, b)) return;
    if (n == 3 && memcmp(t + b, "end", 3) == 0) {
      ends.push_back(b);
      return;
    }
    int k = scan_table.words.Find(PackWord(t + b, n));
    if (k >= 0) occ[scan_keys[k].scan].push_back({b, e < len ? e + 1 : len, k});
  }
  // Every field of the bytes [b, e).
  void Span(const char* t, size_t b, size_t e, size_t len) {
    while (b < e) {
      while (b < e && (t[b] == '\t' || t[b] == '\n')) b++;
      if (b >= e) return;
      size_t f = FindEither(t, b, e, '\t', '\n');
      Token(t, b, f, len);
      b = f;
    }
  }
};

// A walk over a text of known length. With lists, every field that the
// walk passes, inside records or not, is also listed for the scans.
struct Walk {
  const char* t;
  size_t len;
  size_t pos;
  Lists* lists = nullptr;
  NameSpans* names = nullptr;  // set: Token skips the fields inside names

  // The next field separated by runs of tabs and newlines.
  bool Token(Field* f) {
    for (;;) {
      while (pos < len && (t[pos] == '\t' || t[pos] == '\n')) pos++;
      if (pos >= len) return false;
      size_t b = pos;
      pos = FindEither(t, pos, len, '\t', '\n');
      if (lists) lists->Token(t, b, pos, len);
      f->p = t + b, f->n = pos - b;
      if (pos < len) pos++;
      if (!names || !names->In(t, len, b)) return true;
    }
  }
  // A field of a record that extends to the next tab.
  bool Tab(Field* f) {
    while (pos < len && t[pos] == '\t') pos++;
    if (pos >= len) return false;
    size_t b = pos;
    pos = Until('\t', '\n', b);
    f->p = t + b, f->n = pos - b;
    if (pos < len) pos++;
    return true;
  }
  // The last field of a record: the rest of its line (possibly empty).
  bool Line(Field* f) {
    if (pos >= len) return false;
    size_t b = pos;
    pos = Until('\n', '\t', b);
    f->p = t + b, f->n = pos - b;
    if (pos < len) pos++;
    return true;
  }
  // The end of a field that runs from b to the next stop; when listing, the
  // fields inside it (separated by other delimiters) are listed.
  size_t Until(char stop, char other, size_t b) {
    if (!lists) return FindEither(t, b, len, stop, stop);
    size_t d = FindEither(t, b, len, stop, other);
    if (d < len && t[d] == other) {
      d = FindEither(t, d, len, stop, stop);
      lists->Span(t, b, d, len);
    } else if (d > b) {
      lists->Token(t, b, d, len);
    }
    return d;
  }
  // count values: all but the last up to a tab, the last to the line's end.
  bool Values(double* v, int count) {
    Field f;
    for (int k = 0; k < count; k++) {
      if (!(k + 1 < count ? Tab(&f) : Line(&f))) return false;
      v[k] = ToDouble(f);
    }
    return true;
  }
  // The channel part: "G" and a submix number, "M", or a number.
  bool Channel(long long* slot) {
    Field c, g;
    if (!Tab(&c)) return false;
    if (c.Is("G")) {
      if (!Tab(&g)) return false;
      *slot = NUM_INPUTS + (long long)ToInt(g);
    } else if (c.Is("M")) {
      *slot = 0;
    } else {
      *slot = ToInt(c);
    }
    return true;
  }
};

// One scan's way through its records.
struct ScanWalk {
  const std::vector<Occurrence>& occ;
  const std::vector<size_t>& ends;
  size_t i = 0, e = 0, resume = 0;

  ScanWalk(const std::vector<Occurrence>& o, const std::vector<size_t>& en) : occ(o), ends(en) {}

  // The next record of the scan, or null when it meets "end" or the text ends.
  const Occurrence* Next() {
    while (i < occ.size() && occ[i].start < resume) i++;
    while (e < ends.size() && ends[e] < resume) e++;
    if (i >= occ.size()) return nullptr;
    if (e < ends.size() && ends[e] < occ[i].start) return nullptr;
    return &occ[i++];
  }
};

// The mix name is the first line, whatever its length; an empty first line
// (a mix saved without a name) leaves the name as it is.
void ScanMixName(const char* t, size_t len) {
  const char* nl = static_cast<const char*>(memchr(t, '\n', len));
  size_t n = nl ? (size_t)(nl - t) : len;
  if (n > 0) CopyFieldText(MixName, NAME_LEN, Field{t, n}, CUT_MIX_NAME);
}

// An effect, pan or send scan of one record format.
void ScanRecords(Walk& w, ScanWalk& s, const RecordFormat& f) {
  if (f.kind == EFFECT || f.kind == SEND)
    for (int c = 0; c < NUM_SLOTS; c++) f.table[c * REC] = 0.0f;
  while (const Occurrence* o = s.Next()) {
    w.pos = o->fields;
    long long slot;
    double v[4];
    int values = f.kind == EFFECT ? f.count - 1 : 1;
    if (!w.Channel(&slot) || !w.Values(v, values)) return;
    s.resume = w.pos;
    if (f.kind == EFFECT) {
      int c = InRange(slot, 0, NUM_FX_SLOTS - 1) ? (int)slot : -1;
      checkValI(&c, 1);
      f.table[c * REC] = 1.0f;
      for (int k = 0; k < values; k++) f.table[c * REC + 1 + k] = (float)v[k];
    } else if (InRange(slot, 0, NUM_SLOTS - 1)) {
      if (f.kind == PAN) {
        f.table[slot] = (float)v[0];
      } else {
        f.table[slot * REC] = 1.0f;
        f.table[slot * REC + 1] = (float)v[0];
      }
    }
  }
}

// rtn, trtn, width, pos: every record writes its values; rhp, rlp: the first
// record turns the filter on.
void ScanAmounts(Walk& w, ScanWalk& s, float* dest, int count, bool filter) {
  while (const Occurrence* o = s.Next()) {
    w.pos = o->fields;
    double v[3];
    if (!w.Values(v, count)) return;
    s.resume = w.pos;
    if (filter) {
      dest[0] = 1.0f;
      dest[1] = (float)v[0];
      return;
    }
    for (int k = 0; k < count; k++) dest[k] = (float)v[k];
  }
}

void ReadSubmixState(Walk& w, ScanWalk& s) {
  while (const Occurrence* o = s.Next()) {
    w.pos = o->fields;
    Field g;
    if (!w.Line(&g)) return;
    s.resume = w.pos;
    int n = ToInt(g);
    if (n < 1 || n > NUM_GROUPS) continue;
    int* flags = scan_keys[o->key].keyword == Str_submu ? MuteArray : SoloArray;
    flags[GroupSlot(n)] = 1;
  }
}

// Submix or VCA routing: the "sub" / "VCA:" lists and the names.
struct RoutingScan {
  const char* list_key;
  int* on;
  int* asn;
  int first_slot;
  const char* number_message;
  const char* entry_message;
  CutKind name_kind;
};

void ParseRouting(Walk& w, ScanWalk& s, const RoutingScan& r) {
  Field lists[9];
  bool have[9] = {false};
  while (const Occurrence* o = s.Next()) {
    w.pos = o->fields;
    Field num, rest;
    if (!w.Tab(&num) || !w.Line(&rest)) break;
    s.resume = w.pos;
    int n = ToInt(num);
    bool is_list = scan_keys[o->key].keyword == r.list_key;
    if (n < 1 || n > 8) {
      if (is_list) printf("%s\n", r.number_message);
      continue;
    }
    if (is_list) {
      r.on[n - 1] = 1;
      lists[n] = rest;
      have[n] = true;
    } else {
      CopyFieldText(NameBuffer[r.first_slot + n - 1], NAME_LEN, rest, r.name_kind);
    }
  }
  for (int n = 1; n <= 8; n++) {
    if (!have[n]) continue;
    const char* p = lists[n].p;
    const char* end = p + lists[n].n;
    while (p < end) {
      while (p < end && *p == ',') p++;
      if (p >= end) break;
      const char* q = p;
      while (q < end && *q != ',') q++;
      int ch = ToInt(Field{p, (size_t)(q - p)});
      if (ch >= 1 && ch <= NUM_INPUTS)
        r.asn[(ch - 1) * 8 + n - 1] = 1;
      else
        printf(r.entry_message, n - 1);
      p = q;
    }
  }
}

void ParseSubmix(Walk& w, ScanWalk& s) {
  ParseRouting(w, s, {Str_sub, SubOn, SubAsn, GroupSlot(1), "Submix number out of range!",
                      "Channel assigned to sub %i is out of range!\n", CUT_SUBMIX_NAME});
}

void ParseVCA(Walk& w, ScanWalk& s) {
  ParseRouting(w, s, {Str_VCA_List, VcaOn, VcaAsn, VcaSlot(1), "VCA number out of range!",
                      "Channel assigned to VCA %i is out of range!\n", CUT_VCA_NAME});
}

}  // namespace

// The scans after the mix name, each over its own records.
static void RunScans(const char* text, size_t len, const Lists& lists) {
  Walk w{text, len, 0};
  for (int id = 0; id < NUM_SCANS; id++) {
    ScanWalk s(lists.occ[id], lists.ends);
    if (id < SCAN_RTN) {
      ScanRecords(w, s, Records[ScanOrder[id - SCAN_RECORD0]]);
      continue;
    }
    switch (id) {
      case SCAN_RTN: ScanAmounts(w, s, Prtn, 2, false); break;
      case SCAN_TRTN: ScanAmounts(w, s, Ptrtn, 3, false); break;
      case SCAN_RHP: ScanAmounts(w, s, Prhp, 1, true); break;
      case SCAN_RLP: ScanAmounts(w, s, Prlp, 1, true); break;
      case SCAN_WIDTH: ScanAmounts(w, s, &Prev_width, 1, false); break;
      case SCAN_POS: ScanAmounts(w, s, Prev_position, 3, false); break;
      case SCAN_SUBSTATE: ReadSubmixState(w, s); break;
      case SCAN_SUB: ParseSubmix(w, s); break;
      case SCAN_VCA: ParseVCA(w, s); break;
    }
  }
}

void ParseBufferMulti(const char* text, size_t len) {
  if (!text) len = 0;
  ScanMixName(text, len);
  Lists lists;
  lists.Span(text, 0, len, len);
  RunScans(text, len, lists);
}

// The record keywords of ReadVolumes.
enum VolKey { VK_NONE, VK_CUE, VK_T, VK_INC, VK_V, VK_VCA, VK_OFS, VK_RMP, VK_SHAPE, VK_END };

static const WordTable vol_keys = [] {
  WordTable t;
  t.Add(Str_cue, VK_CUE), t.Add(Str_time, VK_T), t.Add(Str_inc, VK_INC);
  t.Add(Str_vol, VK_V), t.Add(Str_vca, VK_VCA), t.Add(Str_ofs, VK_OFS);
  t.Add(Str_ramp, VK_RMP), t.Add(Str_shape, VK_SHAPE), t.Add("end", VK_END);
  return t;
}();

static VolKey VolKeyOf(Field f) {
  if (f.n == 0 || f.n > 5) return VK_NONE;
  int k = vol_keys.Find(PackWord(f.p, f.n));
  return k < 0 ? VK_NONE : (VolKey)k;
}

// The pass over rows and points; w.pos is where it stopped.
static void WalkVolumes(Walk& w) {
  int r = -1;
  long long c = 1;
  float m = 0, s = 0, ms = 0;
  auto point = [&]() { return InRange(c, 0, NUM_SLOTS - 1) && InRange(r, 0, NUM_ROWS - 1); };
  Field f;
  while (w.Token(&f)) {
    {
      VolKey k = VolKeyOf(f);
      Field a, b, v;
      long long slot;
      switch (k) {
        case VK_END:
          return;
        case VK_CUE:
          if (!w.Line(&a)) return;
          if (InRange(r + 1, 0, NUM_ROWS - 1)) CopyFieldText(CueNameBuffer[r + 1], CUE_LEN, a, CUT_CUE_NAME);
          break;
        case VK_T:
          r++;
          if (!w.Tab(&a) || !w.Tab(&b) || !w.Line(&v)) return;
          m = (float)ToDouble(a), s = (float)ToDouble(b), ms = (float)ToDouble(v);
          break;
        case VK_INC:
          r++;
          if (!w.Line(&v)) return;
          s = (float)(s + ToDouble(v));
          break;
        case VK_V:
          if (!w.Channel(&slot) || !w.Line(&v)) return;
          c = slot;
          break;
        case VK_VCA:
          if (!w.Tab(&a) || !w.Line(&v)) return;
          c = NUM_INPUTS + NUM_GROUPS + (long long)ToInt(a);
          break;
        case VK_OFS:
        case VK_RMP:
        case VK_SHAPE:
          if (!w.Line(&v)) return;
          break;
        case VK_NONE:
          break;
      }
      if ((k == VK_T || k == VK_INC) && InRange(r, 0, NUM_ROWS - 1)) {
        IndexMin[r] = m, IndexSec[r] = s, IndexMsec[r] = ms;
        IndexActiveArray[r] = 1;
      } else if ((k == VK_V || k == VK_VCA) && point()) {
        ChanActive[Cell((int)c, r)] = 1;
        Volume[Cell((int)c, r)] = (float)ToDouble(v);
      } else if (k == VK_OFS && point()) {
        Offset[Cell((int)c, r)] = (float)ToDouble(v);
      } else if (k == VK_RMP && point()) {
        Ramp[Cell((int)c, r)] = (float)ToDouble(v);
      } else if (k == VK_SHAPE && point()) {
        Shape[Cell((int)c, r)] = (float)ToDouble(v);
      }
    }
  }
}

void ReadVolumes(const char* text, size_t len) {
  if (!text) len = 0;
  NameSpans names;
  Walk w{text, len, 0, nullptr, &names};
  WalkVolumes(w);
}

// ParseBufferMulti and ReadVolumes in one walk of the text: the scans take
// their records from the lists that the pass over the rows made. The two
// fill different tables, so the order of their work does not matter.
void ParseFaderText(const char* text, size_t len) {
  if (!text) len = 0;
  ScanMixName(text, len);
  Lists lists;
  Walk w{text, len, 0, &lists, &lists.names};
  WalkVolumes(w);
  lists.Span(text, w.pos, len, len);
  RunScans(text, len, lists);
}

// --- The file ---

static bool not_created;  // faders.txt was missing and could not be created
static std::string read_error;  // why the last read failed ("" when it did not)

const std::string& FaderReadError() { return read_error; }

bool MakeNewFile() {
  if (MixName[0] == '\0') CopyField(MixName, NAME_LEN, "mixFilename");
  std::string line;
  Appendf(line, "%s\n", MixName);
  std::string why;
  if (!SafeWriteFile("faders.txt", line, &why)) {
    snprintf(tbuffer, TBUF_LEN, "faders.txt is missing and could not be created: %s",
             why.c_str());
    printf("%s\n", tbuffer);
    fflush(stdout);
    return false;
  }
  return true;
}

long ReadFaderFile() {
  std::string why;
  int got = ReadWholeFile("faders.txt", &reserve_fbuff, &why);
  not_created = false;
  read_error.clear();
  if (got == 0) {
    // A new file holds the mix-name line, and so does the text scanned.
    if (MakeNewFile())
      CopyField(tbuffer, TBUF_LEN, "Created new faders.txt file");
    else
      not_created = true;
    reserve_fbuff.clear();
    Appendf(reserve_fbuff, "%s\n", MixName);
    return 0;
  }
  if (got < 0) {
    printf("fader file read error\n");
    read_error = why;
    reserve_fbuff.clear();
    return 0;
  }
  if (reserve_fbuff.empty()) {
    printf("faders.txt file is empty\n");
    return 0;
  }
  return (long)reserve_fbuff.size();
}

long LoadFaderFile() {
  long n = ReadFaderFile();
  // A file that is there but cannot be read changes nothing in the model.
  if (!read_error.empty()) {
    snprintf(tbuffer, TBUF_LEN, "faders.txt could not be read: %s; nothing was changed",
             read_error.c_str());
    printf("%s\n", tbuffer);
    return 0;
  }
  if (!not_created) snprintf(tbuffer, TBUF_LEN, "Read %li bytes from faders.txt", n);
  ParseFaderText(reserve_fbuff.data(), reserve_fbuff.size());
  return n;
}
