// The mix model: the fixed-size global tables that hold the whole mix.
// Every window edits these tables directly, the three mix files save and
// restore them, and the render engine reads them. No FLTK in here.
#ifndef ORVANE_MODEL_H
#define ORVANE_MODEL_H

#include <cstddef>

// The version of the editor and its engine, shown in the start-up banner, by
// --version and in the package name.
#define ORVANE_VERSION "1.065"

// Dimensions and channel slots.
enum {
  NUM_SLOTS = 144,      // 0 master, 1..127 inputs, 128..135 submixes, 136..143 VCAs
  NUM_ROWS = 512,       // time-index rows
  NUM_INPUTS = 127,     // input channels 1..127
  NUM_GROUPS = 8,       // submixes (groups) 1..8, slot 127 + g
  NUM_VCAS = 8,         // VCAs 1..8, slot 135 + v
  NUM_ASN_ROWS = 128,   // rows of SubAsn / VcaAsn (row r = input channel r + 1)
  REC = 8,              // floats in one effect record
  NUM_FX_SLOTS = 136,   // effect records in use: slots 0..135
  NAME_LEN = 128,       // NameBuffer slot, MixName
  CUE_LEN = 64,         // CueNameBuffer slot
  DEVICE_LEN = 32,      // DeviceName
  PATH_LEN = 256,       // Path, WavDirName, MixDirName, LaunchCommand
  TBUF_LEN = 256        // tbuffer
};

inline int GroupSlot(int g) { return 127 + g; }  // submix g = 1..8
inline int VcaSlot(int v) { return 135 + v; }    // VCA v = 1..8
inline int Cell(int slot, int row) { return slot * NUM_ROWS + row; }

// Time index table.
extern float IndexMin[NUM_ROWS];
extern float IndexSec[NUM_ROWS];
extern float IndexMsec[NUM_ROWS];
extern int IndexActiveArray[NUM_ROWS];
extern char CueNameBuffer[NUM_ROWS][CUE_LEN];

// Automation planes, channel-major: element slot * 512 + row.
extern float Volume[NUM_SLOTS * NUM_ROWS];
extern float Offset[NUM_SLOTS * NUM_ROWS];
extern float Ramp[NUM_SLOTS * NUM_ROWS];
extern float Shape[NUM_SLOTS * NUM_ROWS];
extern int ChanActive[NUM_SLOTS * NUM_ROWS];

// Per-channel values.
extern float Pan[NUM_SLOTS];
extern int SoloArray[NUM_SLOTS];
extern int MuteArray[NUM_SLOTS];
extern char NameBuffer[NUM_SLOTS][NAME_LEN];

// The twelve effect tables, one row each: table, keyword, used slots (on flag
// included) and the defaults of those slots. Expanded once for the
// declarations and once for the table of effects.
#define ORVANE_EFFECTS(X)                                   \
  X(Pcomp, "comp", 5, 0, 0, 10, 100, 1.5f)                  \
  X(Prms, "rms", 5, 0, 0, 10, 100, 1.5f)                    \
  X(Pnlc, "nlc", 4, 0, 0, 300, 2, 0)                        \
  X(Plim, "lim", 2, 0, 0, 0, 0, 0)                          \
  X(Plshelf, "lshelf", 4, 0, 500, 0, 1, 0)                  \
  X(Pband1, "band1", 4, 0, 500, 0, 1, 0)                    \
  X(Pband2, "band2", 4, 0, 2500, 0, 1, 0)                   \
  X(Phshelf, "hshelf", 4, 0, 8000, 0, 1, 0)                 \
  X(Php, "hp", 2, 0, 100, 0, 0, 0)                          \
  X(Pfxg, "fxg", 2, 0, 0, 0, 0, 0)                          \
  X(Prev, "rev", 2, 0, 0, 0, 0, 0)                          \
  X(Ptrev, "trev", 2, 0, 0, 0, 0, 0)

#define ORVANE_DECLARE_EFFECT(table, kw, count, d0, d1, d2, d3, d4) \
  extern float table[NUM_SLOTS * REC];
ORVANE_EFFECTS(ORVANE_DECLARE_EFFECT)
#undef ORVANE_DECLARE_EFFECT

struct EffectDef {
  float* table;
  const char* keyword;
  int count;            // used slots, on flag included
  float defaults[5];    // defaults of slots 0..count-1
};
enum {
  FX_COMP, FX_RMS, FX_NLC, FX_LIM, FX_LSHELF, FX_BAND1, FX_BAND2, FX_HSHELF,
  FX_HP, FX_FXG, FX_REV, FX_TREV, NUM_EFFECTS
};
extern const EffectDef Effects[NUM_EFFECTS];

// Reverb and tap reverb globals.
extern float Prtn[2];          // master reverb return, room length (ft)
extern float Ptrtn[3];         // master tap-reverb return, room length, tap count
extern float Prhp[2];          // reverb high pass: on flag, Hz
extern float Prlp[2];          // reverb low pass: on flag, Hz
extern float Prev_width;       // 0..100
extern float Prev_position[3]; // front/back, left/right, floor/ceiling

