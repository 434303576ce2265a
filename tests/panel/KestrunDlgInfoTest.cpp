// The information lines on the real panel, each in its label.
#include "PanelHarness.h"
#include "res/MakerInfo.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string TextOf(HWND panel, int controlId)
{
    char text[512] = "";
    ::GetDlgItemTextA(panel, controlId, text, sizeof(text));
    return text;
}

// The line for the version this process is told, written out here rather than asked of the
// panel's own naming: the Wine versions a test prefix can report to a program without a
// supported-OS entry (win8 to win10 all report 6.2, named by the true version, so not here).
std::string ExpectedOsLine()
{
    OSVERSIONINFOA info{sizeof(info)};
    ::GetVersionExA(&info);
    const struct {
        DWORD major, minor;
        const char* line;
    } kLines[] = {
        {5, 2, "OS Version: Windows Server 2003 64bit"},
        {6, 0, "OS Version: Windows Vista 64bit"},
        {6, 1, "OS Version: Windows 7 64bit"},
    };
    for (const auto& row : kLines)
        if (row.major == info.dwMajorVersion && row.minor == info.dwMinorVersion)
            return row.line;
    ADD_FAILURE() << "no expected line for Windows " << info.dwMajorVersion << "." << info.dwMinorVersion;
    return {};
}

TEST(PanelInfo, InformationLinesInTheirLabels)
{
    PanelHarness h;  // writes a CPL.ini without a version
    h.Run([&](CKestrunDlg&, HWND panel) {
        h.Flush();  // whatever the initialisation posted has been handled
        EXPECT_EQ(ExpectedOsLine(), TextOf(panel, IDC_LBL_OS_VERSION));
        EXPECT_EQ("Control Panel Version: ", TextOf(panel, IDC_LBL_PANEL_VERSION));
        EXPECT_EQ(KESTRUN_MAKER_COPYRIGHT, TextOf(panel, IDC_LBL_COPYRIGHT));
        EXPECT_EQ(KESTRUN_MAKER_WEB_ADDRESS, TextOf(panel, IDC_LBL_WEB_ADDRESS));
        EXPECT_EQ("OS Version", TextOf(panel, IDC_LBL_HIDDEN));  // never written
    });
}

}  // namespace
