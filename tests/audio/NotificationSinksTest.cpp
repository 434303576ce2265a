#include "audio/NotificationSinks.h"

#include "audio/PanelEventContext.h"
#include "audio/SinkStartup.h"
#include "framework/ScopedHandle.h"
#include "audio/AudioMessages.h"
#include "sim/coreaudio/SimControl.h"
#include "tests/audio/AudioTestSupport.h"

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

using Microsoft::WRL::ComPtr;

namespace {

const GUID kMixerContext = {0x6D697865, 0x7200, 0x4B65, {0x73, 0x74, 0x72, 0x75, 0x6E, 0x53, 0x49, 0x4D}};

// Each sink is created with one reference; the test gives it back at the end.
template <class Sink>
struct SinkHolder {
    Sink* sink = new Sink();
    ~SinkHolder() { sink->Release(); }
};

template <class Sink>
void ExpectIUnknownBehaviour(REFIID own, REFIID foreign)
{
    SinkHolder<Sink> holder;
    Sink* sink = holder.sink;

    const IID* const offered[] = {&__uuidof(IUnknown), &own};
    for (const IID* iid : offered) {
        void* object = nullptr;
        EXPECT_EQ(S_OK, sink->QueryInterface(*iid, &object));
        EXPECT_EQ(static_cast<void*>(sink), object);
        // The query added a reference: 1 (creation) + 1 (query) + 1 (this AddRef).
        EXPECT_EQ(3u, sink->AddRef());
        EXPECT_EQ(2u, sink->Release());
        EXPECT_EQ(1u, sink->Release());
    }
    const IID* const refused[] = {&foreign, &__uuidof(IDispatch), &__uuidof(IMarshal)};
    for (const IID* iid : refused) {
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(E_NOINTERFACE, sink->QueryInterface(*iid, &object));
        EXPECT_EQ(nullptr, object);
    }
    EXPECT_EQ(E_POINTER, sink->QueryInterface(own, nullptr));
    EXPECT_EQ(2u, sink->AddRef());
    EXPECT_EQ(1u, sink->Release());
}

TEST(SinkIUnknownTest, OffersOnlyIUnknownAndItsOwnInterface)
{
    ExpectIUnknownBehaviour<CAudioEndpointVolumeCallback>(__uuidof(IAudioEndpointVolumeCallback),
                                                          __uuidof(IControlChangeNotify));
    ExpectIUnknownBehaviour<CControlChangeNotify>(__uuidof(IControlChangeNotify),
                                                  __uuidof(IAudioEndpointVolumeCallback));
    ExpectIUnknownBehaviour<CMMNotificationClient>(__uuidof(IMMNotificationClient),
                                                   __uuidof(IAudioEndpointVolumeCallback));
}

class SinkPostingTest : public testing::Test {
protected:
    void SetUp() override
    {
        WritePanelEventContext();
        CollectPosted();  // nothing left over from earlier tests
    }
};

TEST_F(SinkPostingTest, VolumeSinkIgnoresOnlyThePanelsOwnContext)
{
    SinkHolder<CAudioEndpointVolumeCallback> holder;
    holder.sink->SetEventContext(g_panelEventContext);
    AUDIO_VOLUME_NOTIFICATION_DATA data = {};
    data.guidEventContext = g_panelEventContext;
    data.nChannels = 1;
    EXPECT_EQ(S_OK, holder.sink->OnNotify(&data));
    EXPECT_TRUE(CollectPosted().empty());

    // One differing byte is a foreign change. While its refresh waits, further changes add
    // nothing; once the panel has taken it, the next change posts again.
    data.guidEventContext.Data4[7] ^= 1;
    EXPECT_EQ(S_OK, holder.sink->OnNotify(&data));
    data.guidEventContext = kMixerContext;
    EXPECT_EQ(S_OK, holder.sink->OnNotify(&data));
    auto posted = CollectPosted();
    ASSERT_EQ(1u, posted.size());
    EXPECT_EQ(static_cast<UINT>(WM_VOLUME_REFRESH), posted[0].message);
    EXPECT_EQ(0u, posted[0].wParam);
    EXPECT_EQ(0, posted[0].lParam);
    EXPECT_EQ(S_OK, holder.sink->OnNotify(&data));
    EXPECT_EQ((std::vector<WPARAM>{0}), VolumeRefreshes(CollectPosted()));
}

TEST_F(SinkPostingTest, ControlChangeSinkTreatsANullContextAsForeign)
{
    SinkHolder<CControlChangeNotify> holder;
    holder.sink->SetEventContext(g_panelEventContext);
    EXPECT_EQ(S_OK, holder.sink->OnNotify(1234, &g_panelEventContext));
    EXPECT_TRUE(CollectPosted().empty());

    EXPECT_EQ(S_OK, holder.sink->OnNotify(1234, nullptr));
    EXPECT_EQ((std::vector<WPARAM>{1}), VolumeRefreshes(CollectPosted()));
    EXPECT_EQ(S_OK, holder.sink->OnNotify(GetCurrentProcessId(), &kMixerContext));
    const auto posted = CollectPosted();
    EXPECT_EQ((std::vector<WPARAM>{1}), VolumeRefreshes(posted));
    EXPECT_EQ(1u, posted.size());
}

struct ChangeCase {
    const wchar_t* deviceId;
    std::vector<LPARAM> posted;
    const char* name;  // what the sink keeps for the record
};

const char kNamedEndpoints[] =
    "endpoint {spdif} render active 2 SPDIF Interface\n"
    "endpoint {s-pdif} render active 2 S/PDIF (Lumirel USB Audio Device)\n"
    "endpoint {speakers} render active 2 Speakers (Lumirel USB Audio Device)\n"
    "endpoint {both} render active 2 SPDIF and speaker out\n"
    "endpoint {lower} render active 2 front speaker\n"
    "endpoint {noname} render active 2 SPDIF hidden\n"
    "fail noname\n";

TEST_F(SinkPostingTest, DefaultChangePostsByCaseSensitiveKeywords)
{
    LoadScenario(kNamedEndpoints);
    const ChangeCase cases[] = {
        {L"{spdif}", {0}, "SPDIF Interface"},
        {L"{s-pdif}", {0}, "S/PDIF (Lumirel USB Audio Device)"},
        {L"{speakers}", {}, "Speakers (Lumirel USB Audio Device)"},  // capital S
        {L"{both}", {0, 1}, "SPDIF and speaker out"},
        {L"{lower}", {1}, "front speaker"},
        {L"{noname}", {}, ""},
        {L"{unknown}", {}, ""},
        {nullptr, {}, ""},  // no default endpoint left
    };
    SinkHolder<CMMNotificationClient> holder;
    for (const ChangeCase& c : cases) {
        SCOPED_TRACE(c.name);
        // Flow and role play no part.
        EXPECT_EQ(S_OK, holder.sink->OnDefaultDeviceChanged(eCapture, eCommunications, c.deviceId));
        EXPECT_EQ(c.posted, OutputChanges(CollectPosted()));
        EXPECT_EQ(c.name, holder.sink->DeviceName());
    }
}

// Every device callback looks the name up; an endpoint that arrives or comes back, and a new
// render default, also announce an arrival, whose objects the panel must listen through anew.
TEST_F(SinkPostingTest, DeviceCallbacksLookTheNameUpAndAnnounceArrivals)
{
    LoadScenario(kNamedEndpoints);
    SinkHolder<CMMNotificationClient> holder;
    CMMNotificationClient* sink = holder.sink;
    const PROPERTYKEY key = {};
    const struct {
        std::function<HRESULT()> call;
        const char* name;
        bool arrival;
    } cases[] = {
        {[&] { return sink->OnDeviceAdded(L"{spdif}"); }, "SPDIF Interface", true},
        {[&] { return sink->OnDeviceStateChanged(L"{both}", DEVICE_STATE_UNPLUGGED); }, "SPDIF and speaker out", false},
        {[&] { return sink->OnDeviceStateChanged(L"{both}", DEVICE_STATE_ACTIVE); }, "SPDIF and speaker out", true},
        {[&] { return sink->OnPropertyValueChanged(L"{lower}", key); }, "front speaker", false},
        {[&] { return sink->OnDeviceRemoved(L"{gone}"); }, "", false},
        {[&] { return sink->OnDefaultDeviceChanged(eRender, eConsole, L"{speakers}"); }, "Speakers (Lumirel USB Audio Device)", true},
        {[&] { return sink->OnDefaultDeviceChanged(eCapture, eConsole, L"{speakers}"); }, "Speakers (Lumirel USB Audio Device)", false},
        {[&] { return sink->OnDefaultDeviceChanged(eRender, eConsole, nullptr); }, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(S_OK, c.call());
        EXPECT_EQ(c.name, sink->DeviceName());
        size_t arrivals = 0;
        for (const PostedMessage& m : CollectPosted())
            arrivals += m.message == WM_AUDIO_DEVICE_ARRIVED ? 1 : 0;
        EXPECT_EQ(c.arrival ? 1u : 0u, arrivals);
    }
}

TEST_F(SinkPostingTest, LookUpOnAThreadWithoutComLeavesItUninitialised)
{
    LoadScenario(kNamedEndpoints);
    SinkHolder<CMMNotificationClient> holder;
    HRESULT lookup = E_FAIL;
    HRESULT afterwards = E_FAIL;
    std::string name;
    std::thread worker([&] {
        lookup = holder.sink->LookupDeviceName(L"{s-pdif}", name);
        // S_OK again means the look-up's CoInitialize was balanced by its CoUninitialize.
        afterwards = CoInitialize(nullptr);
        if (SUCCEEDED(afterwards))
            CoUninitialize();
    });
    worker.join();
    EXPECT_EQ(S_OK, lookup);
    EXPECT_EQ("S/PDIF (Lumirel USB Audio Device)", name);
    EXPECT_EQ(S_OK, afterwards);
}

// Two callbacks of one sink at the same time must each act on the name their own look-up
// found; a shared name would let one post the other's message.
TEST_F(SinkPostingTest, ConcurrentDefaultChangesEachUseTheirOwnName)
{
    LoadScenario(kNamedEndpoints);
    SinkHolder<CMMNotificationClient> holder;  // its enumerator is created by the race below
    constexpr int kRounds = 150;
    std::atomic<int> ready{0};
    auto run = [&](const wchar_t* id) {
        ++ready;
        while (ready.load() < 2) {
        }
        for (int i = 0; i < kRounds; ++i)
            holder.sink->OnDefaultDeviceChanged(eRender, eMultimedia, id);
    };
    std::thread spdif(run, L"{spdif}");
    std::thread speaker(run, L"{lower}");
    spdif.join();
    speaker.join();

    int spdifPosts = 0;
    int speakerPosts = 0;
    for (LPARAM output : OutputChanges(CollectPosted())) {
        if (output == 0)
            ++spdifPosts;
        else if (output == 1)
            ++speakerPosts;
    }
    EXPECT_EQ(kRounds, spdifPosts);
    EXPECT_EQ(kRounds, speakerPosts);
}

// The same checks with the simulator delivering the changes on its own thread, as Core Audio
// does.
class DeliveredNotificationTest : public SinkPostingTest {
protected:
    void TearDown() override
    {
        for (IUnknown* sink : m_registered) {
            UnregisterEverywhere(sink);
            sink->Release();
        }
    }

    template <class Sink>
    Sink* Keep(Sink* sink)
    {
        m_registered.push_back(sink);
        return sink;
    }

    std::vector<IUnknown*> m_registered;
};

TEST_F(DeliveredNotificationTest, PanelChangeIsNotEchoedButTheMixersIs)
{
    LoadScenario("endpoint {spdif} render active 2 SPDIF Interface (Lumirel)\n"
                 "endpoint {mic} capture active 1 Lumirel Line In\n");
    auto* sink = Keep(new CAudioEndpointVolumeCallback());
    sink->SetEventContext(g_panelEventContext);
    for (const wchar_t* id : {L"{spdif}", L"{mic}"}) {
        ComPtr<IMMDeviceEnumerator> enumerator;
        ASSERT_EQ(S_OK, CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                         IID_PPV_ARGS(enumerator.GetAddressOf())));
        ComPtr<IMMDevice> device;
        ASSERT_EQ(S_OK, enumerator->GetDevice(id, device.GetAddressOf()));
        ComPtr<IAudioEndpointVolume> volume;
        ASSERT_EQ(S_OK, device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                                         reinterpret_cast<void**>(volume.GetAddressOf())));
        ASSERT_EQ(S_OK, volume->RegisterControlChangeNotify(sink));
    }

