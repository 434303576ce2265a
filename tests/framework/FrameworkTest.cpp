// The window framework against the application framework it stands in for (framework/README.md):
// message maps, subclassing, reflection numbers, the PreTranslateMessage walk, the main
// window's lifetime and GDI ownership. The modal loop is compared with Windows in ModalLoopTest.cpp.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "framework/afxwin.h"
#include "FrameworkTestIds.h"

namespace {

constexpr UINT WM_TEST_PING = WM_APP + 1;
constexpr UINT WM_TEST_END = WM_APP + 2;

class CTestApp : public CWinApp {
public:
    int helpCommands = 0;
    void OnTestHelp() { ++helpCommands; }
    BEGIN_MSG_MAP(CTestApp)
        COMMAND_ID_HANDLER(ID_HELP, OnTestHelp)
        CHAIN_MSG_MAP(CWinApp)
    END_MSG_MAP()
};
CTestApp theApp;

// A static control that answers its own control-colour and drawing requests, under the
// numbers the application framework reflects them as.
class CColourStatic : public CStatic {
public:
    HBRUSH brush = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
    int requests = 0;
    int draws = 0;
    LRESULT OnCtlColor(WPARAM, LPARAM)
    {
        ++requests;
        return reinterpret_cast<LRESULT>(brush);
    }
    LRESULT OnDrawItem(WPARAM, LPARAM)
    {
        ++draws;
        return TRUE;
    }
    BEGIN_MSG_MAP(CColourStatic)
        MESSAGE_HANDLER(0xBC19, OnCtlColor)
        MESSAGE_HANDLER(0xBC2B, OnDrawItem)
    END_MSG_MAP()
};

// The windows PreTranslateMessage was offered a message to, in order.
std::vector<const CWnd*> g_offered;

class COfferedButton : public CButton {
public:
    BOOL PreTranslateMessage(MSG*) override
    {
        g_offered.push_back(this);
        return FALSE;
    }
};

class CTestDlg : public CDialog {
public:
    CTestDlg() : CDialog(IDD_TEST) {}

    bool endInInit = false;
    std::vector<UINT> preTranslated;
    int pings = 0;
    int clicks = 0;
    CColourStatic m_static;
    CBitmapButton m_drawn;
    COfferedButton m_push;
    bool takeEverything = false;

    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Control(pDX, IDC_TEST_STATIC, m_static);
        DDX_Control(pDX, IDC_TEST_OWNERDRAW, m_drawn);
        DDX_Control(pDX, IDC_TEST_BUTTON, m_push);
    }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        if (endInInit)
            OnOK();
        if (onInit)
            onInit(*this);
        return TRUE;
    }
    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        if (pMsg->hwnd == m_hWnd)
            preTranslated.push_back(pMsg->message);
        g_offered.push_back(this);
        return takeEverything || CDialog::PreTranslateMessage(pMsg);
    }
    LRESULT OnPing(WPARAM wParam, LPARAM lParam)
    {
        ++pings;
        return static_cast<LRESULT>(wParam + lParam);
    }
    LRESULT OnEnd(WPARAM wParam, LPARAM)
    {
        EndDialog(static_cast<int>(wParam));
        return 0;
    }
    void OnPush() { ++clicks; }
    // The window still exists here, but its object has let go of it.
    void PostNcDestroy() override { postedAfterRelease = AfxPostToMainWnd(WM_TEST_PING, 0, 0) != FALSE; }

    void (*onInit)(CTestDlg&) = nullptr;
    bool postedAfterRelease = false;

    BEGIN_MSG_MAP(CTestDlg)
        MESSAGE_HANDLER(WM_TEST_PING, OnPing)
        MESSAGE_HANDLER(WM_TEST_END, OnEnd)
        COMMAND_ID_HANDLER(IDC_TEST_BUTTON, OnPush)
        CHAIN_MSG_MAP(CDialog)
    END_MSG_MAP()
};

void PumpPending()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

struct ModelessDialog {
    CTestDlg dlg;
    ModelessDialog() { EXPECT_TRUE(dlg.Create(IDD_TEST)); }
    ~ModelessDialog()
    {
        dlg.DestroyWindow();
        PumpPending();
    }
};

TEST(MessageMap, DispatchesMessagesClicksAndUnhandledCommandsToTheApplication)
{
    ModelessDialog m;
    HWND hDlg = m.dlg.m_hWnd;
    EXPECT_EQ(::SendMessageA(hDlg, WM_TEST_PING, 40, 2), 42);
    EXPECT_EQ(m.dlg.pings, 1);

    ::SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_TEST_BUTTON, BN_CLICKED),
                   reinterpret_cast<LPARAM>(m.dlg.m_push.m_hWnd));
    EXPECT_EQ(m.dlg.clicks, 1);
    // A notification other than a click is not a click.
    ::SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDC_TEST_BUTTON, BN_SETFOCUS),
                   reinterpret_cast<LPARAM>(m.dlg.m_push.m_hWnd));
    EXPECT_EQ(m.dlg.clicks, 1);

    int before = theApp.helpCommands;
    ::SendMessageA(hDlg, WM_COMMAND, ID_HELP, 0);
    EXPECT_EQ(theApp.helpCommands, before + 1);
}

