#include "panel/SkinRegion.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "framework/ScopedHandle.h"

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

// The bitmap's pixels as GDI delivers them, bottom-up, with the header that says how.
struct DibPixels {
    std::unique_ptr<BYTE[]> header;  // a BITMAPINFO with room for any colour table
    std::unique_ptr<BYTE[]> pixels;  // null when the bitmap could not be read whole
    size_t stride = 0;
    int bitCount = 0;

    const uint32_t* Palette() const
    {
        return reinterpret_cast<const uint32_t*>(header.get() + sizeof(BITMAPINFOHEADER));
    }
    bool Scannable() const
    {
        return pixels != nullptr && (bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32);
    }
};

// The key as the delivered pixels store it: 0x00RRGGBB, and 5-6-5 for 16-bit pixels.
struct StoredKey {
    uint32_t key32;
    uint32_t key16;
};

void ReadBitmapSize(HBITMAP hBitmap, SkinRegionInfo& info)
{
    BITMAP bm{};
    if (hBitmap != nullptr && ::GetObjectA(hBitmap, sizeof(bm), &bm) != 0) {
        info.width = bm.bmWidth > 0 ? bm.bmWidth : 0;
        info.height = bm.bmHeight > 0 ? bm.bmHeight : 0;
    }
}

// Asks GDI in which format it delivers the pixels, then reads every row in that format.
DibPixels ReadPixels(HBITMAP hBitmap, int width, int height)
{
    DibPixels dib;
    dib.header.reset(new (std::nothrow) BYTE[kHeaderBlockSize]());
    auto* bmi = reinterpret_cast<BITMAPINFO*>(dib.header.get());
    if (bmi == nullptr || width <= 0 || height <= 0)
        return dib;
    bmi->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    CCreatedDC ic(::CreateICA("DISPLAY", nullptr, nullptr, nullptr));
    if (!ic.IsValid() ||
        ::GetDIBits(ic.Get(), hBitmap, 0, static_cast<UINT>(height), nullptr, bmi, DIB_RGB_COLORS) == 0)
        return dib;
    dib.bitCount = bmi->bmiHeader.biBitCount;
    // Always bottom-up, and our own row size: the buffer is sized from what we scan, not
    // from a size field we did not fill in.
    bmi->bmiHeader.biWidth = width;
    bmi->bmiHeader.biHeight = height;
    dib.stride = ((static_cast<size_t>(width) * dib.bitCount + 31) / 32) * 4;
    size_t imageSize = dib.stride * static_cast<size_t>(height);
    if (bmi->bmiHeader.biSizeImage > imageSize)
        imageSize = bmi->bmiHeader.biSizeImage;
    // Four spare bytes: a whole-word read at the last pixel stays inside.
    dib.pixels.reset(new (std::nothrow) BYTE[imageSize + 4]());
    if (dib.pixels != nullptr &&
        ::GetDIBits(ic.Get(), hBitmap, 0, static_cast<UINT>(height), dib.pixels.get(), bmi, DIB_RGB_COLORS) != height)
        dib.pixels.reset();  // an unread buffer would pass for an opaque picture
    return dib;
}

StoredKey StoredKeyFor(COLORREF keyColour)
{
    const uint32_t red = GetRValue(keyColour), green = GetGValue(keyColour), blue = GetBValue(keyColour);
    return StoredKey{(red << 16) | (green << 8) | blue, ((red & 0xF8) << 8) | ((green & 0xFC) << 3) | (blue >> 3)};
}

// Only an exact match with the key is transparent.
bool IsOpaque(const DibPixels& dib, const BYTE* p, const StoredKey& key)
{
    switch (dib.bitCount) {
    case 8: {
        uint32_t entry;
        std::memcpy(&entry, &dib.Palette()[*p], sizeof(entry));
        return entry != key.key32;
    }
    case 16: {
        uint16_t value;
        std::memcpy(&value, p, sizeof(value));
        return value != key.key16;
    }
    case 24: {
        uint32_t value = p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
        return value != key.key32;
    }
    case 32: {
        uint32_t value;  // the fourth byte must be zero for a match
        std::memcpy(&value, p, sizeof(value));
        return value != key.key32;
    }
    default:
        return false;
    }
}

// One rectangle per run of opaque pixels, row by row from the top; every run ends with its
// row, so no rectangle is more than one pixel high.
void AddOpaqueRuns(const DibPixels& dib, int width, int height, const StoredKey& key, RegionBlock& block)
{
    const int bytesPerPixel = dib.bitCount / 8;
    for (int y = 0; y < height; ++y) {
        // Bottom-up: image row y is buffer row height - 1 - y.
        const BYTE* row = dib.pixels.get() + dib.stride * static_cast<size_t>(height - 1 - y);
        int runStart = -1;
        for (int x = 0; x < width; ++x) {
            const bool opaque = IsOpaque(dib, row + static_cast<size_t>(x) * bytesPerPixel, key);
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

}  // namespace

HRGN BuildSkinRegionFromBitmap(HBITMAP hBitmap, COLORREF keyColour, SkinRegionInfo* pInfo)
{
    SkinRegionInfo info;
    ReadBitmapSize(hBitmap, info);
    DibPixels dib = ReadPixels(hBitmap, info.width, info.height);
    info.bitCount = dib.bitCount;

    RegionBlock block(info.height);
    if (dib.Scannable() && block.ok())
        AddOpaqueRuns(dib, info.width, info.height, StoredKeyFor(keyColour), block);
    dib = DibPixels{};  // the pixels go before the region is made

    HRGN hRgn = block.Create();
    info.rectCount = block.count();
    info.capacity = block.capacity();
    info.growths = block.growths();
    if (pInfo != nullptr)
        *pInfo = info;
    return hRgn;
}
