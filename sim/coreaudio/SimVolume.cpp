// IAudioEndpointVolume of one endpoint. The object holds only the endpoint ID and life: every
// call reads and writes the shared state, so that all processes see one volume.
#include "sim/coreaudio/SimNotify.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace CoreAudioSim {

namespace {

constexpr float kMinDb = -96.0f;
constexpr float kMaxDb = 0.0f;
constexpr float kStepDb = 0.5f;
constexpr UINT kStepCount = 101;

float ScalarToDb(float scalar)
{
    if (scalar <= 0.0f)
        return kMinDb;
    return std::max(kMinDb, 20.0f * std::log10(scalar));
}

float DbToScalar(float db)
{
    if (db <= kMinDb)
        return 0.0f;
    return std::min(1.0f, std::pow(10.0f, db / 20.0f));
}

class CSimEndpointVolume : public CSimCom<IAudioEndpointVolume, CBoundObject> {
public:
    CSimEndpointVolume(std::wstring id, uint32_t life) : CSimCom(kLiveEndpointVolume, std::move(id), life) {}

    STDMETHODIMP RegisterControlChangeNotify(IAudioEndpointVolumeCallback* notify) override
    {
        if (!notify)
            return E_POINTER;
        return Register(kFaultRegisterControlChangeNotify, kRegEndpointVolume, m_id, 0, GUID_NULL, [&] {
            return Read([&](const SharedEndpoint&) { return CNotifyHub::Instance().AddVolume(m_id, m_life, notify); }, false);
        });
    }
    STDMETHODIMP UnregisterControlChangeNotify(IAudioEndpointVolumeCallback* notify) override
    {
        if (!notify)
            return E_POINTER;
        HRESULT hr = Alive();
        return LogRegistration(kRegEndpointVolume, true, m_id, 0, GUID_NULL,
                               FAILED(hr) ? hr : CNotifyHub::Instance().RemoveVolume(m_id, notify));
    }
    STDMETHODIMP GetChannelCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        return Read([&](const SharedEndpoint& endpoint) { *count = ChannelCount(endpoint); return S_OK; });
    }
    STDMETHODIMP SetMasterVolumeLevel(float db, LPCGUID context) override
    {
        if (!std::isfinite(db) || db < kMinDb || db > kMaxDb)
            return E_INVALIDARG;
        return SetMasterVolumeLevelScalar(DbToScalar(db), context);
    }
    STDMETHODIMP SetMasterVolumeLevelScalar(float level, LPCGUID context) override
    {
        return Write([&](SharedBlock& block, int index) { return SetMasterLevelLocked(block, index, level, context, false); });
    }
    STDMETHODIMP GetMasterVolumeLevel(float* db) override
    {
        if (!db)
            return E_POINTER;
        return Read([&](const SharedEndpoint& endpoint) { *db = ScalarToDb(MasterOf(endpoint)); return S_OK; });
    }
    STDMETHODIMP GetMasterVolumeLevelScalar(float* level) override
    {
        if (!level)
            return E_POINTER;
        return Read([&](const SharedEndpoint& endpoint) { *level = MasterOf(endpoint); return S_OK; });
    }
    STDMETHODIMP SetChannelVolumeLevel(UINT channel, float db, LPCGUID context) override
    {
        if (!std::isfinite(db) || db < kMinDb || db > kMaxDb)
            return E_INVALIDARG;
        return SetChannelVolumeLevelScalar(channel, DbToScalar(db), context);
    }
    STDMETHODIMP SetChannelVolumeLevelScalar(UINT channel, float level, LPCGUID context) override
    {
        HRESULT hr = S_OK;
        if (FaultMode fault = TakeFault(kFaultSetChannelVolumeLevelScalar, hr))
            return fault == kFaultNull ? S_OK : hr;  // null: reports success, changes nothing
        return Write([&](SharedBlock& block, int index) {
            return SetChannelLevelLocked(block, index, channel, level, context, false);
        });
    }
    STDMETHODIMP GetChannelVolumeLevel(UINT channel, float* db) override
    {
        if (!db)
            return E_POINTER;
        return Read([&](const SharedEndpoint& endpoint) {
            if (channel >= ChannelCount(endpoint))
                return E_INVALIDARG;
            *db = ScalarToDb(LevelOf(endpoint, channel));
            return S_OK;
        });
    }
    STDMETHODIMP GetChannelVolumeLevelScalar(UINT channel, float* level) override
    {
        if (!level)
            return E_POINTER;
        HRESULT hr = S_OK;
        if (FaultMode fault = TakeFault(kFaultGetChannelVolumeLevelScalar, hr))
            return fault == kFaultNull ? S_OK : hr;  // null: reports success, writes nothing
        return Read([&](const SharedEndpoint& endpoint) {
            if (channel >= ChannelCount(endpoint))
                return E_INVALIDARG;
            *level = LevelOf(endpoint, channel);
            return S_OK;
        });
    }
    STDMETHODIMP SetMute(BOOL mute, LPCGUID context) override
    {
        HRESULT hr = S_OK;
        if (FaultMode fault = TakeFault(kFaultSetMute, hr))
            return fault == kFaultNull ? S_OK : hr;
        return Write([&](SharedBlock& block, int index) { return SetMuteLocked(block, index, mute != FALSE, context, false); });
    }
    STDMETHODIMP GetMute(BOOL* mute) override
    {
        if (!mute)
            return E_POINTER;
        HRESULT hr = S_OK;
        if (FaultMode fault = TakeFault(kFaultGetMute, hr))
            return fault == kFaultNull ? S_OK : hr;
        return Read([&](const SharedEndpoint& endpoint) { *mute = endpoint.mute ? TRUE : FALSE; return S_OK; });
    }
    STDMETHODIMP GetVolumeStepInfo(UINT* step, UINT* stepCount) override
    {
        if (!step || !stepCount)
            return E_POINTER;
        return Read([&](const SharedEndpoint& endpoint) {
            *step = static_cast<UINT>(std::lround(MasterOf(endpoint) * (kStepCount - 1)));
            *stepCount = kStepCount;
            return S_OK;
        });
    }
    STDMETHODIMP VolumeStepUp(LPCGUID context) override { return Step(+1, context); }
    STDMETHODIMP VolumeStepDown(LPCGUID context) override { return Step(-1, context); }
    STDMETHODIMP QueryHardwareSupport(DWORD* mask) override
    {
        HRESULT hr = Alive();
        return FAILED(hr) ? hr : Give(mask, ENDPOINT_HARDWARE_SUPPORT_VOLUME | ENDPOINT_HARDWARE_SUPPORT_MUTE);
    }
    STDMETHODIMP GetVolumeRange(float* minDb, float* maxDb, float* incrementDb) override
    {
        if (!minDb || !maxDb || !incrementDb)
            return E_POINTER;
        if (HRESULT hr = Alive(); FAILED(hr))
            return hr;
        *minDb = kMinDb;
        *maxDb = kMaxDb;
        *incrementDb = kStepDb;
        return S_OK;
    }

private:
    // Every call after the endpoint's life ended reports AUDCLNT_E_DEVICE_INVALIDATED, as Windows does.
    template <class F>
    HRESULT Read(F&& read, bool getter = true)
    {
        return WithLive([&](SharedBlock& block, int index) {
            const SharedEndpoint& endpoint = block.endpoints[index];
            return getter && (endpoint.fail & kFailGetLevel) ? E_FAIL : read(endpoint);
        });
    }
    template <class F>
    HRESULT Write(F&& write)
    {
        return WithLive(write, CSimLock::kChange);
    }
    HRESULT Step(int direction, LPCGUID context)
    {
        return Write([&](SharedBlock& block, int index) {
            float master = MasterOf(block.endpoints[index]);
            float next = std::clamp(master + direction * (1.0f / (kStepCount - 1)), 0.0f, 1.0f);
            return SetMasterLevelLocked(block, index, next, context, false);
        });
    }
};

}  // namespace

IAudioEndpointVolume* NewEndpointVolume(const std::wstring& id, uint32_t life)
{
    return new (std::nothrow) CSimEndpointVolume(id, life);
}

}  // namespace CoreAudioSim
