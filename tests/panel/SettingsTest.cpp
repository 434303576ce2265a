// CPL.ini access under Wine: the system's reader, our byte-preserving writer, and files
// that are damaged, foreign or absent.
#include "panel/Settings.h"
#include "tests/support/Garbage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

using paneltest::Garbage;

// Not CPL.ini: the shipped file lives in the same folder as the test executables.
constexpr char kFile[] = "shell_settings_test.ini";
constexpr UINT kMissing = 0xFFFFFFFF;

std::string ExeDirectory()
{
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of('\\'));
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = ExeDirectory() + "\\" + kFile;
        Remove();
    }
    void TearDown() override { Remove(); }

    void Remove()
    {
        ::SetFileAttributesA(m_path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(m_path.c_str());
    }

    void Put(const std::string& bytes)
    {
        FILE* f = std::fopen(m_path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        // Make the next read see this content rather than a cached copy.
        ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, m_path.c_str());
    }

    std::string Get() const
    {
        std::string bytes;
        FILE* f = std::fopen(m_path.c_str(), "rb");
        if (f == nullptr)
            return "<missing>";
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0)
            bytes.append(buffer, n);
        std::fclose(f);
        return bytes;
    }

    UINT Link() const { return ReadSettingInt(kFile, SETTINGS_SECTION, SETTING_CHANNELS_LINKED); }
    std::string Version() const { return ReadSettingString(kFile, SETTINGS_SECTION, SETTING_PANEL_VERSION); }
    BOOL WriteLink(const char* value) { return WriteSettingString(kFile, SETTINGS_SECTION, SETTING_CHANNELS_LINKED, value); }

    // The writer's temporary files beside the settings file, by name. The folder is shared:
    // an earlier run that was stopped half-way may have left some, so a test compares.
    static std::set<std::string> TemporaryFiles()
    {
        std::set<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE search = ::FindFirstFileA((ExeDirectory() + "\\cpl*.tmp").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return names;
        do
            names.insert(found.cFileName);
        while (::FindNextFileA(search, &found));
        ::FindClose(search);
        return names;
    }
    // Those that were not there before: what this test's own writes left.
    static std::vector<std::string> TemporaryFilesLeftSince(const std::set<std::string>& before)
    {
        std::vector<std::string> left;
        for (const std::string& name : TemporaryFiles()) {
            if (before.count(name) == 0)
                left.push_back(name);
        }
        return left;
    }

    std::string m_path;
};

TEST_F(SettingsFileTest, PathIsBesideTheExecutableWhateverTheCurrentDirectory)
{
    EXPECT_EQ(m_path, SettingsFilePath(kFile));

    char saved[MAX_PATH] = "";
    ::GetCurrentDirectoryA(MAX_PATH, saved);
    char temp[MAX_PATH] = "";
    ::GetTempPathA(MAX_PATH, temp);
    ASSERT_TRUE(::SetCurrentDirectoryA(temp));
    const BOOL written = WriteLink("0");
    const UINT link = Link();
    const std::string strayCopy = std::string(temp) + kFile;
    const DWORD strayAttributes = ::GetFileAttributesA(strayCopy.c_str());
    ::SetCurrentDirectoryA(saved);

    EXPECT_TRUE(written);
    EXPECT_EQ(0u, link);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, strayAttributes);
    EXPECT_EQ("[CPL]\r\nlrchannel_linked=0\r\n", Get());
}

TEST_F(SettingsFileTest, MissingFileReadsAsLinkOnAndEmptyVersion)
{
    EXPECT_EQ(kMissing, Link());
    EXPECT_EQ("", Version());
}

TEST_F(SettingsFileTest, FirstClickWithoutAFileCreatesTheSection)
{
    EXPECT_TRUE(WriteLink("0"));
    EXPECT_EQ("[CPL]\r\nlrchannel_linked=0\r\n", Get());
    EXPECT_EQ(0u, Link());
}

struct LinkCase {
    const char* content;
    UINT expected;
};

