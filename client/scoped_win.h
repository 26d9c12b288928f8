#pragma once
// Owners for every kind of Win32 handle the program holds. Each kind is closed by the one call
// that closes it, exactly once: a moved-from or released owner holds nothing, and a handle that
// stands for "none" in its kind is never passed to a close call.

#include <windows.h>
#include <bcrypt.h>
#include <objbase.h>
#include <winhttp.h>

#include <array>
#include <type_traits>
#include <utility>

namespace tw::client::platform {

// One handle of `Kind`, which names its type (`Handle`), the value that means none (`none()`),
// whether a value is a live handle (`holds`) and how one is closed (`close`).
template <class Kind>
class Scoped {
public:
    using Handle = typename Kind::Handle;

    Scoped() = default;
    explicit Scoped(Handle handle) : handle_(handle) {}
    ~Scoped() { reset(); }
    Scoped(Scoped&& other) noexcept : handle_(other.release()) {}
    Scoped& operator=(Scoped&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;

    Handle get() const { return handle_; }
    bool valid() const { return Kind::holds(handle_); }
    explicit operator bool() const { return valid(); }

    // Hands the handle over without closing it; the owner then holds none.
    Handle release() { return std::exchange(handle_, Kind::none()); }

    // Closes what is held, unless it is `handle` itself, and holds `handle`.
    void reset(Handle handle = Kind::none())
    {
        const Handle previous = std::exchange(handle_, handle);
        if (Kind::holds(previous) && previous != handle)
            Kind::close(previous);
    }

private:
    Handle handle_ = Kind::none();
};

// A file, or any handle whose maker fails with INVALID_HANDLE_VALUE rather than null, as
// CreateFileW and CreateToolhelp32Snapshot do.
struct FileKind {
    using Handle = HANDLE;
    static Handle none() { return INVALID_HANDLE_VALUE; }
    static bool holds(Handle handle) { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }
    static void close(Handle handle) { CloseHandle(handle); }
};
using FileHandle = Scoped<FileKind>;

// Processes, threads, events and tokens: the calls that make them fail with null. Here
// INVALID_HANDLE_VALUE is GetCurrentProcess()'s pseudo-handle, a live value, not none.
struct KernelKind {
    using Handle = HANDLE;
    static Handle none() { return nullptr; }
    static bool holds(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { CloseHandle(handle); }
};
using KernelHandle = Scoped<KernelKind>;

// A FindFirstFileExW search; CloseHandle does not end one.
struct FindKind {
    using Handle = HANDLE;
    static Handle none() { return INVALID_HANDLE_VALUE; }
    static bool holds(Handle handle) { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }
    static void close(Handle handle) { FindClose(handle); }
};
using FindHandle = Scoped<FindKind>;

// A reference to a loaded DLL, from LoadLibraryExW.
struct LibraryKind {
    using Handle = HMODULE;
    static Handle none() { return nullptr; }
    static bool holds(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { FreeLibrary(handle); }
};
using LibraryHandle = Scoped<LibraryKind>;

// A WinHTTP session, connection or request.
struct InternetKind {
    using Handle = HINTERNET;
    static Handle none() { return nullptr; }
    static bool holds(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { WinHttpCloseHandle(handle); }
};
using InternetHandle = Scoped<InternetKind>;

// A hash must be destroyed before the provider it was made from: declare it after the provider.
struct AlgorithmKind {
    using Handle = BCRYPT_ALG_HANDLE;
    static Handle none() { return nullptr; }
    static bool holds(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { BCryptCloseAlgorithmProvider(handle, 0); }
};
using AlgorithmHandle = Scoped<AlgorithmKind>;

struct HashKind {
    using Handle = BCRYPT_HASH_HANDLE;
    static Handle none() { return nullptr; }
    static bool holds(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { BCryptDestroyHash(handle); }
};
using HashHandle = Scoped<HashKind>;

// A key, like a hash, must be destroyed before its provider.
struct KeyKind {
    using Handle = BCRYPT_KEY_HANDLE;
    static Handle none() { return nullptr; }
    static bool holds(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { BCryptDestroyKey(handle); }
};
using KeyHandle = Scoped<KeyKind>;

// Bitmaps, brushes, fonts, pens and regions. DeleteObject fails on one still selected into a DC
// and it leaks: deselect it first (SelectionScope, MemoryDc). Icons and DCs have calls of their own.
template <class T>
struct GdiKind {
    static_assert(std::is_same_v<T, HBITMAP> || std::is_same_v<T, HBRUSH> || std::is_same_v<T, HFONT> ||
                      std::is_same_v<T, HPEN> || std::is_same_v<T, HRGN>,
                  "DeleteObject closes bitmaps, brushes, fonts, pens and regions only");
    using Handle = T;
    static Handle none() { return nullptr; }
    static bool holds(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { DeleteObject(handle); }
};
template <class T>
using GdiObject = Scoped<GdiKind<T>>;

// An icon the program made, as GdipCreateHICONFromBitmap makes one; never a shared one from LoadIcon.
struct IconKind {
    using Handle = HICON;
    static Handle none() { return nullptr; }
    static bool holds(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { DestroyIcon(handle); }
};
using IconHandle = Scoped<IconKind>;

// Memory the system hands the caller to LocalFree: the SID and security descriptor conversions.
template <class T>
struct LocalKind {
    using Handle = T*;
    static Handle none() { return nullptr; }
    static bool holds(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { LocalFree(handle); }
};
template <class T>
using LocalMemory = Scoped<LocalKind<T>>;

// One reference to a COM object, as CoCreateInstance hands it over; Release gives it back.
template <class T>
struct ComKind {
    using Handle = T*;
    static Handle none() { return nullptr; }
    static bool holds(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { handle->Release(); }
};
template <class T>
using ComReference = Scoped<ComKind<T>>;

// Memory COM and the shell hand the caller to CoTaskMemFree: SHGetKnownFolderPath's path.
template <class T>
struct CoTaskMemKind {
    using Handle = T*;
    static Handle none() { return nullptr; }
    static bool holds(Handle handle) { return handle != nullptr; }
    static void close(Handle handle) { CoTaskMemFree(handle); }
};
template <class T>
using CoTaskMemory = Scoped<CoTaskMemKind<T>>;

// A window's DC from GetDC (null window: the screen's), released to the window it came from.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    // The DC of the whole window, its frame and caption included (GetWindowDC).
    static WindowDc of_whole_window(HWND window) { return WindowDc(window, GetWindowDC(window)); }
    ~WindowDc() { reset(); }
    WindowDc(WindowDc&& other) noexcept
        : window_(other.window_), dc_(std::exchange(other.dc_, nullptr))
    {
    }
    WindowDc& operator=(WindowDc&& other) noexcept
    {
        if (this != &other) {
            reset();
            window_ = other.window_;
            dc_ = std::exchange(other.dc_, nullptr);
        }
        return *this;
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }
    void reset()
    {
        if (dc_)
            ReleaseDC(window_, std::exchange(dc_, nullptr));
    }

private:
    WindowDc(HWND window, HDC dc) : window_(window), dc_(dc) {}

