#include "framework/Artwork.h"

#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstring>
#include <iterator>
#include <utility>
#include <vector>
#include <optional>

#include "framework/AreaAverage.h"
#include "framework/DisplayScale.h"
#include "framework/WinApp.h"

using Microsoft::WRL::ComPtr;

namespace {

// Beyond 100 %, each bitmap is stored as a PNG, resource number scale * 100 + bitmap ID (the
// skin, 146, at 200 % is 20146), of a type of our own: numbered above the system's types, its data
// comes last in the program file, away from the resources that every start reads.
constexpr UINT kScaledArtworkType = 256;
UINT StoredId(UINT scale, UINT id) { return scale * 100 + id; }

// Looked up here rather than linked, so that nothing of WIC loads until a scaled PNG is read.
constexpr CLSID kClsidWicImagingFactory = {0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};
constexpr GUID kWicFormat32bppBgra = {0x6fddc324, 0x4e03, 0x4bfe, {0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, 0x0f}};

struct ResourceData {
    const uint8_t* bytes = nullptr;
    DWORD size = 0;
};

ResourceData FindData(UINT id, LPCWSTR type)
{
    HMODULE module = AfxGetResourceHandle();
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), type);
    if (found == nullptr)
        return {};
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (bytes == nullptr)
        return {};
    return {static_cast<const uint8_t*>(bytes), ::SizeofResource(module, found)};
}

template <typename T>
bool Read(const ResourceData& data, size_t offset, T* out)
{
    if (offset > data.size || data.size - offset < sizeof(T))
        return false;
    std::memcpy(out, data.bytes + offset, sizeof(T));
    return true;
}

// The pixels of a classic DIB: 4 or 8 bits through a colour table, or 24 or 32 bits; with an
// AND mask below the colour rows when `masked` (icons and cursors, whose height counts both).
// 32-bit images keep their alpha if any pixel has one; elsewhere the AND mask gives it.
std::optional<RgbaImage> DecodeDib(const ResourceData& data, size_t offset, bool masked)
{
    BITMAPINFOHEADER h;
    if (!Read(data, offset, &h) || h.biSize < sizeof(h) || h.biWidth <= 0 || h.biWidth > 4096 ||
        h.biHeight == 0 || h.biPlanes != 1 || h.biCompression != BI_RGB)
        return std::nullopt;
    const int bits = h.biBitCount;
    if (bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return std::nullopt;
    const bool bottomUp = h.biHeight > 0;
    int height = bottomUp ? h.biHeight : -h.biHeight;
    if (masked)
        height /= 2;
    if (height <= 0 || height > 4096)
        return std::nullopt;
    const int width = h.biWidth;
    const size_t colours = bits <= 8 ? (h.biClrUsed != 0 ? h.biClrUsed : (1u << bits)) : 0;
    if (colours > 256)
        return std::nullopt;
    const size_t tableAt = offset + h.biSize;
    const size_t pixelsAt = tableAt + colours * sizeof(RGBQUAD);
    const size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
    const size_t maskStride = ((static_cast<size_t>(width) + 31) / 32) * 4;
    const size_t maskAt = pixelsAt + stride * height;
    const size_t end = masked ? maskAt + maskStride * height : maskAt;
    if (end > data.size)
        return std::nullopt;

    RgbaImage img;
    img.width = width;
    img.height = height;
    img.rgba.resize(static_cast<size_t>(width) * height * 4);
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        const size_t row = static_cast<size_t>(bottomUp ? height - 1 - y : y);
        const uint8_t* src = data.bytes + pixelsAt + row * stride;
        for (int x = 0; x < width; ++x) {
            uint8_t* p = img.At(x, y);
            if (bits >= 24) {
                const uint8_t* s = src + static_cast<size_t>(x) * (bits / 8);
                p[0] = s[2];
                p[1] = s[1];
                p[2] = s[0];
                p[3] = bits == 32 ? s[3] : 255;
                anyAlpha = anyAlpha || (bits == 32 && s[3] != 0);
            } else {
                size_t index = bits == 8 ? src[x] : ((src[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0x0F);
                if (index >= colours)
                    index = 0;
                const uint8_t* q = data.bytes + tableAt + index * sizeof(RGBQUAD);
                p[0] = q[2];
                p[1] = q[1];
                p[2] = q[0];
                p[3] = 255;
            }
        }
    }
    if (masked && !anyAlpha) {
        for (int y = 0; y < height; ++y) {
            const size_t row = static_cast<size_t>(bottomUp ? height - 1 - y : y);
            const uint8_t* m = data.bytes + maskAt + row * maskStride;
            for (int x = 0; x < width; ++x)
                if (m[x / 8] & (0x80 >> (x % 8)))
                    img.At(x, y)[3] = 0;
        }
    }
    return img;
}

// A PNG of our resources through WIC. COM may or may not be running on this thread.
std::optional<RgbaImage> DecodePng(const ResourceData& data)
{
    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::optional<RgbaImage> result;
    {
        ComPtr<IWICImagingFactory> factory;
        ComPtr<IWICStream> stream;
        ComPtr<IWICBitmapDecoder> decoder;
        ComPtr<IWICBitmapFrameDecode> frame;
        ComPtr<IWICFormatConverter> converter;
        UINT width = 0, height = 0;
        if (SUCCEEDED(::CoCreateInstance(kClsidWicImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_PPV_ARGS(&factory))) &&
            SUCCEEDED(factory->CreateStream(&stream)) &&
            SUCCEEDED(stream->InitializeFromMemory(const_cast<BYTE*>(data.bytes), data.size)) &&
            SUCCEEDED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                       &decoder)) &&
            SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
            SUCCEEDED(converter->Initialize(frame.Get(), kWicFormat32bppBgra, WICBitmapDitherTypeNone, nullptr,
                                            0.0, WICBitmapPaletteTypeCustom)) &&
            SUCCEEDED(converter->GetSize(&width, &height)) && width > 0 && height > 0 && width <= 8192 &&
            height <= 8192) {
            RgbaImage img;
            img.width = static_cast<int>(width);
            img.height = static_cast<int>(height);
            img.rgba.resize(static_cast<size_t>(width) * height * 4);
            if (SUCCEEDED(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(img.rgba.size()),
                                                img.rgba.data()))) {
                for (size_t i = 0; i < img.rgba.size(); i += 4)
                    std::swap(img.rgba[i], img.rgba[i + 2]);
                result = std::move(img);
            }
        }
    }
    if (SUCCEEDED(init))
        ::CoUninitialize();
    return result;
}

