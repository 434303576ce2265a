// Output identifiers: which of the device's outputs is meant. Shared by endpoint selection,
// the topology walk, output switching and the panel, so they live below all of them.
#pragma once

constexpr int OUTPUT_SPDIF = 101024;
constexpr int OUTPUT_SPEAKER = 101025;
constexpr int OUTPUT_NONE = 0;  // no output recognised
