// The LAME settings that follow from the configuration record: the preset number chooses the
// encoding, the other fields refine it.
#pragma once

#include "lame_config_record.h"

#include <lame/lame.h>

#include <cstdint>

namespace shim {

// Applies the record to a fresh LAME context (input: interleaved 16-bit stereo) and
// initialises it. Returns a BE_ERR code: 1 for a record of another kind or size, 2 for values
// the library refuses.
std::uint32_t applyConfig(lame_t lame, const LameConfigRecord &record);

} // namespace shim
