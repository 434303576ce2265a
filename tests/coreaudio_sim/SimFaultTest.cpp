// Injected failures: every named call fails with the given HRESULT or succeeds with nothing,
// strikes only the calls it was told to, and can be set from coreaudioctl.
#include "tests/coreaudio_sim/SimTestSupport.h"

#include <cmath>
#include <functional>

namespace CoreAudioSimTest {
namespace {

using CoreAudioSim::SimFault;

constexpr HRESULT kInjected = static_cast<HRESULT>(0x80071234L);

const char kScenario[] =
    "endpoint T render active 2 SPDIF Interface (Lumirel USB Audio Device)\n"
    "level all 0.5\n"
    "subunit mute\n";

// What the call gave back: its code, and whether it handed back nothing (no object, no text,
// no count, no value written, no registration, no change).
struct Outcome {
    HRESULT hr;
    bool nothing;
};
// Prepares what the call needs, calls arm() to set the fault, then makes the call.
using Call = std::function<Outcome(const std::function<void()>& arm)>;

class SimFaultTest : public SimTest {
protected:
    void SetUp() override
    {
        SimTest::SetUp();
        Load(kScenario);
    }
    void TearDown() override
    {
        CoreAudioSim::ClearFaults();
        SimTest::TearDown();
    }

    ComPtr<IConnector> AdapterConnector()
    {
        ComPtr<IDeviceTopology> topology;
        ComPtr<IConnector> connector, adapter;
        EXPECT_EQ(S_OK, Device(L"T")->Activate(__uuidof(IDeviceTopology), CLSCTX_ALL, nullptr, &topology));
        EXPECT_EQ(S_OK, topology->GetConnector(0, &connector));
        EXPECT_EQ(S_OK, connector->GetConnectedTo(&adapter));
        return adapter;
    }
    ComPtr<IDeviceTopology> Adapter()
    {
        ComPtr<IPart> part;
        ComPtr<IDeviceTopology> adapter;
        EXPECT_EQ(S_OK, AdapterConnector().As(&part));
        EXPECT_EQ(S_OK, part->GetTopologyObjects(&adapter));
        return adapter;
    }
    ComPtr<IPart> SubunitPart()
    {
        ComPtr<ISubUnit> subunit;
        ComPtr<IPart> part;
        EXPECT_EQ(S_OK, Adapter()->GetSubunit(0, &subunit));
        EXPECT_EQ(S_OK, subunit.As(&part));
        return part;
    }
    long Live(CoreAudioSim::LiveKind kind)
    {
        CoreAudioSim::LiveObjects live;
        EXPECT_TRUE(CoreAudioSim::ReadLiveObjects(live));
        return live.count[kind];
    }
    float Level()
    {
        CoreAudioSim::SimState state;
        EXPECT_TRUE(CoreAudioSim::ReadState(state));
        return state.endpoints.at(0).levels.at(0);
    }
    bool Muted()
    {
        CoreAudioSim::SimState state;
        EXPECT_TRUE(CoreAudioSim::ReadState(state));
        return state.endpoints.at(0).mute;
    }

    // An interface handed out through out: nothing when it stayed null.
    template <class T>
    static Outcome Pointer(HRESULT hr, const ComPtr<T>& out)
    {
        return {hr, out == nullptr};
    }

