#include "sim/coreaudio/SimNotify.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>

namespace CoreAudioSim {

namespace {

constexpr DWORD kPollMs = 200;  // also catches a wake-up lost to a garbled listener table
constexpr DWORD kGateMs = 20;   // how long a worker waits for the others of its batch

void PublishLive(SharedBlock& block, int slot)
{
    g_live[kLiveDeadObjects] = CountDeadLocked(block);
    for (uint32_t k = 0; k < kLiveKindCount; ++k)
        block.listeners[slot].live[k] = static_cast<int32_t>(g_live[k].load());
    ++block.listeners[slot].published;
}

}  // namespace

void CDeliveryPool::RunBatch(std::vector<std::function<void()>>& jobs)
{
    if (jobs.empty())
        return;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (m_started < kWorkers) {
        // The workers run until the process ends, like the watcher that feeds them.
        HANDLE thread = CreateThread(nullptr, 0, &CDeliveryPool::WorkerMain, this, 0, nullptr);
        if (!thread)
            break;
        CloseHandle(thread);
        ++m_started;
    }
    if (m_started == 0) {
        lock.unlock();
        for (auto& job : jobs)
            job();  // no worker could be started: deliver from the watcher itself
        return;
    }
    m_running = jobs.size();
    m_gate = static_cast<unsigned>(std::min<size_t>(jobs.size(), m_started));
    for (auto& job : jobs)
        m_jobs.push_back(std::move(job));
    m_wake.notify_all();
    m_done.wait(lock, [this] { return m_running == 0; });
}

DWORD WINAPI CDeliveryPool::WorkerMain(void* parameter)
{
    // Core Audio calls its clients from multithreaded-apartment threads.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    static_cast<CDeliveryPool*>(parameter)->Work();
    return 0;
}

void CDeliveryPool::Work()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return !m_jobs.empty(); });
        std::function<void()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        if (m_gate > 0) {
            // The first jobs of a batch wait for each other, then start at once.
            if (--m_gate == 0)
                m_wake.notify_all();
            else
                m_wake.wait_for(lock, std::chrono::milliseconds(kGateMs), [this] { return m_gate == 0; });
        }
        lock.unlock();
        job();
        job = nullptr;  // releases the callback's reference outside the lock
        lock.lock();
        if (--m_running == 0)
            m_done.notify_all();
    }
}

int ClaimListenerSlot(SharedBlock& block)
{
    DWORD self = GetCurrentProcessId();
    for (uint32_t i = 0; i < kMaxListeners; ++i) {
        if (block.listeners[i].processId == self)
            return static_cast<int>(i);
    }
    for (uint32_t i = 0; i < kMaxListeners; ++i) {
        if (!ProcessAlive(block.listeners[i].processId)) {
            block.listeners[i] = SharedListener{};
            block.listeners[i].processId = self;
            block.listeners[i].delivered = block.nextSequence;
            block.listeners[i].read = block.nextSequence;
            return static_cast<int>(i);
        }
    }
    return -1;
}

CNotifyHub& CNotifyHub::Instance()
{
    // Kept for the process's life, like the watcher thread that uses it.
    static CNotifyHub* hub = new CNotifyHub();
    return *hub;
}

void CNotifyHub::Start()
{
    std::call_once(m_started, [this] {
        m_ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        // The watcher runs until the process ends, so the module must stay loaded as long.
        HMODULE self = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                           reinterpret_cast<LPCWSTR>(&CNotifyHub::WatcherMain), &self);
        HANDLE thread = CreateThread(nullptr, 0, &CNotifyHub::WatcherMain, this, 0, nullptr);
        if (thread) {
            WaitForSingleObject(m_ready, 5000);
            CloseHandle(thread);
        }
    });
}

DWORD WINAPI CNotifyHub::WatcherMain(void* parameter)
{
    static_cast<CNotifyHub*>(parameter)->Run();
    return 0;
}

