// Feeds any bytes to the tracks file reader on a freshly reset model, then
// checks the round trip: what a save writes after that recall, recalled
// into a reset model, saves as the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "files/files.h"
#include "model/model.h"
#include "model_parts.h"

// Everything of the model that tracks.txt reads or writes.
static const ModelParts tracks_parts = {MODEL_PART(NameBuffer), MODEL_PART(MuteArray),
                                        MODEL_PART(SoloArray)};

static std::string RecallAndStore(const std::string& text) {
  tracks_parts.Reset();
  ParseTracksText(text.data(), text.size());
  return BuildTracksText();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string first = RecallAndStore(std::string(reinterpret_cast<const char*>(data), size));
  std::string second = RecallAndStore(first);
  if (first != second) {
    fprintf(stderr, "the first and second saved tracks.txt differ:\n%s\n---\n%s\n",
            first.c_str(), second.c_str());
    abort();
  }
  return 0;
}