    ASSERT_EQ(S_OK, CoreAudioSim::SetChannelLevel(L"{spdif}", 0, 0.3f, g_panelEventContext));
    ASSERT_EQ(S_OK, CoreAudioSim::SetMute(L"{spdif}", true, g_panelEventContext));
    EXPECT_TRUE(CollectPosted().empty());

    ASSERT_EQ(S_OK, CoreAudioSim::SetChannelLevel(L"{spdif}", 0, 0.6f, kMixerContext));
    EXPECT_EQ((std::vector<WPARAM>{0}), VolumeRefreshes(CollectPosted()));
    // A change on a capture endpoint refreshes the panel too.
    ASSERT_EQ(S_OK, CoreAudioSim::SetMute(L"{mic}", true, kMixerContext));
    EXPECT_EQ((std::vector<WPARAM>{0}), VolumeRefreshes(CollectPosted()));
}

// Holds up this process's delivery from the moment it is entered until the test lets it go,
// so that the changes made meanwhile arrive in one batch and their callbacks run at once.
struct CStallingVolumeSink : IAudioEndpointVolumeCallback {
    // Kernel events, null when absent like a mutex.
    CScopedHandle<MutexHandleTraits> entered{::CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    CScopedHandle<MutexHandleTraits> release{::CreateEventA(nullptr, FALSE, FALSE, nullptr)};

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        *out = (iid == __uuidof(IUnknown) || iid == __uuidof(IAudioEndpointVolumeCallback)) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives on the test's stack
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP OnNotify(PAUDIO_VOLUME_NOTIFICATION_DATA) override
    {
        ::SetEvent(entered.Get());
        ::WaitForSingleObject(release.Get(), 5000);  // bounded: a test that fails still ends
        return S_OK;
    }
};

// Two default changes delivered together reach one device sink on two simulator threads at
// once; each call must post the output of its own endpoint.
TEST_F(DeliveredNotificationTest, DefaultChangesDeliveredTogetherEachPostTheirOwnOutput)
{
    LoadScenario(kNamedEndpoints);
    auto* sink = Keep(new CMMNotificationClient());
    ASSERT_EQ(S_OK, RegisterDeviceNotify(sink));
    CStallingVolumeSink stall;
    ComPtr<IMMDeviceEnumerator> enumerator;
    ASSERT_EQ(S_OK, CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                     IID_PPV_ARGS(enumerator.GetAddressOf())));
    ComPtr<IMMDevice> device;
    ASSERT_EQ(S_OK, enumerator->GetDevice(L"{spdif}", device.GetAddressOf()));
    ComPtr<IAudioEndpointVolume> volume;
    ASSERT_EQ(S_OK, device->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                                     reinterpret_cast<void**>(volume.GetAddressOf())));
    ASSERT_EQ(S_OK, volume->RegisterControlChangeNotify(&stall));

    constexpr int kRounds = 8;
    std::vector<LPARAM> outputs;
    for (int i = 0; i < kRounds; ++i) {
        ASSERT_EQ(S_OK, CoreAudioSim::SetChannelLevel(L"{spdif}", 0, (i % 2) ? 0.3f : 0.6f, kMixerContext));
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(stall.entered.Get(), 5000)) << "round " << i;
        const HRESULT first = CoreAudioSim::SetDefault(L"{spdif}", CoreAudioSim::kFlowRender, CoreAudioSim::kRoleConsole);
        const HRESULT second = CoreAudioSim::SetDefault(L"{lower}", CoreAudioSim::kFlowRender, CoreAudioSim::kRoleMultimedia);
        ::SetEvent(stall.release.Get());
        ASSERT_EQ(S_OK, first);
        ASSERT_EQ(S_OK, second);
        std::vector<LPARAM> round = OutputChanges(CollectPosted());
        std::sort(round.begin(), round.end());
        EXPECT_EQ((std::vector<LPARAM>{0, 1}), round) << "round " << i;
    }
    EXPECT_EQ(S_OK, volume->UnregisterControlChangeNotify(&stall));
}

}  // namespace
