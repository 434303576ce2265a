// Callback registrations of this process and the watcher thread that delivers changes to them.
#pragma once

#include "sim/coreaudio/SimCom.h"

#include <mutex>
#include <vector>

namespace CoreAudioSim {

class CNotifyHub {
public:
    static CNotifyHub& Instance();

    // Starts the watcher on first use; returns once it follows the change log.
    void Start();

    HRESULT AddVolume(const std::wstring& endpointId, IAudioEndpointVolumeCallback* callback);
    HRESULT RemoveVolume(const std::wstring& endpointId, IAudioEndpointVolumeCallback* callback);
    HRESULT AddClient(IMMNotificationClient* client);
    HRESULT RemoveClient(IMMNotificationClient* client);
    HRESULT AddControl(const std::wstring& endpointId, uint32_t subunit, IControlChangeNotify* callback);
    HRESULT RemoveControl(const std::wstring& endpointId, uint32_t subunit, IControlChangeNotify* callback);

private:
    struct VolumeEntry {
        std::wstring endpointId;
        ComPtr<IAudioEndpointVolumeCallback> callback;
    };
    struct ControlEntry {
        std::wstring endpointId;
        uint32_t subunit;
        ComPtr<IControlChangeNotify> callback;
    };

    CNotifyHub() = default;
    static DWORD WINAPI WatcherMain(void* parameter);
    void Run();
    void Dispatch(const SharedEvent& event);

    std::once_flag m_started;
    HANDLE m_ready = nullptr;
    std::mutex m_mutex;
    std::vector<VolumeEntry> m_volume;
    std::vector<ControlEntry> m_control;
    std::vector<ComPtr<IMMNotificationClient>> m_clients;
};

// Finds (or takes over) this process's listener slot; -1 when every slot is in use.
int ClaimListenerSlot(SharedBlock& block);

}  // namespace CoreAudioSim
