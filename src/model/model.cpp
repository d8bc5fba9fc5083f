#include "model.h"

#include <cstdio>
#include <cstring>

float IndexMin[NUM_ROWS];
float IndexSec[NUM_ROWS];
float IndexMsec[NUM_ROWS];
int IndexActiveArray[NUM_ROWS];
char CueNameBuffer[NUM_ROWS][CUE_LEN];

float Volume[NUM_SLOTS * NUM_ROWS];
float Offset[NUM_SLOTS * NUM_ROWS];
float Ramp[NUM_SLOTS * NUM_ROWS];
float Shape[NUM_SLOTS * NUM_ROWS];
int ChanActive[NUM_SLOTS * NUM_ROWS];

float Pan[NUM_SLOTS];
int SoloArray[NUM_SLOTS];
int MuteArray[NUM_SLOTS];
char NameBuffer[NUM_SLOTS][NAME_LEN];

#define ORVANE_DEFINE_EFFECT(table, kw, count, d0, d1, d2, d3, d4) \
  float table[NUM_SLOTS * REC];
ORVANE_EFFECTS(ORVANE_DEFINE_EFFECT)
#undef ORVANE_DEFINE_EFFECT

#define ORVANE_EFFECT_ROW(table, kw, count, d0, d1, d2, d3, d4) \
  {table, kw, count, {d0, d1, d2, d3, d4}},
const EffectDef Effects[NUM_EFFECTS] = {ORVANE_EFFECTS(ORVANE_EFFECT_ROW)};
#undef ORVANE_EFFECT_ROW

float Prtn[2];
float Ptrtn[3];
float Prhp[2];
float Prlp[2];
float Prev_width;
float Prev_position[3];

int SubAsn[NUM_ASN_ROWS * 8];
int SubOn[8];
int VcaAsn[NUM_ASN_ROWS * 8];
int VcaOn[8];

char MixName[NAME_LEN];
char DeviceName[DEVICE_LEN];
int PlayMode;

int PreviewOn;
float PreviewArray[4];
float XinArray[3];
float XoutArray[3];
float HeadTailArray[2];
int OutbitsStore;
float PanlawStore;
int DitherBits;
int monoOn;
char Path[PATH_LEN];
char WavDirName[PATH_LEN];
char MixDirName[PATH_LEN];
char LaunchCommand[PATH_LEN];
int color = 97;

int CNL = 1;
char tbuffer[TBUF_LEN] = "Orvane  version " ORVANE_VERSION "  by the Orvane mixing team";
const char NewLn[] = "\n";
const char NewLnTb[] = "\t\n";

#define ORVANE_DEFINE_KEYWORD(name, text) const char name[] = text;
ORVANE_KEYWORDS(ORVANE_DEFINE_KEYWORD)
#undef ORVANE_DEFINE_KEYWORD

#define ORVANE_KEYWORD_ROW(name, text) name,
const char* const Keywords[NUM_KEYWORDS] = {ORVANE_KEYWORDS(ORVANE_KEYWORD_ROW)};
#undef ORVANE_KEYWORD_ROW

template <typename T, size_t N>
static void Fill(T (&table)[N], T value) {
  for (size_t i = 0; i < N; i++) table[i] = value;
}

// --- The model as a whole ---------------------------------------------------

#define T_ROW(t, name) {t, sizeof t, name, BY_ROW, sizeof t[0], 0, IN_FADERS}
#define T_CELL(t, name) {t, sizeof t, name, BY_CELL, sizeof t[0], 0, IN_FADERS}
#define T_VALUE(t, name, file) {&t, sizeof t, name, BY_VALUE, sizeof t, 0, file}
#define T_FX(t, name) {t, sizeof t, name, BY_SLOT, REC * sizeof(float), 0, IN_FADERS}
// Slot 0 and the submixes and VCAs live in faders.txt, input channels in tracks.txt.
#define T_SPLIT(t, name)                                                         \
  {&t[0], sizeof t[0], name, BY_SLOT, sizeof t[0], 0, IN_FADERS},                 \
  {&t[1], NUM_INPUTS * sizeof t[0], name, BY_SLOT, sizeof t[0], 1, IN_TRACKS},    \
  {&t[NUM_INPUTS + 1], (NUM_SLOTS - NUM_INPUTS - 1) * sizeof t[0], name, BY_SLOT, \
   sizeof t[0], NUM_INPUTS + 1, IN_FADERS}

