// Placeholder until the effects land: every chain is bypassed, the reverbs
// return silence.
#include "fx.h"
FxChain* FxChainCreate(int, double) { return nullptr; }
int FxChainLatency(const FxChain*) { return 0; }
void FxChainProcess(FxChain*, float*, float*, int) {}
void FxChainDestroy(FxChain*) {}
ReverbUnit* ReverbCreate(double) { return nullptr; }
ReverbUnit* TapReverbCreate(double) { return nullptr; }
void ReverbProcess(ReverbUnit*, const float*, float*, float*, int) {}
void ReverbDestroy(ReverbUnit*) {}
