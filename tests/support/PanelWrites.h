// What the panel itself asked Core Audio to do, read from the simulator's call log.
#pragma once

#include <vector>

#include "sim/coreaudio/SimControl.h"

namespace paneltest {

// The channel level writes that did not come from the control tool, in order.
inline std::vector<CoreAudioSim::CallRecord> PanelLevelWrites()
{
    std::vector<CoreAudioSim::CallRecord> out;
    for (const auto& c : CoreAudioSim::ReadCallLog())
        if (!c.viaControl && c.kind == CoreAudioSim::kCallSetChannelLevel)
            out.push_back(c);
    return out;
}

}  // namespace paneltest