    std::vector<std::pair<SimFault, Call>> Cases();
};

std::vector<std::pair<SimFault, Call>> SimFaultTest::Cases()
{
    using namespace CoreAudioSim;
    auto defaultFor = [this](ERole role) {
        return [this, role](const std::function<void()>& arm) {
            auto enumerator = Enumerator();
            ComPtr<IMMDevice> device;
            arm();
            return Pointer(enumerator->GetDefaultAudioEndpoint(eRender, role, &device), device);
        };
    };
    auto activate = [this](REFIID iid) {
        return [this, id = IID(iid)](const std::function<void()>& arm) {
            auto device = Device(L"T");
            ComPtr<IUnknown> object;
            arm();
            return Pointer(device->Activate(id, CLSCTX_ALL, nullptr, reinterpret_cast<void**>(object.GetAddressOf())), object);
        };
    };
    return {
        {kFaultCreateEnumerator,
         [](const std::function<void()>& arm) {
             ComPtr<IMMDeviceEnumerator> enumerator;
             arm();
             return Pointer(CoCreateInstance(kClsidEnumerator, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&enumerator)), enumerator);
         }},
        {kFaultEnumAudioEndpoints,
         [this](const std::function<void()>& arm) {
             auto enumerator = Enumerator();
             ComPtr<IMMDeviceCollection> collection;
             arm();
             return Pointer(enumerator->EnumAudioEndpoints(eAll, DEVICE_STATE_ACTIVE, &collection), collection);
         }},
        {kFaultGetCount,
         [this](const std::function<void()>& arm) {
             ComPtr<IMMDeviceCollection> collection;
             EXPECT_EQ(S_OK, Enumerator()->EnumAudioEndpoints(eAll, DEVICE_STATE_ACTIVE, &collection));
             UINT count = 99;
             arm();
             HRESULT hr = collection->GetCount(&count);
             return Outcome{hr, count == 0 || count == 99};
         }},
        {kFaultItem,
         [this](const std::function<void()>& arm) {
             ComPtr<IMMDeviceCollection> collection;
             EXPECT_EQ(S_OK, Enumerator()->EnumAudioEndpoints(eAll, DEVICE_STATE_ACTIVE, &collection));
             ComPtr<IMMDevice> device;
             arm();
             return Pointer(collection->Item(0, &device), device);
         }},
        {kFaultGetId,
         [this](const std::function<void()>& arm) {
             auto device = Device(L"T");
             LPWSTR id = nullptr;
             arm();
             HRESULT hr = device->GetId(&id);
             Outcome outcome{hr, id == nullptr};
             CoTaskMemFree(id);
             return outcome;
         }},
        {kFaultGetDefaultConsole, defaultFor(eConsole)},
        {kFaultGetDefaultMultimedia, defaultFor(eMultimedia)},
        {kFaultGetDefaultCommunications, defaultFor(eCommunications)},
        {kFaultGetDevice,
         [this](const std::function<void()>& arm) {
             auto enumerator = Enumerator();
             ComPtr<IMMDevice> device;
             arm();
             return Pointer(enumerator->GetDevice(L"T", &device), device);
         }},
        {kFaultActivateEndpointVolume, activate(__uuidof(IAudioEndpointVolume))},
        {kFaultActivateDeviceTopology, activate(__uuidof(IDeviceTopology))},
        {kFaultOpenPropertyStore,
         [this](const std::function<void()>& arm) {
             auto device = Device(L"T");
             ComPtr<IPropertyStore> store;
             arm();
             return Pointer(device->OpenPropertyStore(STGM_READ, &store), store);
         }},
        {kFaultGetValue,
         [this](const std::function<void()>& arm) {
             ComPtr<IPropertyStore> store;
             EXPECT_EQ(S_OK, Device(L"T")->OpenPropertyStore(STGM_READ, &store));
             PROPVARIANT value;
             PropVariantInit(&value);
             arm();
             HRESULT hr = store->GetValue(kFriendlyName, &value);
             Outcome outcome{hr, value.pwszVal == nullptr};
             PropVariantClear(&value);
             return outcome;
         }},
        {kFaultGetConnector,
         [this](const std::function<void()>& arm) {
             ComPtr<IDeviceTopology> topology;
             EXPECT_EQ(S_OK, Device(L"T")->Activate(__uuidof(IDeviceTopology), CLSCTX_ALL, nullptr, &topology));
             ComPtr<IConnector> connector;
             arm();
             return Pointer(topology->GetConnector(0, &connector), connector);
         }},
        {kFaultGetConnectedTo,
         [this](const std::function<void()>& arm) {
             ComPtr<IDeviceTopology> topology;
             ComPtr<IConnector> connector, other;
             EXPECT_EQ(S_OK, Device(L"T")->Activate(__uuidof(IDeviceTopology), CLSCTX_ALL, nullptr, &topology));
             EXPECT_EQ(S_OK, topology->GetConnector(0, &connector));
             arm();
             return Pointer(connector->GetConnectedTo(&other), other);
         }},
        {kFaultConnectorPart,
         [this](const std::function<void()>& arm) {
             auto connector = AdapterConnector();
             ComPtr<IPart> part;
             arm();
             return Pointer(connector.As(&part), part);
         }},
        {kFaultGetTopologyObject,
         [this](const std::function<void()>& arm) {
             ComPtr<IPart> part;
             EXPECT_EQ(S_OK, AdapterConnector().As(&part));
             ComPtr<IDeviceTopology> adapter;
             arm();
             return Pointer(part->GetTopologyObjects(&adapter), adapter);
         }},
        {kFaultGetSubunitCount,
         [this](const std::function<void()>& arm) {
             auto adapter = Adapter();
             UINT count = 99;
             arm();
             HRESULT hr = adapter->GetSubunitCount(&count);
             return Outcome{hr, count == 0 || count == 99};
         }},
        {kFaultGetSubunit,
         [this](const std::function<void()>& arm) {
             auto adapter = Adapter();
             ComPtr<ISubUnit> subunit;
             arm();
             return Pointer(adapter->GetSubunit(0, &subunit), subunit);
         }},
        {kFaultSubunitPart,
         [this](const std::function<void()>& arm) {
             ComPtr<ISubUnit> subunit;
             EXPECT_EQ(S_OK, Adapter()->GetSubunit(0, &subunit));
             ComPtr<IPart> part;
             arm();
             return Pointer(subunit.As(&part), part);
         }},
        {kFaultPartActivate,
         [this](const std::function<void()>& arm) {
             auto part = SubunitPart();
             ComPtr<IAudioMute> mute;
             arm();
             return Pointer(part->Activate(CLSCTX_ALL, __uuidof(IAudioMute), &mute), mute);
         }},
        {kFaultRegisterControlChangeCallback,
         [this](const std::function<void()>& arm) {
             auto part = SubunitPart();
             long before = Live(kLiveControlCallbacks);
             arm();
             HRESULT hr = part->RegisterControlChangeCallback(__uuidof(IAudioMute), m_recorder.Get());
             Outcome outcome{hr, Live(kLiveControlCallbacks) == before};
             part->UnregisterControlChangeCallback(m_recorder.Get());
             return outcome;
         }},
        {kFaultRegisterControlChangeNotify,
         [this](const std::function<void()>& arm) {
             auto volume = Volume(L"T");
             long before = Live(kLiveVolumeCallbacks);
             arm();
             HRESULT hr = volume->RegisterControlChangeNotify(m_recorder.Get());
             Outcome outcome{hr, Live(kLiveVolumeCallbacks) == before};
             volume->UnregisterControlChangeNotify(m_recorder.Get());
             return outcome;
         }},
        {kFaultRegisterEndpointNotificationCallback,
         [this](const std::function<void()>& arm) {
             auto enumerator = Enumerator();
             long before = Live(kLiveClients);
             arm();
             HRESULT hr = enumerator->RegisterEndpointNotificationCallback(m_recorder.Get());
             Outcome outcome{hr, Live(kLiveClients) == before};
             enumerator->UnregisterEndpointNotificationCallback(m_recorder.Get());
             return outcome;
         }},
        {kFaultGetChannelVolumeLevelScalar,
         [this](const std::function<void()>& arm) {
             auto volume = Volume(L"T");
             float level = -1.0f;
             arm();
             HRESULT hr = volume->GetChannelVolumeLevelScalar(0, &level);
             return Outcome{hr, level == -1.0f};
         }},
        {kFaultSetChannelVolumeLevelScalar,
         [this](const std::function<void()>& arm) {
             auto volume = Volume(L"T");
             float before = Level();
             arm();
             HRESULT hr = volume->SetChannelVolumeLevelScalar(0, before == 0.25f ? 0.75f : 0.25f, &kMixer);
             return Outcome{hr, Level() == before};
         }},
        {kFaultGetMute,
         [this](const std::function<void()>& arm) {
             auto volume = Volume(L"T");
             BOOL mute = 7;
             arm();
             HRESULT hr = volume->GetMute(&mute);
             return Outcome{hr, mute == 7};
         }},
        {kFaultSetMute,
         [this](const std::function<void()>& arm) {
             auto volume = Volume(L"T");
             bool before = Muted();
             arm();
             HRESULT hr = volume->SetMute(!before, &kMixer);
             return Outcome{hr, Muted() == before};
         }},
    };
}

TEST_F(SimFaultTest, EveryInjectableCallFailsOrSucceedsWithNothing)
{
    auto cases = Cases();
    std::vector<bool> covered(CoreAudioSim::kFaultCount, false);
    for (const auto& [fault, call] : cases) {
        covered[fault] = true;
        const char* name = CoreAudioSim::FaultName(fault);
        ASSERT_NE(nullptr, name);
        EXPECT_EQ(fault, CoreAudioSim::FaultFromName(name));
        for (CoreAudioSim::FaultMode mode : {CoreAudioSim::kFaultFail, CoreAudioSim::kFaultNull, CoreAudioSim::kFaultDelay}) {
            SCOPED_TRACE(std::string(name) + " mode " + std::to_string(mode));
            CoreAudioSim::FaultSpec setting;
            setting.mode = mode;
            setting.hr = kInjected;
            setting.count = 1;
            setting.delayMs = 1;
            Outcome outcome = call([&] { ASSERT_TRUE(CoreAudioSim::InjectFault(fault, setting)); });
            // A delay only slows the call down: it still does its work.
            EXPECT_EQ(mode == CoreAudioSim::kFaultFail ? kInjected : S_OK, outcome.hr);
            EXPECT_EQ(mode != CoreAudioSim::kFaultDelay, outcome.nothing);
            CoreAudioSim::FaultStatus status = CoreAudioSim::ReadFaults().at(fault);
            EXPECT_EQ(1u, status.hits);
            EXPECT_EQ(CoreAudioSim::kFaultOff, status.setting.mode);  // spent after its one call

            // Without the fault the same call hands back something again.
            Outcome normal = call([] {});
            EXPECT_TRUE(SUCCEEDED(normal.hr));
            EXPECT_FALSE(normal.nothing);
        }
    }
    for (uint32_t f = 0; f < CoreAudioSim::kFaultCount; ++f)
        EXPECT_TRUE(covered[f]) << CoreAudioSim::FaultName(static_cast<SimFault>(f)) << " has no case";
}

TEST_F(SimFaultTest, AFaultSkipsThenStrikesItsCountOfCallsOfItsOwnRoleOnly)
{
    CoreAudioSim::FaultSpec setting;
    setting.mode = CoreAudioSim::kFaultFail;
    setting.skip = 1;
    setting.count = 2;
    ASSERT_TRUE(CoreAudioSim::InjectFault(CoreAudioSim::kFaultGetDefaultMultimedia, setting));
    auto enumerator = Enumerator();
    std::vector<HRESULT> results;
    for (int i = 0; i < 4; ++i) {
        ComPtr<IMMDevice> console, multimedia;
        EXPECT_EQ(S_OK, enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &console));
        results.push_back(enumerator->GetDefaultAudioEndpoint(eRender, eMultimedia, &multimedia));
    }
    EXPECT_EQ((std::vector<HRESULT>{S_OK, E_FAIL, E_FAIL, S_OK}), results);
    CoreAudioSim::FaultStatus status = CoreAudioSim::ReadFaults().at(CoreAudioSim::kFaultGetDefaultMultimedia);
    EXPECT_EQ(4u, status.calls);
    EXPECT_EQ(2u, status.hits);
}

