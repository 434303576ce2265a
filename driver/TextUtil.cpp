#include "driver/TextUtil.h"

#include <windows.h>

#include <climits>
#include <cstring>

std::vector<std::wstring> SplitString(const std::wstring& text, const std::wstring& delimiters)
{
    std::vector<std::wstring> fields;
    std::wstring::size_type start = 0;
    for (;;) {
        const std::wstring::size_type end = text.find_first_of(delimiters, start);
        if (end == std::wstring::npos) {
            fields.push_back(text.substr(start));
            return fields;
        }
        if (end != start)
            fields.push_back(text.substr(start, end - start));
        start = text.find_first_not_of(delimiters, end);
        if (start == std::wstring::npos)
            return fields;
    }
}

namespace utf8util {

std::wstring utf16_from_utf8(const char* text)
{
    // MultiByteToWideChar rejects a zero length, so the empty case is answered here.
    if (text == nullptr || text[0] == '\0')
        return std::wstring();

    const size_t byteCount = std::strlen(text);
    if (byteCount > static_cast<size_t>(INT_MAX))
        throw utf8_conversion_error("Can't get length of UTF-16 string (MultiByteToWideChar failed).",
                                    ERROR_ARITHMETIC_OVERFLOW);
    const int length = static_cast<int>(byteCount);

    const int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, length, nullptr, 0);
    if (wideLength == 0) {
        const DWORD error = GetLastError();
        if (error == ERROR_NO_UNICODE_TRANSLATION)
            throw utf8_conversion_error("Invalid UTF-8 sequence found in input string.",
                                        static_cast<int32_t>(error));
        throw utf8_conversion_error("Can't get length of UTF-16 string (MultiByteToWideChar failed).",
                                    static_cast<int32_t>(error));
    }

    std::wstring result(static_cast<size_t>(wideLength), L'\0');
    if (MultiByteToWideChar(CP_UTF8, 0, text, length, result.data(), wideLength) == 0)
        throw utf8_conversion_error("Can't convert string from UTF-8 to UTF-16 (MultiByteToWideChar failed).",
                                    static_cast<int32_t>(GetLastError()));
    return result;
}

}  // namespace utf8util
