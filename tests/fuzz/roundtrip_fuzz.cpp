// Round trip of faders.txt: recall any bytes into a reset model and store;
// recall what was stored into a reset model and store again, twice. The
// last two stored texts must be the same bytes. (The first store may still
// differ from the second: a value that rounds to its neutral text, such as
// pan 0.4 written as "0", is written once and then read back as neutral.)
// Also, a recall overlays the file on the model, so recalling the same bytes
// twice must leave what recalling them once leaves: the same stored text.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "files/files.h"
#include "model/model.h"
#include "model_parts.h"

static const ModelParts fader_parts = {ORVANE_FADER_PARTS};

static std::string RecallAndStore(const std::string& text, int recalls = 1) {
  fader_parts.Reset();
  for (int i = 0; i < recalls; i++) ParseFaderText(text.data(), text.size());
  return BuildFaderText(text);
}

// The text with its control bytes shown as \t, \0, \x03, so that it can be
// read and put back into the corpus by hand.
static void Dump(const char* label, const std::string& t) {
  fprintf(stderr, "--- %s (%zu bytes)\n", label, t.size());
  for (unsigned char c : t) {
    if (c == '\n') fputs("\\n\n", stderr);
    else if (c == '\t') fputs("\\t", stderr);
    else if (c == '\\') fputs("\\\\", stderr);
    else if (isprint(c)) fputc(c, stderr);
    else fprintf(stderr, "\\x%02x", c);
  }
  fputc('\n', stderr);
}

static void Fail(const char* what, const std::string& a, const std::string& b) {
  fprintf(stderr, "%s\n", what);
  Dump("a", a);
  Dump("b", b);
  abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::string first = RecallAndStore(bytes);
  if (RecallAndStore(bytes, 2) != first)
    Fail("recalling twice differs from recalling once", first, RecallAndStore(bytes, 2));
  std::string second = RecallAndStore(first);
  std::string third = RecallAndStore(second);
  if (second != third) Fail("the second and third stored texts differ", second, third);
  return 0;
}
