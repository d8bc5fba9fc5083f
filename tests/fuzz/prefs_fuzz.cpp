// Feeds any bytes to the prefs file reader on a freshly reset model, then
// checks the round trip: what a save writes after that recall, recalled
// into a reset model and saved again (twice), gives the same bytes the
// second and the third time. (The first save may differ: a value that is
// not written, such as a pan law of 7, leaves the reset model's value.)
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "files/files.h"
#include "model/model.h"
#include "model_parts.h"

// Everything of the model that prefs.txt reads or writes.
static const ModelParts prefs_parts = {
  MODEL_PART(PreviewOn), MODEL_PART(PreviewArray), MODEL_PART(XinArray), MODEL_PART(XoutArray),
  MODEL_PART(HeadTailArray), MODEL_PART(Path), MODEL_PART(WavDirName), MODEL_PART(MixDirName),
  MODEL_PART(LaunchCommand), MODEL_PART(MixName), MODEL_PART(DeviceName), MODEL_PART(PlayMode),
  MODEL_PART(PanlawStore), MODEL_PART(OutbitsStore), MODEL_PART(DitherBits), MODEL_PART(monoOn),
  MODEL_PART(color)};

static std::string RecallAndStore(const std::string& text) {
  prefs_parts.Reset();
  ParsePrefsText(text.data(), text.size());
  return BuildPrefsText(text);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::string second = RecallAndStore(RecallAndStore(bytes));
  std::string third = RecallAndStore(second);
  if (second != third) {
    fprintf(stderr, "the second and third saved prefs.txt differ:\n%s\n---\n%s\n",
            second.c_str(), third.c_str());
    abort();
  }
  return 0;
}
