// The engine's effects: one chain per channel slot (input channel, submix
// or master) built once from that slot's effect records, and the two
// global reverbs fed by the send buses.
#ifndef VORLAX4_FX_H
#define VORLAX4_FX_H

struct FxChain;
struct ReverbUnit;

// Builds the chain of slot from the model's records (only the effects whose
// on flag is 1.0, in the engine's order). Returns nullptr when no effect of
// the slot is on, so that a bypassed channel costs nothing.
FxChain* FxChainCreate(int slot, double rate);
// Look-ahead of the chain in samples (the caller delays the other channels).
int FxChainLatency(const FxChain* chain);
// Processes frames samples of a stereo block in place (any number of
// frames; a mono block may pass the same buffer as left and right). The
// output lags the input by FxChainLatency frames.
void FxChainProcess(FxChain* chain, float* left, float* right, int frames);
void FxChainDestroy(FxChain* chain);
// The effects exist in a plain build and in one for processors with AVX2
// and FMA, picked when a chain is built; with plain true, chains built
// afterwards use the plain one whatever the processor (for tests).
void FxForcePlainBuild(bool plain);

// The reverb (Prtn, Prhp, Prlp, Prev_width, Prev_position) and the tap
// reverb (Ptrtn), built from the model. Each returns nullptr when no input
// channel or submix has its send to it on (the master's sends are ignored),
// and processing or destroying nullptr does nothing. Process reads a mono
// send bus and ADDS the return, at its return level, into outL and outR;
// the return has no look-ahead.
ReverbUnit* ReverbCreate(double rate);
ReverbUnit* TapReverbCreate(double rate);
void ReverbProcess(ReverbUnit* unit, const float* in, float* outL, float* outR, int frames);
void ReverbDestroy(ReverbUnit* unit);

#endif
