// The Automation window: a curve view of the current bank's faders over the
// whole mix. Every level it draws comes from src/levels, the code the render
// engine applies, so the picture is what the render will do. Edits go
// through the Faders window's own widgets and callbacks.
#include "automation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Spinner.H>
#include <FL/fl_draw.H>

#include "../app/app.h"
#include "../faders/faders.h"
#include "../levels/levels.h"
#include "../model/model.h"
#include "envelope.h"

class AutomationPlot;
static AutomationPlot* Plot;
static Fl_Box* Legend[AUTOMATION_LINES];
static Fl_Box* Readout;

// --- Geometry ------------------------------------------------------------

enum {
  WIN_W = 900, WIN_H = 520,
  PLOT_X = 10, PLOT_Y = 10, PLOT_W = 880, PLOT_H = 410,
  // Margins inside the plot: dB labels left, row labels on top, times below.
  MARGIN_L = 46, MARGIN_R = 12, MARGIN_T = 34, MARGIN_B = 22,
  LEGEND_Y = 426, LEGEND_W = 125, LEGEND_H = 18, LEGEND_PER_ROW = 7,
  READOUT_Y = 492,
  HANDLE = 7,        // side of a handle's square
  HANDLE_HIT = 6,    // how far from its centre a click still takes it
};

// The dB axis: +12 at the top, a knee at -60 dB placed at 80 % of the
// height, silence (-144 dB) at the bottom, so that the range where faders
// live gets most of the room.
static const double kTopDb = 12.0, kKneeDb = -60.0, kKneeAt = 0.8;
static const double kGridDb[] = {12, 6, 0, -6, -12, -18, -24, -36, -48, -60, -144};
// Time grid steps in seconds; the first that leaves this many pixels wins.
static const double kTimeSteps[] = {0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5,
                                    1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 1800, 3600};
static const int kTimeStepPixels = 80;
static const double kDefaultRate = 48000.0;
static const double kMaxPixelsPerSecond = 200000.0;  // 5 ms over 1000 pixels
static const double kEmptyMixSeconds = 10.0;         // the span with no automation

// One colour a strip; the submix, VCA and master have their own.
static const unsigned char kLineRgb[AUTOMATION_LINES][3] = {
  {220, 30, 30}, {0, 140, 0}, {30, 60, 220}, {200, 0, 200}, {0, 150, 160},
  {230, 130, 0}, {130, 40, 40}, {0, 0, 120}, {120, 60, 180}, {120, 120, 0},
  {0, 160, 100}, {150, 80, 0}, {0, 0, 0}};

static Fl_Color LineColor(int k) {
  const unsigned char* c = kLineRgb[k - 1];
  return fl_rgb_color(c[0], c[1], c[2]);
}

// --- What the view shows, read from the model by the refresh -------------

static Level Levels[NUM_SLOTS];
static int LineSlot[AUTOMATION_LINES];   // -1: the strip shows no channel
static std::string LinePath[AUTOMATION_LINES];
static double Rate = kDefaultRate;
static double FullStart = 0, FullEnd = kEmptyMixSeconds;  // the whole mix
static double LimitEnd = kEmptyMixSeconds;  // the whole mix or the longest wave file
static char LegendText[AUTOMATION_LINES][NAME_LEN + 32];
static char ReadoutText[256];

// The view: first visible second, pixels per second; fitted to the whole
// mix until the user zooms or scrolls.
static double ViewStart = 0, ViewScale = 1;
static bool Fitted = true;

// A drag: of a handle (its line and row) or of the view.
static int DragLine, DragRow;
static double DragFromY, DragHandleY;   // where the press was, where the handle was
static bool Panning;
static double PanX, PanStart;

double AutomationRate() { return Rate; }

static int PlotLeft();
static int PlotRight();
static int PlotTop();
static int PlotBottom();

// --- Mapping between time, level and pixels ------------------------------

