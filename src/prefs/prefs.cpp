// The Preferences window: preview, Xin and Xout, head and tail, output bits,
// mono, pan law, dither, the three directories, the launch command and the
// window colour of all seven windows. Each widget's callback copies its value
// into the mix model; UpdatePreferences copies the model back.
#include "prefs.h"

#include <cfloat>
#include <cstdio>
#include <cstring>

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Spinner.H>
#include <FL/Fl_Value_Input.H>

#include "../app/app.h"
#include "../model/model.h"

Fl_Round_Button *PreOn, *PreOff;
Fl_Value_Input *Preview_Min, *Preview_Length, *Preview_Sec, *Preview_Msec;
Fl_Value_Input *Xin_Min, *Xin_Sec, *Xin_Msec;
Fl_Value_Input *Xout_Min, *Xout_Sec, *Xout_Msec;
Fl_Value_Input *head, *tail;
Fl_Button* MixButton;
Fl_Input *PathDisplay, *WavDirDisplay, *MixDirDisplay, *LaunchDisplay;
Fl_Round_Button *outbits16button, *outbits24button, *monobutton;
Fl_Value_Input* panlaw;
Fl_Button *browseD1, *browseD2, *browseD3;
Fl_Spinner *dither, *bgcolor;

// --- Building the window ---

static void Labelled(Fl_Widget* o) {
  o->labelsize(12);
  o->labelcolor((Fl_Color)215);
}

static Fl_Round_Button* Toggle(int x, int y, const char* label, Fl_Callback* cb) {
  Fl_Round_Button* o = new Fl_Round_Button(x, y, 70, 15, label);
  o->type(FL_TOGGLE_BUTTON);
  o->down_box(FL_DOWN_BOX);
  Labelled(o);
  o->callback(cb);
  return o;
}

static Fl_Value_Input* ValueField(int x, int y, int w, const char* label, double max,
                                  double step, Fl_Callback* cb) {
  Fl_Value_Input* o = new Fl_Value_Input(x, y, w, 20, label);
  Labelled(o);
  o->minimum(0);
  o->maximum(max);
  o->step(step);
  ShowStepDecimals(o);
  o->textsize(12);
  o->callback(cb);
  return o;
}

// A text field never holds more than its 255-character model field.
static Fl_Input* TextField(int x, int y, int w, const char* label, Fl_Callback* cb) {
  Fl_Input* o = new Fl_Input(x, y, w, 18, label);
  Labelled(o);
  o->textsize(12);
  o->align(Fl_Align(FL_ALIGN_TOP_LEFT));
  o->maximum_size(PATH_LEN - 1);
  o->callback(cb);
  return o;
}

static Fl_Spinner* Spinner(int y, const char* label, double max, double start, Fl_Callback* cb) {
  Fl_Spinner* o = new Fl_Spinner(334, y, 40, 20, label);
  Labelled(o);
  o->minimum(0);
  o->maximum(max);
  o->step(1);
  o->value(start);
  o->textsize(12);
  o->callback(cb);
  return o;
}

template <int Target>
static void cb_browseD(Fl_Widget*, void*) { ChooseDirectory(Target); }

static Fl_Button* Browse(int y, Fl_Callback* cb) {
  Fl_Button* o = new Fl_Button(212, y, 14, 18, "*");
  o->callback(cb);
  return o;
}

