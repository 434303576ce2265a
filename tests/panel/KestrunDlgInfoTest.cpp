// The information lines on the real panel, each in its label.
#include "PanelHarness.h"
#include "panel/InfoText.h"
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

TEST(PanelInfo, InformationLinesInTheirLabels)
{
    PanelHarness h;  // writes a CPL.ini without a version
    h.Run([&](CKestrunDlg&, HWND panel) {
        h.Flush();  // whatever the initialisation posted has been handled
        EXPECT_EQ(OsVersionLine(QueryOsName()), TextOf(panel, IDC_LBL_OS_VERSION));
        EXPECT_EQ("Control Panel Version: ", TextOf(panel, IDC_LBL_PANEL_VERSION));
        EXPECT_EQ(KESTRUN_MAKER_COPYRIGHT, TextOf(panel, IDC_LBL_COPYRIGHT));
        EXPECT_EQ(KESTRUN_MAKER_WEB_ADDRESS, TextOf(panel, IDC_LBL_WEB_ADDRESS));
        EXPECT_EQ("OS Version", TextOf(panel, IDC_LBL_HIDDEN));  // never written
    });
}

}  // namespace
