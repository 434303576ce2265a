// Prints what the skinned controls cost: the skin region build, one slider paint and one
// slider mouse message. A figure printer, not a test: nothing here passes or fails.
#include <windows.h>

#include <cstdio>

#include "TestWindows.h"
#include "controls/BitmapSlider.h"
#include "panel/SkinRegion.h"
#include "res/resource.h"

namespace {
double Now()
{
    LARGE_INTEGER frequency, counter;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}
}

int main()
{
    HBITMAP skin = ::LoadBitmapA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_SKIN));
    const int regionRuns = 50;
    SkinRegionInfo info;
    double start = Now();
    for (int i = 0; i < regionRuns; ++i)
        ::DeleteObject(BuildSkinRegionFromBitmap(skin, RGB(255, 255, 255), &info));
    double regionMs = (Now() - start) * 1000.0 / regionRuns;
    std::printf("skin region build: %.3f ms (%d x %d, %d bits, %d rectangles)\n", regionMs, info.width,
                info.height, info.bitCount, info.rectCount);
    ::DeleteObject(skin);

    TestParentWindow parent(200, 300, RGB(0, 0, 0));
    HWND hSlider = parent.CreateStatic(IDC_SLIDER_LEFT, SS_BITMAP | SS_NOTIFY | SS_REALSIZEIMAGE, 10, 10, 33, 128);
    CBitmapSlider slider;
    slider.SubclassWindow(hSlider);
    slider.SetChannelBitmaps(IDB_SLIDER_LEFT_CHANNEL, IDB_SLIDER_LEFT_SPAN);
    slider.SetVertical(true);
    slider.SetRange(0, 100);

    const int paints = 500;
    start = Now();
    for (int i = 0; i < paints; ++i) {
        slider.SetPos(i % 101);
        ::UpdateWindow(hSlider);
    }
    std::printf("slider paint: %.3f ms\n", (Now() - start) * 1000.0 / paints);

    const int moves = 2000;
    ::SendMessageA(hSlider, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 0));
    start = Now();
    for (int i = 0; i < moves; ++i)
        ::SendMessageA(hSlider, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, i % 209));
    double moveUs = (Now() - start) * 1e6 / moves;
    ::SendMessageA(hSlider, WM_LBUTTONUP, 0, MAKELPARAM(10, 0));
    parent.TakePosted(0x28D1, 0x28D2);
    std::printf("slider mouse move (posting, no paint): %.2f us\n", moveUs);
    return 0;
}