double AutomationXOfSeconds(double t) { return PlotLeft() + (t - ViewStart) * ViewScale; }
double AutomationSecondsOfX(double x) { return ViewStart + (x - PlotLeft()) / ViewScale; }

double AutomationYOfDb(double db) {
  double h = PlotBottom() - PlotTop();
  db = std::max(kSilentDb, std::min(kTopDb, db));
  if (db >= kKneeDb) return PlotTop() + (kTopDb - db) / (kTopDb - kKneeDb) * kKneeAt * h;
  return PlotTop() + (kKneeAt + (kKneeDb - db) / (kKneeDb - kSilentDb) * (1 - kKneeAt)) * h;
}

double AutomationDbOfY(double y) {
  double h = PlotBottom() - PlotTop();
  double f = std::max(0.0, std::min(1.0, (y - PlotTop()) / h));
  if (f <= kKneeAt) return kTopDb - f / kKneeAt * (kTopDb - kKneeDb);
  return kKneeDb - (f - kKneeAt) / (1 - kKneeAt) * (kKneeDb - kSilentDb);
}

static double PlotWidth() { return std::max(1, PlotRight() - PlotLeft()); }

// A pixel position as an int, far positions (a hostile time) held well
// outside the window instead of overflowing.
static int Px(double v) { return int(std::max(-1e6, std::min(1e6, v))); }

// Keeps the view inside the mix: never wider than all of it, never before
// its start or past its end.
static void ClampView() {
  double span = LimitEnd - FullStart;
  ViewScale = std::min(kMaxPixelsPerSecond, std::max(PlotWidth() / span, ViewScale));
  double visible = PlotWidth() / ViewScale;
  ViewStart = std::max(FullStart, std::min(LimitEnd - visible, ViewStart));
}

void AutomationFit() {
  Fitted = true;
  ViewStart = FullStart;
  ViewScale = PlotWidth() / (FullEnd - FullStart);
  ClampView();
}

static void Redraw();

void AutomationZoom(double factor, double x) {
  double t = AutomationSecondsOfX(x);
  ViewScale *= factor;
  ClampView();
  ViewStart = t - (x - PlotLeft()) / ViewScale;
  ClampView();
  Fitted = false;
  Redraw();
}

void AutomationScroll(double dx) {
  ViewStart += dx / ViewScale;
  ClampView();
  Fitted = false;
  Redraw();
}

void AutomationVisibleSpan(double* first, double* last) {
  *first = ViewStart;
  *last = ViewStart + PlotWidth() / ViewScale;
}

// --- Levels ---------------------------------------------------------------

double AutomationLineDb(int k, double seconds, bool effective) {
  if (k < 1 || k > AUTOMATION_LINES || LineSlot[k - 1] < 0) return NAN;
  int c = LineSlot[k - 1];
  double frame = seconds * Rate;
  if (!effective || k > 10) return LevelDbAt(Levels[c], frame);
  int slots[1 + NUM_VCAS];
  const Level* levels[1 + NUM_VCAS];
  int n = ChannelLevelSlots(c, slots);
  for (int j = 0; j < n; j++) levels[j] = &Levels[slots[j]];
  return SumDbAt(levels, n, frame);
}

