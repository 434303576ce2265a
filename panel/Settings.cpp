#include "panel/Settings.h"

#include <cstring>

#include "framework/ModulePath.h"
#include "framework/ScopedHandle.h"

namespace {

// A settings file is a few lines; anything much larger is not one we wrote or should edit.
constexpr LONGLONG kMaxSettingsFileBytes = 1 << 20;
constexpr char kLineEnd[] = "\r\n";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// [begin, end) of text with blanks trimmed on both sides equals name, ignoring ASCII case,
// as the profile reader compares section and key names.
bool TrimmedEqualsNoCase(const std::string& text, std::size_t begin, std::size_t end, const char* name)
{
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    const std::size_t length = std::strlen(name);
    if (end - begin != length)
        return false;
    for (std::size_t i = 0; i < length; ++i)
        if (LowerAscii(text[begin + i]) != LowerAscii(name[i]))
            return false;
    return true;
}

bool FitsOnOneLine(const char* s) { return std::strpbrk(s, "\r\n") == nullptr; }

std::size_t FirstDifference(const std::string& a, const std::string& b)
{
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    return i;
}

bool ReadWholeFile(HANDLE h, std::string& text)
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(h, &size) || size.QuadPart > kMaxSettingsFileBytes)
        return false;
    text.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < text.size()) {
        DWORD got = 0;
        if (!::ReadFile(h, &text[done], static_cast<DWORD>(text.size() - done), &got, nullptr))
            return false;
        if (got == 0)
            break;
        done += got;
    }
    text.resize(done);
    return true;
}

bool HasUtf16ByteOrderMark(const std::string& text)
{
    return text.size() >= 2 && ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF'));
}

}  // namespace

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

bool SetIniValue(std::string& text, const char* section, const char* key, const char* value,
                 std::size_t* firstChanged)
{
    if (section == nullptr || key == nullptr || value == nullptr || *key == '\0')
        return false;
    // Anything that would end the line early or be read as another section or key.
    if (!FitsOnOneLine(section) || !FitsOnOneLine(key) || !FitsOnOneLine(value) ||
        std::strchr(section, ']') != nullptr || std::strchr(key, '=') != nullptr || key[0] == '[')
        return false;

    const std::string original = text;
    std::size_t pos = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        pos = 3;

    bool inSection = false;
    std::size_t insertAt = std::string::npos;  // just after the matching section's header line
    bool headerEndsFile = false;
    while (pos < text.size()) {
        std::size_t lineEnd = text.find('\n', pos);
        const std::size_t next = lineEnd == std::string::npos ? text.size() : lineEnd + 1;
        if (lineEnd == std::string::npos)
            lineEnd = text.size();
        std::size_t contentEnd = lineEnd;
        if (contentEnd > pos && text[contentEnd - 1] == '\r')
            --contentEnd;

        std::size_t first = pos;
        while (first < contentEnd && IsBlank(text[first]))
            ++first;
        // A section header runs from '[' to the line's last ']'; without one the line is
        // read like any other.
        std::size_t close = contentEnd;
        if (first < contentEnd && text[first] == '[') {
            while (close > first + 1 && text[close - 1] != ']')
                --close;
            close = close > first + 1 ? close - 1 : contentEnd;
        }
        if (close < contentEnd) {
            if (inSection)
                break;  // the reader only looks in the first matching section
            if (TrimmedEqualsNoCase(text, first + 1, close, section)) {
                inSection = true;
                insertAt = next;
                headerEndsFile = next == text.size() && lineEnd == text.size();
            }
        } else if (inSection) {
            // Searched within the line only: a long file of odd lines stays a linear scan.
            std::size_t equals = first;
            while (equals < contentEnd && text[equals] != '=')
                ++equals;
            if (equals < contentEnd && TrimmedEqualsNoCase(text, first, equals, key)) {
                text.replace(equals + 1, contentEnd - (equals + 1), value);
                if (firstChanged != nullptr)
                    *firstChanged = FirstDifference(original, text);
                return true;
            }
        }
        pos = next;
    }

    std::string line = std::string(key) + "=" + value + kLineEnd;
    if (insertAt != std::string::npos) {
        if (headerEndsFile)
            line = kLineEnd + line;
        text.insert(insertAt, line);
    } else {
        if (!text.empty() && text.back() != '\n')
            text += kLineEnd;
        text += "[" + std::string(section) + "]" + kLineEnd + line;
    }
    if (firstChanged != nullptr)
        *firstChanged = FirstDifference(original, text);
    return true;
}

namespace {

bool RewriteSetting(const std::string& path, const char* section, const char* key, const char* value)
{
    CFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return false;
    std::string text;
    if (!ReadWholeFile(file.Get(), text) || HasUtf16ByteOrderMark(text))
        return false;
    const std::size_t oldSize = text.size();
    std::size_t firstChanged = 0;
    if (!SetIniValue(text, section, key, value, &firstChanged))
        return false;
    if (firstChanged == text.size() && text.size() == oldSize)
        return true;  // already stored

    // Only the bytes from the first change on are written again.
    LARGE_INTEGER offset{};
    offset.QuadPart = static_cast<LONGLONG>(firstChanged);
    if (!::SetFilePointerEx(file.Get(), offset, nullptr, FILE_BEGIN))
        return false;
    std::size_t done = firstChanged;
    while (done < text.size()) {
        DWORD written = 0;
        if (!::WriteFile(file.Get(), text.data() + done, static_cast<DWORD>(text.size() - done), &written, nullptr) ||
            written == 0)
            return false;
        done += written;
    }
    return ::SetEndOfFile(file.Get()) != FALSE;
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
