// The real panel's words under each locale the tests run it in (CTest starts this case once
// per row, with the row's LC_* variables): menus, a tooltip, an accessible name, the about
// box, a message box: the words follow Windows' display language, which
// Wine takes from LC_MESSAGES, never the ANSI code page, which it takes from LC_CTYPE.
#include "PanelHarness.h"
#include "panel/PanelMessages.h"
#include "sim/coreaudio/SimControl.h"
#include "tests/support/Accessible.h"
#include "tests/support/DialogWindows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct LanguageRow {
    const char* ctype;     // the locale Wine's code page comes from
    const char* messages;  // the locale Wine's display language comes from
    UINT codePage;
    LANGID displayLanguage;
    std::vector<std::wstring> trayMenu;
    const wchar_t* aboutItem;
    std::vector<std::wstring> aboutBox;  // caption, version line, OK
    const wchar_t* osPrefix;
    const wchar_t* featureWarning;
    const wchar_t* levelTipPrefix;  // the left slider's tip while pressed at 71 %
    const wchar_t* sliderName;      // the left slider's accessible name
};

const std::vector<std::wstring> kEnglishAbout = {L"About Kestrun", L"Kestrun, Version 1.0", L"OK"};
const std::vector<std::wstring> kSimplifiedAbout = {L"关于 Kestrun", L"Kestrun，版本 1.0", L"确定"};
const std::vector<std::wstring> kTraditionalAbout = {L"關於 Kestrun", L"Kestrun，版本 1.0", L"確定"};

const LanguageRow kRows[] = {
    {"C.UTF-8", "C.UTF-8", 1252, 0x0409, {L"Vexmora", L"Exit"}, L"&About Kestrun...", kEnglishAbout,
     L"OS Version: ", L"UpdateAPOAvailable failed!", L"Left 71 % \x00B7 ", L"Left volume"},
    {"zh_CN.UTF-8", "zh_CN.UTF-8", 936, 0x0804, {L"Vexmora", L"退出"}, L"关于 Kestrun(&A)...", kSimplifiedAbout,
     L"操作系统版本：", L"UpdateAPOAvailable 失败！", L"左声道 71 % \x00B7 ", L"左声道音量"},
    {"zh_TW.UTF-8", "zh_TW.UTF-8", 950, 0x0404, {L"Vexmora", L"結束"}, L"關於 Kestrun(&A)...", kTraditionalAbout,
     L"作業系統版本：", L"UpdateAPOAvailable 失敗！", L"左聲道 71 % \x00B7 ", L"左聲道音量"},
    // Display language and code page apart: Chinese words on 1252, Traditional words on 936.
    {"C.UTF-8", "zh_CN.UTF-8", 1252, 0x0804, {L"Vexmora", L"退出"}, L"关于 Kestrun(&A)...", kSimplifiedAbout,
     L"操作系统版本：", L"UpdateAPOAvailable 失败！", L"左声道 71 % \x00B7 ", L"左声道音量"},
    {"zh_CN.UTF-8", "zh_TW.UTF-8", 936, 0x0404, {L"Vexmora", L"結束"}, L"關於 Kestrun(&A)...", kTraditionalAbout,
     L"作業系統版本：", L"UpdateAPOAvailable 失敗！", L"左聲道 71 % \x00B7 ", L"左聲道音量"},
};

std::string Env(const char* name)
{
    char value[128] = "";
    ::GetEnvironmentVariableA(name, value, sizeof(value));
    return value;
}

// The row of the locale this process was started in, as glibc reads LC_ALL over LC_*.
const LanguageRow* ThisRow()
{
    const std::string all = Env("LC_ALL");
    const std::string ctype = all.empty() ? Env("LC_CTYPE") : all;
    const std::string messages = all.empty() ? Env("LC_MESSAGES") : all;
    for (const LanguageRow& row : kRows)
        if (ctype == row.ctype && messages == row.messages)
            return &row;
    return nullptr;
}

std::wstring WindowText(HWND hWnd)
{
    wchar_t text[256] = L"";
    ::GetWindowTextW(hWnd, text, 256);
    return text;
}

// A visible dialog of the panel's thread other than the panel: the about box or a message box.
HWND AwaitBox(HWND panel)
{
    for (int i = 0; i < 500; ++i, ::Sleep(10))
        for (HWND box : paneltest::VisibleDialogs(::GetWindowThreadProcessId(panel, nullptr)))
            if (box != panel)
                return box;
    return nullptr;
}

void CloseBox(HWND box)
{
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 500 && ::IsWindow(box); ++i)
        ::Sleep(10);
}

