// The library build follows the Windows version the program is told: Wine's per-program
// version setting makes the probe see XP x64 / Server 2003 (5.2), Vista (6.0) or Windows 7.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/Launch.h"
#include "tests/support/WineVersion.h"

namespace {

const char kProbe[] = "conflib_version_probe.exe";

std::string ExeDir()
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of('\\') + 1);
}

std::string Normalised(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    std::transform(path.begin(), path.end(), path.begin(), [](unsigned char c) { return std::tolower(c); });
    return path;
}

// Runs the probe; returns its output lines.
bool RunProbe(std::string& version, std::string& loaded, const char* mode = "", std::string* startup = nullptr)
{
    const std::string dir = ExeDir();
    const std::string outFile = dir + "conflib_version_probe.out";
    DeleteFileA(outFile.c_str());
    std::string command = "\"" + dir + kProbe + "\" \"" + outFile + "\" " + mode;
    const testsupport::RunResult run = testsupport::Run({.commandLine = command, .dir = dir}, 60000);
    if (!run.started)
        return false;
    const DWORD exitCode = run.finished ? run.exitCode : 1;
    std::ifstream in(outFile);
    std::string third;
    const bool ok = exitCode == 0 && std::getline(in, version) && std::getline(in, loaded) && std::getline(in, third);
    if (startup != nullptr)
        *startup = third;
    in.close();
    DeleteFileA(outFile.c_str());
    return ok;
}

TEST(ConfLibVersion, WindowsVersionChoosesTheLibraryBuild)
{
    struct Case {
        const char* wineVersion;
        const char* reported;
        const char* build;
    } cases[] = {
        {"winxp64", "5.2", "xp"},
        {"win2003", "5.2", "xp"},
        {"vista", "6.0", "vista"},
        {"win7", "6.1", "vista"},
    };
    for (const Case& c : cases) {
        paneltest::ReportedWindowsVersion setting("conflib_version_probe.exe", c.wineVersion);
        ASSERT_TRUE(setting.Ok()) << c.wineVersion;
        std::string version, loaded;
        ASSERT_TRUE(RunProbe(version, loaded)) << c.wineVersion;
        EXPECT_EQ(c.reported, version) << c.wineVersion;
        const std::string expected =
            Normalised(ExeDir() + "osConfLibFlie\\x64\\" + c.build + "\\osConfLib.dll");
        EXPECT_EQ(expected, Normalised(loaded)) << c.wineVersion;
    }
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The way an end-to-end run drives the simulator: a scenario file and a log file named by
// the environment of the program that loads it.
TEST(ConfLibSimFiles, ScenarioAndLogFilesNamedByTheEnvironment)
{
    const std::string dir = ExeDir();
    const std::string scenario = dir + "conflib_probe_scenario.txt";
    const std::string log = dir + "conflib_probe_log.txt";
    DeleteFileA(log.c_str());
    {
        std::ofstream out(scenario);
        out << "# an empty device list\nno-device\n";
    }
    SetEnvironmentVariableA("KESTRUN_CONFLIB_SCENARIO", scenario.c_str());
    SetEnvironmentVariableA("KESTRUN_CONFLIB_LOG", log.c_str());
    std::string version, loaded, startup;
    const bool ran = RunProbe(version, loaded, "start", &startup);
    SetEnvironmentVariableA("KESTRUN_CONFLIB_SCENARIO", nullptr);
    SetEnvironmentVariableA("KESTRUN_CONFLIB_LOG", nullptr);
    ASSERT_TRUE(ran);
    EXPECT_EQ("nodevice", startup);
    EXPECT_EQ("ConfLibInit\nCreateDeviceList\nGetDeviceCount 0 -> 0\nConfLibUnInit\n", ReadFile(log));
    DeleteFileA(log.c_str());
    DeleteFileA(scenario.c_str());
}

}  // namespace
