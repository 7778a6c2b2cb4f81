// One capture buffer as the device sees it (the wave header of the platform): the caller owns
// the memory; the device writes into it only while it is queued.
#pragma once

#include <cstdint>

struct CaptureBuffer {
    std::int16_t *data = nullptr;   // first sample; the memory belongs to the caller
    std::uint32_t bufferBytes = 0;  // capacity in bytes, even
    std::uint32_t bytesRecorded = 0;
    std::intptr_t user = 0;         // caller's value; the recorder keeps the ring index here
    bool prepared = false;
    bool done = false;              // set by the device when it hands the buffer back
};
