// The information lines: the version table, the lines' exact spacing, the name for the
// version Wine reports (per-program setting) and the shipped settings file's version.
#include "panel/InfoText.h"
#include "panel/Settings.h"
#include "tests/support/WineVersion.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/Launch.h"

namespace {

struct VersionCase {
    DWORD major;
    DWORD minor;
    const char* name;
};

TEST(InfoTextTest, NamesByMajorAndMinorVersion)
{
    const VersionCase cases[] = {
        {5, 0, "Windows 2000"},  {5, 1, "Windows XP"}, {5, 2, "Windows Server 2003"},
        {6, 0, "Windows Vista"}, {6, 1, "Windows 7"},  {6, 2, "Windows 8"},
        {6, 3, "Windows 8.1"},   {4, 0, ""},           {4, 10, ""},
        {5, 3, ""},              {6, 4, ""},           {10, 0, ""},
        {0, 0, ""},              {1, 6, ""},           {0xFFFFFFFF, 0xFFFFFFFF, ""},
    };
    for (const VersionCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.major << "." << c.minor);
        EXPECT_EQ(c.name, OsNameForVersion(c.major, c.minor));
    }
}

struct RefinedCase {
    OsVersion reported;
    bool trueKnown;
    OsVersion trueVersion;
    const char* name;
};

// Releases after 6.2 report 6.2 to the program; their true version names them.
TEST(InfoTextTest, AReported62IsNamedByTheTrueVersion)
{
    const RefinedCase cases[] = {
        {{6, 2, 9200}, true, {6, 2, 9200}, "Windows 8"},
        {{6, 2, 9200}, true, {6, 3, 9600}, "Windows 8.1"},
        {{6, 2, 9200}, true, {10, 0, 19045}, "Windows 10"},
        {{6, 2, 9200}, true, {10, 0, 21999}, "Windows 10"},
        {{6, 2, 9200}, true, {10, 0, 22000}, "Windows 11"},
        {{6, 2, 9200}, true, {10, 0, 26100}, "Windows 11"},
        {{6, 2, 9200}, false, {}, "Windows 8"},  // no RtlGetVersion
        {{6, 2, 9200}, true, {10, 1, 0}, ""},
        // Only a reported 6.2 is refined.
        {{6, 1, 7601}, true, {10, 0, 22000}, "Windows 7"},
        {{6, 3, 9600}, true, {10, 0, 19045}, "Windows 8.1"},
        {{10, 0, 19045}, true, {10, 0, 19045}, ""},
        {{0, 0, 0}, true, {10, 0, 19045}, ""},
    };
    for (const RefinedCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.reported.major << "." << c.reported.minor << " / "
                                        << c.trueVersion.major << "." << c.trueVersion.minor << "."
                                        << c.trueVersion.build);
        EXPECT_EQ(c.name, OsNameFor(c.reported, c.trueKnown ? &c.trueVersion : nullptr));
    }
}

TEST(InfoTextTest, LinesKeepTheirBlanks)
{
    EXPECT_EQ(L"OS Version: Windows 7 64bit", OsVersionLine("Windows 7"));
    // An unknown version leaves two blanks between the colon and "64bit".
    EXPECT_EQ(L"OS Version:  64bit", OsVersionLine(""));
    EXPECT_EQ(L"Control Panel Version: 1.0.0.0", PanelVersionLine("1.0.0.0"));
    EXPECT_EQ(L"Control Panel Version: ", PanelVersionLine(""));
    // Shown as read: neither trimmed nor checked.
    EXPECT_EQ(L"Control Panel Version:  x ;y", PanelVersionLine(" x ;y"));
}

TEST(InfoTextTest, ShippedSettingsFileCarriesTheVersion)
{
    EXPECT_EQ(L"Control Panel Version: 1.0.0.0", PanelVersionLine(ReadSettingString(SETTINGS_FILE, SETTINGS_SECTION, SETTING_PANEL_VERSION)));
}

// Wine's per-program version setting, for the probe program only; removed afterwards.
class ReportedVersionTest : public ::testing::Test {
protected:
    static constexpr char kProbe[] = "os_name_probe.exe";
    static constexpr char kKey[] = "Software\\Wine\\AppDefaults\\os_name_probe.exe";

    static std::string RunProbe()
    {
        char path[MAX_PATH] = "";
        ::GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string command(path);
        command = "\"" + command.substr(0, command.find_last_of('\\') + 1) + kProbe + "\"";

        const testsupport::RunResult run =
            testsupport::Run({.commandLine = command, .flags = CREATE_NO_WINDOW}, 30000, true);
        return !run.started ? "<not started>" : run.finished ? run.output : "<did not end>";
    }
};

struct ReportedCase {
    const char* wineVersion;
    const char* line;
};

TEST_F(ReportedVersionTest, LineForTheVersionTheSystemReports)
{
    const ReportedCase cases[] = {
        {"winxp64", "OS Version: Windows Server 2003 64bit"},
        {"win2003", "OS Version: Windows Server 2003 64bit"},
        {"vista", "OS Version: Windows Vista 64bit"},
        {"win7", "OS Version: Windows 7 64bit"},
        {"win8", "OS Version: Windows 8 64bit"},
        // Later releases report 6.2 to the program; their true version names them.
        {"win81", "OS Version: Windows 8.1 64bit"},
        {"win10", "OS Version: Windows 10 64bit"},
        {"win2k", "OS Version: Windows 2000 64bit"},
        // 4.0: not in the table.
        {"nt40", "OS Version:  64bit"},
    };
    for (const ReportedCase& c : cases) {
        SCOPED_TRACE(c.wineVersion);
        paneltest::ReportedWindowsVersion setting(kProbe, c.wineVersion);
        ASSERT_TRUE(setting.Ok());
        EXPECT_EQ(c.line, RunProbe());
    }
}

TEST_F(ReportedVersionTest, FreshPrefixReportsWindows7)
{
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
    EXPECT_EQ("OS Version: Windows 7 64bit", RunProbe());
}

}  // namespace