TEST_F(SettingsFileTest, StoredLinkValues)
{
    const LinkCase cases[] = {
        {"[CPL]\r\nlrchannel_linked=0\r\n", 0},
        {"[CPL]\r\nlrchannel_linked=1\r\n", 1},
        {"[CPL]\r\nlrchannel_linked=2\r\n", 2},
        {"[CPL]\r\nlrchannel_linked=-1\r\n", kMissing},
        {"[cpl]\r\nLRCHANNEL_LINKED = 0 \r\n", 0},
        // Not a number: the system reader gives 0, so the link starts off.
        {"[CPL]\r\nlrchannel_linked=abc\r\n", 0},
        {"[CPL]\r\ncplversion=1.0\r\n", kMissing},
        {"[Other]\r\nlrchannel_linked=0\r\n", kMissing},
        {"lrchannel_linked=0\r\n", kMissing},
        {"", kMissing},
    };
    for (const LinkCase& c : cases) {
        SCOPED_TRACE(c.content);
        Put(c.content);
        EXPECT_EQ(c.expected, Link());
    }
}

TEST_F(SettingsFileTest, LongVersionIsCutTo1023Characters)
{
    const size_t lengths[] = {0, 1, 1022, 1023, 1024, 5000};
    for (size_t length : lengths) {
        SCOPED_TRACE(length);
        std::string value;
        for (size_t i = 0; i < length; ++i)
            value += static_cast<char>('a' + i % 26);
        Put("[CPL]\r\ncplversion=" + value + "\r\nlrchannel_linked=0\r\n");
        EXPECT_EQ(value.substr(0, 1023), Version());
        // The rest of the section is still read after an overlong line.
        EXPECT_EQ(0u, Link());
    }
}

struct EditCase {
    const char* name;
    std::string before;
    std::string afterWritingZero;
};

constexpr char kWithNuls[] = "\x01\x02\x00\x03hello\x00world\r\nzz\r\n";

// Each write changes the value's own bytes (or adds the key or the section) and leaves
// every other byte of the file as it was; the system reader then sees the new value.
TEST_F(SettingsFileTest, WritingKeepsEveryOtherByte)
{
    const std::string longVersion(5000, 'v');
    const std::string garbage = Garbage(4096);
    const EditCase cases[] = {
        {"plain", "[CPL]\r\nlrchannel_linked=1\r\ncplversion=1.0.0.0\r\n",
         "[CPL]\r\nlrchannel_linked=0\r\ncplversion=1.0.0.0\r\n"},
        {"comments, blanks and spacing",
         "; made by hand\r\n\r\n  [Other]  \r\nfoo = bar \r\n\r\n[cpl]\r\n  LrChannel_Linked = 1 \r\ncplversion=9\r\n; tail\r\n",
         "; made by hand\r\n\r\n  [Other]  \r\nfoo = bar \r\n\r\n[cpl]\r\n  LrChannel_Linked =0\r\ncplversion=9\r\n; tail\r\n"},
        {"line feeds only", "[CPL]\nlrchannel_linked=1\nx=y", "[CPL]\nlrchannel_linked=0\nx=y"},
        {"no section", "[Other]\r\na=1\r\n", "[Other]\r\na=1\r\n[CPL]\r\nlrchannel_linked=0\r\n"},
        {"no final line end", "[Other]\r\na=1", "[Other]\r\na=1\r\n[CPL]\r\nlrchannel_linked=0\r\n"},
        {"section without the key", "[CPL]\r\ncplversion=2.0\r\n[X]\r\ny=1\r\n",
         "[CPL]\r\nlrchannel_linked=0\r\ncplversion=2.0\r\n[X]\r\ny=1\r\n"},
        {"section header ends the file", "[CPL]", "[CPL]\r\nlrchannel_linked=0\r\n"},
        {"similar key names", "[CPL]\r\nlrchannel_linked_old=1\r\nx_lrchannel_linked=1\r\n",
         "[CPL]\r\nlrchannel_linked=0\r\nlrchannel_linked_old=1\r\nx_lrchannel_linked=1\r\n"},
        {"key in another section", "[Other]\r\nlrchannel_linked=1\r\n",
         "[Other]\r\nlrchannel_linked=1\r\n[CPL]\r\nlrchannel_linked=0\r\n"},
        {"not a number", "[CPL]\r\nlrchannel_linked=abc\r\ncplversion=3\r\n",
         "[CPL]\r\nlrchannel_linked=0\r\ncplversion=3\r\n"},
        {"empty value", "[CPL]\r\nlrchannel_linked=\r\n", "[CPL]\r\nlrchannel_linked=0\r\n"},
        {"UTF-8 byte-order mark", "\xEF\xBB\xBF[CPL]\r\nlrchannel_linked=1\r\n",
         "\xEF\xBB\xBF[CPL]\r\nlrchannel_linked=0\r\n"},
        {"5000-character version", "[CPL]\r\ncplversion=" + longVersion + "\r\nlrchannel_linked=1\r\n",
         "[CPL]\r\ncplversion=" + longVersion + "\r\nlrchannel_linked=0\r\n"},
        {"NUL bytes", std::string(kWithNuls, sizeof(kWithNuls) - 1),
         std::string(kWithNuls, sizeof(kWithNuls) - 1) + "[CPL]\r\nlrchannel_linked=0\r\n"},
        {"binary garbage", garbage, garbage + "\r\n[CPL]\r\nlrchannel_linked=0\r\n"},
        {"second section of the same name", "[CPL]\r\na=1\r\n[CPL]\r\nlrchannel_linked=1\r\n",
         "[CPL]\r\nlrchannel_linked=0\r\na=1\r\n[CPL]\r\nlrchannel_linked=1\r\n"},
        {"blanks inside the brackets", "[ CPL ]\r\nlrchannel_linked=1\r\n", "[ CPL ]\r\nlrchannel_linked=0\r\n"},
        // Not a section header for the reader.
        {"header without its bracket", "[CPL\r\nlrchannel_linked=1\r\n",
         "[CPL\r\nlrchannel_linked=1\r\n[CPL]\r\nlrchannel_linked=0\r\n"},
        {"half a megabyte of empty lines", "[CPL]\r\n" + std::string(500000, '\n') + "lrchannel_linked=1\r\n",
         "[CPL]\r\n" + std::string(500000, '\n') + "lrchannel_linked=0\r\n"},
        {"more than a megabyte", "[CPL]\r\nlrchannel_linked=1\r\n" + std::string(2 << 20, ';'),
         "[CPL]\r\nlrchannel_linked=0\r\n" + std::string(2 << 20, ';')},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.name);
        Put(c.before);
        EXPECT_TRUE(WriteLink("0"));
        EXPECT_EQ(c.afterWritingZero, Get());
        EXPECT_EQ(0u, Link());
    }
}

