#include "panel/Settings.h"

#include <cstring>

#include "framework/ModulePath.h"
#include "framework/ScopedHandle.h"
#include "panel/IniTextEdit.h"

std::string SettingsFilePath(const char* fileName)
{
    std::string path = ExecutableDirectory();
    if (path.empty())
        path = "\\";
    return path + (fileName != nullptr ? fileName : "");
}

std::string ReadSettingString(const char* fileName, const char* section, const char* key)
{
    const std::string path = SettingsFilePath(fileName);
    char buffer[1024] = "";
    ::GetPrivateProfileStringA(section, key, "", buffer, sizeof(buffer), path.c_str());
    buffer[sizeof(buffer) - 1] = '\0';
    return buffer;
}

UINT ReadSettingInt(const char* fileName, const char* section, const char* key)
{
    const std::string path = SettingsFilePath(fileName);
    return ::GetPrivateProfileIntA(section, key, -1, path.c_str());
}


namespace {

// Far beyond any settings file; it only bounds what one click reads into memory.
constexpr LONGLONG kMaxSettingsFileBytes = LONGLONG{256} << 20;

static_assert(sizeof(wchar_t) == 2, "UTF-16 code units");

// The whole file; a file that does not exist yet reads as empty with *existed false.
bool ReadWholeFile(const std::string& path, std::string& bytes, bool* existed)
{
    CFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    *existed = file.IsValid();
    if (!file.IsValid())
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart > kMaxSettingsFileBytes)
        return false;
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        if (!::ReadFile(file.Get(), &bytes[done], static_cast<DWORD>(bytes.size() - done), &got, nullptr))
            return false;
        if (got == 0)
            break;
        done += got;
    }
    bytes.resize(done);
    return true;
}

// CREATE_ALWAYS for a new file; OPEN_EXISTING rewrites a file in place, keeping its attributes
// and security. The end is set after the whole text is in, then everything is flushed.
bool WriteWholeFile(const std::string& path, const std::string& bytes, DWORD disposition)
{
    CFileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                                   nullptr));
    if (!file.IsValid())
        return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!::WriteFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                         nullptr) ||
            written == 0)
            return false;
        done += written;
    }
    return ::SetEndOfFile(file.Get()) && ::FlushFileBuffers(file.Get());
}

// Written beside the file, then swapped in: a write that fails or is cut short leaves the
// old file whole. ReplaceFileA keeps the old file's attributes and security, and like the
// system writer it refuses a read-only file.
// A standard user may write CPL.ini (the installer grants that) but not the folder it lives
// in, which holds programs every user runs: there the file is rewritten in place. A file the
// user may not write is refused at the open, before any byte changes.
bool ReplaceWholeFile(const std::string& path, const std::string& bytes, bool existed)
{
    const std::string directory = path.substr(0, path.find_last_of('\\'));
    char temporary[MAX_PATH] = "";
    // Wine's GetTempFileNameA answers with a name even when the folder refused the file.
    if (::GetTempFileNameA(directory.c_str(), SETTINGS_TEMPORARY_PREFIX, 0, temporary) == 0 ||
        ::GetFileAttributesA(temporary) == INVALID_FILE_ATTRIBUTES)
        return existed && WriteWholeFile(path, bytes, OPEN_EXISTING);
    const bool replaced =
        WriteWholeFile(temporary, bytes, CREATE_ALWAYS) &&
        (existed ? ::ReplaceFileA(path.c_str(), temporary, nullptr, 0, nullptr, nullptr)
                 : ::MoveFileExA(temporary, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    if (!replaced)
        ::DeleteFileA(temporary);
    return replaced;
}

bool StartsWith(const std::string& bytes, char first, char second)
{
    return bytes.size() >= 2 && bytes[0] == first && bytes[1] == second;
}

std::wstring FromAnsi(const char* text)
{
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    wide.resize(static_cast<std::size_t>(length - 1));
    return wide;
}

// A file with a UTF-16LE byte-order mark is read as Unicode by the profile reader, so it is
// edited in code units, converted as the reader converts the names, and stays UTF-16.
IniEdit SetUtf16Value(std::string& bytes, const char* section, const char* key, const char* value)
{
    if (bytes.size() % 2 != 0 || section == nullptr || key == nullptr || value == nullptr)
        return IniEdit::Refused;
    std::wstring text(bytes.size() / 2, L'\0');
    std::memcpy(&text[0], bytes.data(), bytes.size());
    const IniEdit edit =
        SetIniValue(text, FromAnsi(section).c_str(), FromAnsi(key).c_str(), FromAnsi(value).c_str());
    if (edit == IniEdit::Changed)
        bytes.assign(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return edit;
}

IniEdit SetValueInFile(std::string& bytes, const char* section, const char* key, const char* value)
{
    if (StartsWith(bytes, '\xFF', '\xFE'))
        return SetUtf16Value(bytes, section, key, value);
    if (StartsWith(bytes, '\xFE', '\xFF'))
        return IniEdit::Refused;  // big-endian UTF-16: not an encoding this writer keeps
    return SetIniValue(bytes, section, key, value);
}

bool RewriteSetting(const std::string& path, const char* section, const char* key, const char* value)
{
    std::string bytes;
    bool existed = false;
    if (!ReadWholeFile(path, bytes, &existed))
        return false;
    switch (SetValueInFile(bytes, section, key, value)) {
    case IniEdit::Refused:
        return false;
    case IniEdit::Unchanged:
        return true;
    case IniEdit::Changed:
        break;
    }
    return ReplaceWholeFile(path, bytes, existed);
}

}  // namespace

// Not WritePrivateProfileStringA: a system writer may re-create the whole file from what it
// could parse (Wine's does), which drops everything after a NUL byte, re-encodes a file that
// starts like UTF-16 and reflows every other line. Here only the value's own bytes change.
BOOL WriteSettingString(const char* fileName, const char* section, const char* key, const char* value)
{
    const std::string path = SettingsFilePath(fileName);
    if (!RewriteSetting(path, section, key, value))
        return FALSE;
    // The profile reader may keep the file cached; this drops its copy.
    ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
    return TRUE;
}
