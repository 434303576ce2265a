#include "panel/SkinRegion.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "framework/ScopedHandle.h"
#include "panel/KestrunDlg.h"

namespace {

// Room for the header and the largest colour table GetDIBits can write (256 entries), which
// also covers the three masks of a bit-field delivery and the tables of 1- and 4-bit formats.
constexpr size_t kHeaderBlockSize = sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);
constexpr int kGrowthStep = 40;

// The RGNDATA block for ExtCreateRegion: starts with one rectangle per row and grows by 40
// whenever it fills up.
class RegionBlock {
public:
    explicit RegionBlock(int capacity) { Allocate(capacity > 0 ? capacity : 0); }

    bool ok() const { return m_block != nullptr; }

    bool Add(const RECT& rc)
    {
        if (m_count >= m_capacity)
            return false;  // only when a growth failed: keep what we have
        Rects()[m_count++] = rc;
        Header().nCount = static_cast<DWORD>(m_count);
        if (m_count == m_capacity)
            Grow();
        return true;
    }

    HRGN Create() const
    {
        if (m_block == nullptr)
            return ::CreateRectRgn(0, 0, 0, 0);
        return ::ExtCreateRegion(nullptr, static_cast<DWORD>(BlockSize(m_count)),
                                 reinterpret_cast<const RGNDATA*>(m_block.get()));
    }

    int count() const { return m_count; }
    int capacity() const { return m_capacity; }
    int growths() const { return m_growths; }

private:
    static size_t BlockSize(int rects) { return sizeof(RGNDATAHEADER) + sizeof(RECT) * static_cast<size_t>(rects); }
    RGNDATAHEADER& Header() { return *reinterpret_cast<RGNDATAHEADER*>(m_block.get()); }
    RECT* Rects() { return reinterpret_cast<RECT*>(m_block.get() + sizeof(RGNDATAHEADER)); }

    void Allocate(int capacity)
    {
        m_block.reset(new (std::nothrow) BYTE[BlockSize(capacity)]());
        if (m_block == nullptr)
            return;
        Header().dwSize = sizeof(RGNDATAHEADER);
        Header().iType = RDH_RECTANGLES;
        m_capacity = capacity;
    }

    void Grow()
    {
        // The block size goes to ExtCreateRegion as a DWORD.
        if (m_capacity > INT32_MAX - kGrowthStep ||
            BlockSize(m_capacity + kGrowthStep) > static_cast<size_t>(UINT32_MAX))
            return;
        int capacity = m_capacity + kGrowthStep;
        std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[BlockSize(capacity)]);
        if (block == nullptr)
            return;
        std::memcpy(block.get(), m_block.get(), BlockSize(m_count));
        m_block = std::move(block);
        m_capacity = capacity;
        ++m_growths;
    }

    std::unique_ptr<BYTE[]> m_block;
    int m_count = 0;
    int m_capacity = 0;
    int m_growths = 0;
};

}  // namespace

