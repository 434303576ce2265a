#include "audio/VolumeRefresh.h"

#include "audio/AudioMessages.h"
#include "framework/afxwin.h"

#include <atomic>

namespace {

std::atomic<bool> g_refreshPending[2];
std::atomic<bool> g_arrivalPending;

void PostOnce(std::atomic<bool>& pending, UINT message, WPARAM wParam)
{
    if (pending.exchange(true))
        return;
    // Nothing posted (no main window yet or any more): nothing to wait for either.
    if (!AfxPostToMainWnd(message, wParam, 0))
        pending = false;
}

}  // namespace

void PostVolumeRefresh(WPARAM kind)
{
    if (kind <= 1)
        PostOnce(g_refreshPending[kind], WM_VOLUME_REFRESH, kind);
}

void PostDeviceArrived()
{
    PostOnce(g_arrivalPending, WM_AUDIO_DEVICE_ARRIVED, 0);
}

void ClearDeviceArrivedPending()
{
    g_arrivalPending = false;
}

void ClearVolumeRefreshPending(WPARAM kind)
{
    if (kind <= 1)
        g_refreshPending[kind] = false;
}