// Routing: element (n - 1) * 8 + s for input channel n and submix/VCA s + 1.
extern int SubAsn[NUM_ASN_ROWS * 8];
extern int SubOn[8];
extern int VcaAsn[NUM_ASN_ROWS * 8];
extern int VcaOn[8];

// Names and output settings.
extern char MixName[NAME_LEN];
extern char DeviceName[DEVICE_LEN];
extern int PlayMode;

// Preferences.
extern int PreviewOn;
extern float PreviewArray[4];
extern float XinArray[3];
extern float XoutArray[3];
extern float HeadTailArray[2];
extern int OutbitsStore;
extern float PanlawStore;
extern int DitherBits;
extern int monoOn;
extern char Path[PATH_LEN];
extern char WavDirName[PATH_LEN];
extern char MixDirName[PATH_LEN];
extern char LaunchCommand[PATH_LEN];
extern int color;

// Editing context and text buffers.
extern int CNL;                 // channel slot shown in the Effects window
extern char tbuffer[TBUF_LEN];  // status text
extern const char NewLn[];      // "\n"
extern const char NewLnTb[];    // "\t\n"

// The 52 keywords of the mix files (faders.txt and prefs.txt).
#define ORVANE_KEYWORDS(X)                                                   \
  X(Str_hp, "hp") X(Str_comp, "comp") X(Str_rms, "rms") X(Str_nlc, "nlc")    \
  X(Str_lim, "lim") X(Str_fxg, "fxg") X(Str_band1, "band1")                  \
  X(Str_band2, "band2") X(Str_hshelf, "hshelf") X(Str_lshelf, "lshelf")      \
  X(Str_rev, "rev") X(Str_trev, "trev") X(Str_rtn, "rtn") X(Str_trtn, "trtn") \
  X(Str_rhp, "rhp") X(Str_rlp, "rlp") X(Str_width, "width") X(Str_pos, "pos") \
  X(Str_shape, "shape") X(Str_time, "t") X(Str_pan, "p") X(Str_inc, "inc")   \
  X(Str_ofs, "ofs") X(Str_ramp, "rmp") X(Str_vol, "v") X(Str_sub, "sub")     \
  X(Str_vca, "vca") X(Str_VCA_List, "VCA:") X(Str_subname, "subname")        \
  X(Str_vcaname, "vcaname") X(Str_pre, "pre") X(Str_start, "start")          \
  X(Str_length, "length") X(Str_xin, "xin") X(Str_xout, "xout")              \
  X(Str_head, "head") X(Str_tail, "tail") X(Str_oname, "oname")              \
  X(Str_cue, "cue") X(Str_path, "path") X(Str_color, "color")                \
  X(Str_submu, "submu") X(Str_subso, "subso") X(Str_panlaw, "pan")           \
  X(Str_outbits, "outbits") X(Str_mono, "mono") X(Str_play, "play")          \
  X(Str_device, "device") X(Str_wavdir, "wavdir") X(Str_mixdir, "mixdir")    \
  X(Str_launch, "launch") X(Str_dither, "dither")

#define ORVANE_DECLARE_KEYWORD(name, text) extern const char name[];
ORVANE_KEYWORDS(ORVANE_DECLARE_KEYWORD)
#undef ORVANE_DECLARE_KEYWORD

enum { NUM_KEYWORDS = 52 };
extern const char* const Keywords[NUM_KEYWORDS];

// Every table of the mix, one row each, for handling the model as a whole:
// comparing it with a copy, copying parts of it, naming an element that
// changed. Tables that two files share are split by slot so that each row
// lives in one file. Working state (CNL, tbuffer) is not part of the mix.
enum TableLayout {
  BY_CELL,        // automation plane: element slot * 512 + row
  BY_SLOT,        // one element per channel slot (first = slot of element 0)
  BY_ASSIGNMENT,  // one element per input channel (first = channel of element 0)
  BY_ROW,         // one element per time-index row
  BY_VALUE        // a setting of the mix as a whole
};
enum MixFile { IN_FADERS = 1, IN_TRACKS = 2, IN_PREFS = 4, ALL_MIX_FILES = 7 };
struct ModelTable {
  void* data;
  size_t size;          // bytes
  const char* name;     // as the windows label it
  TableLayout layout;
  size_t element;       // bytes of one element
  int first;            // slot, channel or row of element 0
  int file;             // the MixFile that stores it
};
enum { NUM_MODEL_TABLES = 59 };
extern const ModelTable ModelTables[NUM_MODEL_TABLES];
// Total bytes of all model tables.
size_t ModelSize();
// Names the element at byte offset of table t for the user, e.g.
// "volume, channel 2, time index 3"; always NUL-terminated.
void DescribeModelByte(int t, size_t offset, char* out, size_t n);

// Puts every table into its default state, in the documented order.
void ClearInternalArrays();

// Effect-slot guard of the file reader: with mode 1 a channel outside
// 0..135 becomes 135 and a message goes to standard output.
void checkValI(int* channel, int mode);

// A pan law held in the engine's range 0..6 dB: above 6 renders as 6, and
// below 0 (or not a number) as 0, the balance law.
float ClampPanLaw(float law);

// Copies src into a fixed field of size n, cutting it to fit; always
// NUL-terminated. Returns the number of characters copied.
size_t CopyField(char* dst, size_t n, const char* src);

#endif