HRGN BuildSkinRegionFromBitmap(HBITMAP hBitmap, COLORREF keyColour, SkinRegionInfo* pInfo)
{
    SkinRegionInfo info;
    BITMAP bm{};
    if (hBitmap != nullptr && ::GetObjectA(hBitmap, sizeof(bm), &bm) != 0) {
        info.width = bm.bmWidth > 0 ? bm.bmWidth : 0;
        info.height = bm.bmHeight > 0 ? bm.bmHeight : 0;
    }
    const int width = info.width;
    const int height = info.height;

    auto headerBlock = std::unique_ptr<BYTE[]>(new (std::nothrow) BYTE[kHeaderBlockSize]());
    auto* bmi = reinterpret_cast<BITMAPINFO*>(headerBlock.get());
    std::unique_ptr<BYTE[]> pixels;
    size_t stride = 0;
    if (bmi != nullptr && width > 0 && height > 0) {
        bmi->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        CCreatedDC ic(::CreateICA("DISPLAY", nullptr, nullptr, nullptr));
        // First call: GDI tells in which format it will deliver the pixels.
        if (ic.IsValid() &&
            ::GetDIBits(ic.Get(), hBitmap, 0, static_cast<UINT>(height), nullptr, bmi, DIB_RGB_COLORS) != 0) {
            info.bitCount = bmi->bmiHeader.biBitCount;
            // Always bottom-up, and our own row size: the buffer is sized from what we scan,
            // not from a size field we did not fill in.
            bmi->bmiHeader.biWidth = width;
            bmi->bmiHeader.biHeight = height;
            stride = ((static_cast<size_t>(width) * info.bitCount + 31) / 32) * 4;
            size_t imageSize = stride * static_cast<size_t>(height);
            if (bmi->bmiHeader.biSizeImage > imageSize)
                imageSize = bmi->bmiHeader.biSizeImage;
            // Four spare bytes: a whole-word read at the last pixel stays inside.
            pixels.reset(new (std::nothrow) BYTE[imageSize + 4]());
            if (pixels != nullptr &&
                ::GetDIBits(ic.Get(), hBitmap, 0, static_cast<UINT>(height), pixels.get(), bmi,
                            DIB_RGB_COLORS) != height)
                pixels.reset();  // an unread buffer would pass for an opaque picture
        }
    }

    // The pixels are stored as 0x00RRGGBB; 16-bit ones as 5-6-5.
    const uint32_t red = GetRValue(keyColour), green = GetGValue(keyColour), blue = GetBValue(keyColour);
    const uint32_t key32 = (red << 16) | (green << 8) | blue;
    const uint32_t key16 = ((red & 0xF8) << 8) | ((green & 0xFC) << 3) | (blue >> 3);
    const int bytesPerPixel = info.bitCount / 8;
    const bool readable = pixels != nullptr &&
                          (info.bitCount == 8 || info.bitCount == 16 || info.bitCount == 24 || info.bitCount == 32);
    const auto* palette = bmi != nullptr ? reinterpret_cast<const uint32_t*>(bmi->bmiColors) : nullptr;

    auto isOpaque = [&](const BYTE* p) {
        switch (info.bitCount) {
        case 8: {
            uint32_t entry;
            std::memcpy(&entry, &palette[*p], sizeof(entry));
            return entry != key32;
        }
        case 16: {
            uint16_t value;
            std::memcpy(&value, p, sizeof(value));
            return value != key16;
        }
        case 24: {
            uint32_t value = p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
            return value != key32;
        }
        case 32: {
            uint32_t value;  // the fourth byte must be zero for a match
            std::memcpy(&value, p, sizeof(value));
            return value != key32;
        }
        default:
            return false;
        }
    };

    RegionBlock block(height);
    if (readable && block.ok()) {
        for (int y = 0; y < height; ++y) {
            // Bottom-up: image row y is buffer row height - 1 - y.
            const BYTE* row = pixels.get() + stride * static_cast<size_t>(height - 1 - y);
            int runStart = -1;
            for (int x = 0; x < width; ++x) {
                bool opaque = isOpaque(row + static_cast<size_t>(x) * bytesPerPixel);
                if (opaque && runStart < 0) {
                    runStart = x;
                } else if (!opaque && runStart >= 0) {
                    block.Add(RECT{runStart, y, x, y + 1});
                    runStart = -1;
                }
            }
            if (runStart >= 0)
                block.Add(RECT{runStart, y, width, y + 1});
        }
    }
    pixels.reset();
    headerBlock.reset();

    HRGN hRgn = block.Create();
    info.rectCount = block.count();
    info.capacity = block.capacity();
    info.growths = block.growths();
    if (pInfo != nullptr)
        *pInfo = info;
    return hRgn;
}

HRGN CKestrunDlg::BuildSkinRegion(HBITMAP hBitmap, COLORREF keyColour)
{
    SkinRegionInfo info;
    HRGN hRgn = BuildSkinRegionFromBitmap(hBitmap, keyColour, &info);
    m_skinWidth = info.width;
    m_skinHeight = info.height;
    return hRgn;
}

void CKestrunDlg::ApplySkin()
{
    // A second call starts over: the old context must let go of the old skin first.
    m_skinDC.DeleteDC();
    m_skinBitmap.DeleteObject();
    m_skinBitmap.LoadBitmap(IDB_SKIN);
    HRGN hRgn = BuildSkinRegion(m_skinBitmap, RGB(255, 255, 255));
    {
        CClientDC windowDC(this);
        m_skinDC.CreateCompatibleDC(&windowDC);
    }
    // Selected for the dialog's lifetime; m_skinDC is destroyed before m_skinBitmap.
    m_skinDC.SelectObject(&m_skinBitmap);
    SetWindowPos(nullptr, 0, 0, m_skinWidth, m_skinHeight, SWP_NOMOVE | SWP_NOZORDER);
    // From here the system owns the region; if it refuses it, it is still ours to free.
    if (hRgn != nullptr && SetWindowRgn(hRgn, FALSE) == 0)
        ::DeleteObject(hRgn);
}

LRESULT CKestrunDlg::OnEraseBkgnd(WPARAM wParam, LPARAM)
{
    return ::BitBlt(reinterpret_cast<HDC>(wParam), 0, 0, m_skinWidth, m_skinHeight, m_skinDC, 0, 0, SRCCOPY);
}