void CNotifyHub::Run()
{
    // Core Audio calls its clients from multithreaded-apartment threads.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    HANDLE wake = CreateEventW(nullptr, FALSE, FALSE, WatchEventName(GetCurrentProcessId()).c_str());
    uint64_t next = 0;
    {
        CSimLock lock;
        if (lock) {
            // Slots of ended processes would cost every change a failed wake-up each.
            for (SharedListener& listener : lock.Block().listeners) {
                if (listener.processId != 0 && !ProcessAlive(listener.processId))
                    listener = SharedListener{};
            }
            ClaimListenerSlot(lock.Block());
            next = lock.Block().nextSequence;
        }
    }
    SetEvent(m_ready);

    std::vector<SharedEvent> pending;
    std::vector<std::function<void()>> jobs;
    for (;;) {
        if (wake)
            WaitForSingleObject(wake, kPollMs);
        else
            Sleep(kPollMs);
        pending.clear();
        bool serial = false;
        {
            CSimLock lock;
            if (!lock)
                continue;
            SharedBlock& block = lock.Block();
            int slot = ClaimListenerSlot(block);
            uint64_t head = block.nextSequence;
            if (head < next)
                next = head;  // the log went backwards: follow it from here
            if (head - next > kEventRing) {
                // Only a watcher stalled for seconds gets here: writers wait for it otherwise.
                if (slot >= 0)
                    block.listeners[slot].lost += head - kEventRing - next;
                next = head - kEventRing;
            }
            for (uint64_t sequence = next; sequence < head; ++sequence) {
                const SharedEvent& event = block.events[sequence % kEventRing];
                if (event.sequence == sequence)
                    pending.push_back(event);
            }
            next = head;
            serial = block.serialDelivery != 0;
            if (slot >= 0) {
                block.listeners[slot].read = next;
                PublishLive(block, slot);
            }
        }
        jobs.clear();
        for (const SharedEvent& event : pending)
            Collect(event, jobs);
        if (serial) {
            for (auto& job : jobs)
                job();
        } else {
            m_pool.RunBatch(jobs);
        }
        jobs.clear();
        CSimLock lock;
        if (lock) {
            int slot = ClaimListenerSlot(lock.Block());
            if (slot >= 0) {
                lock.Block().listeners[slot].delivered = next;
                PublishLive(lock.Block(), slot);
            }
        }
    }
}

void CNotifyHub::Collect(const SharedEvent& event, std::vector<std::function<void()>>& jobs)
{
    std::wstring id = ReadFixed(event.endpointId);
    switch (event.kind) {
    case kEventVolume: {
        std::vector<ComPtr<IAudioEndpointVolumeCallback>> targets;
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            for (const VolumeEntry& entry : m_volume) {
                if (entry.endpointId == id && entry.life == event.life)
                    targets.push_back(entry.callback);
            }
        }
        if (targets.empty())
            return;
        uint32_t channels = std::clamp(event.channels, 1u, kMaxChannels);
        auto buffer = std::make_shared<std::vector<unsigned char>>(offsetof(AUDIO_VOLUME_NOTIFICATION_DATA, afChannelVolumes) +
                                                                   channels * sizeof(float));
        auto* data = reinterpret_cast<AUDIO_VOLUME_NOTIFICATION_DATA*>(buffer->data());
        data->guidEventContext = event.context;
        data->bMuted = event.mute ? TRUE : FALSE;
        // The log may have been garbled: hand the callbacks only levels that can be levels.
        auto sane = [](float level) { return std::isfinite(level) ? std::clamp(level, 0.0f, 1.0f) : 0.0f; };
        data->fMasterVolume = sane(event.master);
        data->nChannels = channels;
        for (uint32_t c = 0; c < channels; ++c)
            data->afChannelVolumes[c] = sane(event.levels[c]);
        for (auto& target : targets) {
            jobs.push_back([target, buffer] {
                target->OnNotify(reinterpret_cast<AUDIO_VOLUME_NOTIFICATION_DATA*>(buffer->data()));
            });
        }
        return;
    }
    case kEventControl: {
        std::lock_guard<std::mutex> guard(m_mutex);
        for (const ControlEntry& entry : m_control) {
            if (entry.endpointId != id || entry.life != event.life || entry.subunit != event.subunit)
                continue;
            ComPtr<IControlChangeNotify> target = entry.callback;
            DWORD sender = event.processId;
            bool hasContext = event.hasContext != 0;
            GUID context = event.context;
            jobs.push_back([target, sender, hasContext, context] { target->OnNotify(sender, hasContext ? &context : nullptr); });
        }
        return;
    }
    case kEventState:
    case kEventAdded:
    case kEventRemoved:
        DropEnded(id, event.life);
        break;
    case kEventDefault:
    case kEventProperty:
        break;
    default:
        return;  // unknown kind (garbled log): nothing to deliver
    }

    std::vector<ComPtr<IMMNotificationClient>> clients;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        clients = m_clients;
    }
    SharedEvent copy = event;
    for (auto& client : clients) {
        jobs.push_back([client, copy, id] {
            LPCWSTR idOrNull = id.empty() ? nullptr : id.c_str();
            switch (copy.kind) {
            case kEventDefault: {
                EDataFlow flow = copy.flow == kFlowCapture ? eCapture : eRender;
                ERole role = static_cast<ERole>(std::clamp(copy.role, 0, 2));
                client->OnDefaultDeviceChanged(flow, role, idOrNull);
                break;
            }
            case kEventState:
                client->OnDeviceStateChanged(idOrNull, copy.state);
                break;
            case kEventAdded:
                client->OnDeviceAdded(idOrNull);
                break;
            case kEventRemoved:
                client->OnDeviceRemoved(idOrNull);
                break;
            default:
                client->OnPropertyValueChanged(idOrNull, kFriendlyNameKey);
                break;
            }
        });
    }
}