    HWND window_;
    HDC dc_;
};

// A DC from CreateCompatibleDC. Before DeleteDC it selects back the bitmap, brush, pen and font
// it was made with, so that objects selected through select() can be deleted afterwards; declare
// those objects before the DC, so the DC goes first.
class MemoryDc {
public:
    explicit MemoryDc(HDC like) : dc_(CreateCompatibleDC(like)) {}
    ~MemoryDc() { reset(); }
    MemoryDc(MemoryDc&& other) noexcept
        : dc_(std::exchange(other.dc_, nullptr)), originals_(std::exchange(other.originals_, {}))
    {
    }
    MemoryDc& operator=(MemoryDc&& other) noexcept
    {
        if (this != &other) {
            reset();
            dc_ = std::exchange(other.dc_, nullptr);
            originals_ = std::exchange(other.originals_, {});
        }
        return *this;
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;

    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

    // A bitmap, brush, pen or font, selected until another of its kind or the DC's end; false
    // for anything else (a region is selected with SelectClipRgn) or when GDI refused.
    bool select(HGDIOBJ object)
    {
        const int slot = slot_of(object);
        if (!dc_ || slot < 0)
            return false;
        const HGDIOBJ previous = SelectObject(dc_, object);
        if (!previous || previous == HGDI_ERROR)
            return false;
        if (!originals_[slot])
            originals_[slot] = previous;
        return true;
    }

    void reset()
    {
        if (!dc_)
            return;
        for (HGDIOBJ& original : originals_) {
            if (original)
                SelectObject(dc_, std::exchange(original, nullptr));
        }
        DeleteDC(std::exchange(dc_, nullptr));
    }

private:
    static int slot_of(HGDIOBJ object)
    {
        switch (GetObjectType(object)) {
        case OBJ_BITMAP:
            return 0;
        case OBJ_BRUSH:
            return 1;
        case OBJ_PEN:
        case OBJ_EXTPEN:
            return 2;
        case OBJ_FONT:
            return 3;
        default:
            return -1;
        }
    }

    HDC dc_;
    std::array<HGDIOBJ, 4> originals_{};
};

// Selects an object into a DC for the scope; the one it replaced comes back at the end. A null
// object selects nothing. Not for regions, whose SelectObject returns no previous object.
class SelectionScope {
public:
    SelectionScope(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
    ~SelectionScope()
    {
        if (previous_ && previous_ != HGDI_ERROR)
            SelectObject(dc_, previous_);
    }
    SelectionScope(const SelectionScope&) = delete;
    SelectionScope& operator=(const SelectionScope&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// COM on this thread for the scope. Uninitialises only when its own CoInitializeEx succeeded
// (S_FALSE included: that call must be balanced too); a thread already in another apartment
// gets RPC_E_CHANGED_MODE and is left as it was. Neither copied nor moved: CoUninitialize
// must run on the thread that initialised.
class ComApartment {
public:
    explicit ComApartment(DWORD model) : initialised_(SUCCEEDED(CoInitializeEx(nullptr, model))) {}
    ~ComApartment()
    {
        if (initialised_)
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    bool initialised() const { return initialised_; }

private:
    bool initialised_;
};

}  // namespace tw::client::platform