// Reads everything the view shows from the model.
static void ReadModel() {
  for (int k = 1; k <= AUTOMATION_LINES; k++) {
    int c = LineSlot[k - 1] = StripSlot(k);
    LinePath[k - 1] = c >= 1 && c <= NUM_INPUTS ? WavePath(NameBuffer[c]) : "";
  }
  // The sources' rate, once a wave file of the bank has been read.
  Rate = kDefaultRate;
  double longest = 0;
  for (int k = 10; k >= 1; k--)
    if (const Envelope* e = EnvelopeOf(LinePath[k - 1])) {
      Rate = e->rate;
      longest = std::max(longest, e->frames / e->rate);
    }
  // The whole mix: every row in use, every point's start and every move's
  // end, over all channels.
  double first = 0, last = 0;
  for (int c = 0; c < NUM_SLOTS; c++) {
    Levels[c] = BuildLevel(c, Rate);
    last = std::max(last, LevelEndFrame(Levels[c]) / Rate);
    for (int r = 0; r < NUM_ROWS; r++) {
      double s;
      if (LevelPointAt(c, r, &s)) first = std::min(first, s), last = std::max(last, s);
    }
  }
  for (int r = 0; r < NUM_ROWS; r++)
    if (IndexActiveArray[r] == 1 && std::isfinite(RowSeconds(r))) {
      first = std::min(first, RowSeconds(r));
      last = std::max(last, RowSeconds(r));
    }
  if (last - first <= 0) last = first + kEmptyMixSeconds;
  double margin = std::max(1.0, (last - first) * 0.05);
  FullStart = first < 0 ? first - margin : 0;
  FullEnd = last + margin;
  LimitEnd = std::max(FullEnd, longest);
}

// --- Drawing --------------------------------------------------------------

// m:ss.mmm, with fewer decimals for a coarser grid.
static void FormatTime(double t, char* out, size_t n, int decimals = 3) {
  double a = std::fabs(t) + 0.5 * std::pow(10.0, -decimals);
  if (!(a < 6e7)) {   // beyond a million minutes (a hostile time): seconds
    snprintf(out, n, "%.4g s", t);
    return;
  }
  int m = int(a / 60);
  double s = a - 60.0 * m;
  snprintf(out, n, "%s%d:%0*.*f", t < 0 ? "-" : "", m, decimals ? decimals + 3 : 2, decimals,
           std::floor(s * std::pow(10.0, decimals)) / std::pow(10.0, decimals));
}

// Faint peaks of a channel's file, on the dB axis, under its line.
static void DrawEnvelope(int k, int left, int right, int bottom) {
  const Envelope* e = EnvelopeOf(LinePath[k - 1]);
  if (!e || e->peak.empty()) return;
  fl_color(fl_color_average(LineColor(k), FL_WHITE, 0.12f));
  for (int x = left; x < right; x++) {
    double last = double(e->peak.size() - 1);
    double b0 = std::floor(AutomationSecondsOfX(x) * e->rate / e->bin);
    double b1 = std::floor(AutomationSecondsOfX(x + 1) * e->rate / e->bin);
    if (!(b1 >= 0 && b0 <= last)) continue;
    float p = 0;
    for (size_t b = size_t(std::max(0.0, b0)); b <= size_t(std::min(last, b1)); b++)
      p = std::max(p, e->peak[b]);
    if (p <= 0) continue;
    int y = int(AutomationYOfDb(20.0 * std::log10(p)));
    if (y < bottom) fl_yxline(x, y, bottom);
  }
}

static void DrawGrid(int left, int right, int top, int bottom) {
  fl_font(FL_HELVETICA, 10);
  for (double db : kGridDb) {
    int y = int(AutomationYOfDb(db));
    fl_color(db == 0 ? FL_DARK3 : FL_LIGHT1);
    fl_xyline(left, y, right);
    char text[16];
    snprintf(text, sizeof text, "%g", db);
    fl_color(FL_BLACK);
    fl_draw(text, left - 40, std::min(y - 6, bottom - 12), 36, 12, FL_ALIGN_RIGHT);
  }
  double step = kTimeSteps[0];
  for (double s : kTimeSteps) {
    step = s;
    if (s * ViewScale >= kTimeStepPixels) break;
  }
  while (step * ViewScale < kTimeStepPixels) step *= 10;   // a mix of hostile length
  double first, last;
  AutomationVisibleSpan(&first, &last);
  for (double t = std::ceil(first / step) * step; t <= last; t += step) {
    int x = Px(AutomationXOfSeconds(t));
    fl_color(FL_LIGHT1);
    fl_yxline(x, top, bottom);
    char text[32];
    FormatTime(std::fabs(t) < step / 2 ? 0 : t, text, sizeof text,
               step >= 1 ? 0 : step >= 0.1 ? 1 : step >= 0.01 ? 2 : 3);
    fl_color(FL_BLACK);
    fl_draw(text, x - 40, bottom + 3, 80, 14, FL_ALIGN_CENTER);
  }
}