TEST_F(SettingsFileTest, GarbageReadsAsDefaults)
{
    Put(Garbage(4096));
    EXPECT_EQ(kMissing, Link());
    EXPECT_EQ("", Version());
}

// The link is written on every click; two clicks leave the bytes as they were.
TEST_F(SettingsFileTest, TwoClicksRestoreTheFile)
{
    const std::string files[] = {
        "; keep me\r\n[CPL]\r\nlrchannel_linked=1\r\ncplversion=1.0.0.0\r\n\r\n[Other]\r\nz = 9\r\n",
        "[CPL]\r\nlrchannel_linked=0\r\n",
        std::string("\x00\x01[CPL]\r\n", 9) + "[CPL]\r\nlrchannel_linked=1\r\n",
    };
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        Put(file);
        const bool linked = Link() != 0;
        EXPECT_TRUE(WriteLink(linked ? "0" : "1"));
        EXPECT_EQ(linked ? 0u : 1u, Link());
        EXPECT_TRUE(WriteLink(linked ? "1" : "0"));
        EXPECT_EQ(linked, Link() != 0);
        EXPECT_EQ(file, Get());
    }
}

// UTF-16LE text with its byte-order mark, as Notepad saves "Unicode".
std::string Utf16(const std::wstring& text)
{
    const std::wstring withMark = L"\xFEFF" + text;
    return std::string(reinterpret_cast<const char*>(withMark.data()), withMark.size() * sizeof(wchar_t));
}

