// The program's resources as the system reads them: dialog templates byte for byte as
// the design stores them, the menu, the string and the version block.
#include <gtest/gtest.h>

#include <cwctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <windows.h>

#include "res/MakerInfo.h"
#include "res/resource.h"

namespace {

struct Item {
    DWORD style, exStyle;
    short x, y, cx, cy;
    DWORD id;
    std::wstring cls;  // "#128" for an ordinal class
    std::wstring text; // "#164" for an ordinal resource
};

struct Template {
    DWORD style, exStyle;
    short cx, cy;
    std::wstring caption, font;
    WORD pointSize;
    std::vector<Item> items;
};

class Reader {
public:
    explicit Reader(const BYTE* p) : p_(p), start_(p) {}
    WORD Word() { WORD w; memcpy(&w, p_, 2); p_ += 2; return w; }
    DWORD Dword() { DWORD d; memcpy(&d, p_, 4); p_ += 4; return d; }
    short Short() { return static_cast<short>(Word()); }
    BYTE Byte() { return *p_++; }
    std::wstring SzOrOrd()
    {
        WORD first = Word();
        if (first == 0xFFFF)
            return L"#" + std::to_wstring(Word());
        std::wstring s;
        for (WORD c = first; c != 0; c = Word())
            s.push_back(static_cast<wchar_t>(c));
        return s;
    }
    void AlignDword() { p_ = start_ + ((p_ - start_ + 3) & ~3); }
    void Skip(size_t n) { p_ += n; }
private:
    const BYTE* p_;
    const BYTE* start_;
};

Template LoadTemplate(UINT id)
{
    HRSRC res = ::FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));
    EXPECT_NE(res, nullptr);
    Reader r(static_cast<const BYTE*>(::LockResource(::LoadResource(nullptr, res))));
    Template t{};
    EXPECT_EQ(r.Word(), 1);       // DLGTEMPLATEEX
    EXPECT_EQ(r.Word(), 0xFFFF);
    r.Dword();                    // help ID
    t.exStyle = r.Dword();
    t.style = r.Dword();
    WORD count = r.Word();
    r.Short();
    r.Short();
    t.cx = r.Short();
    t.cy = r.Short();
    r.SzOrOrd();  // menu
    r.SzOrOrd();  // class
    t.caption = r.SzOrOrd();
    t.pointSize = r.Word();
    r.Word();
    r.Byte();
    r.Byte();
    t.font = r.SzOrOrd();
    for (WORD i = 0; i < count; ++i) {
        r.AlignDword();
        Item it{};
        r.Dword();
        it.exStyle = r.Dword();
        it.style = r.Dword();
        it.x = r.Short();
        it.y = r.Short();
        it.cx = r.Short();
        it.cy = r.Short();
        it.id = r.Dword();
        it.cls = r.SzOrOrd();
        it.text = r.SzOrOrd();
        r.Skip(r.Word());
        t.items.push_back(it);
    }
    return t;
}

// Predefined classes may be stored as their ordinals or their names.
const wchar_t kButton[] = L"BUTTON";
const wchar_t kStatic[] = L"STATIC";

std::wstring ClassName(std::wstring stored)
{
    if (stored == L"#128")
        return kButton;
    if (stored == L"#130")
        return kStatic;
    for (wchar_t& c : stored)
        c = static_cast<wchar_t>(towupper(c));
    return stored;
}