const ModelTable ModelTables[] = {
  T_ROW(IndexMin, "time (min/meas)"), T_ROW(IndexSec, "time (sec/beat)"),
  T_ROW(IndexMsec, "time (msec/tick)"), T_ROW(IndexActiveArray, "Active"),
  T_ROW(CueNameBuffer, "cue name"),
  T_CELL(Volume, "volume"), T_CELL(Offset, "offset"), T_CELL(Ramp, "ramp"),
  T_CELL(Shape, "shape"), T_CELL(ChanActive, "auto"),
  {Pan, sizeof Pan, "pan", BY_SLOT, sizeof Pan[0], 0, IN_FADERS},
  T_SPLIT(SoloArray, "solo"), T_SPLIT(MuteArray, "mute"), T_SPLIT(NameBuffer, "name"),
  T_FX(Pcomp, "Peak Comp"), T_FX(Prms, "RMS Comp"), T_FX(Pnlc, "Non Lin Comp"),
  T_FX(Plim, "Limiter"), T_FX(Plshelf, "EQ: Low Shelf"), T_FX(Pband1, "EQ: Band 1"),
  T_FX(Pband2, "EQ: Band 2"), T_FX(Phshelf, "EQ: High Shelf"), T_FX(Php, "EQ: High Pass"),
  T_FX(Pfxg, "Effects Gain"), T_FX(Prev, "Reverb send"), T_FX(Ptrev, "Tap Reverb send"),
  T_VALUE(Prtn, "reverb return and room", IN_FADERS),
  T_VALUE(Ptrtn, "tap reverb return, room and taps", IN_FADERS),
  T_VALUE(Prhp, "reverb high pass", IN_FADERS), T_VALUE(Prlp, "reverb low pass", IN_FADERS),
  T_VALUE(Prev_width, "reverb width", IN_FADERS),
  T_VALUE(Prev_position, "reverb position", IN_FADERS),
  {SubAsn, sizeof SubAsn, "submix assignment", BY_ASSIGNMENT, 8 * sizeof(int), 1, IN_FADERS},
  T_VALUE(SubOn, "submix in use", IN_FADERS),
  {VcaAsn, sizeof VcaAsn, "VCA assignment", BY_ASSIGNMENT, 8 * sizeof(int), 1, IN_FADERS},
  T_VALUE(VcaOn, "VCA in use", IN_FADERS),
  T_VALUE(MixName, "mix name", IN_FADERS),
  T_VALUE(DeviceName, "device", IN_PREFS), T_VALUE(PlayMode, "play mode", IN_PREFS),
  T_VALUE(PreviewOn, "preview", IN_PREFS), T_VALUE(PreviewArray, "preview time", IN_PREFS),
  T_VALUE(XinArray, "Xin", IN_PREFS), T_VALUE(XoutArray, "Xout", IN_PREFS),
  T_VALUE(HeadTailArray, "head / tail", IN_PREFS), T_VALUE(OutbitsStore, "output bits", IN_PREFS),
  T_VALUE(PanlawStore, "pan law", IN_PREFS), T_VALUE(DitherBits, "dither", IN_PREFS),
  T_VALUE(monoOn, "mono", IN_PREFS), T_VALUE(Path, "path to vorlax4", IN_PREFS),
  T_VALUE(WavDirName, "wave directory", IN_PREFS), T_VALUE(MixDirName, "mix directory", IN_PREFS),
  T_VALUE(LaunchCommand, "launch command", IN_PREFS), T_VALUE(color, "colour", IN_PREFS),
};

size_t ModelSize() {
  size_t n = 0;
  for (const ModelTable& t : ModelTables) n += t.size;
  return n;
}

static void SlotName(int slot, char* out, size_t n) {
  if (slot == 0)
    snprintf(out, n, "master");
  else if (slot <= NUM_INPUTS)
    snprintf(out, n, "channel %i", slot);
  else if (slot <= GroupSlot(NUM_GROUPS))
    snprintf(out, n, "submix %i", slot - GroupSlot(0));
  else
    snprintf(out, n, "VCA %i", slot - VcaSlot(0));
}

