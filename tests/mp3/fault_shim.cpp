// A stand-in encoder library for the tests: it passes every call to the project's real shim
// (loaded from SONORIEL_LAME_SHIM_PATH) and records what it was given, and can be told to
// answer one call with a chosen result, as a library in trouble would. The test reaches the
// controls below through the same loaded copy the encoder uses.
#include "mp3/lameencshim/lameencshim.h"

#include <dlfcn.h>

#include <cstdlib>
#include <vector>

#define FAULT_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct RealShim {
    decltype(&beInitStream) init = nullptr;
    decltype(&beEncodeChunk) encode = nullptr;
    decltype(&beDeinitStream) deinit = nullptr;
    decltype(&beCloseStream) close = nullptr;
    decltype(&beVersion) version = nullptr;
    decltype(&beInfoTag) infoTag = nullptr;
};

template <typename F>
void bind(void *library, F &slot, const char *name)
{
    slot = reinterpret_cast<F>(::dlsym(library, name));
    if (!slot)
        std::abort(); // the real shim is built with the tests; a missing operation is a build fault
}

const RealShim &real()
{
    static const RealShim shim = [] {
        RealShim s;
        void *library = ::dlopen(SONORIEL_LAME_SHIM_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!library)
            std::abort();
        bind(library, s.init, "beInitStream");
        bind(library, s.encode, "beEncodeChunk");
        bind(library, s.deinit, "beDeinitStream");
        bind(library, s.close, "beCloseStream");
        bind(library, s.version, "beVersion");
        bind(library, s.infoTag, "beInfoTag");
        return s;
    }();
    return shim;
}

struct Faults {
    uint32_t failEncodeCall = 0; // 1-based; 0: never
    uint32_t failEncodeResult = 0;
    uint32_t initResult = 0;      // answered instead of opening a stream when not 0
    bool zeroHandle = false;      // report success without a handle
    int openStreams = 0;
    std::vector<uint32_t> encodeSamples;
    uint32_t closeCalls = 0;
};

Faults &faults()
{
    static Faults state;
    return state;
}

} // namespace

FAULT_EXPORT void faultShimReset()
{
    faults() = Faults{};
}

FAULT_EXPORT void faultShimFailEncodeAt(uint32_t call, uint32_t result)
{
    faults().failEncodeCall = call;
    faults().failEncodeResult = result;
}

FAULT_EXPORT void faultShimFailInitWith(uint32_t result)
{
    faults().initResult = result;
}

FAULT_EXPORT void faultShimReportNoHandle()
{
    faults().zeroHandle = true;
}

FAULT_EXPORT int faultShimOpenStreams()
{
    return faults().openStreams;
}

FAULT_EXPORT uint32_t faultShimEncodeCalls()
{
    return static_cast<uint32_t>(faults().encodeSamples.size());
}

FAULT_EXPORT uint32_t faultShimEncodeSamples(uint32_t index)
{
    return index < faults().encodeSamples.size() ? faults().encodeSamples[index] : 0;
}

FAULT_EXPORT uint32_t faultShimCloseCalls()
{
    return faults().closeCalls;
}

FAULT_EXPORT uint32_t beInitStream(const uint8_t *config, uint32_t *chunkSamples, uint32_t *outputBytes,
                                   uint32_t *stream)
{
    if (faults().initResult != 0) {
        *chunkSamples = *outputBytes = *stream = 0;
        return faults().initResult;
    }
    const uint32_t result = real().init(config, chunkSamples, outputBytes, stream);
    if (result == BE_ERR_SUCCESSFUL) {
        ++faults().openStreams;
        if (faults().zeroHandle) {
            real().close(*stream);
            --faults().openStreams;
            *stream = 0;
        }
    }
    return result;
}

FAULT_EXPORT uint32_t beEncodeChunk(uint32_t stream, uint32_t samples, const int16_t *pcm, uint8_t *output,
                                    uint32_t *written)
{
    Faults &f = faults();
    f.encodeSamples.push_back(samples);
    if (f.failEncodeCall != 0 && f.encodeSamples.size() == f.failEncodeCall) {
        *written = 0;
        return f.failEncodeResult;
    }
    return real().encode(stream, samples, pcm, output, written);
}

FAULT_EXPORT uint32_t beDeinitStream(uint32_t stream, uint8_t *output, uint32_t *written)
{
    return real().deinit(stream, output, written);
}

FAULT_EXPORT uint32_t beCloseStream(uint32_t stream)
{
    ++faults().closeCalls;
    const uint32_t result = real().close(stream);
    if (result == BE_ERR_SUCCESSFUL)
        --faults().openStreams;
    return result;
}

FAULT_EXPORT void beVersion(uint8_t *version)
{
    real().version(version);
}

FAULT_EXPORT uint32_t beInfoTag(uint32_t stream, uint8_t *output, uint32_t capacity, uint32_t *written)
{
    return real().infoTag(stream, output, capacity, written);
}
