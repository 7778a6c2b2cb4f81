// The effect settings the benchmarks use, so that the SoX chain of effects_vs_sox.sh can match
// them: 44100 Hz stereo, the default echo, phase shifter and amplifier, seven bands with gains.
#pragma once

class clsDSP;

// Gains in dB of the seven bands in the benchmark; effects_vs_sox.sh uses the same.
inline constexpr float kBenchBandGainsDb[7] = {3, -2, 0, 4, -3, 2, -1};

void setUpForBenchmark(clsDSP &dsp, int effects);