// Every row in use as a time line, labelled with its number and cue; the
// Faders window's current row stands out, in use or not.
static void DrawRows(int left, int right, int top, int bottom) {
  int current = CurrentRow();
  int label_end = left - 1000;
  for (int r = 0; r < NUM_ROWS; r++) {
    bool used = IndexActiveArray[r] == 1;
    if (!used && r != current) continue;
    double t = RowSeconds(r);
    if (!std::isfinite(t)) continue;
    int x = Px(AutomationXOfSeconds(t));
    if (x < left - 200 || x > right) continue;
    bool cur = r == current;
    fl_color(cur ? fl_rgb_color(255, 140, 0) : FL_DARK2);
    fl_line_style(cur ? FL_SOLID : FL_DOT, cur ? 3 : 1);
    if (x >= left) fl_yxline(x, top - 4, bottom);
    fl_line_style(0);
    char text[CUE_LEN + 16];
    char cue[CUE_LEN];
    CopyField(cue, sizeof cue, CueNameBuffer[r]);
    snprintf(text, sizeof text, "%d%s%s", r + 1, cue[0] ? " " : "", cue);
    fl_font(cur ? FL_HELVETICA_BOLD : FL_HELVETICA, 10);
    int w = int(fl_width(text)) + 6;
    // Labels that would overlap the one before are left out, except the
    // current row's.
    if (x < label_end && !cur) continue;
    fl_color(cur ? FL_BLACK : FL_DARK3);
    fl_draw(text, x + 2, cur ? top - 22 : top - 10);
    if (!cur) label_end = x + w;
  }
}

static void DrawLine(int k, int left, int right) {
  Fl_Color c = LineColor(k);
  // The channel's own level, solid.
  fl_color(c);
  fl_line_style(FL_SOLID, 2);
  fl_begin_line();
  for (int x = left; x <= right; x++)
    fl_vertex(x, AutomationYOfDb(AutomationLineDb(k, AutomationSecondsOfX(x), false)));
  fl_end_line();
  // With its VCAs, dashed, where they move it.
  if (k <= 10) {
    fl_line_style(FL_DASH, 2);
    bool open = false;
    for (int x = left; x <= right; x++) {
      double t = AutomationSecondsOfX(x);
      double own = AutomationLineDb(k, t, false), sum = AutomationLineDb(k, t, true);
      bool moved = std::fabs(sum - own) > 1e-9;
      if (moved && !open) fl_begin_line(), open = true;
      if (moved) fl_vertex(x, AutomationYOfDb(sum));
      if (!moved && open) fl_end_line(), open = false;
    }
    if (open) fl_end_line();
  }
  fl_line_style(0);
  // A handle at each point's start, at the level it moves to.
  int current = CurrentRow();
  for (int r = 0; r < NUM_ROWS; r++) {
    double s;
    if (!LevelPointAt(LineSlot[k - 1], r, &s)) continue;
    int x = Px(AutomationXOfSeconds(s)), y = Px(AutomationYOfDb(Volume[Cell(LineSlot[k - 1], r)]));
    int h = r == current ? HANDLE + 2 : HANDLE;
    fl_color(c);
    fl_rectf(x - h / 2, y - h / 2, h, h);
    fl_color(r == current ? FL_WHITE : FL_BLACK);
    fl_rect(x - h / 2, y - h / 2, h, h);
  }
}

