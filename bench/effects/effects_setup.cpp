// The benchmark's effect settings.
#include "effects_setup.h"

#include "effects/cls_dsp.h"

void setUpForBenchmark(clsDSP &dsp, int effects)
{
    dsp.setSamplerate(44100);
    dsp.setChannels(2);
    for (int i = 0; i < 7; ++i)
        dsp.setEqualizerBandGainDB(i, kBenchBandGainsDb[i]);
    dsp.setEffectsUsed(effects);
}
