// What makes the editor a desktop program: its command-line answers, the
// window class and icon of every window, and where it finds the engine
// installed with it.
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include <FL/Fl_PNG_Image.H>
#include <FL/Fl_Window.H>

#include "app.h"
#include "../files/text.h"
#include "../model/model.h"

// The 48 px icon, made from the scalable one when the program is built
// (empty when the build had no SVG renderer).
extern const unsigned char OrvaneIconPng[];
extern const int OrvaneIconPngSize;

static const char usage[] =
    "Usage: orvane [--help | --version]\n"
    "Prepares an offline audio mix: fader automation, effects, routing and\n"
    "reverbs, kept in faders.txt, tracks.txt and prefs.txt in the working\n"
    "directory. Nothing is read at start: use Recall All. Mix (Ctrl+m) stores\n"
    "the three files and runs the render engine vorlax4 there; with an empty\n"
    "\"Path to Vorlax4\" it is looked for beside orvane, then on the search path.\n"
    "\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Any other argument is ignored. See orvane(1) and vorlax4(1).\n";

int AnswerCommandLine(int argc, char** argv) {
  for (int i = 1; i < argc; i++) {
    if (!strcmp(argv[i], "--help")) {
      fputs(usage, stdout);
      return 0;
    }
    if (!strcmp(argv[i], "--version")) {
      puts("orvane " ORVANE_VERSION);
      return 0;
    }
  }
  return -1;
}

void SetWindowIdentity() {
  Fl_Window::default_xclass("orvane");
  if (OrvaneIconPngSize <= 0) return;
  Fl_PNG_Image icon("orvane.png", OrvaneIconPng, OrvaneIconPngSize);
  if (icon.w() > 0 && icon.h() > 0) Fl_Window::default_icon(&icon);  // copied
}

// The directory of the running program, with its final "/"; empty when
// the system does not say.
static std::string OwnDirectory() {
  char self[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self);
  if (n <= 0 || n >= (ssize_t)sizeof self) return "";
  std::string path(self, n);
  return path.substr(0, path.rfind('/') + 1);
}

std::string EngineCommand() {
  if (Path[0]) return ExpandHome(Path) + "vorlax4";  // "~/" names $HOME, as in a shell
  std::string beside = OwnDirectory();
  if (!beside.empty() && access((beside + "vorlax4").c_str(), X_OK) == 0) return beside + "vorlax4";
  return "vorlax4";
}
