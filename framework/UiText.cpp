#include "framework/UiText.h"

#include <cwctype>

#include "framework/WinApp.h"

namespace {

LANGID g_uiLanguage = 0;

bool StartsWith(const std::wstring& text, const wchar_t* prefix)
{
    return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

// The text of `id` in the string table of exactly `language`; false when that table lacks it.
bool FindUiText(UINT id, LANGID language, std::wstring* text)
{
    // Strings are stored sixteen to a block, each as a length and that many UTF-16 units.
    const HINSTANCE module = AfxGetResourceHandle();
    HRSRC block = ::FindResourceExW(module, MAKEINTRESOURCEW(6) /*RT_STRING*/, MAKEINTRESOURCEW((id >> 4) + 1), language);
    if (block == nullptr)
        return false;
    const auto* p = static_cast<const WCHAR*>(::LockResource(::LoadResource(module, block)));
    const DWORD size = ::SizeofResource(module, block) / sizeof(WCHAR);
    if (p == nullptr)
        return false;
    DWORD at = 0;
    for (UINT i = 0; i < (id & 15); ++i) {
        if (at >= size)
            return false;
        at += 1 + p[at];
    }
    if (at >= size || p[at] == 0 || at + 1 + p[at] > size)
        return false;
    text->assign(p + at + 1, p[at]);
    return true;
}

}  // namespace

LANGID UiLanguageForName(const std::wstring& name)
{
    std::wstring n;
    for (wchar_t c : name)
        n += static_cast<wchar_t>(std::towlower(c));
    if (n == L"zh-tw" || n == L"zh-hk" || n == L"zh-mo" || StartsWith(n, L"zh-hant") ||
        StartsWith(n, L"zh-tw-") || StartsWith(n, L"zh-hk-") || StartsWith(n, L"zh-mo-"))
        return UI_LANG_TRADITIONAL_CHINESE;
    if (n == L"zh" || StartsWith(n, L"zh-"))
        return UI_LANG_SIMPLIFIED_CHINESE;  // zh-CN, zh-SG, zh-Hans...
    if (n == L"en" || StartsWith(n, L"en-"))
        return UI_LANG_ENGLISH;
    return 0;
}

LANGID UiLanguageForLangId(LANGID language)
{
    switch (PRIMARYLANGID(language)) {
    case LANG_CHINESE:
        switch (SUBLANGID(language)) {
        case SUBLANG_CHINESE_TRADITIONAL:
        case SUBLANG_CHINESE_HONGKONG:
        case SUBLANG_CHINESE_MACAU:
        case 0x1F:  // zh-Hant
            return UI_LANG_TRADITIONAL_CHINESE;
        default:
            return UI_LANG_SIMPLIFIED_CHINESE;
        }
    case LANG_ENGLISH:
        return UI_LANG_ENGLISH;
    default:
        return 0;
    }
}

LANGID UiLanguageFromSystem()
{
    // Not in every system this program starts on, so found at run time.
    using PreferredFn = BOOL(WINAPI*)(DWORD, PULONG, PZZWSTR, PULONG);
    const auto preferred = reinterpret_cast<PreferredFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetUserPreferredUILanguages")));
    ULONG count = 0;
    ULONG length = 0;
    if (preferred != nullptr && preferred(MUI_LANGUAGE_NAME, &count, nullptr, &length) && length > 0) {
        std::wstring names(length, L'\0');
        if (preferred(MUI_LANGUAGE_NAME, &count, names.data(), &length)) {
            // A double-NUL-terminated list, most preferred first.
            for (const wchar_t* name = names.c_str(); *name != L'\0'; name += std::wcslen(name) + 1)
                if (const LANGID language = UiLanguageForName(name))
                    return language;
            return UI_LANG_ENGLISH;
        }
    }
    const LANGID language = UiLanguageForLangId(::GetUserDefaultUILanguage());
    return language != 0 ? language : UI_LANG_ENGLISH;
}

LANGID UiLanguage()
{
    if (g_uiLanguage == 0)
        g_uiLanguage = UiLanguageFromSystem();
    return g_uiLanguage;
}

void SetUiLanguage(LANGID language) { g_uiLanguage = language; }

std::wstring LoadUiText(UINT id)
{
    std::wstring text;
    if (!FindUiText(id, UiLanguage(), &text))
        FindUiText(id, UI_LANG_ENGLISH, &text);
    return text;
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

std::wstring WidenAnsi(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), length);
    return out;
}
