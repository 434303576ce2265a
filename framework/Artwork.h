// The program's artwork at the display's scale: the bitmaps, icon and cursor drawn for each
// listed scale, and our own area-averaging filter for the scales between them. Scaling happens
// here, once per load; painting only copies what these calls return.
#pragma once
#include <windows.h>

// The scales whose artwork the program carries, in percent of 96 DPI. tools/artwork draws every
// scale from 100 to 300 %; the ones between these are made by our filter, which costs less room
// than carrying them (tools/artwork/README.md has the figures).
inline constexpr UINT kArtworkScales[] = {100, 200, 300};

// The carried scale that serves dpi: its own, else the next larger one (our filter scales it
// down); above 300 % the largest (the filter then enlarges it).
UINT ArtworkScaleForDpi(UINT dpi);

// The bitmap carried for dpi's scale, or made once from the next larger one; at 96 DPI exactly the
// 100 % resource. Its size is ScaleLength (framework/DisplayScale.h) of the 100 % size on each axis. Pure white (the
// window's see-through colour) stays pure white exactly where the scaled outline says, and no
// other pixel becomes pure white. The caller owns it; nullptr on failure.
HBITMAP LoadScaledBitmap(UINT id, UINT dpi);

// An icon of sizePx x sizePx: the icon file's own image of that size, else made from its next
// larger image with the same filter. The caller owns it (DestroyIcon); nullptr on failure.
HICON LoadScaledIcon(UINT id, int sizePx);

// The cursor for dpi: ScaleLength(32, dpi) pixels square, from the file's 32, 48 or 64 px image
// or made from the next larger one; the hot spot scaled with it. The caller owns it (DestroyCursor).
HCURSOR LoadScaledCursor(UINT id, UINT dpi);
