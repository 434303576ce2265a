#include "sim/coreaudio/SimNotify.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace CoreAudioSim {

namespace {

constexpr DWORD kPollMs = 200;  // also catches a wake-up lost to a garbled listener table

bool ProcessAlive(DWORD processId)
{
    if (processId == 0)
        return false;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (!process)
        return false;
    bool alive = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return alive;
}

}  // namespace

int ClaimListenerSlot(SharedBlock& block)
{
    DWORD self = GetCurrentProcessId();
    for (uint32_t i = 0; i < kMaxListeners; ++i) {
        if (block.listeners[i].processId == self)
            return static_cast<int>(i);
    }
    for (uint32_t i = 0; i < kMaxListeners; ++i) {
        if (!ProcessAlive(block.listeners[i].processId)) {
            block.listeners[i].processId = self;
            block.listeners[i].delivered = block.nextSequence;
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
    for (;;) {
        if (wake)
            WaitForSingleObject(wake, kPollMs);
        else
            Sleep(kPollMs);
        pending.clear();
        {
            CSimLock lock;
            if (!lock)
                continue;
            SharedBlock& block = lock.Block();
            ClaimListenerSlot(block);
            uint64_t head = block.nextSequence;
            if (head < next)
                next = head;  // the log went backwards: follow it from here
            if (head - next > kEventRing)
                next = head - kEventRing;  // fell behind: the oldest entries are overwritten
            for (uint64_t sequence = next; sequence < head; ++sequence) {
                const SharedEvent& event = block.events[sequence % kEventRing];
                if (event.sequence == sequence)
                    pending.push_back(event);
            }
            next = head;
        }
        for (const SharedEvent& event : pending)
            Dispatch(event);
        CSimLock lock;
        if (lock) {
            int slot = ClaimListenerSlot(lock.Block());
            if (slot >= 0)
                lock.Block().listeners[slot].delivered = next;
        }
    }
}

void CNotifyHub::Dispatch(const SharedEvent& event)
{
    std::wstring id = ReadFixed(event.endpointId);
    LPCWSTR idOrNull = id.empty() ? nullptr : id.c_str();
    switch (event.kind) {
    case kEventVolume: {
        std::vector<ComPtr<IAudioEndpointVolumeCallback>> targets;
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            for (const VolumeEntry& entry : m_volume) {
                if (entry.endpointId == id)
                    targets.push_back(entry.callback);
            }
        }
        if (targets.empty())
            return;
        uint32_t channels = std::clamp(event.channels, 1u, kMaxChannels);
        std::vector<unsigned char> buffer(offsetof(AUDIO_VOLUME_NOTIFICATION_DATA, afChannelVolumes) + channels * sizeof(float));
        auto* data = reinterpret_cast<AUDIO_VOLUME_NOTIFICATION_DATA*>(buffer.data());
        data->guidEventContext = event.context;
        data->bMuted = event.mute ? TRUE : FALSE;
        // The log may have been garbled: hand the callbacks only levels that can be levels.
        auto sane = [](float level) { return std::isfinite(level) ? std::clamp(level, 0.0f, 1.0f) : 0.0f; };
        data->fMasterVolume = sane(event.master);
        data->nChannels = channels;
        for (uint32_t c = 0; c < channels; ++c)
            data->afChannelVolumes[c] = sane(event.levels[c]);
        for (auto& target : targets)
            target->OnNotify(data);
        return;
    }
    case kEventControl: {
        std::vector<ComPtr<IControlChangeNotify>> targets;
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            for (const ControlEntry& entry : m_control) {
                if (entry.endpointId == id && entry.subunit == event.subunit)
                    targets.push_back(entry.callback);
            }
        }
        GUID context = event.context;
        for (auto& target : targets)
            target->OnNotify(event.processId, event.hasContext ? &context : nullptr);
        return;
    }
    default:
        break;
    }

    std::vector<ComPtr<IMMNotificationClient>> clients;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        clients = m_clients;
    }
    for (auto& client : clients) {
        switch (event.kind) {
        case kEventDefault: {
            EDataFlow flow = event.flow == kFlowCapture ? eCapture : eRender;
            ERole role = static_cast<ERole>(std::clamp(event.role, 0, 2));
            client->OnDefaultDeviceChanged(flow, role, idOrNull);
            break;
        }
        case kEventState:
            client->OnDeviceStateChanged(idOrNull, event.state);
            break;
        case kEventAdded:
            client->OnDeviceAdded(idOrNull);
            break;
        case kEventRemoved:
            client->OnDeviceRemoved(idOrNull);
            break;
        case kEventProperty:
            client->OnPropertyValueChanged(idOrNull, kFriendlyNameKey);
            break;
        default:
            break;  // unknown kind (garbled log): nothing to deliver
        }
    }
}

HRESULT CNotifyHub::AddVolume(const std::wstring& endpointId, IAudioEndpointVolumeCallback* callback)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    for (const VolumeEntry& entry : m_volume) {
        if (entry.endpointId == endpointId && entry.callback.Get() == callback)
            return S_OK;
    }
    m_volume.push_back(VolumeEntry{endpointId, callback});
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
    return S_OK;
}

HRESULT CNotifyHub::AddControl(const std::wstring& endpointId, uint32_t subunit, IControlChangeNotify* callback)
{
    std::lock_guard<std::mutex> guard(m_mutex);
    for (const ControlEntry& entry : m_control) {
        if (entry.endpointId == endpointId && entry.subunit == subunit && entry.callback.Get() == callback)
            return S_OK;
    }
    m_control.push_back(ControlEntry{endpointId, subunit, callback});
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
    return S_OK;
}

}  // namespace CoreAudioSim
