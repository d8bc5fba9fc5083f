// Channel effects: the channel shown in the Effects window (CNL), the store
// operations that copy an effect's widgets into its record, the load step
// that copies the records back, and the Effects and Reverb windows.
#include "effects.h"

#include <cmath>
#include <cstdint>

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Spinner.H>
#include <FL/Fl_Value_Slider.H>

#include "../app/app.h"
#include "../model/model.h"

Fl_Round_Button* SelectRegularChannel;
Fl_Round_Button* SelectGroupChannel;
Fl_Round_Button* SelectMasterChannel;
Fl_Spinner* RegularNum;
Fl_Spinner* GroupNum;
Fl_Output* NameInEffects;

#define ORVANE_DEFINE_SWITCH(name) Fl_Button* name;
#define ORVANE_DEFINE_SLIDER(name) Fl_Value_Slider* name;
ORVANE_FX_SWITCHES(ORVANE_DEFINE_SWITCH)
ORVANE_FX_SLIDERS(ORVANE_DEFINE_SLIDER)
#undef ORVANE_DEFINE_SWITCH
#undef ORVANE_DEFINE_SLIDER

// ---------------------------------------------------------------------------
// The tables: the effect grid, the Reverb window, the creation order.

static void ComptoArray();
static void RmstoArray();
static void NlctoArray();
static void LimtoArray();
static void LshelftoArray();
static void Band1toArray();
static void Band2toArray();
static void HshelftoArray();
static void HpassToArray();
static void FXGtoArray();
static void ReverbToArray();
static void TreverbToArray();

struct SliderDef {
  Fl_Value_Slider** widget;
  const char* label;
  double lo, hi, step, initial;
};

// One cell of the effect grid: the switch and sliders of one effect record.
// Its sliders hold slots 1.. of the record, as many as Effects[fx] uses.
struct CellDef {
  int fx;                 // index into Effects[]
  Fl_Button** sw;
  const char* label;
  void (*store)();        // installed on the switch and every slider
  SliderDef slider[4];
};

// Row by row, left to right: column i of a row sits at x = 30 + 120 i.
static const CellDef cells[NUM_EFFECTS] = {
  {FX_COMP, &comp0, "Peak Comp", ComptoArray,
   {{&comp1, "threshold", -30.0, 0.0, 0.1, 0},
    {&comp2, "attack", 0.1, 50.0, 0.1, 10},
    {&comp3, "release", 10, 1000, 1, 200},
    {&comp4, "ratio", 1.1, 4.0, 0.1, 1.5}}},
  {FX_RMS, &rms0, "RMS Comp", RmstoArray,
   {{&rms1, "threshold", -30.0, 0.0, 0.1, 0},
    {&rms2, "attack", 0.1, 200.0, 0.1, 10},
    {&rms3, "release", 10, 1000, 1, 200},
    {&rms4, "ratio", 1.1, 4.0, 0.1, 1.5}}},
  {FX_NLC, &nlc0, "Non Lin Comp", NlctoArray,
   {{&nlc1, "threshold", -30.0, 0.0, 0.1, 0},
    {&nlc2, "sample window", 10, 2000, 1, 300},
    {&nlc3, "ratio", 1.1, 8.0, 0.1, 2.0}}},
  {FX_LIM, &lim0, "Limiter", LimtoArray,
   {{&lim1, "threshold", -18.0, 0.0, 0.1, 0}}},
  {FX_LSHELF, &lshelf0, "EQ: Low Shelf", LshelftoArray,
   {{&lshelf1, "Hz", 30, 300, 1, 100},
    {&lshelf2, "dB", -12.0, 12.0, 0.1, 0},
    {&lshelf3, "Q", 0.1, 8.0, 0.1, 1.0}}},
  {FX_BAND1, &band1_0, "EQ: Band 1", Band1toArray,
   {{&band1_1, "Hz", 60, 1000, 1, 500},
    {&band1_2, "dB", -12.0, 12.0, 0.1, 0},
    {&band1_3, "Q", 0.1, 8.0, 0.1, 1.0}}},
  {FX_BAND2, &band2_0, "EQ: Band 2", Band2toArray,
   {{&band2_1, "Hz", 1000, 16000, 1, 2000},
    {&band2_2, "dB", -12.0, 12.0, 0.1, 0},
    {&band2_3, "Q", 0.1, 8.0, 0.1, 1.0}}},
  {FX_HSHELF, &hshelf0, "EQ: High Shelf", HshelftoArray,
   {{&hshelf1, "Hz", 4000, 16000, 1, 8000},
    {&hshelf2, "dB", -12.0, 12.0, 0.1, 0},
    {&hshelf3, "Q", 0.1, 8.0, 0.1, 1.0}}},
  {FX_HP, &hpass0, "EQ: High Pass", HpassToArray,
   {{&hpass1, "Hz", 60, 600, 1, 100}}},
  {FX_FXG, &fxg0, "Effects Gain", FXGtoArray,
   {{&fxg1, "dB", -15.0, 15.0, 0.1, 0}}},
  {FX_REV, &rev_state, "Reverb", ReverbToArray,
   {{&rev_send, "chan send level", -24.0, 0.0, 0.1, 0}}},
  {FX_TREV, &trev_state, "Tap Reverb", TreverbToArray,
   {{&trev_send, "chan send level", -24.0, 0.0, 0.1, 0}}},
};

