// clsSmooth's ring of values and their mean.
#include "display/smooth.h"

void clsSmooth::SmoothNew(std::int32_t size)
{
    m_size = size < 1 ? 0 : size;
    m_values.assign(static_cast<std::size_t>(m_size), 0.0f);
    m_count = 0;
    m_position = 0;
}

void clsSmooth::SmoothAdd(float sample)
{
    if (m_size == 0)
        return;
    m_values[static_cast<std::size_t>(m_position)] = sample;
    ++m_position;
    if (m_position > m_count)
        m_count = m_position;
    if (m_position >= m_size)
        m_position = 0;
}

float clsSmooth::SmoothGetMax() const
{
    if (m_count == 0)
        return 0;
    float sum = 0;
    for (std::int32_t i = 0; i < m_count; ++i)
        sum += m_values[static_cast<std::size_t>(i)];
    return sum / static_cast<float>(m_count);
}