// The bitmap as drawn for one listed scale, if the program carries it.
std::optional<RgbaImage> StoredBitmap(UINT scale, UINT id)
{
    if (scale == 100) {
        ResourceData data = FindData(id, MAKEINTRESOURCEW(2) /* RT_BITMAP */);
        return data.bytes != nullptr ? DecodeDib(data, 0, false) : std::nullopt;
    }
    ResourceData data = FindData(StoredId(scale, id), MAKEINTRESOURCEW(kScaledArtworkType));
    return data.bytes != nullptr ? DecodePng(data) : std::nullopt;
}

// The size of the 100 % bitmap, read from its header without loading it.
bool BaseSize(UINT id, int* width, int* height)
{
    BITMAPINFOHEADER h;
    if (!Read(FindData(id, MAKEINTRESOURCEW(2)), 0, &h) || h.biWidth <= 0 || h.biHeight == 0)
        return false;
    *width = h.biWidth;
    *height = h.biHeight > 0 ? h.biHeight : -h.biHeight;
    return true;
}

HBITMAP ToBitmap(const RgbaImage& img)
{
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = img.width;
    bi.bmiHeader.biHeight = -img.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    std::vector<uint8_t> bgrx(img.rgba.size());
    for (size_t i = 0; i < img.rgba.size(); i += 4) {
        bgrx[i] = img.rgba[i + 2];
        bgrx[i + 1] = img.rgba[i + 1];
        bgrx[i + 2] = img.rgba[i];
    }
    HDC screen = ::GetDC(nullptr);
    if (screen == nullptr)
        return nullptr;
    // A device-dependent bitmap, as LoadBitmap gives: painting copies it as it copies those.
    HBITMAP bmp = ::CreateDIBitmap(screen, &bi.bmiHeader, CBM_INIT, bgrx.data(), &bi, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    return bmp;
}

// ---- icons and cursors ----------------------------------------------------------

// One image of an icon or cursor group: its resource, size and (cursors) hot spot.
struct GroupEntry {
    UINT id = 0;
    int size = 0;
};

std::vector<GroupEntry> GroupEntries(UINT id, bool icon)
{
    std::vector<GroupEntry> out;
    ResourceData dir = FindData(id, MAKEINTRESOURCEW(icon ? 14 : 12));  // RT_GROUP_ICON / RT_GROUP_CURSOR
    WORD count = 0;
    if (!Read(dir, 4, &count))
        return out;
    for (WORD i = 0; i < count; ++i) {
        const size_t at = 6 + static_cast<size_t>(i) * 14;
        WORD width = 0, imageId = 0;
        BYTE iconWidth = 0;
        if (!Read(dir, at + 12, &imageId))
            break;
        if (icon) {
            Read(dir, at, &iconWidth);
            width = iconWidth == 0 ? 256 : iconWidth;
        } else {
            Read(dir, at, &width);
        }
        out.push_back({imageId, width});
    }
    return out;
}

// The entry of exactly `size`, else the smallest larger one, else the largest.
std::optional<GroupEntry> BestEntry(const std::vector<GroupEntry>& entries, int size)
{
    std::optional<GroupEntry> best, largest;
    for (const GroupEntry& e : entries) {
        if (e.size >= size && (!best || e.size < best->size))
            best = e;
        if (!largest || e.size > largest->size)
            largest = e;
    }
    return best ? best : largest;
}

HICON MakeIcon(const RgbaImage& img, bool icon, int hotX, int hotY)
{
    BITMAPV5HEADER bi{};
    bi.bV5Size = sizeof(bi);
    bi.bV5Width = img.width;
    bi.bV5Height = -img.height;
    bi.bV5Planes = 1;
    bi.bV5BitCount = 32;
    bi.bV5Compression = BI_RGB;
    void* bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    HBITMAP colour = ::CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS, &bits,
                                        nullptr, 0);
    if (screen != nullptr)
        ::ReleaseDC(nullptr, screen);
    if (colour == nullptr)
        return nullptr;
    const size_t maskStride = ((static_cast<size_t>(img.width) + 15) / 16) * 2;  // monochrome rows: words
    std::vector<uint8_t> mask(maskStride * img.height, 0);
    auto* out = static_cast<uint8_t*>(bits);
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const uint8_t* p = img.At(x, y);
            uint8_t* q = out + (static_cast<size_t>(y) * img.width + x) * 4;
            q[0] = p[2];
            q[1] = p[1];
            q[2] = p[0];
            q[3] = p[3];
            if (p[3] == 0) {
                q[0] = q[1] = q[2] = 0;
                mask[y * maskStride + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
            }
        }
    ::GdiFlush();
    HBITMAP monochrome = ::CreateBitmap(img.width, img.height, 1, 1, mask.data());
    ICONINFO info{};
    info.fIcon = icon ? TRUE : FALSE;
    info.xHotspot = static_cast<DWORD>(hotX);
    info.yHotspot = static_cast<DWORD>(hotY);
    info.hbmMask = monochrome;
    info.hbmColor = colour;
    HICON result = monochrome != nullptr ? ::CreateIconIndirect(&info) : nullptr;
    if (monochrome != nullptr)
        ::DeleteObject(monochrome);
    ::DeleteObject(colour);
    return result;
}