static int SliderCount(const CellDef& c) { return Effects[c.fx].count - 1; }

// Rows of the grid: y of the switch, then y of each slider.
static const int grid_switch_y[3] = {125, 340, 520};
static const int grid_slider_y[3][4] = {{157, 197, 237, 276}, {373, 413, 453}, {553}};

// The order in which the load step sets the records (and, after each send,
// the returns of its reverb).
static const int load_order[] = {FX_COMP, FX_RMS, FX_NLC, FX_LIM, FX_FXG, FX_LSHELF,
                                 FX_BAND1, FX_BAND2, FX_HSHELF, FX_HP, FX_REV, FX_TREV};

// The Reverb window's widgets in creation order, each with the global it
// stores. A widget that follows the channel is loaded with the channel's
// sends; the others only by the full refresh.
struct ReverbDef {
  Fl_Value_Slider** slider;   // a slider, or
  Fl_Button** sw;             // a switch
  const char* label;
  int x, y;
  double lo, hi, step, initial;
  float* value;
  int reverb;                 // FX_REV or FX_TREV: whose store operation
  bool follows_channel;
};

static const ReverbDef reverb_widgets[] = {
  {&rev_rtn, 0, "master rev return", 13, 160, -24.0, 0.0, 0.1, 0, &Prtn[0], FX_REV, true},
  {&trev_rtn, 0, "master trev return", 13, 208, -24.0, 0.0, 0.1, 0, &Ptrtn[0], FX_TREV, true},
  {&rev_size, 0, "room length (ft)", 155, 160, 25, 1000, 10, 150, &Prtn[1], FX_REV, true},
  {&trev_taps, 0, "tap count", 297, 208, 1, 11, 1, 3, &Ptrtn[2], FX_TREV, true},
  {&trev_size, 0, "room length (ft)", 155, 208, 25, 500, 10, 125, &Ptrtn[1], FX_TREV, true},
  {&Rev_LP1, 0, "Hz", 155, 47, 2000, 12000, 1, 7000, &Prlp[1], FX_REV, false},
  {&Rev_HP1, 0, "Hz", 13, 47, 60, 1000, 1, 150, &Prhp[1], FX_REV, false},
  {0, &Rev_LP0, "Low Pass", 155, 21, 0, 0, 0, 0, &Prlp[0], FX_REV, false},
  {0, &Rev_HP0, "High Pass", 13, 21, 0, 0, 0, 0, &Prhp[0], FX_REV, false},
  {&rev_width, 0, "width", 297, 47, 0, 100, 1, 50, &Prev_width, FX_REV, false},
  {&rev_positionX, 0, "position: front / back", 13, 94, 0, 100, 1, 37, &Prev_position[0], FX_REV, false},
  {&rev_positionY, 0, "position: left / right", 155, 94, 0, 100, 1, 39, &Prev_position[1], FX_REV, false},
  {&rev_positionZ, 0, "position: floor / ceiling", 297, 93, 0, 100, 1, 43, &Prev_position[2], FX_REV, false},
};

