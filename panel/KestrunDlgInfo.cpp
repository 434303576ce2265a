// The panel dialog's information lines; the texts themselves come from InfoText.cpp.
#include "panel/KestrunDlg.h"
#include "panel/InfoText.h"
#include "panel/Settings.h"
#include "res/MakerInfo.h"

std::string CKestrunDlg::GetOsName()
{
    return QueryOsName();
}

// Written once; the lines never change while the panel runs.
void CKestrunDlg::SetupInfoDisplay()
{
    m_lblOsVersion.SetWindowText(OsVersionLine(GetOsName()).c_str());
    const std::string version = ReadSettingString(SETTINGS_FILE, SETTINGS_SECTION, SETTING_PANEL_VERSION);
    m_lblPanelVersion.SetWindowText(PanelVersionLine(version).c_str());
    m_lblCopyright.SetWindowText(L"" KESTRUN_MAKER_COPYRIGHT);
    m_lblWebAddress.SetWindowText(L"" KESTRUN_MAKER_WEB_ADDRESS);
}
