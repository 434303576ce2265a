// Runs from a folder without osConfLibFlie: the panel must keep working with no library.
#include <gtest/gtest.h>

#include <string>

#include "driver/ConfLib.h"
#include "driver/FormatControl.h"
#include "driver/DriverMessageBox.h"
#include "driver/OutputSwitch.h"
#include "framework/afxwin.h"
#include "res/OutputIds.h"
#include "tests/driver/DriverTestSupport.h"

CWinApp theApp;

using namespace drivertest;

namespace {

int g_messageBoxes = 0;
int CountMessageBox(LPCSTR, UINT)
{
    ++g_messageBoxes;
    return IDOK;
}

std::string ExeDir()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of('\\') + 1);
}

TEST(NoLibrary, StartupReportsTheLibraryMissingAndPanelStillWorks)
{
    TestPanel panel;
    GuardedBuffers buffers;
    g_driverMessageBox = CountMessageBox;

    EXPECT_FALSE(LoadConfLib());
    EXPECT_EQ(DriverStartup::LibraryMissing, StartDriverLibrary(buffers.bufs));
    EXPECT_FALSE(IsConfLibBound());
    EXPECT_EQ(nullptr, ConfLibModule());

    // The start-up still selects the output: buttons show it, the record stays all zero.
    SelectOutput(panel.hwnd(), buffers.bufs, OutputTrigger::Startup, OUTPUT_SPEAKER);
    EXPECT_TRUE(panel.Pushed(IDC_OUTPUT_SPEAKER));
    EXPECT_FALSE(panel.Pushed(IDC_OUTPUT_SPDIF));
    EXPECT_EQ(0, g_outputDevice.type);

    // Requests fail as refused ones would: the buttons show what was asked for.
    RequestSampleRate(panel.hwnd(), buffers.bufs, 176400);
    RequestBitDepth(panel.hwnd(), buffers.bufs, 24);
    EXPECT_TRUE(panel.Pushed(IDC_RATE_176K4));
    EXPECT_TRUE(panel.Pushed(IDC_DEPTH_24));

    // A refresh reads nothing, so it leaves everything as it was.
    EnableWindow(GetDlgItem(panel.hwnd(), IDC_RATE_48K), FALSE);
    RefreshFormatState(panel.hwnd(), buffers.bufs);
    EXPECT_TRUE(panel.Pushed(IDC_RATE_176K4));
    EXPECT_TRUE(panel.Pushed(IDC_DEPTH_24));
    EXPECT_FALSE(panel.Enabled(IDC_RATE_48K));
    EXPECT_TRUE(panel.Enabled(IDC_RATE_44K1));

    EXPECT_EQ(1, HandleOutputChanged(panel.hwnd(), buffers.bufs, 0));
    EXPECT_TRUE(panel.Pushed(IDC_OUTPUT_SPDIF));
    DeviceRecord speaker = {1, 1, 0, 1};
    QuerySupportFeature(speaker);
    EXPECT_EQ(0, g_messageBoxes);
    InitDriverDefaults(buffers.bufs);
    ShutdownDriverLibrary();
}

TEST(NoLibrary, MissingBuffersMakeRequestsFailWithoutTouchingMemory)
{
    TestPanel panel;
    BYTE* none = nullptr;
    ExchangeBuffers missing = {&none, nullptr, &none, nullptr};
    RequestBitDepth(panel.hwnd(), missing, 16);
    EXPECT_TRUE(panel.Pushed(IDC_DEPTH_16));
    RefreshFormatState(panel.hwnd(), missing);
    InitDriverDefaults(missing);
    EXPECT_TRUE(panel.Pushed(IDC_DEPTH_16));
}

TEST(NoLibrary, LibraryMissingAnEntryPointIsNotBoundNorCalled)
{
    const std::string partial = ExeDir() + "partial\\osConfLib.dll";
    HMODULE held = LoadLibraryA(partial.c_str());
    ASSERT_NE(nullptr, held) << partial;
    typedef int32_t (*CountFn)();
    CountFn calls = reinterpret_cast<CountFn>(reinterpret_cast<void*>(GetProcAddress(held, "PartialCallCount")));
    ASSERT_NE(nullptr, calls);

    EXPECT_FALSE(LoadConfLibFrom(partial));
    EXPECT_FALSE(IsConfLibBound());
    TestPanel panel;
    GuardedBuffers buffers;
    EXPECT_EQ(DriverStartup::LibraryMissing, StartDriverLibrary(buffers.bufs));
    SelectOutput(panel.hwnd(), buffers.bufs, OutputTrigger::ButtonOrEvent, OUTPUT_SPDIF);
    ShutdownDriverLibrary();
    EXPECT_EQ(0, calls());
    FreeLibrary(held);
}

}  // namespace