TEST(Subclassing, DataExchangeBindsControlsAndDefaultReachesTheOriginalProcedure)
{
    ModelessDialog m;
    HWND hStatic = ::GetDlgItem(m.dlg.m_hWnd, IDC_TEST_STATIC);
    EXPECT_EQ(CWnd::FromHandlePermanent(hStatic), &m.dlg.m_static);
    EXPECT_EQ(CWnd::FromHandlePermanent(m.dlg.m_hWnd), &m.dlg);
    char text[32] = "";
    ::GetWindowTextA(hStatic, text, sizeof(text));
    EXPECT_STREQ(text, "label");

    // Destroying the dialog detaches every object from its handle.
    CWnd* staticObject = &m.dlg.m_static;
    m.dlg.DestroyWindow();
    EXPECT_EQ(staticObject->m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hStatic), nullptr);
    EXPECT_EQ(m.dlg.m_hWnd, nullptr);
}

TEST(Reflection, ControlColourRequestsAreAnsweredByTheControl)
{
    ModelessDialog m;
    HWND hStatic = m.dlg.m_static.m_hWnd;
    HDC hdc = ::GetDC(hStatic);
    LRESULT brush = ::SendMessageA(m.dlg.m_hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(hdc),
                                   reinterpret_cast<LPARAM>(hStatic));
    EXPECT_EQ(brush, reinterpret_cast<LRESULT>(m.dlg.m_static.brush));
    EXPECT_EQ(m.dlg.m_static.requests, 1);

    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_STATIC;
    dis.hwndItem = hStatic;
    dis.hDC = hdc;
    EXPECT_EQ(::SendMessageA(m.dlg.m_hWnd, WM_DRAWITEM, IDC_TEST_STATIC, reinterpret_cast<LPARAM>(&dis)), TRUE);
    EXPECT_EQ(m.dlg.m_static.draws, 1);

    // A control without a reflected handler gets the dialog's default answer.
    HWND hPush = m.dlg.m_push.m_hWnd;
    ::SendMessageA(m.dlg.m_hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(hdc), reinterpret_cast<LPARAM>(hPush));
    EXPECT_EQ(m.dlg.m_static.requests, 1);
    ::ReleaseDC(hStatic, hdc);
}

TEST(PreTranslate, OffersAMessageToItsWindowThenEachParentOrOwnerUntilOneTakesIt)
{
    ModelessDialog owner;
    CTestDlg box;  // a pop-up owned by the first dialog
    ASSERT_TRUE(box.Create(IDD_TEST, &owner.dlg));
    MSG msg{box.m_push.m_hWnd, WM_TEST_PING, 0, 0, 0, {0, 0}};
    g_offered.clear();
    EXPECT_FALSE(AfxPreTranslateMessage(&msg));
    EXPECT_EQ(g_offered, (std::vector<const CWnd*>{&box.m_push, &box, &owner.dlg}));

    box.takeEverything = true;
    g_offered.clear();
    EXPECT_TRUE(AfxPreTranslateMessage(&msg));
    EXPECT_EQ(g_offered, (std::vector<const CWnd*>{&box.m_push, &box}));
    box.DestroyWindow();
}

COLORREF PixelOf(HWND hWnd, int x, int y)
{
    ::UpdateWindow(hWnd);
    RECT rc;
    ::GetClientRect(hWnd, &rc);
    HDC screen = ::GetDC(hWnd);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, rc.right, rc.bottom);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    ::SendMessageA(hWnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT);
    COLORREF c = ::GetPixel(mem, x, y);
    ::SelectObject(mem, old);
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
    ::ReleaseDC(hWnd, screen);
    return c;
}

