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
#include <cstdio>
#include <cstring>
#include <vector>

#include "files.h"
#include "records.h"
#include "text.h"
#include "../model/model.h"

namespace {

// A walk over a text of known length.
struct Walk {
  const char* t;
  size_t len;
  size_t pos;

  // The next field separated by runs of tabs and newlines.
  bool Token(Field* f) {
    while (pos < len && (t[pos] == '\t' || t[pos] == '\n')) pos++;
    if (pos >= len) return false;
    size_t b = pos;
    while (pos < len && t[pos] != '\t' && t[pos] != '\n') pos++;
    f->p = t + b, f->n = pos - b;
    if (pos < len) pos++;
    return true;
  }
  // A field of a record that extends to the next tab.
  bool Tab(Field* f) {
    while (pos < len && t[pos] == '\t') pos++;
    if (pos >= len) return false;
    const char* e = static_cast<const char*>(memchr(t + pos, '\t', len - pos));
    size_t end = e ? (size_t)(e - t) : len;
    f->p = t + pos, f->n = end - pos;
    pos = e ? end + 1 : len;
    return true;
  }
  // The last field of a record: the rest of its line (possibly empty).
  bool Line(Field* f) {
    if (pos >= len) return false;
    const char* e = static_cast<const char*>(memchr(t + pos, '\n', len - pos));
    size_t end = e ? (size_t)(e - t) : len;
    f->p = t + pos, f->n = end - pos;
    pos = e ? end + 1 : len;
    return true;
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

// The keyword of scan_keys equal to the field, or -1 (first letter and
// length decide quickly for the many numeric fields).
int ScanKeyOf(const char* p, size_t n) {
  if (n == 0 || n > 7 || !((p[0] >= 'a' && p[0] <= 'z') || (p[0] >= 'A' && p[0] <= 'Z')))
    return -1;
  for (int k = 0; k < NUM_SCAN_KEYS; k++) {
    const char* w = scan_keys[k].keyword;
    if (w[0] == p[0] && strlen(w) == n && memcmp(w, p, n) == 0) return k;
  }
  return -1;
}

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

void ScanMixName(const char* t, size_t len) {
  size_t b = 0;
  while (b < len && t[b] == '\n') b++;
  if (b >= len) return;
  const char* nl = static_cast<const char*>(memchr(t + b, '\n', len - b));
  size_t n = (nl ? (size_t)(nl - t) : len) - b;
  if (n > 3 && !(strlen(MixName) == n && memcmp(MixName, t + b, n) == 0))
    CopyFieldText(MixName, NAME_LEN, Field{t + b, n});
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
      CopyFieldText(NameBuffer[r.first_slot + n - 1], NAME_LEN, rest);
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
                      "Channel assigned to sub %i is out of range!\n"});
}

void ParseVCA(Walk& w, ScanWalk& s) {
  ParseRouting(w, s, {Str_VCA_List, VcaOn, VcaAsn, VcaSlot(1), "VCA number out of range!",
                      "Channel assigned to VCA %i is out of range!\n"});
}

}  // namespace

void ParseBufferMulti(const char* text, size_t len) {
  if (!text) len = 0;
  ScanMixName(text, len);

  // Cut the text into fields once; list the fields that start records.
  std::vector<Occurrence> occ[NUM_SCANS];
  std::vector<size_t> ends;
  Walk w{text, len, 0};
  Field f;
  while (w.Token(&f)) {
    size_t start = (size_t)(f.p - text);
    if (f.n == 3 && f.p[0] == 'e' && f.p[1] == 'n' && f.p[2] == 'd') {
      ends.push_back(start);
      continue;
    }
    int k = ScanKeyOf(f.p, f.n);
    if (k >= 0) occ[scan_keys[k].scan].push_back({start, w.pos, k});
  }

  for (int id = 0; id < NUM_SCANS; id++) {
    ScanWalk s(occ[id], ends);
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

// The record keywords of ReadVolumes.
enum VolKey { VK_NONE, VK_CUE, VK_T, VK_INC, VK_V, VK_VCA, VK_OFS, VK_RMP, VK_SHAPE, VK_END };

static VolKey VolKeyOf(Field f) {
  switch (f.n) {
    case 1:
      if (f.p[0] == 't') return VK_T;
      if (f.p[0] == 'v') return VK_V;
      return VK_NONE;
    case 3:
      if (f.Is(Str_cue)) return VK_CUE;
      if (f.Is(Str_inc)) return VK_INC;
      if (f.Is(Str_vca)) return VK_VCA;
      if (f.Is(Str_ofs)) return VK_OFS;
      if (f.Is(Str_ramp)) return VK_RMP;
      if (f.Is("end")) return VK_END;
      return VK_NONE;
    case 5:
      return f.Is(Str_shape) ? VK_SHAPE : VK_NONE;
    default:
      return VK_NONE;
  }
}

void ReadVolumes(const char* text, size_t len) {
  if (!text) len = 0;
  Walk w{text, len, 0};
  int r = -1;
  long long c = 1;
  float m = 0, s = 0, ms = 0;
  auto point = [&]() { return InRange(c, 0, NUM_SLOTS - 1) && InRange(r, 0, NUM_ROWS - 1); };
  Field f;
  while (w.Token(&f)) {
    // A cue name is also read as the next field itself.
    for (;;) {
      VolKey k = VolKeyOf(f);
      Field a, b, v;
      long long slot;
      switch (k) {
        case VK_END:
          return;
        case VK_CUE:
          if (!w.Line(&a)) return;
          if (InRange(r + 1, 0, NUM_ROWS - 1)) CopyFieldText(CueNameBuffer[r + 1], CUE_LEN, a);
          f = a;
          continue;
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
      break;
    }
  }
}

void ParseFaderText(const char* text, size_t len) {
  ParseBufferMulti(text, len);
  ReadVolumes(text, len);
}

// --- The file ---

static bool not_created;  // faders.txt was missing and could not be created

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
  if (!not_created) snprintf(tbuffer, TBUF_LEN, "Read %li bytes from faders.txt", n);
  ParseFaderText(reserve_fbuff.data(), reserve_fbuff.size());
  return n;
}
