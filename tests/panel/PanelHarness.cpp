#include "PanelHarness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "driver/DevicePresence.h"
#include "panel/Settings.h"
#include "sim/conflib/ConfLibSim.h"
#include "sim/coreaudio/SimControl.h"

CWinApp theApp;

namespace {
constexpr UINT WM_HARNESS_FLUSH = WM_APP + 77;

std::mutex g_hookLock;
std::vector<MSG> g_posted;
std::vector<MSG> g_sent;
std::vector<std::pair<int, int>> g_buttonStates;
HWND g_hookedPanel = nullptr;
// Flushes posted and the last one the panel's thread handled, for the whole process: a flush
// that timed out, even under an earlier harness, cannot satisfy a later one.
std::atomic<LPARAM> g_flushesPosted{0};
std::atomic<LPARAM> g_flushesHandled{0};

LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        std::lock_guard<std::mutex> guard(g_hookLock);
        if (msg->hwnd != nullptr && msg->hwnd == g_hookedPanel)
            g_posted.push_back(*msg);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK CallWndHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const CWPSTRUCT* cwp = reinterpret_cast<const CWPSTRUCT*>(lParam);
        std::lock_guard<std::mutex> guard(g_hookLock);
        if (cwp->message == BM_SETSTATE)
            g_buttonStates.emplace_back(::GetDlgCtrlID(cwp->hwnd), static_cast<int>(cwp->wParam));
        if (cwp->hwnd != nullptr && cwp->hwnd == g_hookedPanel)
            g_sent.push_back(MSG{cwp->hwnd, cwp->message, cwp->wParam, cwp->lParam, 0, {0, 0}});
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK FlushWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_HARNESS_FLUSH) {
        g_flushesHandled = lParam;
        ::SetEvent(reinterpret_cast<HANDLE>(wParam));
        return 0;
    }
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

HMODULE ConfLibSimModule()
{
    static HMODULE module = ::LoadLibraryA((ModuleDirectory() + "osConfLibFlie\\x64\\vista\\osConfLib.dll").c_str());
    return module;
}

template <typename Fn>
Fn SimExport(const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(ConfLibSimModule(), name)));
}

std::string IniPath() { return ModuleDirectory() + SETTINGS_FILE; }
}  // namespace

const char kTwoOutputs[] =
    "endpoint {0.0.0.00000000}.{aaaa0001} render active 2 SPDIF Interface (Lumirel USB Audio Device)\n"
    "level all 0.8\n"
    "subunit volume\n"
    "subunit mute\n"
    "endpoint {0.0.0.00000000}.{aaaa0002} render active 2 Lumirel USB Audio Device speaker\n"
    "level all 0.6\n"
    "endpoint {0.0.0.00000000}.{aaaa0003} render active 2 Speakers (Lumirel USB Audio Device)\n"
    "default render all 0\n";

GUID MixerContext()
{
    GUID mixer{};
    CoreAudioSim::GuidFromString(L"{6D697865-7200-4B65-7374-72756E53494D}", mixer);
    return mixer;
}

std::string ModuleDirectory()
{
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of('\\') + 1);
}