TEST(Resources, ThePanelTemplateStoresEveryControlInOrderWithItsStyle)
{
    Template t = LoadTemplate(IDD_KESTRUN_DIALOG);
    EXPECT_EQ(t.style, 0x90080048u);
    EXPECT_EQ(t.exStyle, 0x00040000u);
    EXPECT_EQ(t.cx, 415);
    EXPECT_EQ(t.cy, 204);
    EXPECT_EQ(t.caption, L"");
    EXPECT_EQ(t.font, L"MS Shell Dlg");
    EXPECT_EQ(t.pointSize, 8);

    const Item expected[] = {
        {0x5000000B, 0, 95, 165, 26, 14, 1002, kButton, L"44.1"},
        {0x5000000B, 0, 191, 165, 26, 14, 1005, kButton, L"96"},
        {0x5000000B, 0, 127, 165, 26, 14, 1003, kButton, L"48"},
        {0x5000000B, 0, 223, 165, 26, 14, 1006, kButton, L"176.4"},
        {0x5000000B, 0, 255, 165, 26, 14, 1007, kButton, L"192"},
        {0x5000000B, 0, 159, 165, 26, 14, 1004, kButton, L"88.2"},
        {0x5001000B, 0, 130, 141, 26, 14, 1009, kButton, L"24"},
        {0x5001000B, 0, 95, 141, 26, 14, 1008, kButton, L"16"},
        {0x48020000, 0, 97, 26, 170, 8, 1010, kStatic, L"OS Version"},
        {0x50020000, 0, 115, 31, 170, 16, 1011, kStatic, L"Control Panel Version"},
        {0x50020000, 0, 115, 50, 170, 16, 1012, kStatic, L"Driver Version"},
        {0x50020000, 0, 115, 89, 170, 17, 1013, kStatic, L"Vexmora"},
        {0x5001000B, 0, 35, 31, 43, 13, 1015, kButton, L"Hide"},
        {0x50020000, 0, 115, 69, 170, 17, 1016, kStatic, L"Copy Right"},
        {0x5000000E, 0, 351, 163, 31, 30, 1020, kStatic, L"#164"},
        {0x5000090E, 0, 303, 32, 33, 128, 1021, kStatic, L"#176"},
        {0x5000090E, 0, 344, 32, 33, 128, 1022, kStatic, L"#178"},
        {0x5000000E, 0, 329, 170, 15, 13, 1023, kStatic, L"#181"},
        {0x5001400B, 0, 36, 72, 36, 14, 1024, kButton, L"SPDIF"},
        {0x5801400B, 0, 36, 101, 36, 14, 1026, kButton, L"Speaker"},
        {0x4801000B, 0, 165, 141, 26, 14, 1014, kButton, L"32"},
    };
    ASSERT_EQ(t.items.size(), std::size(expected));
    for (size_t i = 0; i < t.items.size(); ++i) {
        const Item& a = t.items[i];
        const Item& e = expected[i];
        SCOPED_TRACE(e.id);
        EXPECT_EQ(a.id, e.id);
        EXPECT_EQ(ClassName(a.cls), e.cls);
        EXPECT_EQ(a.text, e.text);
        EXPECT_EQ(a.style, e.style);
        EXPECT_EQ(a.exStyle, e.exStyle);
        EXPECT_EQ(a.x, e.x);
        EXPECT_EQ(a.y, e.y);
        EXPECT_EQ(a.cx, e.cx);
        EXPECT_EQ(a.cy, e.cy);
    }
}

TEST(Resources, TheAboutTemplate)
{
    Template t = LoadTemplate(IDD_ABOUTBOX);
    EXPECT_EQ(t.style, 0x80C800C8u);
    EXPECT_EQ(t.caption, L"About Kestrun");
    EXPECT_EQ(t.cx, 170);
    EXPECT_EQ(t.cy, 62);
    EXPECT_EQ(t.font, L"MS Shell Dlg");
    ASSERT_EQ(t.items.size(), 4u);
    EXPECT_EQ(t.items[0].style, 0x50000003u);
    EXPECT_EQ(t.items[0].text, L"#128");
    EXPECT_EQ(t.items[1].style, 0x50020080u);
    EXPECT_EQ(t.items[1].text, L"Kestrun, Version 1.0");
    EXPECT_EQ(t.items[2].style, 0x50020000u);
    EXPECT_EQ(t.items[3].style, 0x50030001u);
    EXPECT_EQ(t.items[3].id, static_cast<DWORD>(IDOK));
    EXPECT_EQ(t.items[3].text, L"OK");
}

