// A stand-in encoder library for the tests: it passes every call to the project's real shim
// (loaded from SONORIEL_LAME_SHIM_PATH), records what it was given, and can be told to answer
// one call with a chosen result, as a library in trouble would. The test reaches the controls
// below through the same loaded copy the encoder uses.
#include "mp3/lameencshim/lameencshim.h"

#include <dlfcn.h>

#include <cstdlib>
#include <vector>

#define FAULT_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// The real shim's operation `name`; the real shim is built with the tests, so a missing one is
// a build fault.
template <typename F>
F real(F, const char *name)
{
    static void *const library = ::dlopen(SONORIEL_LAME_SHIM_PATH, RTLD_NOW | RTLD_LOCAL);
    void *f = library ? ::dlsym(library, name) : nullptr;
    if (!f)
        std::abort();
    return reinterpret_cast<F>(f);
}
#define REAL(operation) real(&::operation, #operation)

struct Faults {
    uint32_t failEncodeCall = 0; // 1-based; 0: never
    uint32_t failEncodeResult = 0;
    uint32_t initResult = 0; // answered instead of opening a stream when not 0
    bool zeroHandle = false; // report success without a handle
    int openStreams = 0;
    std::vector<uint32_t> encodeSamples;
} faults;

} // namespace

FAULT_EXPORT void faultShimReset() { faults = Faults{}; }
FAULT_EXPORT void faultShimFailEncodeAt(uint32_t call, uint32_t result)
{
    faults.failEncodeCall = call;
    faults.failEncodeResult = result;
}
FAULT_EXPORT void faultShimFailInitWith(uint32_t result) { faults.initResult = result; }
FAULT_EXPORT void faultShimReportNoHandle() { faults.zeroHandle = true; }
FAULT_EXPORT int faultShimOpenStreams() { return faults.openStreams; }
FAULT_EXPORT uint32_t faultShimEncodeCalls() { return static_cast<uint32_t>(faults.encodeSamples.size()); }
FAULT_EXPORT uint32_t faultShimEncodeSamples(uint32_t i)
{
    return i < faults.encodeSamples.size() ? faults.encodeSamples[i] : 0;
}

FAULT_EXPORT uint32_t beInitStream(const uint8_t *config, uint32_t *chunkSamples, uint32_t *outputBytes,
                                   uint32_t *stream)
{
    if (faults.initResult != 0) {
        *chunkSamples = *outputBytes = *stream = 0;
        return faults.initResult;
    }
    const uint32_t result = REAL(beInitStream)(config, chunkSamples, outputBytes, stream);
    if (result == BE_ERR_SUCCESSFUL && faults.zeroHandle) {
        REAL(beCloseStream)(*stream);
        *stream = 0;
    } else if (result == BE_ERR_SUCCESSFUL) {
        ++faults.openStreams;
    }
    return result;
}

FAULT_EXPORT uint32_t beEncodeChunk(uint32_t stream, uint32_t samples, const int16_t *pcm, uint8_t *output,
                                    uint32_t *written)
{
    faults.encodeSamples.push_back(samples);
    if (faults.failEncodeCall != 0 && faults.encodeSamples.size() == faults.failEncodeCall) {
        *written = 0;
        return faults.failEncodeResult;
    }
    return REAL(beEncodeChunk)(stream, samples, pcm, output, written);
}

FAULT_EXPORT uint32_t beDeinitStream(uint32_t stream, uint8_t *output, uint32_t *written)
{
    return REAL(beDeinitStream)(stream, output, written);
}

FAULT_EXPORT uint32_t beCloseStream(uint32_t stream)
{
    const uint32_t result = REAL(beCloseStream)(stream);
    if (result == BE_ERR_SUCCESSFUL)
        --faults.openStreams;
    return result;
}

FAULT_EXPORT void beVersion(uint8_t *version) { REAL(beVersion)(version); }

FAULT_EXPORT uint32_t beInfoTag(uint32_t stream, uint8_t *output, uint32_t capacity, uint32_t *written)
{
    return REAL(beInfoTag)(stream, output, capacity, written);
}
