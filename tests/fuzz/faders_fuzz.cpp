// Feeds any bytes to the faders file reader on a freshly reset model.
#include <cstddef>
#include <cstdint>

#include "files/files.h"
#include "model/model.h"
#include "model_parts.h"

static const ModelParts fader_parts = {ORVANE_FADER_PARTS};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fader_parts.Reset();
  ParseFaderText(reinterpret_cast<const char*>(data), size);
  return 0;
}