TEST(BitmapButton, SizesToItsImageAndDrawsTheSelectedImageWhilePushed)
{
    ModelessDialog m;
    CBitmapButton& b = m.dlg.m_drawn;
    ASSERT_TRUE(b.LoadBitmaps(IDB_TEST_NORMAL, IDB_TEST_SELECTED, 0, 0));
    b.SizeToContent();
    RECT rc;
    b.GetClientRect(&rc);
    EXPECT_EQ(rc.right, 30);
    EXPECT_EQ(rc.bottom, 20);

    // The owner-draw request goes to the dialog and is reflected to the button.
    auto draw = [&](BOOL pushed) {
        b.SetState(pushed);
        HDC screen = ::GetDC(b.m_hWnd);
        HDC mem = ::CreateCompatibleDC(screen);
        HBITMAP bmp = ::CreateCompatibleBitmap(screen, 30, 20);
        HGDIOBJ old = ::SelectObject(mem, bmp);
        DRAWITEMSTRUCT dis{};
        dis.CtlType = ODT_BUTTON;
        dis.CtlID = IDC_TEST_OWNERDRAW;
        dis.itemAction = ODA_DRAWENTIRE;
        dis.itemState = (b.GetState() & BST_PUSHED) ? ODS_SELECTED : 0;
        dis.hwndItem = b.m_hWnd;
        dis.hDC = mem;
        dis.rcItem = RECT{0, 0, 30, 20};
        EXPECT_EQ(::SendMessageA(m.dlg.m_hWnd, WM_DRAWITEM, IDC_TEST_OWNERDRAW, reinterpret_cast<LPARAM>(&dis)), TRUE);
        COLORREF c = ::GetPixel(mem, 15, 10);
        ::SelectObject(mem, old);
        ::DeleteObject(bmp);
        ::DeleteDC(mem);
        ::ReleaseDC(b.m_hWnd, screen);
        return c;
    };
    EXPECT_EQ(draw(TRUE), RGB(40, 40, 200));
    EXPECT_EQ(draw(FALSE), RGB(200, 40, 40));
}

TEST(ModalLoop, OnOkDuringInitialisationEndsWithoutEnteringTheLoop)
{
    CTestDlg dlg;
    dlg.endInInit = true;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_FALSE(dlg.HasRunModalLoop());
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

TEST(ModalLoop, RunsPreTranslateMessageAndEndsWithTheGivenResult)
{
    CTestDlg dlg;
    dlg.onInit = [](CTestDlg& d) {
        d.PostMessage(WM_TEST_PING, 1, 1);
        d.PostMessage(WM_TEST_END, 7, 0);
    };
    EXPECT_EQ(dlg.DoModal(), 7);
    EXPECT_TRUE(dlg.HasRunModalLoop());
    EXPECT_EQ(dlg.pings, 1);
    ASSERT_GE(dlg.preTranslated.size(), 2u);
    EXPECT_EQ(dlg.preTranslated[0], WM_TEST_PING);
}

TEST(ModalLoop, CancelCommandEndsTheDialog)
{
    CTestDlg dlg;
    dlg.onInit = [](CTestDlg& d) { d.PostMessage(WM_COMMAND, IDCANCEL, 0); };
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST(MainWindow, PostsFromAnyThreadOnlyWhileTheMainWindowIsAttached)
{
    EXPECT_FALSE(AfxPostToMainWnd(WM_TEST_PING, 0, 0));
    CTestDlg dlg;
    theApp.m_pMainWnd = &dlg;
    dlg.onInit = [](CTestDlg& d) {
        std::thread([] { AfxPostToMainWnd(WM_TEST_PING, 3, 4); }).join();
        d.PostMessage(WM_TEST_END, IDOK, 0);
    };
    dlg.DoModal();
    EXPECT_EQ(dlg.pings, 1);
    // Destroying the main window clears the application's pointer and, before the handle
    // can be freed and reused, the target other threads post to.
    EXPECT_EQ(theApp.m_pMainWnd, nullptr);
    EXPECT_FALSE(dlg.postedAfterRelease);
    EXPECT_FALSE(AfxPostToMainWnd(WM_TEST_PING, 0, 0));
}

TEST(MainWindow, ForgetsAMainDialogWhoseWindowWasNeverCreated)
{
    {
        CDialog noTemplate(4242);
        theApp.m_pMainWnd = &noTemplate;
        EXPECT_EQ(noTemplate.DoModal(), -1);
    }
    EXPECT_EQ(AfxGetMainWnd(), nullptr);
}

TEST(Gdi, WrappersReleaseWhatTheyOwnOnce)
{
    long objects = CGdiObject::GetLiveObjectCount();
    long dcs = CDC::GetLiveDCCount();
    {
        CDC mem;
        ASSERT_TRUE(mem.CreateCompatibleDC(nullptr));
        CBitmap bmp;
        ASSERT_TRUE(bmp.CreateCompatibleBitmap(&mem, 8, 8));
        CFont font;
        ASSERT_TRUE(font.CreatePointFont(98, "Arial"));
        EXPECT_EQ(CGdiObject::GetLiveObjectCount(), objects + 2);
        EXPECT_EQ(CDC::GetLiveDCCount(), dcs + 1);
        LOGFONTA lf{};
        ::GetObjectA(font.m_hObject, sizeof(lf), &lf);
        // 9.8 points at the screen's resolution, as a character height.
        EXPECT_EQ(lf.lfHeight, -::MulDiv(98, ::GetDeviceCaps(mem.m_hDC, LOGPIXELSY), 720));
        EXPECT_TRUE(bmp.DeleteObject());
        EXPECT_FALSE(bmp.DeleteObject());
    }
    EXPECT_EQ(CGdiObject::GetLiveObjectCount(), objects);
    EXPECT_EQ(CDC::GetLiveDCCount(), dcs);
}

}  // namespace
