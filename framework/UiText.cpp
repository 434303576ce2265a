#include "framework/UiText.h"

#include "framework/WinApp.h"

std::wstring LoadUiText(UINT id)
{
    // A zero buffer size hands back a pointer into the resource itself: no length limit and
    // no copy into a fixed buffer. The text there is not NUL-terminated.
    const wchar_t* text = nullptr;
    const int length = ::LoadStringW(AfxGetResourceHandle(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr)
        return std::wstring();
    return std::wstring(text, static_cast<size_t>(length));
}

std::wstring FormatUiText(UINT id, std::initializer_list<std::wstring> args)
{
    const std::wstring pattern = LoadUiText(id);
    const std::wstring* arg = args.begin();
    const size_t count = args.size();
    std::wstring out;
    out.reserve(pattern.size() + 32);
    for (size_t i = 0; i < pattern.size(); ++i) {
        const wchar_t c = pattern[i];
        const wchar_t next = i + 1 < pattern.size() ? pattern[i + 1] : L'\0';
        if (c == L'%' && next == L'%') {
            out += L'%';
            ++i;
        } else if (c == L'%' && next >= L'1' && next <= L'9' && static_cast<size_t>(next - L'1') < count) {
            out += arg[next - L'1'];
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}
