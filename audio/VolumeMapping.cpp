#include "audio/VolumeMapping.h"

#include <cmath>

int LevelToSliderPosition(float level)
{
    if (std::isnan(level))
        return 100;
    const double position = (1.0 - static_cast<double>(level)) * 100.0;
    if (position <= 0.0)
        return 0;
    if (position >= 100.0)
        return 100;
    return static_cast<int>(position);
}

float SliderPositionToLevel(int position)
{
    return 1.0f - static_cast<float>(position) / 100.0f;
}
