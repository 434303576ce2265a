#include "panel/IniTextEdit.h"

#include <cstddef>

namespace {

template <typename Char>
using Text = std::basic_string<Char>;

template <typename Char>
Text<Char> Ascii(const char* s)
{
    Text<Char> out;
    for (; *s != '\0'; ++s)
        out += static_cast<Char>(*s);
    return out;
}

template <typename Char>
bool IsBlank(Char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

template <typename Char>
Char LowerAscii(Char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c - 'A' + 'a') : c;
}

template <typename Char>
bool Contains(const Char* s, char c)
{
    for (; *s != 0; ++s)
        if (*s == static_cast<Char>(c))
            return true;
    return false;
}

// Anything that would end the line early or be read as another section or key.
template <typename Char>
bool IsStorable(const Char* section, const Char* key, const Char* value)
{
    if (section == nullptr || key == nullptr || value == nullptr || *key == 0)
        return false;
    for (const Char* s : {section, key, value})
        if (Contains(s, '\r') || Contains(s, '\n'))
            return false;
    return !Contains(section, ']') && !Contains(key, '=') && key[0] != '[';
}

// [begin, end) of text with blanks trimmed on both sides equals name, ignoring ASCII case,
// as the profile reader compares section and key names.
template <typename Char>
bool TrimmedEqualsNoCase(const Text<Char>& text, std::size_t begin, std::size_t end, const Char* name)
{
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    const std::size_t length = std::char_traits<Char>::length(name);
    if (end - begin != length)
        return false;
    for (std::size_t i = 0; i < length; ++i)
        if (LowerAscii(text[begin + i]) != LowerAscii(name[i]))
            return false;
    return true;
}

// One line: its text without blanks in front starts at `first`, its content (without the
// line end) ends at `contentEnd`, and the next line starts at `next`.
struct Line {
    std::size_t first;
    std::size_t contentEnd;
    std::size_t next;
    bool lastWithoutEnd;  // the text ends on this line, with no line feed
};

template <typename Char>
Line LineAt(const Text<Char>& text, std::size_t pos)
{
    std::size_t lineEnd = text.find(Char('\n'), pos);
    const bool lastWithoutEnd = lineEnd == Text<Char>::npos;
    if (lastWithoutEnd)
        lineEnd = text.size();
    std::size_t contentEnd = lineEnd;
    if (contentEnd > pos && text[contentEnd - 1] == '\r')
        --contentEnd;
    std::size_t first = pos;
    while (first < contentEnd && IsBlank(text[first]))
        ++first;
    return Line{first, contentEnd, lastWithoutEnd ? text.size() : lineEnd + 1, lastWithoutEnd};
}

// A section header runs from '[' to the line's last ']'; without one the line is read like
// any other. On a header, *close is the position of that ']'.
template <typename Char>
bool IsSectionHeader(const Text<Char>& text, const Line& line, std::size_t* close)
{
    if (line.first >= line.contentEnd || text[line.first] != '[')
        return false;
    std::size_t end = line.contentEnd;
    while (end > line.first + 1 && text[end - 1] != ']')
        --end;
    if (end <= line.first + 1)
        return false;
    *close = end - 1;
    return true;
}

// A "key = value" line for key: *valueBegin is where its value starts.
template <typename Char>
bool IsKeyLine(const Text<Char>& text, const Line& line, const Char* key, std::size_t* valueBegin)
{
    // Searched within the line only: a long file of odd lines stays a linear scan.
    std::size_t equals = line.first;
    while (equals < line.contentEnd && text[equals] != '=')
        ++equals;
    if (equals == line.contentEnd || !TrimmedEqualsNoCase(text, line.first, equals, key))
        return false;
    *valueBegin = equals + 1;
    return true;
}

// Where the reader finds the key, or where it has to go.
struct Place {
    bool keyFound = false;
    std::size_t valueBegin = 0;  // with keyFound: the value is [valueBegin, valueEnd)
    std::size_t valueEnd = 0;
    bool sectionFound = false;
    std::size_t afterHeader = 0;  // with sectionFound: just after the header line
    bool headerEndsFile = false;
};

template <typename Char>
std::size_t TextStart(const Text<Char>& text)
{
    if constexpr (sizeof(Char) == 1)
        return text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    else
        return !text.empty() && text[0] == Char(0xFEFF) ? 1 : 0;
}

template <typename Char>
Place FindSetting(const Text<Char>& text, const Char* section, const Char* key)
{
    Place place;
    for (std::size_t pos = TextStart(text); pos < text.size();) {
        const Line line = LineAt(text, pos);
        std::size_t close = 0;
        if (IsSectionHeader(text, line, &close)) {
            if (place.sectionFound)
                break;  // the reader only looks in the first matching section
            if (TrimmedEqualsNoCase(text, line.first + 1, close, section)) {
                place.sectionFound = true;
                place.afterHeader = line.next;
                place.headerEndsFile = line.lastWithoutEnd;
            }
        } else if (place.sectionFound && IsKeyLine(text, line, key, &place.valueBegin)) {
            place.keyFound = true;
            place.valueEnd = line.contentEnd;
            return place;
        }
        pos = line.next;
    }
    return place;
}

template <typename Char>
IniEdit StoreAt(Text<Char>& text, const Place& place, const Char* section, const Char* key, const Char* value)
{
    const Text<Char> lineEnd = Ascii<Char>("\r\n");
    if (place.keyFound) {
        if (text.compare(place.valueBegin, place.valueEnd - place.valueBegin, value) == 0)
            return IniEdit::Unchanged;
        text.replace(place.valueBegin, place.valueEnd - place.valueBegin, value);
        return IniEdit::Changed;
    }
    Text<Char> line = key + Ascii<Char>("=") + value + lineEnd;
    if (place.sectionFound) {
        if (place.headerEndsFile)
            line = lineEnd + line;
        text.insert(place.afterHeader, line);
    } else {
        if (!text.empty() && text.back() != '\n')
            text += lineEnd;
        text += Ascii<Char>("[") + section + Ascii<Char>("]") + lineEnd + line;
    }
    return IniEdit::Changed;
}

template <typename Char>
IniEdit SetValue(Text<Char>& text, const Char* section, const Char* key, const Char* value)
{
    if (!IsStorable(section, key, value))
        return IniEdit::Refused;
    return StoreAt(text, FindSetting(text, section, key), section, key, value);
}

}  // namespace

IniEdit SetIniValue(std::string& text, const char* section, const char* key, const char* value)
{
    return SetValue(text, section, key, value);
}

IniEdit SetIniValue(std::wstring& text, const wchar_t* section, const wchar_t* key, const wchar_t* value)
{
    return SetValue(text, section, key, value);
}