// ---------------------------------------------------------------------------
// Model <-> widget conversions.

// An on flag shows as on when it truncates toward zero to a non-zero int
// (0.5 is off, 1.0 and 2.0 are on); not-a-number is off.
static int FlagOn(float v) { return std::fabs(v) >= 1.0f; }
static float SwitchFlag(const Fl_Button* b) { return b->value() ? 1.0f : 0.0f; }

static float* Record(int fx) { return Effects[fx].table + CNL * REC; }

// The whole record of CNL from the widgets of its cell; the sliders are
// stored as they stand, with no clamping.
static void StoreRecord(int fx) {
  const CellDef& c = cells[fx];
  float* rec = Record(fx);
  rec[0] = SwitchFlag(*c.sw);
  for (int k = 0; k < SliderCount(c); k++)
    rec[k + 1] = static_cast<float>((*c.slider[k].widget)->value());
}

static void LoadRecord(int fx) {
  const CellDef& c = cells[fx];
  const float* rec = Record(fx);
  (*c.sw)->value(FlagOn(rec[0]));
  for (int k = 0; k < SliderCount(c); k++)
    (*c.slider[k].widget)->value(rec[k + 1]);
}

static void StoreReverbGlobals(int reverb) {
  for (const ReverbDef& r : reverb_widgets)
    if (r.reverb == reverb)
      *r.value = r.sw ? SwitchFlag(*r.sw) : static_cast<float>((*r.slider)->value());
}

static void LoadReverbGlobals(bool follows_channel, int reverb) {
  for (const ReverbDef& r : reverb_widgets) {
    if (r.follows_channel != follows_channel || (follows_channel && r.reverb != reverb))
      continue;
    if (r.sw)
      (*r.sw)->value(FlagOn(*r.value));
    else
      (*r.slider)->value(*r.value);
  }
}

void UpdateEffects() {
  if (CNL >= 0 && CNL < NUM_SLOTS) NameInEffects->value(NameBuffer[CNL]);
  for (int fx : load_order) {
    LoadRecord(fx);
    if (fx == FX_REV || fx == FX_TREV) LoadReverbGlobals(true, fx);
  }
}

void UpdateReverbSettings() { LoadReverbGlobals(false, 0); }

// ---------------------------------------------------------------------------
// Store operations: each stores the whole record of its effect for CNL and
// empties the status field.

static void ComptoArray() { StoreRecord(FX_COMP); ClearStatus(); }
static void RmstoArray() { StoreRecord(FX_RMS); ClearStatus(); }
static void NlctoArray() { StoreRecord(FX_NLC); ClearStatus(); }
static void LimtoArray() { StoreRecord(FX_LIM); ClearStatus(); }
static void LshelftoArray() { StoreRecord(FX_LSHELF); ClearStatus(); }
static void Band1toArray() { StoreRecord(FX_BAND1); ClearStatus(); }
static void Band2toArray() { StoreRecord(FX_BAND2); ClearStatus(); }
static void HshelftoArray() { StoreRecord(FX_HSHELF); ClearStatus(); }
static void HpassToArray() { StoreRecord(FX_HP); ClearStatus(); }
static void FXGtoArray() { StoreRecord(FX_FXG); ClearStatus(); }

// A reverb's store takes the current channel's send and every global of
// that reverb at once, whichever of its widgets changed.
static void ReverbToArray() {
  StoreRecord(FX_REV);
  StoreReverbGlobals(FX_REV);
  ClearStatus();
}

static void TreverbToArray() {
  StoreRecord(FX_TREV);
  StoreReverbGlobals(FX_TREV);
  ClearStatus();
}

// ---------------------------------------------------------------------------
// Channel selection.

