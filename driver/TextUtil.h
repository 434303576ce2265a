// Wide-string splitting and UTF-8 to UTF-16 conversion for the feature query.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// Splits text at every character of delimiters. Leading, repeated and trailing delimiters
// yield no empty fields; an empty text yields one empty field.
std::vector<std::wstring> SplitString(const std::wstring& text, const std::wstring& delimiters);

namespace utf8util {

class utf8_conversion_error : public std::runtime_error {
public:
    utf8_conversion_error(const char* message, int32_t errorCode)
        : std::runtime_error(message), m_errorType(1), m_errorCode(errorCode) {}

    int32_t error_type() const noexcept { return m_errorType; }
    int32_t error_code() const noexcept { return m_errorCode; }

private:
    int32_t m_errorType;   // 1 for every error raised by utf16_from_utf8
    int32_t m_errorCode;   // system error code of the failed step
};

// Converts NUL-terminated UTF-8 text. An empty (or null) input gives an empty string.
std::wstring utf16_from_utf8(const char* text);

}  // namespace utf8util
