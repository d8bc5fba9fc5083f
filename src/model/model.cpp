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
