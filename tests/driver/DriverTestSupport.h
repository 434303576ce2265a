// Shared pieces of the driver tests: exchange buffers that fault on any access past their
// end, and access to the simulator's test exports.
#pragma once
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "driver/ConfLib.h"
#include "driver/ExchangeBuffers.h"
#include "sim/conflib/ConfLibSim.h"

namespace drivertest {

// A fault (such as a read past a guarded buffer) ends the test program at once with a
// failure instead of waiting in Wine's debugger.
inline LONG WINAPI ReportFault(EXCEPTION_POINTERS* info)
{
    std::fprintf(stderr, "fault 0x%08lx at %p\n", info->ExceptionRecord->ExceptionCode,
                 info->ExceptionRecord->ExceptionAddress);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 0xFA17);
    return EXCEPTION_EXECUTE_HANDLER;
}
inline const LPTOP_LEVEL_EXCEPTION_FILTER g_previousFilter = SetUnhandledExceptionFilter(ReportFault);

// Four 1024-byte buffers, each ending exactly where an inaccessible page starts, so that a
// read or write past a buffer's end faults instead of passing unnoticed.
class GuardedBuffers {
public:
    GuardedBuffers()
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        m_page = info.dwPageSize;
        m_block = static_cast<BYTE*>(VirtualAlloc(nullptr, 8 * m_page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        BYTE** members[4] = {&m_setValue, &m_setParam, &m_getReply, &m_getParam};
        for (int i = 0; i < 4; ++i) {
            BYTE* page = m_block + 2 * i * m_page;
            DWORD old = 0;
            VirtualProtect(page + m_page, m_page, PAGE_NOACCESS, &old);
            *members[i] = page + m_page - kExchangeBufferSize;
        }
        bufs = {&m_setValue, &m_setParam, &m_getReply, &m_getParam};
    }
    ~GuardedBuffers() { VirtualFree(m_block, 0, MEM_RELEASE); }
    GuardedBuffers(const GuardedBuffers&) = delete;
    GuardedBuffers& operator=(const GuardedBuffers&) = delete;

    void FillAll(BYTE value)
    {
        for (BYTE* b : {m_setValue, m_setParam, m_getReply, m_getParam})
            memset(b, value, kExchangeBufferSize);
    }

    ExchangeBuffers bufs;

private:
    DWORD m_page = 0;
    BYTE* m_block = nullptr;
    BYTE* m_setValue = nullptr;
    BYTE* m_setParam = nullptr;
    BYTE* m_getReply = nullptr;
    BYTE* m_getParam = nullptr;
};

// The simulator's test exports, found in the library the driver code bound.
class Sim {
public:
    bool Bind()
    {
        HMODULE module = ConfLibModule();
        if (module == nullptr)
            return false;
        m_load = reinterpret_cast<SimLoadScenarioFn>(reinterpret_cast<void*>(GetProcAddress(module, "SimLoadScenario")));
        m_log = reinterpret_cast<SimGetCallLogFn>(reinterpret_cast<void*>(GetProcAddress(module, "SimGetCallLog")));
        m_clear = reinterpret_cast<SimClearCallLogFn>(reinterpret_cast<void*>(GetProcAddress(module, "SimClearCallLog")));
        m_fire = reinterpret_cast<SimFireEventFn>(reinterpret_cast<void*>(GetProcAddress(module, "SimFireEvent")));
        m_format = reinterpret_cast<SimGetFormatFn>(reinterpret_cast<void*>(GetProcAddress(module, "SimGetFormat")));
        return m_load && m_log && m_clear && m_fire && m_format;
    }
    int Load(const std::string& scenario) { return m_load(scenario.c_str()); }
    void ClearLog() { m_clear(); }
    int Fire(uint32_t type, uint32_t code) { return m_fire(type, code); }
    void Format(uint32_t& rate, uint32_t& depth, uint32_t& channels) { m_format(&rate, &depth, &channels); }

    // Every logged line except the event thread's, whose place is not fixed.
    std::vector<std::string> Log(const std::string& prefix = std::string())
    {
        std::string text(m_log(nullptr, 0), '\0');
        m_log(text.data(), text.size());
        std::vector<std::string> lines;
        size_t start = 0;
        for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
            std::string line = text.substr(start, end - start);
            if (line.rfind("callback ", 0) != 0 && line.rfind(prefix, 0) == 0)
                lines.push_back(line);
        }
        return lines;
    }
    std::vector<std::string> Requests() { return Log("PropertyControl "); }

private:
    SimLoadScenarioFn m_load = nullptr;
    SimGetCallLogFn m_log = nullptr;
    SimClearCallLogFn m_clear = nullptr;
    SimFireEventFn m_fire = nullptr;
    SimGetFormatFn m_format = nullptr;
};

// Messages of one kind waiting for a window, taken off the queue; waits up to timeoutMs for
// at least `atLeast` of them.
inline int TakeMessages(HWND hwnd, UINT message, int atLeast = 0, DWORD timeoutMs = 0)
{
    int count = 0;
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, hwnd, message, message, PM_REMOVE))
            ++count;
        if (count >= atLeast || GetTickCount() - start >= timeoutMs)
            return count;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_POSTMESSAGE);
    }
}

}  // namespace drivertest
