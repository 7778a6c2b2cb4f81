#include "platform/audio/virtual/virtual_mixer.h"

#include <cmath>

namespace {

const std::vector<MixerLine> &virtualLines()
{
    static const std::vector<MixerLine> lines = {
        {QStringLiteral("Microphone"), kLineTypeMicrophone},
        {QStringLiteral("Entrée ligne"), kLineTypeLine},
        {QStringLiteral("CD audio"), kLineTypeCompactDisc},
    };
    return lines;
}

} // namespace

void VirtualMixerState::applyVolume(std::span<std::int16_t> samples, int channels)
{
    std::array<std::uint32_t, 2> levels;
    {
        std::lock_guard lock(mutex);
        levels = volume;
    }
    if (levels[0] == kFullVolume && levels[1] == kFullVolume)
        return;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::uint32_t level = levels[channels == 2 ? i % 2 : 0];
        samples[i] = static_cast<std::int16_t>(std::lround(samples[i] * (level / double(kFullVolume))));
    }
}

Result<std::vector<MixerLine>> VirtualMixer::lines()
{
    return virtualLines();
}

Status VirtualMixer::selectLine(int index)
{
    if (index < 0 || index >= static_cast<int>(virtualLines().size()))
        return Failure{QStringLiteral("Aucune ligne n° %1.").arg(index)};
    std::lock_guard lock(m_state->mutex);
    m_state->selectedLine = index;
    return {};
}

Result<int> VirtualMixer::selectedLine()
{
    std::lock_guard lock(m_state->mutex);
    return m_state->selectedLine;
}

Result<std::uint32_t> VirtualMixer::volume()
{
    std::lock_guard lock(m_state->mutex);
    return m_state->volume[0];
}

Status VirtualMixer::setVolume(std::uint32_t volume)
{
    if (volume > VirtualMixerState::kFullVolume)
        return Failure{QStringLiteral("Volume hors limites : %1 (0 à 65535).").arg(volume)};
    std::lock_guard lock(m_state->mutex);
    m_state->volume = {volume, volume};
    return {};
}

std::array<std::uint32_t, 2> VirtualMixer::channelVolumes() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->volume;
}
