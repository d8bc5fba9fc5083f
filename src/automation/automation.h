// The Automation window: the level in dB against time of the Faders
// window's current bank (ten input channels, the submix, the VCA and the
// master), drawn from the fader automation's own levels (src/levels), with
// a handle on every point, the rows in use as time lines, the wave files'
// peak envelopes underneath, zoom and scroll in time.
#ifndef ORVANE_AUTOMATION_H
#define ORVANE_AUTOMATION_H

class Fl_Double_Window;

// Builds the window (hidden) and returns it; AutomationWindow holds it.
Fl_Double_Window* make_window8();

// Refresh: reads the model again (levels, rows, names, the current row and
// bank) and redraws. Never changes the model. Also runs
// by itself after any event that changed what the window shows.
void UpdateAutomation();

// --- The view's logic, reachable without a display -----------------------

// Lines are the Faders window's strips: 1..10 the bank's input channels, 11
// its submix, 12 its VCA, 13 the master.
enum { AUTOMATION_LINES = 13 };

// Level in dB of line k at a time in seconds, as the render applies it:
// effective true adds the channel's VCAs (input channels only). NaN when
// the strip shows no channel.
double AutomationLineDb(int k, double seconds, bool effective);

// The frames per second the levels are built with (the sources' rate once
// a wave file of the bank has been read, else 48000).
double AutomationRate();

// Pixel mapping of the plot, in window coordinates.
double AutomationXOfSeconds(double seconds);
double AutomationSecondsOfX(double x);
double AutomationYOfDb(double db);
double AutomationDbOfY(double y);

// Zoom by factor (> 1 in) around window x; scroll by dx pixels; back to the
// whole mix. The visible time span, for the tests.
void AutomationZoom(double factor, double x);
void AutomationScroll(double dx);
void AutomationFit();
void AutomationVisibleSpan(double* first, double* last);

// The handle at window x, y: its line and row; false when none is there.
bool AutomationHandleAt(int x, int y, int* line, int* row);
// A press at window x, y: on a handle, its row becomes the Faders window's
// current one and a drag of the handle begins (true); the window then also
// shows the Faders window. Elsewhere a press starts dragging the view.
bool AutomationSelect(int x, int y);
// A drag to window x, y: of the selected handle, up and down, setting the
// point's volume through its strip's volume field; else of the view.
void AutomationDrag(int x, int y);
void AutomationRelease();

// The readout under the plot for the pointer at window x, y: the time and
// level there, and the point when it is over a handle.
const char* AutomationReadoutAt(int x, int y);

#endif
