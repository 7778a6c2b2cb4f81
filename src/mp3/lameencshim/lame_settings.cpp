#include "lame_settings.h"

#include "lameencshim.h"

#include <algorithm>

namespace shim {
namespace {

// Preset numbers of the configuration record, in the library's quality-preset numbering.
enum Preset : std::int32_t {
    kNoPreset = -1,
    kNormalQuality = 0,
    kLowQuality = 1,
    kHighQuality = 2,
    kVoiceQuality = 3,
    kR3mix = 4,
    kVeryHighQuality = 5,
    kStandard = 6,
    kFastStandard = 7,
    kExtreme = 8,
    kFastExtreme = 9,
    kInsane = 10,
    kAbr = 11,
    kCbr = 12,
    kMedium = 13,
    kFastMedium = 14,
};

// VBR methods of the record (used without a preset).
enum VbrMethod : std::int32_t {
    kMethodNone = -1,
    kMethodDefault = 0,
    kMethodOld = 1,
    kMethodNew = 2,
    kMethodMtrh = 3,
    kMethodAbr = 4,
};

int clampKbps(std::uint32_t kbps)
{
    return static_cast<int>(std::clamp<std::uint32_t>(kbps, 8, 320));
}

// The mean bit rate of an average-bit-rate encoding: the record's ABR rate when given, else
// the configured bit rate.
int abrKbps(const LameConfigRecord &record)
{
    if (record.vbrAbrBps > 0)
        return clampKbps((record.vbrAbrBps + 500) / 1000);
    return clampKbps(record.bitrate ? record.bitrate : 128);
}

bool isMpeg1Rate(std::uint32_t rateHz)
{
    return rateHz == 32000 || rateHz == 44100 || rateHz == 48000;
}

void constantBitRate(lame_t lame, const LameConfigRecord &record, int qualityLevel)
{
    lame_set_VBR(lame, vbr_off);
    if (record.bitrate > 0)
        lame_set_brate(lame, static_cast<int>(record.bitrate));
    lame_set_quality(lame, qualityLevel);
}

// The record's own VBR and bit-rate fields, used when no preset is chosen.
bool applyFreeSettings(lame_t lame, const LameConfigRecord &record)
{
    if (!record.enableVbr) {
        lame_set_VBR(lame, vbr_off);
        if (record.bitrate > 0)
            lame_set_brate(lame, static_cast<int>(record.bitrate));
    } else {
        if (record.vbrQuality < 0 || record.vbrQuality > 9)
            return false;
        lame_set_VBR_q(lame, record.vbrQuality);
        switch (record.vbrMethod) {
        case kMethodNone: lame_set_VBR(lame, vbr_off); break;
        case kMethodDefault: lame_set_VBR(lame, vbr_default); break;
        case kMethodOld: lame_set_VBR(lame, vbr_rh); break;
        case kMethodNew:
        case kMethodMtrh: lame_set_VBR(lame, vbr_mtrh); break;
        case kMethodAbr:
            lame_set_VBR(lame, vbr_abr);
            lame_set_VBR_mean_bitrate_kbps(lame, abrKbps(record));
            break;
        default: return false;
        }
        if (record.bitrate > 0) {
            lame_set_brate(lame, static_cast<int>(record.bitrate));
            lame_set_VBR_min_bitrate_kbps(lame, static_cast<int>(record.bitrate));
        }
        if (record.maxBitrate > 0)
            lame_set_VBR_max_bitrate_kbps(lame, static_cast<int>(record.maxBitrate));
    }
    if (record.vbrAbrBps > 0) {
        lame_set_VBR(lame, vbr_abr);
        lame_set_VBR_mean_bitrate_kbps(lame, abrKbps(record));
    }
    return true;
}

// What each preset's name promises. Returns false for a number outside the list. (The
// library's own preset call answers with the VBR level it chose, not a status, so it is not
// checked; lame_init_params checks the whole setting afterwards.)
bool applyPreset(lame_t lame, const LameConfigRecord &record)
{
    switch (record.preset) {
    case kNoPreset: return applyFreeSettings(lame, record);
    // The quality levels at the configured constant bit rate, from the slowest (0) to the
    // fastest (9).
    case kVeryHighQuality: constantBitRate(lame, record, 0); return true;
    case kHighQuality: constantBitRate(lame, record, 2); return true;
    case kMedium: constantBitRate(lame, record, 4); return true;
    case kNormalQuality: constantBitRate(lame, record, 5); return true;
    case kFastMedium: constantBitRate(lame, record, 7); return true;
    case kLowQuality: constantBitRate(lame, record, 9); return true;
    case kVoiceQuality:
        // Speech: variable bit rate around 100-140 kbit/s at a 32 kHz output rate.
        lame_set_VBR(lame, vbr_mtrh);
        lame_set_VBR_q(lame, 1);
        if (record.reSampleRate == 0)
            lame_set_out_samplerate(lame, 32000);
        return true;
    case kR3mix: lame_set_preset(lame, R3MIX);
        return true;
    case kStandard: lame_set_preset(lame, STANDARD);
        return true;
    case kFastStandard: lame_set_preset(lame, STANDARD_FAST);
        return true;
    case kExtreme: lame_set_preset(lame, EXTREME);
        return true;
    case kFastExtreme: lame_set_preset(lame, EXTREME_FAST);
        return true;
    case kInsane:
        // 320 kbit/s exists only at the MPEG-1 rates: a source at another rate is encoded at
        // 44.1 kHz, as the preset's name says.
        lame_set_preset(lame, INSANE);
        if (record.reSampleRate == 0 && !isMpeg1Rate(record.sampleRate))
            lame_set_out_samplerate(lame, 44100);
        return true;
    case kAbr: {
        lame_set_preset(lame, abrKbps(record)); // a number 8-320 is the ABR preset of that rate
        return true;
    }
    case kCbr: {
        const int kbps = clampKbps(record.bitrate ? record.bitrate : 128);
        lame_set_preset(lame, kbps);
        lame_set_VBR(lame, vbr_off);
        lame_set_brate(lame, kbps);
        return true;
    }
    default: return false;
    }
}

bool applyMode(lame_t lame, std::int32_t mode)
{
    switch (mode) {
    case 0: return lame_set_mode(lame, STEREO) == 0;
    case 1: return lame_set_mode(lame, JOINT_STEREO) == 0;
    // LAME has no dual-channel coding; two independently coded channels come closest.
    case 2: return lame_set_mode(lame, STEREO) == 0;
    case 3: return lame_set_mode(lame, MONO) == 0;
    default: return false;
    }
}

} // namespace

std::uint32_t applyConfig(lame_t lame, const LameConfigRecord &record)
{
    static_assert(kLameConfigRecordBytes == BE_CONFIG_RECORD_BYTES && kLameConfigKind == BE_CONFIG_LAME);
    if (record.config != kLameConfigKind || record.structVersion != 1 || record.structSize != kLameConfigRecordBytes)
        return BE_ERR_INVALID_FORMAT;
    // Without the source's rate the library would assume 44100 Hz and play anything else at the
    // wrong speed.
    if (record.sampleRate == 0 || record.emphasis > 3)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;

    lame_set_num_channels(lame, 2);
    if (lame_set_in_samplerate(lame, static_cast<int>(record.sampleRate)) != 0)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (!applyMode(lame, record.mode) || !applyPreset(lame, record))
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (record.reSampleRate > 0)
        lame_set_out_samplerate(lame, static_cast<int>(record.reSampleRate));

    lame_set_emphasis(lame, static_cast<int>(record.emphasis));
    lame_set_extension(lame, record.privateBit ? 1 : 0);
    lame_set_error_protection(lame, record.crc ? 1 : 0);
    lame_set_copyright(lame, record.copyright ? 1 : 0);
    lame_set_original(lame, record.original ? 1 : 0);
    lame_set_strict_ISO(lame, record.strictIso ? 1 : 0);
    lame_set_disable_reservoir(lame, record.noReservoir ? 1 : 0);
    lame_set_bWriteVbrTag(lame, record.writeVbrHeader ? 1 : 0);
    const int level = record.quality & 0xFF;
    if (level == ((~(record.quality >> 8)) & 0xFF) && level <= 9)
        lame_set_quality(lame, level);

    if (lame_init_params(lame) != 0)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    return BE_ERR_SUCCESSFUL;
}

} // namespace shim
