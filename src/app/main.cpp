#include <FL/Fl.H>

#include "../model/model.h"
#include "app.h"

// --help and --version are answered without a display; any other argument
// is ignored, and no file is read at start.
int main(int argc, char** argv) {
  int answered = AnswerCommandLine(argc, argv);
  if (answered >= 0) return answered;
  ClearInternalArrays();
  SetWindowIdentity();
  BuildAllWindows(true);
  UpdateGUI();
  return Fl::run();
}
