// A quick reset of the parts of the model that one reader writes: their
// bytes in the reset model are kept once and copied back before each input
// (ClearInternalArrays on every input would take most of the fuzzer's time).
#ifndef ORVANE_FUZZ_MODEL_PARTS_H
#define ORVANE_FUZZ_MODEL_PARTS_H

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "model/model.h"

struct ModelPart {
  void* p;
  size_t n;
};
#define MODEL_PART(x) ModelPart{&(x), sizeof(x)}

class ModelParts {
 public:
  ModelParts(std::initializer_list<ModelPart> parts) : parts_(parts) {
    ClearInternalArrays();
    for (const ModelPart& x : parts_) saved_.append(static_cast<const char*>(x.p), x.n);
  }
  void Reset() const {
    size_t at = 0;
    for (const ModelPart& x : parts_) {
      memcpy(x.p, saved_.data() + at, x.n);
      at += x.n;
    }
  }

 private:
  std::vector<ModelPart> parts_;
  std::string saved_;
};

// Everything of the model that faders.txt reads or writes.
#define ORVANE_FX_PART(table, kw, count, d0, d1, d2, d3, d4) MODEL_PART(table),
#define ORVANE_FADER_PARTS                                                                  \
  ORVANE_EFFECTS(ORVANE_FX_PART)                                                            \
  MODEL_PART(IndexMin), MODEL_PART(IndexSec), MODEL_PART(IndexMsec),                        \
  MODEL_PART(IndexActiveArray), MODEL_PART(CueNameBuffer), MODEL_PART(Volume),              \
  MODEL_PART(Offset), MODEL_PART(Ramp), MODEL_PART(Shape), MODEL_PART(ChanActive),          \
  MODEL_PART(Pan), MODEL_PART(SoloArray), MODEL_PART(MuteArray), MODEL_PART(NameBuffer),    \
  MODEL_PART(Prtn), MODEL_PART(Ptrtn), MODEL_PART(Prhp), MODEL_PART(Prlp),                  \
  MODEL_PART(Prev_width), MODEL_PART(Prev_position), MODEL_PART(SubAsn), MODEL_PART(SubOn), \
  MODEL_PART(VcaAsn), MODEL_PART(VcaOn), MODEL_PART(MixName)

#endif
