// The Faders window: the header with the time-index controls, the bank, the
// mix name and a Mix button, and thirteen fader strips; and the file chooser
// of the strips' browse buttons.
#include <cstdio>
#include <cstring>

#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Button.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Spinner.H>
#include <FL/Fl_Value_Input.H>
#include <FL/Fl_Value_Output.H>
#include <FL/filename.H>

#include "../app/app.h"
#include "../model/model.h"
#include "strips.h"

Fl_Input* MixNameInput;
Fl_Button* MixButton3;
Fl_Spinner* TimeIndex;
Fl_Button* IndexActive;
Fl_Input* CueName;
Fl_Value_Input* GuiMin;
Fl_Value_Input* GuiSec;
Fl_Value_Input* GuiMsec;
Fl_Spinner* Bank;
Fl_Output* name13;

#define ORVANE_DEFINE_STRIP_WIDGET(T, stem, k) T* stem##k;
#define ORVANE_DEFINE_COLUMN(T, stem, n) ORVANE_STRIPS_##n(ORVANE_DEFINE_STRIP_WIDGET, T, stem)
ORVANE_FADER_COLUMNS(ORVANE_DEFINE_COLUMN)

#define ORVANE_STRIP_ADDRESS(T, stem, k) &stem##k,
#define ORVANE_DEFINE_COLUMN_TABLE(T, stem, n) \
  T** const stem##Column[n] = {ORVANE_STRIPS_##n(ORVANE_STRIP_ADDRESS, T, stem)};
ORVANE_FADER_COLUMNS(ORVANE_DEFINE_COLUMN_TABLE)

// One small callback per strip for the columns that edit a single strip.
#define ORVANE_STRIP_CALLBACK(op, stem, k) \
  static void cb_##stem##k(Fl_Widget*, void*) { op(k); }
ORVANE_STRIPS_13(ORVANE_STRIP_CALLBACK, RampToArray, ramp)
ORVANE_STRIPS_13(ORVANE_STRIP_CALLBACK, ShapeToArray, shape)
ORVANE_STRIPS_13(ORVANE_STRIP_CALLBACK, PanToArray, pan)
ORVANE_STRIPS_10(ORVANE_STRIP_CALLBACK, ChooseFile, browse)

#define ORVANE_CALLBACK_NAME(op, stem, k) cb_##stem##k,
static Fl_Callback* const cb_ramp[] = {ORVANE_STRIPS_13(ORVANE_CALLBACK_NAME, 0, ramp)};
static Fl_Callback* const cb_shape[] = {ORVANE_STRIPS_13(ORVANE_CALLBACK_NAME, 0, shape)};
static Fl_Callback* const cb_pan[] = {ORVANE_STRIPS_13(ORVANE_CALLBACK_NAME, 0, pan)};
static Fl_Callback* const cb_browse[] = {ORVANE_STRIPS_10(ORVANE_CALLBACK_NAME, 0, browse)};

