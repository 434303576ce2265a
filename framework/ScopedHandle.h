// One owner for a handle: closed once, when the owner goes.
#pragma once
#include <windows.h>

// Traits: `Handle`, `static Handle Invalid()`, `static void Close(Handle)`.
template <typename Traits>
class CScopedHandle {
public:
    using Handle = typename Traits::Handle;

    explicit CScopedHandle(Handle h = Traits::Invalid()) : m_h(h) {}
    ~CScopedHandle()
    {
        if (IsValid())
            Traits::Close(m_h);
    }
    CScopedHandle(const CScopedHandle&) = delete;
    CScopedHandle& operator=(const CScopedHandle&) = delete;

    Handle Get() const { return m_h; }
    bool IsValid() const { return m_h != Traits::Invalid(); }
    // Closes what it holds, if anything, and takes h.
    void Reset(Handle h = Traits::Invalid())
    {
        if (IsValid())
            Traits::Close(m_h);
        m_h = h;
    }

private:
    Handle m_h;
};

struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
using CFileHandle = CScopedHandle<FileHandleTraits>;

// Null when absent, as CreateMutexA reports failure.
struct MutexHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::CloseHandle(h); }
};

struct MenuHandleTraits {
    using Handle = HMENU;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DestroyMenu(h); }
};
using CMenuHandle = CScopedHandle<MenuHandleTraits>;

// A device or information context of our own making (CreateDC, CreateIC), not a window's.
struct CreatedDCTraits {
    using Handle = HDC;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DeleteDC(h); }
};
using CCreatedDC = CScopedHandle<CreatedDCTraits>;

// Icons and cursors of our own making (LoadImage without LR_SHARED, the artwork loader).
struct IconHandleTraits {
    using Handle = HICON;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DestroyIcon(h); }
};
using CIconHandle = CScopedHandle<IconHandleTraits>;

struct CursorHandleTraits {
    using Handle = HCURSOR;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { ::DestroyCursor(h); }
};
using CCursorHandle = CScopedHandle<CursorHandleTraits>;
