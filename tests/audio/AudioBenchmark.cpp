// Prints what one slider message costs in Core Audio calls: each level write is a full
// enumerator - default endpoint - activation cycle, as the panel does per dragged pixel.
// Run under the prefix with the simulator registered; figures only, nothing is asserted.
#include "audio/AudioEndpointControl.h"
#include "audio/PanelEventContext.h"
#include "audio/VolumeMapping.h"

#include <windows.h>
#include <objbase.h>

#include <cstdio>

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

template <class Operation>
void Measure(const char* what, int rounds, Operation operation)
{
    operation(0);  // loads the simulator and warms its shared state
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < rounds; ++i)
        operation(i);
    QueryPerformanceCounter(&end);
    std::printf("%-40s %8.3f ms per call (%d calls)\n", what, Milliseconds(start, end) / rounds,
                rounds);
}

}  // namespace

int main()
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    WritePanelEventContext();
    CAudioEndpointControl audio;
    const int rounds = 500;
    Measure("SetChannelLevel (one unlinked move)", rounds,
            [&](int i) { audio.SetChannelLevel(0, SliderPositionToLevel(i % 101)); });
    Measure("two SetChannelLevel (one linked move)", rounds, [&](int i) {
        audio.SetChannelLevel(0, SliderPositionToLevel(i % 101));
        audio.SetChannelLevel(1, SliderPositionToLevel(i % 101));
    });
    // A step someone watches: its tooltip reads the scalar and the dB back in one more cycle.
    CAudioEndpointControl::ChannelLevel shown;
    Measure("one unlinked move with its tooltip read", rounds, [&](int i) {
        audio.SetChannelLevel(0, SliderPositionToLevel(i % 101));
        audio.TryReadChannelLevel(0, &shown);
    });
    float level = 0.0f;
    BOOL mute = FALSE;
    Measure("refresh: two GetChannelLevel + mute", rounds, [&](int) {
        audio.GetChannelLevel(0, &level);
        audio.GetChannelLevel(1, &level);
        audio.GetEndpointMute(&mute);
    });
    Measure("QueryDefaultOutput", 100, [&](int) { audio.QueryDefaultOutput(); });
    return 0;
}