static Fl_Menu_Item menu_Edit[] = {
  {"Insert Index", 0, Call<InsertIndex>, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
  {"Remove Index", 0, Call<RemoveIndex>, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
  {"Propagate Index", 0, Call<Propagate>, 0, 0, FL_NORMAL_LABEL, 0, 14, 0},
  {0, 0, 0, 0, 0, 0, 0, 0, 0}
};

// A strip column: where its widget sits on strip line y(k) and the label
// drawn above strip 1.
struct StripColumn {
  int x, dy, w, h;
  const char* label;
};
static const StripColumn kSolo = {26, 2, 16, 16, "so"};
static const StripColumn kMute = {56, 2, 16, 16, "mu"};
static const StripColumn kDispNum = {88, 0, 30, 18, 0};
static const StripColumn kName = {133, 0, 120, 18, 0};
static const StripColumn kBrowse = {255, 1, 14, 18, 0};
static const StripColumn kAuto = {284, 2, 16, 16, "auto"};
static const StripColumn kVol = {313, 0, 58, 20, "volume dB"};
static const StripColumn kOfs = {390, 0, 34, 18, "offset"};
static const StripColumn kRamp = {442, 0, 34, 18, "ramp"};
static const StripColumn kShape = {495, 0, 34, 18, "shape"};
static const StripColumn kPan = {547, 0, 40, 18, "pan %"};

// The few widgets that sit off the grid.
static const struct {
  const StripColumn* column;
  int k, x, y;
} kDepartures[] = {
  {&kRamp, 1, 441, 177}, {&kShape, 1, 494, 177}, {&kMute, 6, 56, 328}, {&kName, 11, 133, 476},
};

static int StripLine(int k) { return 177 + 30 * (k - 1); }

// Creates strip k's widget of a column at its place, with the column label
// on strip 1.
template <class W>
static W* NewStripWidget(const StripColumn& column, int k) {
  int x = column.x, y = StripLine(k) + column.dy;
  for (const auto& d : kDepartures)
    if (d.column == &column && d.k == k) { x = d.x; y = d.y; }
  W* o = new W(x, y, column.w, column.h, k == 1 ? column.label : 0);
  if (k == 1 && column.label) {
    o->labelsize(11);
    o->labelcolor((Fl_Color)175);
    o->align(Fl_Align(FL_ALIGN_TOP));
  }
  return o;
}

// solo, mute and auto: small toggle buttons.
static void NewToggle(Fl_Button** slot, const StripColumn& column, int k, Fl_Color on,
                      Fl_Callback* cb) {
  Fl_Button* o = *slot = NewStripWidget<Fl_Button>(column, k);
  o->type(FL_TOGGLE_BUTTON);
  o->down_box(FL_DOWN_BOX);
  o->selection_color(on);
  o->callback(cb);
}

// Ramp, shape and pan check what they store: they take the value typed once
// it is whole (Enter, or leaving the field), never the part typed so far,
// so that "150" typed into a pan is refused rather than stored as 15.
static const Fl_When kWhole = Fl_When(FL_WHEN_RELEASE | FL_WHEN_ENTER_KEY);

// offset, ramp, shape and pan.
static Fl_Value_Input* NewValueInput(Fl_Value_Input** slot, const StripColumn& column, int k,
                                     Fl_Callback* cb) {
  Fl_Value_Input* o = *slot = NewStripWidget<Fl_Value_Input>(column, k);
  o->color((Fl_Color)49);
  o->textsize(12);
  o->callback(cb);
  return o;
}

// A header label: above the widget, to the left.
static void HeaderLabel(Fl_Widget* o, int size) {
  o->labelsize(size);
  o->labelcolor((Fl_Color)175);
  o->align(Fl_Align(FL_ALIGN_TOP_LEFT));
}

static Fl_Spinner* NewHeaderSpinner(int x, int y, int w, const char* label, double max) {
  Fl_Spinner* o = new Fl_Spinner(x, y, w, 24, label);
  HeaderLabel(o, 12);
  o->minimum(1);
  o->maximum(max);
  o->step(1);
  o->value(1);
  o->textsize(12);
  o->when(FL_WHEN_CHANGED);
  o->callback(Call<StageVolVarnUpdate>);
  return o;
}

static Fl_Value_Input* NewTimeField(int x, const char* label) {
  Fl_Value_Input* o = new Fl_Value_Input(x, 80, 40, 20, label);
  HeaderLabel(o, 11);
  o->color((Fl_Color)49);
  o->textfont(FL_HELVETICA_BOLD);
  o->textsize(12);
  o->callback(Call<StoreTime>);
  return o;
}

static Fl_Input* NewHeaderInput(int x, int y, int w, int h, const char* label, Fl_Callback* cb) {
  Fl_Input* o = new Fl_Input(x, y, w, h, label);
  HeaderLabel(o, 12);
  o->textsize(12);
  o->callback(cb);
  return o;
}

Fl_Double_Window* make_window2() {
  Fl_Double_Window* w = new Fl_Double_Window(620, 575, "Faders");
  w->color((Fl_Color)97);
  TimeIndex = NewHeaderSpinner(26, 80, 50, "time index", 512);
  Bank = NewHeaderSpinner(26, 132, 40, "channel bank", 12);
  GuiMin = NewTimeField(399, "min/meas");
  GuiSec = NewTimeField(473, "sec/beat");
  GuiMsec = NewTimeField(547, "msec/tick");
  for (int k = 1; k <= 13; k++) NewValueInput(ofsColumn[k - 1], kOfs, k, Call<OffsetToArray>);
  for (int k = 1; k <= 13; k++)
    NewValueInput(rampColumn[k - 1], kRamp, k, cb_ramp[k - 1])->when(kWhole);
  { name13 = new Fl_Output(133, 537, 120, 18);
    name13->color((Fl_Color)49);
    name13->textsize(12);
  }
  for (int k = 1; k <= 12; k++) {
    Fl_Value_Output* o = *DispNumColumn[k - 1] = NewStripWidget<Fl_Value_Output>(kDispNum, k);
    o->textsize(12);
    o->callback(Call<UpdateDisplayNumbers>);
    if (k == 1) o->when(FL_WHEN_CHANGED | FL_WHEN_NOT_CHANGED);
  }
  for (int k = 1; k <= 13; k++) {
    Fl_Spinner* o = *volColumn[k - 1] = NewStripWidget<Fl_Spinner>(kVol, k);
    o->type(FL_FLOAT_INPUT);
    o->minimum(-144);
    o->maximum(12);
    o->step(0.1);
    o->value(0);
    o->textfont(FL_HELVETICA_BOLD);
    o->textsize(12);
    o->when(FL_WHEN_CHANGED);
    o->callback(Call<VolumeToArray>);
  }
  for (int k = 1; k <= 10; k++) {
    Fl_Input* o = *nameColumn[k - 1] = NewStripWidget<Fl_Input>(kName, k);
    o->textsize(12);
    o->callback(Call<StoreNames>);
  }
  CueName = NewHeaderInput(212, 80, 120, 20, "cue name", Call<CueNameToArray>);
  { MixButton3 = new Fl_Button(489, 25, 100, 28, "Mix");
    MixButton3->box(FL_ROUND_UP_BOX);
    MixButton3->down_box(FL_ROUND_UP_BOX);
    MixButton3->shortcut(FL_CTRL + 'm');
    MixButton3->labelsize(12);
    MixButton3->callback(Call<Mix>);
  }
  MixNameInput = NewHeaderInput(26, 32, 150, 18, "mix name", Call<StoreMixName>);
  { Fl_Menu_Button* o = new Fl_Menu_Button(399, 116, 85, 20, "Edit Index");
    o->labelsize(12);
    o->textsize(12);
    o->menu(menu_Edit);
  }
  for (int k = 1; k <= 10; k++) {
    Fl_Button* o = *browseColumn[k - 1] = NewStripWidget<Fl_Button>(kBrowse, k);
    o->label("*");
    o->callback(cb_browse[k - 1]);
  }
  for (int k = 11; k <= 12; k++) {
    Fl_Input* o = *nameColumn[k - 1] = NewStripWidget<Fl_Input>(kName, k);
    o->label(k == 11 ? "sub" : "vca");
    o->labelsize(10);
    o->labelcolor((Fl_Color)3);
    o->align(Fl_Align(FL_ALIGN_TOP));
    o->textsize(12);
    o->callback(Call<StoreNames>);
  }
  // solo2 and mute2 come before strip 1's: the keyboard order of the window.
  static const int kSoloOrder[] = {2, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  for (int k : kSoloOrder) NewToggle(soloColumn[k - 1], kSolo, k, (Fl_Color)63, Call<SoloToArray>);
  for (int k : kSoloOrder) NewToggle(muteColumn[k - 1], kMute, k, (Fl_Color)89, Call<MuteToArray>);
  for (int k = 1; k <= 13; k++)
    NewToggle(AColumn[k - 1], kAuto, k, (Fl_Color)229, Call<ChannelActiveToArray>);
  { IndexActive = new Fl_Button(103, 80, 80, 20, "Active");
    IndexActive->type(FL_TOGGLE_BUTTON);
    IndexActive->down_box(FL_DOWN_BOX);
    IndexActive->selection_color((Fl_Color)229);
    IndexActive->labelsize(12);
    IndexActive->align(Fl_Align(FL_ALIGN_CENTER | FL_ALIGN_INSIDE));
    IndexActive->callback(Call<IndexActiveToArray>);
  }
  for (int k = 1; k <= 13; k++) {
    Fl_Value_Input* o = NewValueInput(shapeColumn[k - 1], kShape, k, cb_shape[k - 1]);
    o->when(kWhole);
    o->minimum(0.125);
    o->maximum(8);
    o->value(1);
  }
  for (int k = 1; k <= 13; k++) {
    Fl_Value_Input* o = NewValueInput(panColumn[k - 1], kPan, k, cb_pan[k - 1]);
    o->when(kWhole);
    o->minimum(-100);
    o->maximum(100);
    o->step(1);
    ShowStepDecimals(o);
  }
  // Last, after the widgets of the keyboard order: the curve view's button.
  { Fl_Button* o = new Fl_Button(389, 29, 85, 20, "Automation");   // its curve view
    o->labelsize(12);
    o->callback(Call<ShowAutomation>);
  }
  w->end();
  FadersWindow = w;
  return w;
}

// --- Browse buttons ------------------------------------------------------

// A new chooser each time; the one opened before is closed (choosers are
// modal) and is disposed of here.
void ChooseFile(int k) {
  BrowseNumber = k;
  delete CH;
  CH = new Fl_File_Chooser(".", 0, Fl_File_Chooser::SINGLE, 0);
  CH->show();
  CH->callback(Set_File, 0);
}

void Set_File(Fl_File_Chooser* chooser, void*) {
  StoreChosenFile(chooser && chooser->count() > 0 ? chooser->value(1) : 0);
}

// With nothing chosen the chooser reports nothing or its directory: the name
// stays. A path longer than a name slot is refused rather than cut into the
// name of another file.
void StoreChosenFile(const char* path) {
  if (!path || !*path || path[strlen(path) - 1] == '/' || fl_filename_isdir(path)) return;
  if (BrowseNumber < 1 || BrowseNumber > NUM_BROWSE) return;
  int c = StripSlot(BrowseNumber);
  if (c < 0) return;
  size_t len = strlen(path);
  if (len > NAME_LEN - 1) {
    snprintf(tbuffer, TBUF_LEN, "Path too long for a track name (%zu characters, at most %d)",
             len, NAME_LEN - 1);
    ShowStatus();
    return;
  }
  CopyField(NameBuffer[c], NAME_LEN, path);
  UpdateView();
}
