// The virtual device's mixer: three lines ("Microphone", "Entrée ligne", "CD audio") held in
// memory, one selected, and a recording volume per channel that the device applies to what it
// captures (65535 leaves the samples untouched).
//
// Threads: the mixer's members run on the owner's thread; the device's pacing thread reads the
// volume. VirtualMixerState::mutex guards the state.
#pragma once

#include "platform/audio/audio_backend.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>

struct VirtualMixerState {
    static constexpr std::uint32_t kFullVolume = 65535;

    std::mutex mutex;
    int selectedLine = 0;
    std::array<std::uint32_t, 2> volume{kFullVolume, kFullVolume};

    // Scales interleaved samples by each channel's volume.
    void applyVolume(std::span<std::int16_t> samples, int channels);
};

class VirtualMixer final : public AudioMixer {
public:
    explicit VirtualMixer(std::shared_ptr<VirtualMixerState> state) : m_state(std::move(state)) {}

    Result<std::vector<MixerLine>> lines() override;
    Status selectLine(int index) override;
    Result<int> selectedLine() override;
    Result<std::uint32_t> volume() override;
    Status setVolume(std::uint32_t volume) override;

    // Both channels' volumes, for tests and diagnostics.
    std::array<std::uint32_t, 2> channelVolumes() const;

private:
    std::shared_ptr<VirtualMixerState> m_state;
};
