// Test signals for the effects and their measurement: sines, noise, levels in dB.
#pragma once

#include <cstdint>
#include <vector>

class clsDSP;

// A sine of the given peak amplitude, `values` 16-bit values, the same in each channel.
std::vector<std::int16_t> sineBlock(double hz, double rateHz, double amplitude, int values, int channels = 1);

// Uniform noise in [-amplitude, amplitude], the same for a given seed.
std::vector<std::int16_t> noiseBlock(int values, int amplitude, unsigned seed);

// Root-mean-square level in dB of values [from, to).
double rmsDb(const std::vector<std::int16_t> &values, std::size_t from, std::size_t to);

// A chain at the given format with the given effects switched on.
void prepare(clsDSP &dsp, int rateHz, int channels, int effects);

// Runs the chain over `values` in blocks of at most blockValues values.
void processInBlocks(clsDSP &dsp, std::vector<std::int16_t> &values, std::size_t blockValues);
