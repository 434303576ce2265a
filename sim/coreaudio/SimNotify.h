// Callback registrations of this process and the watcher thread that delivers changes to them.
#pragma once

#include "sim/coreaudio/SimCom.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace CoreAudioSim {

// Runs the callbacks of a batch of changes on several threads at once, as Windows calls its
// clients from an RPC thread pool: two callbacks of one client can run at the same time. The
// workers of a batch start together, so that such overlaps happen rather than merely can.
class CDeliveryPool {
public:
    static constexpr unsigned kWorkers = 4;
    // Returns once every job has run.
    void RunBatch(std::vector<std::function<void()>>& jobs);

private:
    static DWORD WINAPI WorkerMain(void* parameter);
    void Work();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::deque<std::function<void()>> m_jobs;
    size_t m_running = 0;  // jobs of the batch not yet finished
    unsigned m_gate = 0;   // workers still to arrive before the batch starts
    unsigned m_started = 0;
};

class CNotifyHub {
public:
    static CNotifyHub& Instance();

    // Starts the watcher on first use; returns once it follows the change log.
    void Start();

    // A registration belongs to the endpoint life it was made in, and is dropped when that ends.
    HRESULT AddVolume(const std::wstring& endpointId, uint32_t life, IAudioEndpointVolumeCallback* callback);
    HRESULT RemoveVolume(const std::wstring& endpointId, IAudioEndpointVolumeCallback* callback);
    HRESULT AddClient(IMMNotificationClient* client);
    HRESULT RemoveClient(IMMNotificationClient* client);
    HRESULT AddControl(const std::wstring& endpointId, uint32_t life, uint32_t subunit, IControlChangeNotify* callback);
    HRESULT RemoveControl(const std::wstring& endpointId, uint32_t subunit, IControlChangeNotify* callback);

private:
    struct VolumeEntry {
        std::wstring endpointId;
        uint32_t life;
        ComPtr<IAudioEndpointVolumeCallback> callback;
    };
    struct ControlEntry {
        std::wstring endpointId;
        uint32_t life;
        uint32_t subunit;
        ComPtr<IControlChangeNotify> callback;
    };

    CNotifyHub() = default;
    static DWORD WINAPI WatcherMain(void* parameter);
    void Run();
    // Appends one job per callback the change reaches.
    void Collect(const SharedEvent& event, std::vector<std::function<void()>>& jobs);
    void CountRegistrations();  // callers hold m_mutex
    // Drops the registrations of the endpoint's lives before life; they can never fire again.
    void DropEnded(const std::wstring& endpointId, uint32_t life);

    std::once_flag m_started;
    HANDLE m_ready = nullptr;
    std::mutex m_mutex;
    std::vector<VolumeEntry> m_volume;
    std::vector<ControlEntry> m_control;
    std::vector<ComPtr<IMMNotificationClient>> m_clients;
    CDeliveryPool m_pool;
};

// Finds (or takes over) this process's listener slot; -1 when every slot is in use.
int ClaimListenerSlot(SharedBlock& block);

}  // namespace CoreAudioSim