TEST(Resources, MenuStringAndVersion)
{
    HMENU menu = ::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY_MENU));
    ASSERT_NE(menu, nullptr);
    HMENU popup = ::GetSubMenu(menu, 0);
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(::GetMenuItemCount(popup), 2);
    char text[32];
    EXPECT_EQ(::GetMenuItemID(popup, 0), static_cast<UINT>(ID_MENU_SHOW_PANEL));
    ::GetMenuStringA(popup, 0, text, sizeof(text), MF_BYPOSITION);
    EXPECT_STREQ(text, "Vexmora");
    EXPECT_EQ(::GetMenuItemID(popup, 1), static_cast<UINT>(ID_MENU_EXIT));
    ::GetMenuStringA(popup, 1, text, sizeof(text), MF_BYPOSITION);
    EXPECT_STREQ(text, "Exit");
    ::DestroyMenu(menu);

    ::LoadStringA(::GetModuleHandleA(nullptr), IDS_ABOUTBOX, text, sizeof(text));
    EXPECT_STREQ(text, "&About Kestrun...");

    char exe[MAX_PATH];
    ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
    DWORD size = ::GetFileVersionInfoSizeA(exe, nullptr);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(::GetFileVersionInfoA(exe, 0, size, block.data()));
    auto value = [&](const char* name) {
        char* p = nullptr;
        UINT len = 0;
        std::string path = std::string("\\StringFileInfo\\040904b0\\") + name;
        return ::VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&p), &len) ? std::string(p) : std::string("<none>");
    };
    EXPECT_EQ(value("CompanyName"), "Vexmora");
    EXPECT_EQ(value("FileDescription"), "Lumirel USB Audio Driver");
    EXPECT_EQ(value("ProductName"), "Lumirel USB Audio Driver");
    EXPECT_EQ(value("FileVersion"), "1.0.0.1");
    EXPECT_EQ(value("ProductVersion"), "1.0.0.0");
    EXPECT_EQ(value("InternalName"), "Kestrun.exe");
    EXPECT_EQ(value("OriginalFilename"), "Kestrun.exe");
    EXPECT_EQ(value("LegalCopyright"), KESTRUN_MAKER_COPYRIGHT);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &len));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
}

// Every string of every table in the executable, by language and ID. An empty string is
// stored as no string at all, so it shows here as a missing ID.
using StringTables = std::map<LANGID, std::map<UINT, std::wstring>>;

StringTables ReadStringTables()
{
    StringTables tables;
    ::EnumResourceNamesW(nullptr, MAKEINTRESOURCEW(6) /*RT_STRING*/, [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR all) -> BOOL {
        ::EnumResourceLanguagesW(nullptr, MAKEINTRESOURCEW(6), name, [](HMODULE, LPCWSTR, LPCWSTR name, WORD language, LONG_PTR all) -> BOOL {
            HRSRC res = ::FindResourceExW(nullptr, MAKEINTRESOURCEW(6), name, language);
            const auto* p = static_cast<const WCHAR*>(::LockResource(::LoadResource(nullptr, res)));
            const UINT first = (static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name)) - 1) * 16;
            for (UINT i = 0; p != nullptr && i < 16; p += 1 + *p, ++i)
                if (*p != 0)
                    (*reinterpret_cast<StringTables*>(all))[language][first + i] = std::wstring(p + 1, *p);
            return TRUE;
        }, all);
        return TRUE;
    }, reinterpret_cast<LONG_PTR>(&tables));
    return tables;
}

// The placeholders a text fills in ("%1".."%9"): a translation must keep every one.
std::set<wchar_t> Placeholders(const std::wstring& text)
{
    std::set<wchar_t> found;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == L'%' && text[i + 1] == L'%')
            ++i;
        else if (text[i] == L'%' && text[i + 1] >= L'1' && text[i + 1] <= L'9')
            found.insert(text[i + 1]);
    }
    return found;
}

TEST(Resources, EveryStringStandsNonEmptyInAllThreeLanguagesWithTheSamePlaceholders)
{
    const StringTables tables = ReadStringTables();
    const LANGID english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    const std::vector<LANGID> languages = {english, MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED),
                                           MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL)};
    ASSERT_EQ(tables.size(), languages.size()) << "a table in another language, or one missing";
    ASSERT_TRUE(tables.count(english));
    const auto& reference = tables.at(english);
    EXPECT_TRUE(reference.count(IDS_ABOUTBOX));
    EXPECT_TRUE(reference.count(IDS_MSG_DEVICE_ID_FAILED));
    for (LANGID language : languages) {
        SCOPED_TRACE(testing::Message() << "language 0x" << std::hex << language);
        ASSERT_TRUE(tables.count(language));
        const auto& table = tables.at(language);
        for (const auto& [id, text] : reference) {
            SCOPED_TRACE(id);
            auto it = table.find(id);
            ASSERT_NE(it, table.end()) << "missing or empty";
            EXPECT_EQ(Placeholders(text), Placeholders(it->second));
        }
        for (const auto& [id, text] : table)
            EXPECT_TRUE(reference.count(id)) << id << " has no English text";
    }
}

}  // namespace
