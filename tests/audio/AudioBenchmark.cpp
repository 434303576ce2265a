// Prints what one slider message costs in Core Audio calls: each level write is a full
// enumerator - default endpoint - activation cycle, as the panel does per dragged pixel.
// The step is timed interleaved with a bare cycle written out here, in the same process and
// with the same statistic, so that a busy machine weighs on both alike: a ratio taken from
// two programs run at different moments measures the machine, not the step.
// Run under the prefix with the simulator registered; figures only, nothing is asserted.
#include "audio/AudioEndpointControl.h"
#include "audio/PanelEventContext.h"
#include "audio/VolumeMapping.h"

#include <windows.h>
#include <objbase.h>
#include <mmdeviceapi.h>
#include <endpointvolume.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

class Samples {
public:
    template <class Operation>
    void Time(Operation operation)
    {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        operation();
        QueryPerformanceCounter(&end);
        m_samples.push_back(Milliseconds(start, end));
    }
    // Each sample over the one taken at the same place in other: the two were timed side by side.
    Samples Over(const Samples& other) const
    {
        Samples ratios;
        for (size_t i = 0; i < m_samples.size() && i < other.m_samples.size(); ++i)
            ratios.m_samples.push_back(m_samples[i] / other.m_samples[i]);
        return ratios;
    }
    double Median() const { return Quantile(0.5); }
    // The median first: it stands still when another program takes the cores for a moment.
    void Print(const char* what) const
    {
        double sum = 0.0;
        for (double sample : m_samples)
            sum += sample;
        std::printf("%-40s %8.3f ms median %8.3f ms mean %8.3f ms p95 (%zu calls)\n", what, Median(),
                    m_samples.empty() ? 0.0 : sum / m_samples.size(), Quantile(0.95), m_samples.size());
    }

private:
    double Quantile(double share) const
    {
        if (m_samples.empty())
            return 0.0;
        std::vector<double> sorted = m_samples;
        std::sort(sorted.begin(), sorted.end());
        return sorted[static_cast<size_t>(share * (sorted.size() - 1) + 0.5)];
    }

    std::vector<double> m_samples;
};

template <class Operation>
void Measure(const char* what, int rounds, Operation operation)
{
    operation(0);  // loads the simulator and warms its shared state
    Samples samples;
    for (int i = 0; i < rounds; ++i)
        samples.Time([&] { operation(i); });
    samples.Print(what);
}

// The cycle without the panel's code: what the simulator and COM cost by themselves.
void BareSetLevel(float level)
{
    ComPtr<IMMDeviceEnumerator> enumerator;
    ComPtr<IMMDevice> device;
    ComPtr<IAudioEndpointVolume> volume;
    if (SUCCEEDED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER,
                                   IID_PPV_ARGS(&enumerator))) &&
        SUCCEEDED(enumerator->GetDefaultAudioEndpoint(eRender, eMultimedia, &device)) &&
        SUCCEEDED(device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_INPROC_SERVER, nullptr,
                                   reinterpret_cast<void**>(volume.GetAddressOf()))))
        volume->SetChannelVolumeLevelScalar(0, level, &g_panelEventContext);
}

}  // namespace

int main()
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    WritePanelEventContext();
    CAudioEndpointControl audio;
    const int rounds = 500;

    // Every write changes the level (an unchanged level skips the change's notification), and
    // the two alternate which goes first.
    audio.SetChannelLevel(0, SliderPositionToLevel(0));
    BareSetLevel(SliderPositionToLevel(50));
    Samples step, bare;
    for (int i = 0; i < rounds; ++i) {
        auto timeStep = [&] { step.Time([&] { audio.SetChannelLevel(0, SliderPositionToLevel(i % 101)); }); };
        auto timeBare = [&] { bare.Time([&] { BareSetLevel(SliderPositionToLevel((i + 50) % 101)); }); };
        if (i % 2 == 0) {
            timeStep();
            timeBare();
        } else {
            timeBare();
            timeStep();
        }
    }
    step.Print("SetChannelLevel (one unlinked move)");
    bare.Print("bare set-level cycle, interleaved");
    // The median of each step over the cycle beside it: a load that comes and goes during the
    // run weighs on both sides of a pair alike.
    std::printf("%-40s %8.2fx (median of pairs), %.2fx (of medians)\n", "unlinked move / bare cycle",
                step.Over(bare).Median(), step.Median() / bare.Median());

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
