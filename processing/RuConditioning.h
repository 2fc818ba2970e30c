#pragma once
// Signal conditioning shared by the detectors: spectral averaging, normalisation by the
// background and the asymmetry about the zero channel.

#include "RuFrame.h"
#include "RuMatrix.h"

// The 1024 unsigned 32-bit little-endian values of a range-gate record as floats, each the
// nearest float to the integer: what RuFrame::toMatrix makes of a row.
void ruRecordToFloats(const unsigned char *record, float *out);
// RuFrame::toMatrix into `out`, whose storage is reused when its shape stays.
void ruFrameToMatrix(const RuFrame &frame, RuMatrix &out);

// Mean of the 2n+1 channels around each channel of the same row, channel indices wrapping
// modulo 1024. Radius 0 or less returns the matrix unchanged.
RuMatrix ruSpectralAverage(const RuMatrix &m, int radius);

// filtered / max(1, background), element-wise. Both must have the same rows.
void ruNormalise(const RuMatrix &filtered, const RuMatrix &background, RuMatrix &out);
RuMatrix ruNormalised(const RuMatrix &filtered, const RuMatrix &background);

// X(r, c) = N(r, c) + 1 - N(r, 1023 - c): about 1 where the spectrum is symmetric.
void ruAsymmetry(const RuMatrix &normalised, RuMatrix &out);

// Both of the above, a range gate at a time: the asymmetry reads the normalised row while it
// is still in the cache.
void ruNormaliseWithAsymmetry(const RuMatrix &filtered, const RuMatrix &background,
                              RuMatrix &normalised, RuMatrix &asymmetry);

// Sum of channels [begin, begin + width) of row r, the window clipped to the row.
double ruWindowSum(const RuMatrix &m, int row, int begin, int width);
