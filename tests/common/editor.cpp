// Kept in its own object so that test binaries without the windows never
// pull it from the library.
#include "testlib.h"

#include "app/app.h"
#include "faders/faders.h"
#include "model/model.h"

void BuildEditorOnce() {
  static bool built = false;
  if (built) return;
  built = true;
  ClearInternalArrays();
  BuildAllWindows(false);
  UpdateGUI();
}
