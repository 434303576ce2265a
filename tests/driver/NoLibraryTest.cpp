// Runs from a folder without osConfLibFlie: every driver request must fail cleanly with no library.
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
int CountMessageBox(LPCWSTR, UINT)
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

TEST(NoLibrary, StartupReportsTheLibraryMissingAndEveryRequestFails)
{
    GuardedBuffers buffers;
    g_driverMessageBox = CountMessageBox;

    EXPECT_FALSE(LoadConfLib());
    EXPECT_EQ(DriverStartup::LibraryMissing, StartDriverLibrary(buffers.bufs));
    EXPECT_FALSE(IsConfLibBound());
    EXPECT_EQ(nullptr, ConfLibModule());

    // The start-up still asks for the output switch: the record stays all zero.
    EXPECT_EQ(0, SwitchDriverOutput(OUTPUT_SPEAKER).type);
    EXPECT_EQ(0, g_outputDevice.type);

    // Requests fail as refused ones would, and a read reads nothing.
    EXPECT_NE(0, SetSampleRate(buffers.bufs, 176400));
    EXPECT_NE(0, SetBitDepth(buffers.bufs, 24));
    const FormatState state = ReadFormatState(buffers.bufs);
    EXPECT_FALSE(state.rateRead);
    EXPECT_FALSE(state.depthRead);
    for (RateSupport support : state.support)
        EXPECT_EQ(RateSupport::Unknown, support);

    DeviceRecord speaker = {1, 1, 0, 1};
    QuerySupportFeature(speaker);
    EXPECT_EQ(0, g_messageBoxes);
    InitDriverDefaults(buffers.bufs);
    ShutdownDriverLibrary();
}

TEST(NoLibrary, MissingBuffersMakeRequestsFailWithoutTouchingMemory)
{
    BYTE* none = nullptr;
    ExchangeBuffers missing = {&none, nullptr, &none, nullptr};
    EXPECT_NE(0, SetBitDepth(missing, 16));
    EXPECT_FALSE(ReadFormatState(missing).depthRead);
    InitDriverDefaults(missing);
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
    GuardedBuffers buffers;
    EXPECT_EQ(DriverStartup::LibraryMissing, StartDriverLibrary(buffers.bufs));
    SwitchDriverOutput(OUTPUT_SPDIF);
    ReadFormatState(buffers.bufs);
    ShutdownDriverLibrary();
    EXPECT_EQ(0, calls());
    FreeLibrary(held);
}

}  // namespace
