// coreaudiobench: prints what the simulator costs the panel, so that figures measured against
// it can be read correctly. One "cycle" is what the panel does per slider pixel and channel:
// create the enumerator, take the default render endpoint, activate its endpoint volume, set
// one channel level, release everything. Latency is from a change to its callback.
#include "sim/coreaudio/SimControl.h"

#include <endpointvolume.h>
#include <mmdeviceapi.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

constexpr CLSID kClsidEnumerator = {0xBCDE0395, 0xE52F, 0x467C, {0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E}};
constexpr GUID kBenchContext = {0x62656E63, 0x6800, 0x4B65, {0x73, 0x74, 0x72, 0x75, 0x6E, 0x42, 0x4E, 0x43}};

class CLatencyProbe : public IAudioEndpointVolumeCallback {
public:
    CLatencyProbe() : m_arrived(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    virtual ~CLatencyProbe() { CloseHandle(m_arrived); }
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IAudioEndpointVolumeCallback)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_refCount; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG count = --m_refCount;
        if (count == 0)
            delete this;
        return count;
    }
    STDMETHODIMP OnNotify(AUDIO_VOLUME_NOTIFICATION_DATA*) override
    {
        SetEvent(m_arrived);
        return S_OK;
    }
    HANDLE Arrived() const { return m_arrived; }

private:
    std::atomic<ULONG> m_refCount{1};
    HANDLE m_arrived;
};

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency)
{
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void PrintFigures(const char* what, std::vector<double>& samples)
{
    if (samples.empty()) {
        std::printf("%s: no samples\n", what);
        return;
    }
    std::sort(samples.begin(), samples.end());
    double sum = 0;
    for (double sample : samples)
        sum += sample;
    std::printf("%s: n=%zu mean=%.1f us median=%.1f us p95=%.1f us max=%.1f us\n", what, samples.size(),
                1e6 * sum / samples.size(), 1e6 * samples[samples.size() / 2], 1e6 * samples[samples.size() * 95 / 100],
                1e6 * samples.back());
}

}  // namespace

int main()
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        return 1;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    CoreAudioSim::Reset();

    std::vector<double> cycles;
    for (int i = 0; i < 500; ++i) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        ComPtr<IMMDeviceEnumerator> enumerator;
        ComPtr<IMMDevice> device;
        ComPtr<IAudioEndpointVolume> volume;
        HRESULT hr = CoCreateInstance(kClsidEnumerator, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&enumerator));
        if (SUCCEEDED(hr))
            hr = enumerator->GetDefaultAudioEndpoint(eRender, eMultimedia, &device);
        if (SUCCEEDED(hr))
            hr = device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_INPROC_SERVER, nullptr, &volume);
        if (SUCCEEDED(hr))
            hr = volume->SetChannelVolumeLevelScalar(0, (i % 100) / 100.0f, &kBenchContext);
        volume.Reset();
        device.Reset();
        enumerator.Reset();
        QueryPerformanceCounter(&end);
        if (FAILED(hr)) {
            std::printf("cycle failed: 0x%08lX\n", static_cast<unsigned long>(hr));
            return 1;
        }
        cycles.push_back(Seconds(start, end, frequency));
    }
    PrintFigures("set-level cycle (create enumerator .. release)", cycles);

    // The share of the cycle that COM's class look-up takes, before the simulator runs at all.
    std::vector<double> creations;
    for (int i = 0; i < 500; ++i) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        ComPtr<IMMDeviceEnumerator> created;
        CoCreateInstance(kClsidEnumerator, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&created));
        created.Reset();
        QueryPerformanceCounter(&end);
        creations.push_back(Seconds(start, end, frequency));
    }
    PrintFigures("CoCreateInstance alone", creations);

    ComPtr<IMMDeviceEnumerator> enumerator;
    ComPtr<IMMDevice> device;
    ComPtr<IAudioEndpointVolume> volume;
    CoCreateInstance(kClsidEnumerator, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&enumerator));
    if (!enumerator || FAILED(enumerator->GetDefaultAudioEndpoint(eRender, eMultimedia, &device)) ||
        FAILED(device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_INPROC_SERVER, nullptr, &volume)))
        return 1;
    ComPtr<CLatencyProbe> probe;
    probe.Attach(new CLatencyProbe());
    volume->RegisterControlChangeNotify(probe.Get());
    CoreAudioSim::WaitForDelivery();
    std::vector<double> latencies;
    for (int i = 0; i < 200; ++i) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        CoreAudioSim::SetChannelLevel(L"0", 1, (i % 2) ? 0.25f : 0.75f, kBenchContext);
        if (WaitForSingleObject(probe->Arrived(), 2000) != WAIT_OBJECT_0) {
            std::printf("callback did not arrive\n");
            return 1;
        }
        QueryPerformanceCounter(&end);
        latencies.push_back(Seconds(start, end, frequency));
    }
    PrintFigures("change to callback latency", latencies);
    volume->UnregisterControlChangeNotify(probe.Get());
    CoreAudioSim::Reset();
    return 0;
}
