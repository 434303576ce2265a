// Shared pieces of the driver tests: a stand-in panel with the real button IDs, exchange
// buffers that fault on any access past their end, and access to the simulator's test exports.
#pragma once
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "driver/ConfLib.h"
#include "driver/ExchangeBuffers.h"
#include "res/resource.h"
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

// Every button the driver code talks to, in no particular order.
inline const int kButtonIds[] = {IDC_RATE_44K1, IDC_RATE_48K,    IDC_RATE_88K2, IDC_RATE_96K,
                                 IDC_RATE_176K4, IDC_RATE_192K,  IDC_DEPTH_16,  IDC_DEPTH_24,
                                 IDC_DEPTH_32,  IDC_OUTPUT_SPDIF, IDC_OUTPUT_SPEAKER};

// (control ID, wParam) of every BM_SETSTATE the buttons received, in order.
inline std::vector<std::pair<int, int>>& StateMessages()
{
    static std::vector<std::pair<int, int>> messages;
    return messages;
}

inline LRESULT CALLBACK RecordingButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    WNDPROC original = reinterpret_cast<WNDPROC>(GetPropA(hwnd, "drivertest.proc"));
    if (msg == BM_SETSTATE)
        StateMessages().emplace_back(GetDlgCtrlID(hwnd), static_cast<int>(wParam));
    return CallWindowProcA(original, hwnd, msg, wParam, lParam);
}

// A top-level window holding owner-drawn BUTTON children with the panel's control IDs.
class TestPanel {
public:
    TestPanel()
    {
        m_hwnd = CreateWindowExA(0, "STATIC", "driver test panel", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        int x = 0;
        for (int id : kButtonIds) {
            HWND button = CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, x, 0, 30, 20,
                                          m_hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                          GetModuleHandleA(nullptr), nullptr);
            x += 32;
            SetPropA(button, "drivertest.proc",
                     reinterpret_cast<HANDLE>(SetWindowLongPtrA(button, GWLP_WNDPROC,
                                                                reinterpret_cast<LONG_PTR>(RecordingButtonProc))));
        }
        StateMessages().clear();
    }
    ~TestPanel()
    {
        if (m_hwnd != nullptr)
            DestroyWindow(m_hwnd);
    }
    TestPanel(const TestPanel&) = delete;
    TestPanel& operator=(const TestPanel&) = delete;

    HWND hwnd() const { return m_hwnd; }
    bool Pushed(int id) const
    {
        return (SendDlgItemMessageA(m_hwnd, id, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
    }
    bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(m_hwnd, id)) != FALSE; }
    // The IDs of a group that are pushed, in the order given.
    std::vector<int> PushedOf(std::initializer_list<int> ids) const
    {
        std::vector<int> pushed;
        for (int id : ids)
            if (Pushed(id))
                pushed.push_back(id);
        return pushed;
    }

private:
    HWND m_hwnd = nullptr;
};

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
