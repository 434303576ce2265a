// The panel dialog's information lines; the texts themselves come from InfoText.cpp.
#include "panel/KestrunDlg.h"
#include "panel/InfoDisplay.h"
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
    m_lblPanelVersion.SetWindowText(PanelVersionLine(ReadSettingString("CPL.ini", "CPL", "cplversion")).c_str());
    m_lblCopyright.SetWindowText(KESTRUN_MAKER_COPYRIGHT);
    m_lblWebAddress.SetWindowText(KESTRUN_MAKER_WEB_ADDRESS);
}
