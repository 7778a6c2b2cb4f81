// clsSmooth: a short ring of the last values added, read back as their mean. The main window
// keeps one per channel, created with SmoothNew(3), so a level bar shows the mean of the last
// three block peaks. The rings are never cleared between recordings.
#pragma once

#include <cstdint>
#include <vector>

class clsSmooth {
public:
    // (Re)creates the ring with `size` zero slots, none filled yet. A size below 1 gives an
    // empty ring that ignores what is added.
    void SmoothNew(std::int32_t size);

    void SmoothAdd(float sample);

    // The mean of the filled slots (not their maximum, despite the name); 0 while none is.
    float SmoothGetMax() const;

private:
    std::vector<float> m_values;
    std::int32_t m_size = 0;
    std::int32_t m_count = 0;
    std::int32_t m_position = 0;
};
