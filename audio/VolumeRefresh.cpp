#include "audio/VolumeRefresh.h"

#include "audio/AudioMessages.h"
#include "framework/afxwin.h"

#include <atomic>

namespace {

std::atomic<bool> g_refreshPending[2];

}  // namespace

void PostVolumeRefresh(WPARAM kind)
{
    if (kind > 1 || g_refreshPending[kind].exchange(true))
        return;
    // Nothing posted (no main window yet or any more): nothing to wait for either.
    if (!AfxPostToMainWnd(WM_VOLUME_REFRESH, kind, 0))
        g_refreshPending[kind] = false;
}

void ClearVolumeRefreshPending(WPARAM kind)
{
    if (kind <= 1)
        g_refreshPending[kind] = false;
}
