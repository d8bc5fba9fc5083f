// Feeds any bytes to the prefs file reader on a freshly reset model.
#include <cstddef>
#include <cstdint>

#include "files/files.h"
#include "model/model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ClearInternalArrays();
  ParsePrefsText(reinterpret_cast<const char*>(data), size);
  return 0;
}