// One image of an icon or cursor file at sizePx: the file's own when it has that size, else
// made from the next larger one with our filter.
HICON LoadGroupImage(UINT id, bool icon, int sizePx, int hotX32, int hotY32)
{
    if (sizePx <= 0 || sizePx > 1024)
        return nullptr;
    std::optional<GroupEntry> entry = BestEntry(GroupEntries(id, icon), sizePx);
    if (!entry)
        return nullptr;
    ResourceData data = FindData(entry->id, MAKEINTRESOURCEW(icon ? 3 : 1));  // RT_ICON / RT_CURSOR
    if (data.bytes == nullptr)
        return nullptr;
    if (entry->size == sizePx)
        return ::CreateIconFromResourceEx(const_cast<PBYTE>(data.bytes), data.size, icon ? TRUE : FALSE,
                                          0x00030000, sizePx, sizePx, LR_DEFAULTCOLOR);
    // A cursor image starts with its hot spot; the DIB follows. The largest icon is PNG.
    static const uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G'};
    const bool png = data.size > sizeof(kPngSignature) && std::memcmp(data.bytes, kPngSignature, sizeof(kPngSignature)) == 0;
    std::optional<RgbaImage> image = png ? DecodePng(data) : DecodeDib(data, icon ? 0 : 4, true);
    if (!image)
        return nullptr;
    RgbaImage scaled = AreaAverage(*image, sizePx, sizePx);
    return MakeIcon(scaled, icon, ::MulDiv(hotX32, sizePx, 32), ::MulDiv(hotY32, sizePx, 32));
}

}  // namespace

UINT ArtworkScaleForDpi(UINT dpi)
{
    for (UINT s : kArtworkScales)
        if (static_cast<unsigned long long>(s) * 96 >= static_cast<unsigned long long>(dpi) * 100)
            return s;
    return std::rbegin(kArtworkScales)[0];
}

HBITMAP LoadScaledBitmap(UINT id, UINT dpi)
{
    if (dpi == 0)
        return nullptr;
    if (dpi == 96)
        return ::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id));
    int width = 0, height = 0;
    if (!BaseSize(id, &width, &height))
        return nullptr;
    width = ScaleLength(width, dpi);
    height = ScaleLength(height, dpi);
    if (width <= 0 || height <= 0)
        return nullptr;
    std::optional<RgbaImage> art = StoredBitmap(ArtworkScaleForDpi(dpi), id);
    if (!art)
        return nullptr;
    if (art->width != width || art->height != height)
        art = AreaAverageKeyed(*art, width, height);
    return ToBitmap(*art);
}

HICON LoadScaledIcon(UINT id, int sizePx) { return LoadGroupImage(id, true, sizePx, 0, 0); }

HCURSOR LoadScaledCursor(UINT id, UINT dpi)
{
    // The hot spot of the 32-pixel image, which the larger ones scale.
    std::vector<GroupEntry> entries = GroupEntries(id, false);
    std::optional<GroupEntry> base = BestEntry(entries, 32);
    WORD hot[2] = {0, 0};
    if (base)
        Read(FindData(base->id, MAKEINTRESOURCEW(1)), 0, &hot);
    return LoadGroupImage(id, false, ScaleLength(32, dpi), hot[0], hot[1]);
}