Fl_Double_Window* make_window3() {
  Fl_Double_Window* w = new Fl_Double_Window(430, 375, "Preferences");
  w->color((Fl_Color)97);
  w->labelsize(12);
  PreOn = Toggle(59, 26, "Preview Mode On", Call<PreviewOnSwitch>);
  PreOff = Toggle(282, 26, "Preview Mode Off", Call<PreviewOffSwitch>);
  PreOff->value(1);
  Preview_Min = ValueField(60, 57, 30, "Start", 9999, 0.1, Call<PreviewToArray>);
  Preview_Length = ValueField(60, 87, 40, "Length", 9999, 0.1, Call<PreviewToArray>);
  Preview_Sec = ValueField(100, 57, 50, 0, 9999, 0.01, Call<PreviewToArray>);
  Preview_Msec = ValueField(160, 57, 30, 0, 9999, 1, Call<PreviewToArray>);
  Xin_Min = ValueField(283, 57, 30, "Xin", 9999, 0.1, Call<XinToArray>);
  Xin_Sec = ValueField(323, 57, 40, 0, 9999, 0.01, Call<XinToArray>);
  Xin_Msec = ValueField(374, 57, 40, 0, 9999, 1, Call<XinToArray>);
  Xout_Min = ValueField(283, 87, 30, "Xout", 9999, 0.1, Call<XoutToArray>);
  Xout_Sec = ValueField(323, 87, 40, 0, 9999, 0.01, Call<XoutToArray>);
  Xout_Msec = ValueField(374, 87, 40, 0, 9999, 1, Call<XoutToArray>);
  head = ValueField(283, 118, 47, "Head", 9999, 0.001, Call<HeadTailToArray>);
  tail = ValueField(283, 149, 47, "Tail", 9999, 0.001, Call<HeadTailToArray>);
  {
    Fl_Button* o = MixButton = new Fl_Button(16, 316, 100, 28, "Mix");
    o->box(FL_ROUND_UP_BOX);
    o->down_box(FL_ROUND_UP_BOX);
    o->shortcut(FL_CTRL + 'm');
    o->labelsize(12);
    o->callback(Call<Mix>);
  }
  PathDisplay = TextField(17, 140, 193, "Path to Vorlax4", Call<StorePath>);
  outbits16button = Toggle(280, 195, "16 bit output", Call<Outbits16ToArray>);
  outbits16button->color(FL_WHITE);
  outbits24button = Toggle(280, 217, "24 bit output", Call<Outbits24ToArray>);
  outbits24button->value(1);
  panlaw = ValueField(334, 306, 30, "Pan law", 6, 0.1, Call<PanlawToArray>);
  panlaw->value(3);
  WavDirDisplay = TextField(17, 228, 193, "Wavefile Directory", Call<StoreWaveDir>);
  MixDirDisplay = TextField(17, 274, 193, "Mix Directory", Call<StoreMixDir>);
  monobutton = Toggle(280, 240, "mono output", Call<MonoToArray>);
  monobutton->color(FL_WHITE);
  LaunchDisplay = TextField(17, 184, 207, "Launch Command", Call<StoreLaunch>);
  browseD1 = Browse(141, cb_browseD<1>);
  browseD2 = Browse(229, cb_browseD<2>);
  browseD3 = Browse(275, cb_browseD<3>);
  dither = Spinner(271, "Dither", 8, 1, Call<DitherToArray>);
  bgcolor = Spinner(341, "Color", 255, 97, Call<SetColor>);
  w->end();
  return w;
}

// --- Edits ---

// A field's double as a float; values past the float range become its limits.
static float ToFloat(double v) {
  if (v > FLT_MAX) return FLT_MAX;
  if (v < -FLT_MAX) return -FLT_MAX;
  return (float)v;
}

// A spinner's value truncated toward zero and held in lo..hi (NaN gives lo).
static int SpinnerInt(const Fl_Spinner* s, int lo, int hi) {
  double v = s->value();
  if (!(v >= lo)) return lo;
  if (v > hi) return hi;
  return (int)v;
}

void PreviewToArray() {
  PreviewArray[0] = ToFloat(Preview_Min->value());
  PreviewArray[1] = ToFloat(Preview_Sec->value());
  PreviewArray[2] = ToFloat(Preview_Msec->value());
  PreviewArray[3] = ToFloat(Preview_Length->value());
  ClearStatus();
}

void XinToArray() {
  XinArray[0] = ToFloat(Xin_Min->value());
  XinArray[1] = ToFloat(Xin_Sec->value());
  XinArray[2] = ToFloat(Xin_Msec->value());
  ClearStatus();
}

void XoutToArray() {
  XoutArray[0] = ToFloat(Xout_Min->value());
  XoutArray[1] = ToFloat(Xout_Sec->value());
  XoutArray[2] = ToFloat(Xout_Msec->value());
  ClearStatus();
}

void HeadTailToArray() {
  HeadTailArray[0] = ToFloat(head->value());
  HeadTailArray[1] = ToFloat(tail->value());
  ClearStatus();
}

// The pan law is held in 0..6, and the field shows the value held.
void PanlawToArray() {
  PanlawStore = ClampPanLaw(ToFloat(panlaw->value()));
  if (panlaw->value() != PanlawStore) panlaw->value(PanlawStore);
  ClearStatus();
}

// Two toggle buttons kept exclusive: the one clicked decides, and clicking
// the one that is on moves the choice to the other. Returns whether the
// clicked button is now on.
static bool Exclusive(Fl_Round_Button* clicked, Fl_Round_Button* other) {
  bool on = clicked->value() != 0;
  other->value(on ? 0 : 1);
  return on;
}

void PreviewOnSwitch() {
  PreviewOn = Exclusive(PreOn, PreOff) ? 1 : 0;
  ClearStatus();
}

void PreviewOffSwitch() {
  PreviewOn = Exclusive(PreOff, PreOn) ? 0 : 1;
  ClearStatus();
}

void Outbits16ToArray() {
  OutbitsStore = Exclusive(outbits16button, outbits24button) ? 16 : 24;
  ClearStatus();
}

void Outbits24ToArray() {
  OutbitsStore = Exclusive(outbits24button, outbits16button) ? 24 : 16;
  ClearStatus();
}

void MonoToArray() {
  monoOn = monobutton->value() ? 1 : 0;
  ClearStatus();
}