void CNotifyHub::CountRegistrations()
{
    g_live[kLiveVolumeCallbacks] = static_cast<long>(m_volume.size());
    g_live[kLiveClients] = static_cast<long>(m_clients.size());
    g_live[kLiveControlCallbacks] = static_cast<long>(m_control.size());
}

void CNotifyHub::DropEnded(const std::wstring& endpointId, uint32_t life)
{
    std::vector<VolumeEntry> volume;  // released outside the lock
    std::vector<ControlEntry> control;
    std::lock_guard<std::mutex> guard(m_mutex);
    // Lives only grow, and a registration of a later life than this change's may already exist.
    auto ended = [&](const auto& entry) { return entry.endpointId == endpointId && entry.life < life; };
    auto volumeEnd = std::stable_partition(m_volume.begin(), m_volume.end(), [&](const VolumeEntry& e) { return !ended(e); });
    volume.assign(std::make_move_iterator(volumeEnd), std::make_move_iterator(m_volume.end()));
    m_volume.erase(volumeEnd, m_volume.end());
    auto controlEnd = std::stable_partition(m_control.begin(), m_control.end(), [&](const ControlEntry& e) { return !ended(e); });
    control.assign(std::make_move_iterator(controlEnd), std::make_move_iterator(m_control.end()));
    m_control.erase(controlEnd, m_control.end());
    CountRegistrations();
}

HRESULT CNotifyHub::AddVolume(const std::wstring& endpointId, uint32_t life, IAudioEndpointVolumeCallback* callback)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    for (const VolumeEntry& entry : m_volume) {
        if (entry.endpointId == endpointId && entry.life == life && entry.callback.Get() == callback)
            return S_OK;
    }
    m_volume.push_back(VolumeEntry{endpointId, life, callback});
    CountRegistrations();
    return S_OK;
}

HRESULT CNotifyHub::RemoveVolume(const std::wstring& endpointId, IAudioEndpointVolumeCallback* callback)
{
    std::vector<VolumeEntry> removed;  // released outside the lock
    std::lock_guard<std::mutex> guard(m_mutex);
    auto end = std::remove_if(m_volume.begin(), m_volume.end(), [&](const VolumeEntry& entry) {
        return entry.endpointId == endpointId && entry.callback.Get() == callback;
    });
    if (end == m_volume.end())
        return kE_NotFound;
    removed.assign(std::make_move_iterator(end), std::make_move_iterator(m_volume.end()));
    m_volume.erase(end, m_volume.end());
    CountRegistrations();
    return S_OK;
}

HRESULT CNotifyHub::AddClient(IMMNotificationClient* client)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    for (const auto& entry : m_clients) {
        if (entry.Get() == client)
            return S_OK;
    }
    m_clients.push_back(client);
    CountRegistrations();
    return S_OK;
}

HRESULT CNotifyHub::RemoveClient(IMMNotificationClient* client)
{
    ComPtr<IMMNotificationClient> removed;
    std::lock_guard<std::mutex> guard(m_mutex);
    auto it = std::find_if(m_clients.begin(), m_clients.end(), [&](const auto& entry) { return entry.Get() == client; });
    if (it == m_clients.end())
        return kE_NotFound;
    removed = *it;
    m_clients.erase(it);
    CountRegistrations();
    return S_OK;
}

HRESULT CNotifyHub::AddControl(const std::wstring& endpointId, uint32_t life, uint32_t subunit, IControlChangeNotify* callback)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    for (const ControlEntry& entry : m_control) {
        if (entry.endpointId == endpointId && entry.life == life && entry.subunit == subunit && entry.callback.Get() == callback)
            return S_OK;
    }
    m_control.push_back(ControlEntry{endpointId, life, subunit, callback});
    CountRegistrations();
    return S_OK;
}

HRESULT CNotifyHub::RemoveControl(const std::wstring& endpointId, uint32_t subunit, IControlChangeNotify* callback)
{
    std::vector<ControlEntry> removed;
    std::lock_guard<std::mutex> guard(m_mutex);
    auto end = std::remove_if(m_control.begin(), m_control.end(), [&](const ControlEntry& entry) {
        return entry.endpointId == endpointId && entry.subunit == subunit && entry.callback.Get() == callback;
    });
    if (end == m_control.end())
        return kE_NotFound;
    removed.assign(std::make_move_iterator(end), std::make_move_iterator(m_control.end()));
    m_control.erase(end, m_control.end());
    CountRegistrations();
    return S_OK;
}

}  // namespace CoreAudioSim