std::vector<std::wstring> TrayMenuTexts(HWND panel)
{
    ::PostMessageW(panel, WM_TRAY_NOTIFY, 128, WM_RBUTTONDOWN);
    HWND menu = nullptr;
    for (int i = 0; i < 500 && (menu == nullptr || !::IsWindowVisible(menu)); ++i, ::Sleep(10))
        menu = ::FindWindowA("#32768", nullptr);
    std::vector<std::wstring> texts;
    if (menu == nullptr)
        return texts;
    HMENU hMenu = reinterpret_cast<HMENU>(::SendMessageW(menu, 0x01E1 /*MN_GETHMENU*/, 0, 0));
    for (int i = 0; hMenu != nullptr && i < ::GetMenuItemCount(hMenu); ++i) {
        wchar_t text[64] = L"";
        ::GetMenuStringW(hMenu, i, text, 64, MF_BYPOSITION);
        texts.push_back(text);
    }
    ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    for (int i = 0; i < 500 && ::IsWindowVisible(menu); ++i)
        ::Sleep(10);
    return texts;
}

TEST(PanelLanguage, TheWordsFollowTheDisplayLanguageNotTheCodePage)
{
    const LanguageRow* row = ThisRow();
    ASSERT_NE(row, nullptr) << "no row for LC_ALL=" << Env("LC_ALL") << " LC_CTYPE=" << Env("LC_CTYPE")
                            << " LC_MESSAGES=" << Env("LC_MESSAGES");
    SCOPED_TRACE(std::string(row->ctype) + " / " + row->messages);
    // What Wine made of the locale: the row's premise.
    ASSERT_EQ(row->codePage, ::GetACP());
    ASSERT_EQ(row->displayLanguage, ::GetUserDefaultUILanguage());

    // Only the Speaker record's feature list is short: a default change to it warns once.
    PanelHarness h({"reply GetSupportFeature@1 utf16 a,b,c,d,e,f\n", kTwoOutputs});
    h.Run([&](CKestrunDlg& dlg, HWND panel) {
        h.Flush();
        EXPECT_EQ(row->trayMenu, TrayMenuTexts(panel));

        HWND slider = ::GetDlgItem(panel, IDC_SLIDER_LEFT);
        ::SendMessageW(slider, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(25, 62));
        h.Flush();
        const std::wstring tip = WindowText(dlg.m_tips.LevelWindow());
        EXPECT_EQ(tip.rfind(row->levelTipPrefix, 0), 0u) << "level tip: " << testing::PrintToString(tip);
        ::SendMessageW(slider, WM_LBUTTONUP, 0, MAKELPARAM(25, 62));
        h.Flush();
        {
            paneltest::ComApartment com;
            paneltest::AccessibleClient acc(slider);
            ASSERT_TRUE(acc.Ok()) << std::hex << acc.Result();
            EXPECT_EQ(std::wstring(row->sliderName), acc.Name());
        }

        wchar_t item[64] = L"";
        ::GetMenuStringW(::GetSystemMenu(panel, FALSE), 0x0010, item, 64, MF_BYCOMMAND);
        EXPECT_EQ(std::wstring(row->aboutItem), item);

        wchar_t line[256] = L"";
        ::GetDlgItemTextW(panel, IDC_LBL_OS_VERSION, line, 256);
        EXPECT_EQ(std::wstring(line).rfind(row->osPrefix, 0), 0u) << "OS line: " << testing::PrintToString(std::wstring(line));

        ::PostMessageW(panel, WM_SYSCOMMAND, 0x0010, 0);
        if (HWND about = AwaitBox(panel)) {
            std::vector<std::wstring> texts = {WindowText(about)};
            HWND version = ::GetWindow(::GetWindow(about, GW_CHILD), GW_HWNDNEXT);
            texts.push_back(WindowText(version));
            texts.push_back(WindowText(::GetDlgItem(about, IDOK)));
            EXPECT_EQ(row->aboutBox, texts);
            CloseBox(about);
        } else {
            ADD_FAILURE() << "the about box did not open";
        }

        CoreAudioSim::SetDefault(L"Lumirel USB Audio Device speaker", CoreAudioSim::kFlowRender, CoreAudioSim::kRoleAll);
        h.SettleAudio();
        if (HWND box = AwaitBox(panel)) {
            // The box's text is its one static control with text (the other holds the icon).
            std::wstring shown;
            for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
                char cls[16] = "";
                ::GetClassNameA(child, cls, sizeof(cls));
                if (lstrcmpiA(cls, "Static") == 0 && !WindowText(child).empty())
                    shown = WindowText(child);
            }
            EXPECT_EQ(std::wstring(row->featureWarning), shown);
            for (int i = 0; i < 20 && box != nullptr; ++i) {
                CloseBox(box);
                h.Flush();
                box = nullptr;
                for (HWND other : paneltest::VisibleDialogs(::GetWindowThreadProcessId(panel, nullptr)))
                    box = other != panel ? other : box;
            }
        } else {
            ADD_FAILURE() << "the short feature list showed no warning";
        }
    });
}

}  // namespace