void DescribeModelByte(int t, size_t offset, char* out, size_t n) {
  const ModelTable& m = ModelTables[t];
  int i = m.first + (int)(offset / m.element);
  char slot[32];
  switch (m.layout) {
    case BY_CELL:
      SlotName(i / NUM_ROWS, slot, sizeof slot);
      snprintf(out, n, "%s, %s, time index %i", m.name, slot, i % NUM_ROWS + 1);
      break;
    case BY_SLOT:
      SlotName(i, slot, sizeof slot);
      snprintf(out, n, "%s, %s", m.name, slot);
      break;
    case BY_ASSIGNMENT: snprintf(out, n, "%s, channel %i", m.name, i); break;
    case BY_ROW: snprintf(out, n, "%s, time index %i", m.name, i + 1); break;
    case BY_VALUE: snprintf(out, n, "%s", m.name); break;
  }
}

size_t CopyField(char* dst, size_t n, const char* src) {
  if (n == 0) return 0;
  size_t len = src ? strnlen(src, n - 1) : 0;
  if (len) memcpy(dst, src, len);
  dst[len] = '\0';
  return len;
}

float ClampPanLaw(float law) {
  if (!(law > 0)) return 0;  // NaN too: the balance law, as the engine takes it
  return law > 6 ? 6.0f : law;
}

void ClearInternalArrays() {
  CNL = 1;

  for (const EffectDef& fx : Effects)
    for (int c = 0; c < NUM_SLOTS; c++)
      for (int k = 0; k < REC; k++)
        fx.table[c * REC + k] = k < fx.count ? fx.defaults[k] : 0.0f;
  Ptrtn[0] = 0; Ptrtn[1] = 150; Ptrtn[2] = 5;
  Prtn[0] = 0; Prtn[1] = 150;
  Prhp[0] = 0; Prhp[1] = 150;
  Prlp[0] = 0; Prlp[1] = 7000;
  Prev_position[0] = 37; Prev_position[1] = 39; Prev_position[2] = 43;
  Prev_width = 50;

  for (int c = 0; c < 128; c++) NameBuffer[c][0] = '\0';
  for (int g = 1; g <= NUM_GROUPS; g++)
    snprintf(NameBuffer[GroupSlot(g)], NAME_LEN, "Submix %i", g);
  for (int v = 1; v <= NUM_VCAS; v++)
    snprintf(NameBuffer[VcaSlot(v)], NAME_LEN, "VCA %i", v);
  CopyField(NameBuffer[0], NAME_LEN, "Master");
  for (int r = 0; r < NUM_ROWS; r++) CueNameBuffer[r][0] = '\0';

  Path[0] = MixDirName[0] = WavDirName[0] = LaunchCommand[0] = '\0';
  CopyField(MixName, NAME_LEN, "MixFilename");
  CopyField(DeviceName, DEVICE_LEN, "default");

  Fill(Volume, 0.0f);
  Fill(Ramp, 0.0f);
  Fill(Shape, 1.0f);
  Fill(Offset, 0.0f);
  Fill(Pan, 0.0f);
  Fill(IndexMin, 0.0f);
  Fill(IndexSec, 0.0f);
  Fill(IndexMsec, 0.0f);
  Fill(IndexActiveArray, 0);
  IndexActiveArray[0] = 1;
  Fill(ChanActive, 0);
  Fill(SoloArray, 0);
  Fill(MuteArray, 0);
  Fill(SubAsn, 0);
  Fill(VcaAsn, 0);
  Fill(SubOn, 0);
  Fill(VcaOn, 0);

  PreviewOn = 0;
  monoOn = 0;
  Fill(PreviewArray, 0.0f);
  Fill(XinArray, 0.0f);
  Fill(XoutArray, 0.0f);
  OutbitsStore = 24;
  PanlawStore = 3.0f;
  PlayMode = 0;
  DitherBits = 1;
}

void checkValI(int* channel, int mode) {
  if (mode == 1 && (*channel < 0 || *channel > 135)) {
    *channel = 135;
    printf(">>Channel number out of range or not specified!\n");
  }
}
