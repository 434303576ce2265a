// Fixture for the in-process tests against the simulator: a fresh scenario, a bare window as
// the application's main window (what the callback posts to), guarded exchange buffers, an
// observed message box.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/ConfLib.h"
#include "driver/DriverMessageBox.h"
#include "driver/OutputSwitch.h"
#include "framework/afxwin.h"
#include "tests/driver/DriverTestSupport.h"

namespace drivertest {

inline std::vector<std::string>& MessageBoxTexts()
{
    static std::vector<std::string> texts;
    return texts;
}

// Kept as UTF-8.
inline int RecordMessageBox(LPCWSTR text, UINT type)
{
    char utf8[512] = "";
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8), nullptr, nullptr);
    MessageBoxTexts().push_back(std::string(utf8) + (type == MB_OK ? "" : " (not MB_OK)"));
    return IDOK;
}

class DriverFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(LoadConfLib()) << "the simulator must lie under bin/osConfLibFlie";
        ASSERT_TRUE(m_sim.Bind());
        AfxGetApp()->m_pMainWnd = &m_mainWnd;
        m_mainWnd.Attach(m_postTarget);
        g_outputDevice = DeviceRecord{};
        g_secondaryDevice = DeviceRecord{};
        MessageBoxTexts().clear();
        g_driverMessageBox = RecordMessageBox;
        m_buffers.FillAll(0xCC);   // as the dialog leaves them: never initialised
    }
    void TearDown() override
    {
        ShutdownDriverLibrary();
        m_mainWnd.Detach();
        AfxGetApp()->m_pMainWnd = nullptr;
        DestroyWindow(m_postTarget);
    }

    // Loads the scenario and runs the start-up; the log then starts empty.
    DriverStartup Start(const std::string& scenario)
    {
        EXPECT_EQ(0, m_sim.Load(scenario)) << scenario;
        const DriverStartup result = StartDriverLibrary(m_buffers.bufs);
        m_sim.ClearLog();
        return result;
    }

    HWND mainWindow() const { return m_postTarget; }
    ExchangeBuffers& bufs() { return m_buffers.bufs; }

    Sim m_sim;
    HWND m_postTarget = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    GuardedBuffers m_buffers;
    CWnd m_mainWnd;
};

}  // namespace drivertest