LPARAM ClientPointOf(HWND panel, int controlId)
{
    RECT rc;
    ::GetWindowRect(::GetDlgItem(panel, controlId), &rc);
    POINT pt{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    ::ScreenToClient(panel, &pt);
    return MAKELPARAM(pt.x, pt.y);
}

bool IsPushed(HWND panel, int controlId)
{
    return (::SendDlgItemMessageA(panel, controlId, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
}

PanelHarness::PanelHarness(PanelRunOptions options) : m_options(std::move(options))
{
    // The panel's settings file lives beside the executable: keep the shipped one intact.
    std::ifstream in(IniPath(), std::ios::binary);
    if (in) {
        std::ostringstream text;
        text << in.rdbuf();
        m_savedIni = text.str();
        m_hadIni = true;
    }
    m_flushed = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

PanelHarness::~PanelHarness()
{
    RestoreIni();
    ::CloseHandle(m_flushed);
}

void PanelHarness::RestoreIni() const
{
    ::DeleteFileA(IniPath().c_str());
    if (m_hadIni) {
        std::ofstream out(IniPath(), std::ios::binary);
        out << m_savedIni;
    }
}

INT_PTR PanelHarness::Run(const std::function<void(CKestrunDlg&, HWND)>& script)
{
    ::DeleteFileA(IniPath().c_str());
    if (m_options.linkSetting != nullptr)
        ::WritePrivateProfileStringA(SETTINGS_SECTION, SETTING_CHANNELS_LINKED, m_options.linkSetting, IniPath().c_str());

    if (auto load = SimExport<SimLoadScenarioFn>("SimLoadScenario"))
        load(m_options.conflibScenario.c_str());
    if (m_options.coreAudioScenario.empty())
        CoreAudioSim::Reset();
    else
        CoreAudioSim::LoadScenarioText(m_options.coreAudioScenario);

    WNDCLASSA wc{};
    wc.lpfnWndProc = FlushWindowProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "KestrunPanelHarnessFlush";
    ::RegisterClassA(&wc);
    m_flushWindow = ::CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);

    ClearButtonStates();
    CKestrunDlg dlg;
    dialog = &dlg;
    theApp.m_pMainWnd = &dlg;
    HHOOK getHook = ::SetWindowsHookExA(WH_GETMESSAGE, GetMessageHook, nullptr, ::GetCurrentThreadId());
    HHOOK callHook = ::SetWindowsHookExA(WH_CALLWNDPROC, CallWndHook, nullptr, ::GetCurrentThreadId());

    std::atomic<bool> ended{false};
    const char* scriptSkipped = "the panel ended during its initialisation";
    std::thread driver([&] {
        // Sent messages can be answered during the initialisation (whenever it waits on
        // another thread), so wait for the modal loop itself.
        while (!ended && !dlg.HasRunModalLoop())
            ::Sleep(10);
        if (ended)
            return;  // the panel ended during its initialisation
        // Its own window: a title search could find another program's panel still ending.
        HWND hWnd = dlg.m_hWnd;
        {
            std::lock_guard<std::mutex> guard(g_hookLock);
            g_hookedPanel = hWnd;
            g_posted.clear();
            g_sent.clear();
        }
        panel = hWnd;
        DWORD_PTR ignored = 0;
        if (!::SendMessageTimeoutA(hWnd, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &ignored)) {
            scriptSkipped = "the panel did not answer within 20 s";
            return;
        }
        scriptSkipped = nullptr;
        script(dlg, hWnd);
        ::PostMessageA(hWnd, WM_COMMAND, ID_MENU_EXIT, 0);
    });
    INT_PTR result = dlg.DoModal();
    ended = true;
    RestoreIni();
    driver.join();
    if (m_options.endsAtStartup)
        EXPECT_NE(scriptSkipped, nullptr) << "the panel was to end at start-up, but its modal loop ran the script";
    else if (scriptSkipped != nullptr)
        ADD_FAILURE() << "the script did not run: " << scriptSkipped << " (DoModal returned " << result
                      << "; the device is present now: " << (IsDevicePresent() ? "yes" : "no") << ")";

    ::UnhookWindowsHookEx(getHook);
    ::UnhookWindowsHookEx(callHook);
    ::DestroyWindow(m_flushWindow);
    m_flushWindow = nullptr;
    dialog = nullptr;
    return result;
}

void PanelHarness::Flush()
{
    // One queue per thread: once this arrives, everything posted before it was handled.
    const LPARAM flush = ++g_flushesPosted;
    ::PostMessageA(m_flushWindow, WM_HARNESS_FLUSH, reinterpret_cast<WPARAM>(m_flushed), flush);
    const DWORD start = ::GetTickCount();
    while (g_flushesHandled < flush) {
        const DWORD waited = ::GetTickCount() - start;
        if (waited >= 10000 || ::WaitForSingleObject(m_flushed, 10000 - waited) == WAIT_TIMEOUT) {
            ADD_FAILURE() << "the panel's thread did not handle a flush within 10 s";
            return;
        }
    }
}

void PanelHarness::SettleAudio()
{
    EXPECT_TRUE(CoreAudioSim::WaitForDelivery(5000)) << "Core Audio changes still undelivered after 5 s";
    Flush();
}

bool PanelHarness::WaitForDriverCallbacks(size_t count, DWORD timeoutMs)
{
    for (DWORD waited = 0; waited < timeoutMs; waited += 10) {
        std::string log = ConfLibLog();
        size_t found = 0;
        for (size_t pos = log.find("callback "); pos != std::string::npos; pos = log.find("callback ", pos + 1))
            ++found;
        if (found >= count) {
            Flush();
            return true;
        }
        ::Sleep(10);
    }
    return false;
}

std::vector<MSG> PanelHarness::PostedToPanel() const
{
    std::lock_guard<std::mutex> guard(g_hookLock);
    return g_posted;
}

std::vector<MSG> PanelHarness::SentToPanel() const
{
    std::lock_guard<std::mutex> guard(g_hookLock);
    return g_sent;
}

size_t PanelHarness::CountPosted(UINT message) const
{
    size_t n = 0;
    for (const MSG& m : PostedToPanel())
        n += m.message == message ? 1 : 0;
    return n;
}

std::vector<std::pair<int, int>> PanelHarness::ButtonStates() const
{
    std::lock_guard<std::mutex> guard(g_hookLock);
    return g_buttonStates;
}

void PanelHarness::ClearButtonStates() const
{
    std::lock_guard<std::mutex> guard(g_hookLock);
    g_buttonStates.clear();
}

std::string PanelHarness::ConfLibLog() const
{
    auto get = SimExport<SimGetCallLogFn>("SimGetCallLog");
    if (get == nullptr)
        return {};
    std::string text(get(nullptr, 0), '\0');
    get(text.data(), text.size());
    text.resize(text.size() - 1);
    return text;
}

void PanelHarness::ClearConfLibLog() const
{
    if (auto clear = SimExport<SimClearCallLogFn>("SimClearCallLog"))
        clear();
}
