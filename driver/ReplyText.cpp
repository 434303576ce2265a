#include "driver/ReplyText.h"

#include <cstring>

namespace {

bool IsSpace(uint32_t c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// One parser for both widths; units holds at most the buffer's characters.
template <typename Unit>
int32_t ParseDecimal(const Unit* units, size_t count)
{
    size_t i = 0;
    while (i < count && units[i] != 0 && IsSpace(static_cast<uint32_t>(units[i])))
        ++i;
    bool negative = false;
    if (i < count && (units[i] == '-' || units[i] == '+')) {
        negative = units[i] == '-';
        ++i;
    }
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    int64_t value = 0;
    for (; i < count; ++i) {
        const uint32_t c = static_cast<uint32_t>(units[i]);
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
        if (value > limit) {
            value = limit;
            break;
        }
    }
    return static_cast<int32_t>(negative ? -value : value);
}

}  // namespace

int32_t ReadDecimalUtf16(const void* buffer, size_t bufferBytes)
{
    if (buffer == nullptr)
        return 0;
    // Copy out rather than cast: the buffer need not be aligned for 16-bit reads.
    const std::wstring text = ReadUtf16Text(buffer, bufferBytes);
    return ParseDecimal(text.data(), text.size());
}

int32_t ReadDecimal8Bit(const void* buffer, size_t bufferBytes)
{
    if (buffer == nullptr)
        return 0;
    return ParseDecimal(static_cast<const unsigned char*>(buffer), bufferBytes);
}

std::wstring ReadUtf16Text(const void* buffer, size_t bufferBytes)
{
    std::wstring text;
    if (buffer == nullptr)
        return text;
    const unsigned char* bytes = static_cast<const unsigned char*>(buffer);
    const size_t units = bufferBytes / 2;
    for (size_t i = 0; i < units; ++i) {
        uint16_t unit = 0;
        std::memcpy(&unit, bytes + 2 * i, 2);
        if (unit == 0)
            break;
        text.push_back(static_cast<wchar_t>(unit));
    }
    return text;
}