// Truncates toward zero and clamps to lo..hi; not-a-number gives lo.
static int TruncClamp(double v, int lo, int hi) {
  if (std::isnan(v) || v < lo) return lo;
  if (v > hi) return hi;
  return static_cast<int>(v);
}

// CNL from the selection buttons and spinners; a later test that holds
// overrides an earlier one. A submix number outside 1..8 is clamped (and,
// from the spinners' own callback, the spinner is set back in range).
static void SelectChannel(bool reset_group) {
  if (SelectRegularChannel->value())
    CNL = TruncClamp(RegularNum->value(), 1, NUM_INPUTS);
  if (SelectGroupChannel->value()) {
    double g = GroupNum->value() + 127.0;
    CNL = TruncClamp(g, GroupSlot(1), GroupSlot(NUM_GROUPS));
    if (reset_group && !(g >= GroupSlot(1) && g < GroupSlot(NUM_GROUPS) + 1))
      GroupNum->value(CNL - 127);
  }
  if (SelectMasterChannel->value()) CNL = 0;
}

static void ShowChannel(bool reset_group) {
  SelectChannel(reset_group);
  UpdateEffects();
}

// The three selection buttons stay exclusive; switching one off falls back
// to "Channel".
static void Exclusive(Fl_Round_Button* own) {
  Fl_Round_Button* const buttons[] = {SelectRegularChannel, SelectGroupChannel,
                                      SelectMasterChannel};
  if (own->value() == 1) {
    for (Fl_Round_Button* b : buttons)
      if (b != own) b->value(0);
  } else {
    SelectRegularChannel->value(1);
  }
}

static void ChangeChannel() { ShowChannel(true); }
static void ChangetoRegular() { Exclusive(SelectRegularChannel); ShowChannel(false); }
static void ChangetoGroup() { Exclusive(SelectGroupChannel); ShowChannel(false); }
static void ChangetoMaster() { Exclusive(SelectMasterChannel); ShowChannel(false); }

// ---------------------------------------------------------------------------
// The Effects window.

// Runs the store operation of the effect whose index is the widget's user
// data.
static void RunStore(Fl_Widget*, void* fx) { cells[reinterpret_cast<intptr_t>(fx)].store(); }

// A slider or switch whose callback stores effect fx.
static Fl_Value_Slider* MakeSlider(int x, int y, const SliderDef& s, intptr_t fx) {
  Fl_Value_Slider* o = new Fl_Value_Slider(x, y, 100, 20, s.label);
  o->type(FL_HOR_SLIDER);
  o->labelsize(10);
  o->labelcolor((Fl_Color)215);
  o->minimum(s.lo);
  o->maximum(s.hi);
  o->step(s.step);
  o->value(s.initial);
  o->callback(RunStore, reinterpret_cast<void*>(fx));
  o->when(FL_WHEN_RELEASE);
  return o;
}

static Fl_Button* MakeSwitch(int x, int y, int h, const char* label, intptr_t fx) {
  Fl_Button* o = new Fl_Button(x, y, 100, h, label);
  o->type(FL_TOGGLE_BUTTON);
  o->box(FL_ROUND_UP_BOX);
  o->down_box(FL_ROUND_DOWN_BOX);
  o->selection_color((Fl_Color)229);
  o->labelsize(11);
  o->callback(RunStore, reinterpret_cast<void*>(fx));
  return o;
}

static void BuildCellSliders(int fx) {
  const CellDef& c = cells[fx];
  int column = fx % 4, row = fx / 4;
  for (int k = 0; k < SliderCount(c); k++)
    *c.slider[k].widget = MakeSlider(31 + 120 * column, grid_slider_y[row][k], c.slider[k], fx);
}

static void BuildCellSwitch(int fx) {
  const CellDef& c = cells[fx];
  int column = fx % 4, row = fx / 4;
  *c.sw = MakeSwitch(30 + 120 * column, grid_switch_y[row], 20, c.label, fx);
}

