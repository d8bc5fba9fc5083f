#include <FL/Fl.H>

#include "../faders/faders.h"
#include "../model/model.h"
#include "app.h"

// Arguments are ignored and no file is read at start.
int main() {
  ClearInternalArrays();
  BuildAllWindows(true);
  UpdateGUI();
  return Fl::run();
}