// Leaves the status line as it is.
void DitherToArray() {
  DitherBits = SpinnerInt(dither, (int)dither->minimum(), (int)dither->maximum());
}

// The text fields leave the status line as it is.
void StorePath() { CopyField(Path, PATH_LEN, PathDisplay->value()); }
void StoreWaveDir() { CopyField(WavDirName, PATH_LEN, WavDirDisplay->value()); }
void StoreMixDir() { CopyField(MixDirName, PATH_LEN, MixDirDisplay->value()); }
void StoreLaunch() { CopyField(LaunchCommand, PATH_LEN, LaunchDisplay->value()); }

// --- Window colour ---

static Fl_Double_Window** const coloured_windows[] = {
  &FadersWindow, &PrefsWindow, &SubWindow, &EffectsWindow,
  &ControlWindow, &VCAWindow, &ReverbWindow, &AutomationWindow};

// Shows a colour in the spinner and gives it to every window.
static void ApplyColor(int c) {
  if (bgcolor->value() != c) bgcolor->value(c);
  for (Fl_Double_Window** w : coloured_windows)
    if (*w) (*w)->color((Fl_Color)c);
  for (Fl_Double_Window** w : coloured_windows)
    if (*w) (*w)->redraw();
}

// Stores the colour spinner, held in 0..255, and applies it.
void SetColor() {
  if (!bgcolor) return;
  color = SpinnerInt(bgcolor, 0, 255);
  ApplyColor(color);
}

// --- Refresh ---

static void SetExclusive(Fl_Round_Button* a, Fl_Round_Button* b, bool a_on) {
  a->value(a_on ? 1 : 0);
  b->value(a_on ? 0 : 1);
}

void UpdatePreferences() {
  if (!head) return;   // not built yet
  head->value(HeadTailArray[0]);
  tail->value(HeadTailArray[1]);
  Preview_Min->value(PreviewArray[0]);
  Preview_Sec->value(PreviewArray[1]);
  Preview_Msec->value(PreviewArray[2]);
  Preview_Length->value(PreviewArray[3]);
  Xin_Min->value(XinArray[0]);
  Xin_Sec->value(XinArray[1]);
  Xin_Msec->value(XinArray[2]);
  Xout_Min->value(XoutArray[0]);
  Xout_Sec->value(XoutArray[1]);
  Xout_Msec->value(XoutArray[2]);
  SetExclusive(PreOn, PreOff, PreviewOn == 1);
  PathDisplay->value(Path);
  WavDirDisplay->value(WavDirName);
  MixDirDisplay->value(MixDirName);
  LaunchDisplay->value(LaunchCommand);
  if (OutbitsStore == 16 || OutbitsStore == 24)
    SetExclusive(outbits16button, outbits24button, OutbitsStore == 16);
  monobutton->value(monoOn == 1 ? 1 : 0);
  panlaw->value(PanlawStore);
  ApplyColor(color < 0 ? 0 : color > 255 ? 255 : color);   // the model keeps its value
  dither->value(DitherBits);
}

// --- Directory choosers ---

struct DirTarget {
  char* field;
  Fl_Input** display;
};
static const DirTarget dir_targets[] = {
  {Path, &PathDisplay}, {WavDirName, &WavDirDisplay}, {MixDirName, &MixDirDisplay}};

// The previous chooser (closed: choosers are modal) is disposed of first.
void ChooseDirectory(int target) {
  BrowseNumber = target;
  delete CH;
  CH = new Fl_File_Chooser(".", 0, Fl_File_Chooser::DIRECTORY, 0);
  CH->show();
  CH->callback(Set_Directory, 0);
}

// The chooser also reports single clicks while it is still open; only the
// choice confirmed with OK is stored, and Cancel leaves everything as it was.
// The choice is the directory selected (or, with none selected, the one
// shown).
void Set_Directory(Fl_File_Chooser*, void*) {
  if (!CH || CH->shown()) return;
  const char* dir = CH->value();
  if (!dir) return;
  StoreDirectory(BrowseNumber, dir);
}

// Path is a prefix of the engine's command, so it gets its final separator.
void StoreDirectory(int target, const char* dir) {
  if (target < 1 || target > 3 || !dir) return;
  const DirTarget& t = dir_targets[target - 1];
  size_t len = strlen(dir);
  bool separator = target == 1 && len > 0 && dir[len - 1] != '/';
  if (len + separator > PATH_LEN - 1) {
    snprintf(tbuffer, TBUF_LEN,
             "Directory name too long (%zu characters, at most %d): not stored",
             len + separator, PATH_LEN - 1);
    ShowStatus();
    return;
  }
  memcpy(t.field, dir, len);
  if (separator) t.field[len++] = '/';
  t.field[len] = '\0';
  if (*t.display) (*t.display)->value(t.field);
}