TEST_F(SimFaultTest, ScenarioAndControlToolSetFaultsByName)
{
    Load(std::string(kScenario) + "inject GetSubunit fail hr=0x80004005 skip=3\ninject GetId null\n");
    auto faults = CoreAudioSim::ReadFaults();
    EXPECT_EQ(CoreAudioSim::kFaultFail, faults[CoreAudioSim::kFaultGetSubunit].setting.mode);
    EXPECT_EQ(3u, faults[CoreAudioSim::kFaultGetSubunit].setting.skip);
    EXPECT_EQ(CoreAudioSim::kFaultNull, faults[CoreAudioSim::kFaultGetId].setting.mode);
    std::string error;
    EXPECT_FALSE(CoreAudioSim::LoadScenarioText("inject NoSuchCall fail\n", &error));
    EXPECT_FALSE(CoreAudioSim::LoadScenarioText("inject GetId fail hr=0\n", &error));  // not a failure

    std::string output;
    ASSERT_TRUE(CoreAudioSim::LoadScenarioText(std::string(kScenario) + "inject GetMute delay=250 skip=1\n", &error)) << error;
    ASSERT_EQ(0, RunControlTool(L"inject Part.Activate null count=2", &output)) << output;
    ASSERT_EQ(0, RunControlTool(L"inject GetId delay=40 count=3", &output)) << output;
    ASSERT_EQ(0, RunControlTool(L"faults", &output));
    for (uint32_t f = 0; f < CoreAudioSim::kFaultCount; ++f)
        EXPECT_NE(std::string::npos, output.find(std::string("fault ") + CoreAudioSim::FaultName(static_cast<SimFault>(f)) + " "));
    EXPECT_NE(std::string::npos, output.find("fault Part.Activate mode=null hr=0x80004005 skip=0 count=2"));
    EXPECT_NE(std::string::npos, output.find("fault GetMute mode=delay hr=0x80004005 skip=1 count=0 delay=250"));
    EXPECT_NE(std::string::npos, output.find("fault GetId mode=delay hr=0x80004005 skip=0 count=3 delay=40"));
    EXPECT_EQ(2, RunControlTool(L"inject GetId delay=soon"));
    EXPECT_EQ(2, RunControlTool(L"inject NoSuchCall fail"));
}

}  // namespace
}  // namespace CoreAudioSimTest