class AutomationPlot : public Fl_Widget {
 public:
  AutomationPlot(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {
    box(FL_DOWN_BOX);
    color(FL_BACKGROUND2_COLOR);
  }
  void draw() override;
  int handle(int event) override;
};

static int PlotLeft() { return Plot->x() + MARGIN_L; }
static int PlotRight() { return Plot->x() + Plot->w() - MARGIN_R; }
static int PlotTop() { return Plot->y() + MARGIN_T; }
static int PlotBottom() { return Plot->y() + Plot->h() - MARGIN_B; }

static void Redraw() { if (Plot) Plot->redraw(); }

void AutomationPlot::draw() {
  draw_box();
  if (Fitted) AutomationFit();
  ClampView();
  int left = PlotLeft(), right = PlotRight(), top = PlotTop(), bottom = PlotBottom();
  fl_push_clip(x() + 2, y() + 2, w() - 4, h() - 4);
  DrawGrid(left, right, top, bottom);
  fl_push_clip(left, y() + 2, right - left + 1, h() - 4);
  DrawRows(left, right, top, bottom);
  fl_push_clip(left, top - HANDLE, right - left + 1, bottom - top + 2 * HANDLE);
  for (int k = 1; k <= 10; k++)
    if (LineSlot[k - 1] >= 0) DrawEnvelope(k, left, right, bottom);
  for (int k = 1; k <= AUTOMATION_LINES; k++)
    if (LineSlot[k - 1] >= 0) DrawLine(k, left, right);
  fl_pop_clip();
  fl_pop_clip();
  fl_pop_clip();
}

// --- The mouse -------------------------------------------------------------

bool AutomationHandleAt(int x, int y, int* line, int* row) {
  int best = HANDLE_HIT * HANDLE_HIT * 2 + 1;
  bool found = false;
  for (int k = 1; k <= AUTOMATION_LINES; k++) {
    int c = LineSlot[k - 1];
    if (c < 0) continue;
    for (int r = 0; r < NUM_ROWS; r++) {
      double s;
      if (!LevelPointAt(c, r, &s)) continue;
      double dx = AutomationXOfSeconds(s) - x, dy = AutomationYOfDb(Volume[Cell(c, r)]) - y;
      if (std::fabs(dx) > HANDLE_HIT || std::fabs(dy) > HANDLE_HIT) continue;
      int d = int(dx * dx + dy * dy);
      if (d <= best) best = d, *line = k, *row = r, found = true;  // the one drawn on top
    }
  }
  return found;
}

// A line's name: the channel number (or sub, vca, master) and its name.
static std::string LineName(int k) {
  char name[NAME_LEN];
  CopyField(name, sizeof name, NameBuffer[LineSlot[k - 1]]);
  const char* what = k == 11 ? "sub" : k == 12 ? "vca" : k == 13 ? "master" : nullptr;
  return (what ? what : std::to_string(LineSlot[k - 1])) + " " + name;
}

const char* AutomationReadoutAt(int x, int y) {
  char time[32];
  FormatTime(AutomationSecondsOfX(x), time, sizeof time);
  int n = snprintf(ReadoutText, sizeof ReadoutText, "%s   %.1f dB", time, AutomationDbOfY(y));
  int k, r;
  if (AutomationHandleAt(x, y, &k, &r) && n > 0 && n < int(sizeof ReadoutText)) {
    snprintf(ReadoutText + n, sizeof ReadoutText - n, "   time index %d: %s at %.1f dB", r + 1,
             LineName(k).c_str(), Volume[Cell(LineSlot[k - 1], r)]);
  }
  if (Readout) Readout->label(ReadoutText);
  return ReadoutText;
}

// The strips' volume fields, strip k at k - 1.
#define ORVANE_VOLUME_ADDRESS(T, stem, k) &stem##k,
static Fl_Spinner** const kVolumes[] = {ORVANE_STRIPS_13(ORVANE_VOLUME_ADDRESS, 0, vol)};

bool AutomationSelect(int x, int y) {
  DragLine = 0;
  Panning = false;
  int k, r;
  if (!AutomationHandleAt(x, y, &k, &r)) return false;
  // The point's row becomes the Faders window's current one.
  if (CurrentRow() != r) {
    TimeIndex->value(r + 1);
    TimeIndex->do_callback();
  }
  DragLine = k;
  DragRow = r;
  DragFromY = y;
  DragHandleY = AutomationYOfDb(Volume[Cell(LineSlot[k - 1], r)]);
  UpdateAutomation();
  return true;
}

// A press on a handle selects it and shows its row in the Faders window;
// anywhere else it starts dragging the view.
static void Press(int x, int y) {
  if (AutomationSelect(x, y)) {
    ShowFaders();
  } else {
    Panning = true;
    PanX = x;
    PanStart = ViewStart;
  }
  AutomationReadoutAt(x, y);
}

void AutomationDrag(int x, int y) {
  if (DragLine) {
    // Up and down set the point's volume as typing it into the strip does.
    int c = LineSlot[DragLine - 1];
    if (c < 0 || CurrentRow() != DragRow) return;
    // The handle moves as far as the pointer, on the field's 0.1 dB steps.
    double db = std::round(AutomationDbOfY(DragHandleY + y - DragFromY) * 10.0) / 10.0;
    Fl_Spinner* v = *kVolumes[DragLine - 1];
    if (db != v->value()) {
      v->value(db);
      v->do_callback();
      UpdateAutomation();
    }
  } else if (Panning) {
    ViewStart = PanStart - (x - PanX) / ViewScale;
    ClampView();
    Fitted = false;
    Redraw();
  }
  AutomationReadoutAt(x, y);
}

void AutomationRelease() {
  DragLine = 0;
  Panning = false;
}

int AutomationPlot::handle(int event) {
  switch (event) {
    case FL_ENTER:
    case FL_MOVE:
      AutomationReadoutAt(Fl::event_x(), Fl::event_y());
      return 1;
    case FL_LEAVE:
      ReadoutText[0] = 0;
      if (Readout) Readout->label(ReadoutText);
      return 1;
    case FL_PUSH:
      if (Fl::event_button() != FL_LEFT_MOUSE) return 0;
      Press(Fl::event_x(), Fl::event_y());
      return 1;
    case FL_DRAG:
      AutomationDrag(Fl::event_x(), Fl::event_y());
      return 1;
    case FL_RELEASE:
      AutomationRelease();
      return 1;
    case FL_MOUSEWHEEL:
      // The wheel zooms around the pointer; sideways, or with Shift, it scrolls.
      if (Fl::event_dx() || (Fl::event_state() & FL_SHIFT))
        AutomationScroll(40.0 * (Fl::event_dx() ? Fl::event_dx() : Fl::event_dy()));
      else if (Fl::event_dy())
        AutomationZoom(std::pow(1.25, -Fl::event_dy()), Fl::event_x());
      AutomationReadoutAt(Fl::event_x(), Fl::event_y());
      return 1;
  }
  return Fl_Widget::handle(event);
}

// --- Refresh ----------------------------------------------------------------

// What the view was last drawn from: when any of it changes after an
// event, the window refreshes itself, so every edit, row operation, recall
// and undo shows at once without each of them knowing this window.
struct Watched {
  const void* data;
  size_t size;
};
static const Watched kWatched[] = {
  {Volume, sizeof Volume}, {Offset, sizeof Offset}, {Ramp, sizeof Ramp},
  {Shape, sizeof Shape}, {ChanActive, sizeof ChanActive},
  {IndexActiveArray, sizeof IndexActiveArray}, {IndexMin, sizeof IndexMin},
  {IndexSec, sizeof IndexSec}, {IndexMsec, sizeof IndexMsec},
  {CueNameBuffer, sizeof CueNameBuffer}, {VcaAsn, sizeof VcaAsn},
  {NameBuffer, sizeof NameBuffer}, {WavDirName, sizeof WavDirName}};
static std::vector<char> Seen;

// The model as the view last read it, plus the Faders window's row and bank;
// compared in place after each event, copied only when it changed.
static void Remember() {
  Seen.clear();
  for (const Watched& w : kWatched)
    Seen.insert(Seen.end(), (const char*)w.data, (const char*)w.data + w.size);
  int shown[2] = {CurrentRow(), StripSlot(1)};
  Seen.insert(Seen.end(), (const char*)shown, (const char*)shown + sizeof shown);
}

static bool ModelChanged() {
  size_t at = 0;
  for (const Watched& w : kWatched) {
    if (at + w.size > Seen.size() || memcmp(Seen.data() + at, w.data, w.size) != 0) return true;
    at += w.size;
  }
  int shown[2] = {CurrentRow(), StripSlot(1)};
  return at + sizeof shown != Seen.size() || memcmp(Seen.data() + at, shown, sizeof shown) != 0;
}

static void CheckModel(void*) {
  if (AutomationWindow && AutomationWindow->shown() && ModelChanged()) UpdateAutomation();
}

void UpdateAutomation() {
  if (!Plot) return;
  Remember();
  ReadModel();
  if (Fitted) AutomationFit();
  else ClampView();
  for (int k = 1; k <= AUTOMATION_LINES; k++) {
    int c = LineSlot[k - 1];
    char* text = LegendText[k - 1];
    if (c < 0) {
      snprintf(text, sizeof LegendText[0], "%d (none)", k);
    } else {
      int slots[1 + NUM_VCAS];
      bool vca = k <= 10 && ChannelLevelSlots(c, slots) > 1;
      snprintf(text, sizeof LegendText[0], "%s%s", LineName(k).c_str(),
               vca ? " (dashed: with its VCAs)" : "");
    }
    // The box shows a file's name without its folders; the tooltip all of it.
    const char* slash = k <= 10 ? strrchr(text, '/') : nullptr;
    Legend[k - 1]->copy_label(slash ? (std::to_string(c) + " " + (slash + 1)).c_str() : text);
    Legend[k - 1]->tooltip(text);
  }
  AutomationWindow->redraw();
}

// --- The window -------------------------------------------------------------

Fl_Double_Window* make_window8() {
  Fl_Double_Window* w = new Fl_Double_Window(WIN_W, WIN_H, "Automation");
  w->color((Fl_Color)97);
  Plot = new AutomationPlot(PLOT_X, PLOT_Y, PLOT_W, PLOT_H);
  for (int k = 1; k <= AUTOMATION_LINES; k++) {
    int i = k - 1;
    Fl_Box* o = Legend[i] = new Fl_Box(PLOT_X + (i % LEGEND_PER_ROW) * LEGEND_W,
                                       LEGEND_Y + (i / LEGEND_PER_ROW) * (LEGEND_H + 4),
                                       LEGEND_W - 4, LEGEND_H);
    o->box(FL_FLAT_BOX);
    o->color(FL_BACKGROUND2_COLOR);
    o->labelsize(11);
    o->labelfont(FL_HELVETICA_BOLD);
    o->labelcolor(LineColor(k));
    o->align(Fl_Align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP));
  }
  Readout = new Fl_Box(PLOT_X, READOUT_Y, PLOT_W - 110, 20);
  Readout->labelsize(12);
  Readout->align(Fl_Align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP));
  Fl_Button* fit = new Fl_Button(PLOT_X + PLOT_W - 100, READOUT_Y, 100, 20, "Whole mix");
  fit->labelsize(12);
  fit->tooltip("Show the whole mix (mouse wheel zooms, dragging scrolls)");
  fit->callback([](Fl_Widget*, void*) { AutomationFit(); Redraw(); });
  w->end();
  w->resizable(Plot);
  w->size_range(WIN_W / 2, WIN_H / 2 + 120);
  AutomationWindow = w;
  OnEnvelopeArrived(UpdateAutomation);
  Fl::add_check(CheckModel);
  return w;
}