static void BuildMixButton() {
  Fl_Button* o = new Fl_Button(271, 58, 80, 24, "Mix");
  o->box(FL_ROUND_UP_BOX);
  o->down_box(FL_ROUND_UP_BOX);
  o->labelsize(12);
  o->shortcut(FL_CTRL + 'm');
  o->callback(Call<Mix>);
}

static void BuildNameField() {
  NameInEffects = new Fl_Output(271, 22, 150, 18);
  NameInEffects->textsize(12);
}

// Creation order, which is also the keyboard navigation order: the sliders
// of the dynamics and equaliser rows, Mix, the name, the sliders of the
// high pass and effects gain, their switches and those of the two rows
// above, then the sends' sliders and switches.
enum BuildWhat { SLIDERS, SWITCHES, MIX_BUTTON, NAME_FIELD };
struct BuildStep {
  BuildWhat what;
  int first, last;   // cells first..last - 1
};
static const BuildStep effects_build_order[] = {
  {SLIDERS, FX_COMP, FX_HP}, {MIX_BUTTON, 0, 0}, {NAME_FIELD, 0, 0},
  {SLIDERS, FX_HP, FX_REV}, {SWITCHES, FX_COMP, FX_REV}, {SLIDERS, FX_REV, NUM_EFFECTS},
  {SWITCHES, FX_REV, NUM_EFFECTS},
};

struct SelectDef {
  Fl_Round_Button** widget;
  const char* label;
  int y;
  Fl_Callback* callback;
};
static const SelectDef select_buttons[] = {
  {&SelectRegularChannel, "Channel", 24, Call<ChangetoRegular>},
  {&SelectGroupChannel, "Submix", 52, Call<ChangetoGroup>},
  {&SelectMasterChannel, "Master", 81, Call<ChangetoMaster>},
};

static Fl_Spinner* MakeSpinner(int y, const char* label, int maximum) {
  Fl_Spinner* o = new Fl_Spinner(190, y, 40, 20, label);
  o->labelcolor((Fl_Color)215);
  o->textsize(12);
  o->minimum(1);
  o->maximum(maximum);
  o->step(1);
  o->value(1);
  o->callback(Call<ChangeChannel>);
  return o;
}

Fl_Double_Window* make_window1() {
  Fl_Double_Window* w = new Fl_Double_Window(520, 620, "Effects");
  w->box(FL_UP_BOX);
  w->color((Fl_Color)97);
  w->selection_color(FL_WHITE);
  for (const SelectDef& s : select_buttons) {
    Fl_Round_Button* o = new Fl_Round_Button(30, s.y, 70, 15, s.label);
    o->type(FL_TOGGLE_BUTTON);
    o->down_box(FL_DOWN_BOX);
    o->labelcolor((Fl_Color)215);
    o->callback(s.callback);
    *s.widget = o;
  }
  SelectRegularChannel->value(1);
  RegularNum = MakeSpinner(22, "Channel", 110);
  GroupNum = MakeSpinner(58, "Submix", NUM_GROUPS);
  for (const BuildStep& step : effects_build_order) {
    switch (step.what) {
      case SLIDERS:
        for (int fx = step.first; fx < step.last; fx++) BuildCellSliders(fx);
        break;
      case SWITCHES:
        for (int fx = step.first; fx < step.last; fx++) BuildCellSwitch(fx);
        break;
      case MIX_BUTTON: BuildMixButton(); break;
      case NAME_FIELD: BuildNameField(); break;
    }
  }
  w->end();
  return w;
}

// ---------------------------------------------------------------------------
// The Reverb window.

Fl_Double_Window* make_window7() {
  Fl_Double_Window* w = new Fl_Double_Window(410, 255, "Reverb");
  w->color((Fl_Color)97);
  for (const ReverbDef& r : reverb_widgets) {
    if (r.sw) {
      *r.sw = MakeSwitch(r.x, r.y, 19, r.label, r.reverb);
    } else {
      SliderDef s = {r.slider, r.label, r.lo, r.hi, r.step, r.initial};
      *r.slider = MakeSlider(r.x, r.y, s, r.reverb);
    }
  }
  w->end();
  return w;
}