// The reader takes such a file as Unicode, so the writer edits it as Unicode and keeps it so.
TEST_F(SettingsFileTest, Utf16FilesKeepTheirEncodingAndEveryOtherCharacter)
{
    const EditCase cases[] = {
        {"value replaced", Utf16(L"[CPL]\r\nlrchannel_linked=1\r\ncplversion=1.0.0.0\r\n"),
         Utf16(L"[CPL]\r\nlrchannel_linked=0\r\ncplversion=1.0.0.0\r\n")},
        {"others' text kept", Utf16(L"; \x00E9t\x00E9 \x4E2D\x6587\r\n[\x4E2D]\r\nk=\x00FC\r\n[cpl]\r\n LrChannel_Linked = 1 \r\n"),
         Utf16(L"; \x00E9t\x00E9 \x4E2D\x6587\r\n[\x4E2D]\r\nk=\x00FC\r\n[cpl]\r\n LrChannel_Linked =0\r\n")},
        {"key added", Utf16(L"[CPL]\r\ncplversion=2\r\n"), Utf16(L"[CPL]\r\nlrchannel_linked=0\r\ncplversion=2\r\n")},
        {"section added", Utf16(L"[Other]\r\na=1"), Utf16(L"[Other]\r\na=1\r\n[CPL]\r\nlrchannel_linked=0\r\n")},
        {"only the mark", Utf16(L""), Utf16(L"\r\n[CPL]\r\nlrchannel_linked=0\r\n")},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.name);
        Put(c.before);
        EXPECT_TRUE(WriteLink("0"));
        EXPECT_TRUE(Get() == c.afterWritingZero);
        EXPECT_EQ(0u, Link());
    }
}

// Files the writer cannot edit without re-encoding or guessing are left alone, and the
// failure is reported.
TEST_F(SettingsFileTest, FilesThatCannotBeEditedSafelyAreLeftAlone)
{
    const std::string oddUtf16("\xFF\xFE[\0C\0P\0L\0]\0\r\0\n\0\x01\x02\x03", 21);
    const std::string bigEndian("\xFE\xFF\0[\0C", 6);
    for (const std::string* file : {&oddUtf16, &bigEndian}) {
        SCOPED_TRACE(file->size());
        Put(*file);
        EXPECT_FALSE(WriteLink("0"));
        EXPECT_TRUE(Get() == *file);
    }
}

// The new text goes to a file beside the old one first: when it cannot take the old one's
// place, the old file stays whole and nothing is left behind.
TEST_F(SettingsFileTest, AFailedReplaceKeepsTheOldFile)
{
    const std::set<std::string> before = TemporaryFiles();
    const std::string original = "[CPL]\r\nlrchannel_linked=1\r\n";
    Put(original);
    ASSERT_TRUE(::SetFileAttributesA(m_path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(WriteLink("0"));
    ::SetFileAttributesA(m_path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(original, Get());
    EXPECT_EQ(1u, Link());
    EXPECT_EQ(std::vector<std::string>(), TemporaryFilesLeftSince(before));

    Remove();
    ASSERT_TRUE(::CreateDirectoryA(m_path.c_str(), nullptr));
    EXPECT_FALSE(WriteLink("0"));
    EXPECT_TRUE((::GetFileAttributesA(m_path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0);
    ::RemoveDirectoryA(m_path.c_str());
    EXPECT_EQ(std::vector<std::string>(), TemporaryFilesLeftSince(before));
}

// A file another program holds open without sharing cannot be written: reported, kept.
TEST_F(SettingsFileTest, LockedFileReportsFailureAndKeepsItsValue)
{
    Put("[CPL]\r\nlrchannel_linked=1\r\n");
    HANDLE lock = ::CreateFileA(m_path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    const BOOL written = WriteLink("0");
    ::CloseHandle(lock);
    EXPECT_FALSE(written);
    EXPECT_EQ(1u, Link());
    EXPECT_EQ("[CPL]\r\nlrchannel_linked=1\r\n", Get());
}

// Names and values that would spill onto another line or read as another key.
TEST_F(SettingsFileTest, UnstorableNamesAndValuesAreRefused)
{
    const std::string originals[] = {"[CPL]\r\nlrchannel_linked=1\r\n", Utf16(L"[CPL]\r\nlrchannel_linked=1\r\n")};
    for (const std::string& original : originals) {
        Put(original);
        EXPECT_FALSE(WriteLink("0\r\n[Evil]"));
        EXPECT_FALSE(WriteLink("0\nx=1"));
        EXPECT_FALSE(WriteLink(nullptr));
        EXPECT_FALSE(WriteSettingString(kFile, SETTINGS_SECTION, "a=b", "1"));
        EXPECT_FALSE(WriteSettingString(kFile, SETTINGS_SECTION, "", "1"));
        EXPECT_FALSE(WriteSettingString(kFile, SETTINGS_SECTION, nullptr, "1"));
        EXPECT_FALSE(WriteSettingString(kFile, "CP]L", "k", "1"));
        EXPECT_FALSE(WriteSettingString(kFile, nullptr, "k", "1"));
        EXPECT_TRUE(Get() == original);
    }
}

}  // namespace
