// twi-driver: drives the Installer's window from a second process for the end-to-end tests.
//
// It reads one command per line from standard input and answers each with one line of JSON on
// standard output: {"ok":true,"value":...} or {"ok":false,"error":"..."}. Words are separated by
// blanks; a word may be a JSON string literal ("like \"this\" or \u2026") to carry blanks or
// non-ASCII text. Test tooling only; never part of the product.
//
//   twi-driver [--class NAME]        (default class "TarnwickInstaller")
//
// Commands (ID is a control id of the main window; MS a time limit in milliseconds):
//   wait-window [MS]       attach to the visible top-level window of the class
//   title, class, pid      the main window's title, class name and process id
//   windows                top-level windows of that process: class, title, visible
//   children               child controls: id, class, visible, enabled
//   text|visible|enabled ID
//   rows ID, cursel ID     a list box's strings and current selection
//   select ID ROW          set the selection and notify the window as the list would
//   click ID [bm]          the button's click notification (or BM_CLICK); refused when hidden or disabled
//   click-row ID ROW       mouse down and up in the middle of a list row
//   focus ID, focused      move the keyboard focus; the focused control's id (0 the window, -1 none)
//   key ID|0 KEY           focus ID (0: leave the focus) and post key down and up; KEY is a name
//                          (enter, esc, tab, space, up, down, left, right, home, end) or a number
//   rect ID, client-rect, window-rect
//   pixel X Y              colour at client coordinates
//   screenshot FILE [client|window|screen]   a 24-bit BMP; FILE is a Windows path
//   wait-text ID TEXT MS, wait-gone [MS], close, dpi, quit
//   seen-text ID TEXT MS   wait-text from before the window exists, polling every 5 ms without a message
//                          to the window's thread; also answers the Unix times in ms when it was seen,
//                          when the window was first seen visible and when its process was made
//   memory                 the window's process: committed private bytes (the regions VirtualQueryEx
//                          reports), working set, peak working set, handle count (GetProcessHandleCount,
//                          and the handles the system's list gives the process, which Wine does fill in)
//   watch-events           hook live-region and value-change events of the window's process, out of
//                          context, on a thread of the driver's own; forgets what an earlier watch saw
//   events                 the events seen since the last call: event, control id, object, child and
//                          the control's text when the event arrived
//   accessible ID          the control's client object through AccessibleObjectFromWindow: role (and
//                          its text), name, value (null when it has none) and state
//   position ID            a progress bar's position and the top of its range
//   mirroring ID ID        WS_EX_LAYOUTRTL on the window; the two controls' left edges on the screen

#include "driver_accessibility.h"
#include "driver_capture.h"

#include "client/scoped_win.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <psapi.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using twi::driver::CaptureArea;
using twi::driver::EventWatch;
using Args = std::vector<std::wstring>;

constexpr UINT send_timeout_ms = 5000;
constexpr int default_wait_ms = 10000;
constexpr DWORD poll_ms = 50;
constexpr DWORD seen_poll_ms = 5;

struct Reply {
    bool ok = false;
    std::string body;  // a JSON value when ok, else the error text
};

Reply success(std::string json) { return {true, std::move(json)}; }
Reply failure(std::string text) { return {false, std::move(text)}; }

// --- JSON ------------------------------------------------------------------------------------

std::string json_string(std::wstring_view text)
{
    std::string out = "\"";
    for (const wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        }
    }
    return out + "\"";
}

std::string json_string(std::string_view ascii) { return json_string(std::wstring(ascii.begin(), ascii.end())); }
std::string json_int(long long value) { return std::to_string(value); }
std::string json_bool(bool value) { return value ? "true" : "false"; }

std::string json_object(std::initializer_list<std::pair<const char*, std::string>> members)
{
    std::string out = "{";
    for (const auto& [name, value] : members) {
        if (out.size() > 1) out += ',';
        out += json_string(std::string_view(name)) + ':' + value;
    }
    return out + "}";
}

std::string json_array(const std::vector<std::string>& values)
{
    std::string out = "[";
    for (const auto& value : values) {
        if (out.size() > 1) out += ',';
        out += value;
    }
    return out + "]";
}

// --- reading commands ------------------------------------------------------------------------

std::wstring utf8_to_wide(std::string_view text)
{
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

// Reads a JSON string literal starting at line[i] == '"'; advances i past it.
std::optional<std::wstring> read_quoted(const std::wstring& line, std::size_t& i)
{
    std::wstring out;
    for (++i; i < line.size(); ++i) {
        const wchar_t c = line[i];
        if (c == L'"') {
            ++i;
            return out;
        }
        if (c != L'\\') {
            out += c;
            continue;
        }
        if (++i >= line.size()) return std::nullopt;
        switch (line[i]) {
        case L'n': out += L'\n'; break;
        case L't': out += L'\t'; break;
        case L'r': out += L'\r'; break;
        case L'u': {
            if (i + 4 >= line.size()) return std::nullopt;
            out += static_cast<wchar_t>(std::wcstoul(line.substr(i + 1, 4).c_str(), nullptr, 16));
            i += 4;
            break;
        }
        default: out += line[i]; break;
        }
    }
    return std::nullopt;
}

std::optional<Args> split_words(const std::wstring& line)
{
    Args words;
    std::size_t i = 0;
    while (i < line.size()) {
        if (iswspace(line[i])) {
            ++i;
        } else if (line[i] == L'"') {
            auto word = read_quoted(line, i);
            if (!word) return std::nullopt;
            words.push_back(std::move(*word));
        } else {
            const std::size_t start = i;
            while (i < line.size() && !iswspace(line[i])) ++i;
            words.push_back(line.substr(start, i - start));
        }
    }
    return words;
}

std::optional<long> to_int(const std::wstring& word)
{
    if (word.empty()) return std::nullopt;
    wchar_t* end = nullptr;
    const long value = std::wcstol(word.c_str(), &end, 0);
    if (*end != L'\0') return std::nullopt;
    return value;
}

std::optional<UINT> to_virtual_key(const std::wstring& word)
{
    static const std::pair<const wchar_t*, UINT> names[] = {
        {L"enter", VK_RETURN}, {L"return", VK_RETURN}, {L"esc", VK_ESCAPE}, {L"escape", VK_ESCAPE},
        {L"tab", VK_TAB},      {L"space", VK_SPACE},   {L"up", VK_UP},      {L"down", VK_DOWN},
        {L"left", VK_LEFT},    {L"right", VK_RIGHT},   {L"home", VK_HOME},  {L"end", VK_END},
    };
    for (const auto& [name, key] : names)
        if (_wcsicmp(word.c_str(), name) == 0) return key;
    if (auto number = to_int(word); number && *number > 0 && *number < 256) return static_cast<UINT>(*number);
    return std::nullopt;
}

// --- talking to windows of another process ---------------------------------------------------

std::optional<LRESULT> send(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_NORMAL, send_timeout_ms, &result))
        return std::nullopt;
    return static_cast<LRESULT>(result);
}

// One WM_GETTEXT into room to spare, again with more room while it comes back full: the window
// may change its text between a WM_GETTEXTLENGTH and the read, and a buffer sized by the old
// length cut "Connection lost…" to the length of "Downloading…".
std::wstring window_text(HWND window)
{
    const auto length = send(window, WM_GETTEXTLENGTH, 0, 0);
    if (!length || *length < 0) return {};
    std::size_t room = static_cast<std::size_t>(*length) * 2 + 64;
    for (int tries = 0; tries < 8; ++tries, room *= 2) {
        std::wstring text(room, L'\0');
        const auto copied = send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
        if (!copied) return {};
        const auto count = static_cast<std::size_t>(*copied);
        if (count + 1 < room) {
            text.resize(count);
            return text;
        }
    }
    return {};
}

std::wstring class_name(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::string json_rect(const RECT& r)
{
    return json_object({{"x", json_int(r.left)}, {"y", json_int(r.top)},
                        {"w", json_int(r.right - r.left)}, {"h", json_int(r.bottom - r.top)}});
}

std::string narrow_ascii(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class Deadline {
public:
    explicit Deadline(long ms) : end_(GetTickCount64() + static_cast<ULONGLONG>(ms < 0 ? 0 : ms)) {}
    bool passed() const { return GetTickCount64() >= end_; }

private:
    ULONGLONG end_;
};

using tw::client::platform::KernelHandle;

// Shares this thread's input state with the target's for as long as it lives, which is what
// SetFocus on another thread's window needs.
class SharedInput {
public:
    explicit SharedInput(DWORD target) : self_(GetCurrentThreadId()), target_(target),
                                         attached_(AttachThreadInput(self_, target_, TRUE) != FALSE) {}
    ~SharedInput() { if (attached_) AttachThreadInput(self_, target_, FALSE); }
    SharedInput(const SharedInput&) = delete;
    SharedInput& operator=(const SharedInput&) = delete;
    bool attached() const { return attached_; }

private:
    DWORD self_;
    DWORD target_;
    bool attached_;
};

// --- the driver ------------------------------------------------------------------------------

class Driver {
public:
    explicit Driver(std::wstring window_class) : window_class_(std::move(window_class)) {}

    Reply run(const std::wstring& name, const Args& args);

private:
    using Handler = Reply (Driver::*)(const Args&);
    struct Command {
        const wchar_t* name;
        std::size_t min_args;
        bool needs_window;
        Handler handler;
    };
    static const Command commands_[];

    std::wstring window_class_;
    HWND main_ = nullptr;
    DWORD pid_ = 0;
    DWORD tid_ = 0;
    EventWatch watch_;

    HWND find_main() const;
    void attach(HWND window);
    bool ensure_window();
    std::optional<HWND> control(const std::wstring& id_word, Reply& error) const;
    void let_input_settle() const;
    void let_paint_settle() const;
    int focused_id() const;

    Reply wait_window(const Args& args);
    Reply title(const Args&) { return success(json_string(window_text(main_))); }
    Reply window_class(const Args&) { return success(json_string(class_name(main_))); }
    Reply pid(const Args&) { return success(json_int(pid_)); }
    Reply windows(const Args&);
    Reply text(const Args& args);
    Reply visible(const Args& args);
    Reply enabled(const Args& args);
    Reply rows(const Args& args);
    Reply cursel(const Args& args);
    Reply select(const Args& args);
    Reply click(const Args& args);
    Reply click_row(const Args& args);
    Reply key(const Args& args);
    Reply focus(const Args& args);
    Reply focused(const Args&) { return success(json_int(focused_id())); }
    Reply children(const Args&);
    Reply rect(const Args& args);
    Reply client_rect(const Args&);
    Reply window_rect(const Args&);
    Reply pixel(const Args& args);
    Reply screenshot(const Args& args);
    Reply wait_text(const Args& args);
    Reply wait_gone(const Args& args);
    Reply close(const Args&);
    Reply post_private(const Args& args);
    Reply dpi(const Args&);
    Reply mirroring(const Args&);
    Reply seen_text(const Args& args);
    Reply memory(const Args&);
    Reply watch_events(const Args&);
    Reply events(const Args&);
    Reply accessible(const Args& args);
    Reply position(const Args& args);
};

const Driver::Command Driver::commands_[] = {
    {L"wait-window", 0, false, &Driver::wait_window},
    {L"title", 0, true, &Driver::title},
    {L"class", 0, true, &Driver::window_class},
    {L"pid", 0, true, &Driver::pid},
    {L"windows", 0, true, &Driver::windows},
    {L"text", 1, true, &Driver::text},
    {L"visible", 1, true, &Driver::visible},
    {L"enabled", 1, true, &Driver::enabled},
    {L"rows", 1, true, &Driver::rows},
    {L"cursel", 1, true, &Driver::cursel},
    {L"select", 2, true, &Driver::select},
    {L"click", 1, true, &Driver::click},
    {L"click-row", 2, true, &Driver::click_row},
    {L"key", 2, true, &Driver::key},
    {L"focus", 1, true, &Driver::focus},
    {L"focused", 0, true, &Driver::focused},
    {L"children", 0, true, &Driver::children},
    {L"rect", 1, true, &Driver::rect},
    {L"client-rect", 0, true, &Driver::client_rect},
    {L"window-rect", 0, true, &Driver::window_rect},
    {L"pixel", 2, true, &Driver::pixel},
    {L"screenshot", 1, true, &Driver::screenshot},
    {L"wait-text", 3, true, &Driver::wait_text},
    {L"wait-gone", 0, false, &Driver::wait_gone},
    {L"close", 0, true, &Driver::close},
    {L"post-private", 2, true, &Driver::post_private},
    {L"dpi", 0, true, &Driver::dpi},
    {L"mirroring", 2, true, &Driver::mirroring},
    {L"seen-text", 3, false, &Driver::seen_text},
    {L"memory", 0, true, &Driver::memory},
    {L"watch-events", 0, true, &Driver::watch_events},
    {L"events", 0, false, &Driver::events},
    {L"accessible", 1, true, &Driver::accessible},
    {L"position", 1, true, &Driver::position},
};

Reply Driver::run(const std::wstring& name, const Args& args)
{
    for (const auto& command : commands_) {
        if (name != command.name) continue;
        if (args.size() < command.min_args) return failure("too few arguments");
        if (command.needs_window && !ensure_window())
            return failure("no window of class " + narrow_ascii(window_class_));
        return (this->*command.handler)(args);
    }
    return failure("unknown command");
}

HWND Driver::find_main() const
{
    struct Search {
        const std::wstring* wanted;
        HWND visible = nullptr;
        HWND any = nullptr;
    } search{&window_class_};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(context);
            if (class_name(window) != *s.wanted) return TRUE;
            if (!s.any) s.any = window;
            if (IsWindowVisible(window)) {
                s.visible = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.visible ? search.visible : search.any;
}

void Driver::attach(HWND window)
{
    main_ = window;
    tid_ = GetWindowThreadProcessId(window, &pid_);
}

bool Driver::ensure_window()
{
    if (main_ && IsWindow(main_)) return true;
    const HWND found = find_main();
    if (!found) return false;
    attach(found);
    return true;
}

std::optional<HWND> Driver::control(const std::wstring& id_word, Reply& error) const
{
    const auto id = to_int(id_word);
    const HWND child = id ? GetDlgItem(main_, static_cast<int>(*id)) : nullptr;
    if (!child) error = failure("no control with id " + narrow_ascii(id_word));
    return child ? std::optional<HWND>(child) : std::nullopt;
}

// Posted input is handled by the application's own loop at its own pace; give it a moment,
// then make sure it has come back to its loop at least twice.
void Driver::let_input_settle() const
{
    const KernelHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid_));
    if (process.get()) WaitForInputIdle(process.get(), 2000);
    for (int i = 0; i < 2; ++i) {
        Sleep(30);
        send(main_, WM_NULL, 0, 0);
    }
}

// The window surface reaches the display shortly after the application paints.
void Driver::let_paint_settle() const
{
    RedrawWindow(main_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    send(main_, WM_NULL, 0, 0);
    Sleep(150);
}

int Driver::focused_id() const
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(tid_, &info) || !info.hwndFocus) return -1;
    if (info.hwndFocus == main_) return 0;
    if (GetParent(info.hwndFocus) != main_) return -1;
    return GetDlgCtrlID(info.hwndFocus);
}

Reply Driver::wait_window(const Args& args)
{
    const long ms = args.empty() ? default_wait_ms : to_int(args[0]).value_or(default_wait_ms);
    main_ = nullptr;
    for (Deadline deadline(ms);; Sleep(poll_ms)) {
        const HWND found = find_main();
        if (found && IsWindowVisible(found)) {
            attach(found);
            return success(json_object({{"hwnd", json_int(reinterpret_cast<std::uintptr_t>(found))},
                                        {"pid", json_int(pid_)}}));
        }
        if (deadline.passed()) return failure("no visible window of class " + narrow_ascii(window_class_));
    }
}

Reply Driver::windows(const Args&)
{
    struct Search {
        DWORD pid;
        std::vector<std::string> found;
    } search{pid_, {}};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s.pid)
                s.found.push_back(json_object({{"class", json_string(class_name(window))},
                                               {"title", json_string(window_text(window))},
                                               {"visible", json_bool(IsWindowVisible(window))}}));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return success(json_array(search.found));
}

Reply Driver::text(const Args& args)
{
    Reply error;
    const auto child = control(args[0], error);
    return child ? success(json_string(window_text(*child))) : error;
}

Reply Driver::visible(const Args& args)
{
    Reply error;
    const auto child = control(args[0], error);
    return child ? success(json_bool(IsWindowVisible(*child))) : error;
}

Reply Driver::enabled(const Args& args)
{
    Reply error;
    const auto child = control(args[0], error);
    return child ? success(json_bool(IsWindowEnabled(*child))) : error;
}

Reply Driver::rows(const Args& args)
{
    Reply error;
    const auto list = control(args[0], error);
    if (!list) return error;
    const auto count = send(*list, LB_GETCOUNT, 0, 0);
    if (!count || *count < 0) return failure("not a list box");
    std::vector<std::string> rows;
    for (LRESULT row = 0; row < *count; ++row) {
        const auto length = send(*list, LB_GETTEXTLEN, row, 0);
        std::wstring text(length && *length > 0 ? static_cast<std::size_t>(*length) + 1 : 1, L'\0');
        const auto copied = send(*list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text.data()));
        text.resize(copied && *copied > 0 ? static_cast<std::size_t>(*copied) : 0);
        rows.push_back(json_string(text));
    }
    return success(json_array(rows));
}

Reply Driver::cursel(const Args& args)
{
    Reply error;
    const auto list = control(args[0], error);
    if (!list) return error;
    const auto row = send(*list, LB_GETCURSEL, 0, 0);
    return row ? success(json_int(*row)) : failure("the list did not answer");
}

Reply Driver::select(const Args& args)
{
    Reply error;
    const auto list = control(args[0], error);
    const auto row = to_int(args[1]);
    if (!list) return error;
    if (!row) return failure("bad row");
    send(*list, LB_SETCURSEL, static_cast<WPARAM>(*row), 0);
    send(main_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(*list), LBN_SELCHANGE), reinterpret_cast<LPARAM>(*list));
    const auto now = send(*list, LB_GETCURSEL, 0, 0);
    return success(json_int(now ? *now : -1));
}

// A click reaches the window as the button's notification; a hidden or disabled button cannot
// be clicked, as with the mouse. "click ID bm" sends BM_CLICK instead.
Reply Driver::click(const Args& args)
{
    Reply error;
    const auto button = control(args[0], error);
    if (!button) return error;
    if (!IsWindowVisible(*button)) return failure("the control is hidden");
    if (!IsWindowEnabled(*button)) return failure("the control is disabled");
    if (args.size() > 1 && args[1] == L"bm") {
        send(*button, BM_CLICK, 0, 0);
    } else {
        send(main_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(*button), BN_CLICKED), reinterpret_cast<LPARAM>(*button));
    }
    return success("true");
}

Reply Driver::click_row(const Args& args)
{
    Reply error;
    const auto list = control(args[0], error);
    const auto row = to_int(args[1]);
    if (!list) return error;
    if (!row) return failure("bad row");
    if (!IsWindowVisible(*list)) return failure("the control is hidden");
    if (!IsWindowEnabled(*list)) return failure("the control is disabled");
    RECT item{};
    const auto got = send(*list, LB_GETITEMRECT, static_cast<WPARAM>(*row), reinterpret_cast<LPARAM>(&item));
    if (!got || *got == LB_ERR || IsRectEmpty(&item)) return failure("no such row");
    const LPARAM point = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    send(*list, WM_LBUTTONDOWN, MK_LBUTTON, point);
    send(*list, WM_LBUTTONUP, 0, point);
    return success(json_rect(item));
}

Reply Driver::focus(const Args& args)
{
    Reply error;
    const auto child = control(args[0], error);
    if (!child) return error;
    SharedInput shared(tid_);
    if (!shared.attached()) return failure("cannot share input with the window's thread");
    SetFocus(*child);
    return success(json_int(focused_id()));
}

// "key ID VK" focuses the control first; "key 0 VK" types into whatever has the focus.
Reply Driver::key(const Args& args)
{
    const auto vk = to_virtual_key(args[1]);
    if (!vk) return failure("unknown key");
    if (args[0] != L"0") {
        if (Reply focused = focus(args); !focused.ok) return focused;
    }
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    const HWND target = GetGUIThreadInfo(tid_, &info) && info.hwndFocus ? info.hwndFocus : main_;
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(*vk, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(target, WM_KEYDOWN, *vk, scan | 1);
    PostMessageW(target, WM_KEYUP, *vk, scan | 1 | (LPARAM(1) << 30) | (LPARAM(1) << 31));
    let_input_settle();
    return success(json_int(focused_id()));
}

Reply Driver::children(const Args&)
{
    struct Walk {
        HWND parent;
        std::vector<std::string> found;
    } walk{main_, {}};
    EnumChildWindows(
        main_,
        [](HWND child, LPARAM context) -> BOOL {
            auto& w = *reinterpret_cast<Walk*>(context);
            if (GetParent(child) == w.parent)
                w.found.push_back(json_object({{"id", json_int(GetDlgCtrlID(child))},
                                               {"class", json_string(class_name(child))},
                                               {"visible", json_bool(IsWindowVisible(child))},
                                               {"enabled", json_bool(IsWindowEnabled(child))}}));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&walk));
    return success(json_array(walk.found));
}

Reply Driver::rect(const Args& args)
{
    Reply error;
    const auto child = control(args[0], error);
    if (!child) return error;
    RECT r{};
    GetWindowRect(*child, &r);
    MapWindowPoints(HWND_DESKTOP, main_, reinterpret_cast<POINT*>(&r), 2);
    return success(json_rect(r));
}

Reply Driver::client_rect(const Args&)
{
    RECT r{};
    GetClientRect(main_, &r);
    return success(json_rect(r));
}

Reply Driver::window_rect(const Args&)
{
    RECT r{};
    GetWindowRect(main_, &r);
    return success(json_rect(r));
}

Reply Driver::pixel(const Args& args)
{
    const auto x = to_int(args[0]);
    const auto y = to_int(args[1]);
    if (!x || !y) return failure("bad coordinates");
    let_paint_settle();
    const auto pixels = twi::driver::capture(main_, CaptureArea::client);
    if (!pixels) return failure("the window could not be copied");
    if (*x < 0 || *y < 0 || *x >= pixels->width || *y >= pixels->height) return failure("outside the client area");
    const COLORREF c = pixels->at(static_cast<int>(*x), static_cast<int>(*y));
    return success(json_object({{"r", json_int(GetRValue(c))}, {"g", json_int(GetGValue(c))},
                                {"b", json_int(GetBValue(c))}}));
}

// "screenshot FILE [client|window|screen]" saves a BMP; FILE is a Windows path.
Reply Driver::screenshot(const Args& args)
{
    CaptureArea area = CaptureArea::client;
    if (args.size() > 1 && args[1] == L"window") area = CaptureArea::window;
    if (args.size() > 1 && args[1] == L"screen") area = CaptureArea::screen;
    let_paint_settle();
    const auto pixels = twi::driver::capture(main_, area);
    if (!pixels) return failure("the window could not be copied");
    if (!twi::driver::save_bmp(*pixels, args[0])) return failure("the file could not be written");
    return success(json_object({{"w", json_int(pixels->width)}, {"h", json_int(pixels->height)}}));
}

// "wait-text ID SUBSTRING MS": the text is everything between the id and the time.
Reply Driver::wait_text(const Args& args)
{
    const auto ms = to_int(args.back());
    if (!ms) return failure("bad time");
    std::wstring wanted;
    for (std::size_t i = 1; i + 1 < args.size(); ++i) wanted += (i > 1 ? L" " : L"") + args[i];
    for (Deadline deadline(*ms);; Sleep(poll_ms)) {
        // Under Wine the last test's window can still be found, without its controls, for a moment
        // after its process ended: then the window is looked for again.
        Reply error;
        const auto child = control(args[0], error);
        if (!child) {
            if (deadline.passed()) return error;
            main_ = nullptr;
            ensure_window();
            continue;
        }
        const std::wstring now = window_text(*child);
        if (now.find(wanted) != std::wstring::npos) return success(json_string(now));
        if (deadline.passed()) return failure("timed out; the text is " + json_string(now));
    }
}

Reply Driver::wait_gone(const Args& args)
{
    const long ms = args.empty() ? default_wait_ms : to_int(args[0]).value_or(default_wait_ms);
    for (Deadline deadline(ms); IsWindow(main_); Sleep(poll_ms))
        if (deadline.passed()) return failure("the window is still there");
    return success("true");
}

Reply Driver::close(const Args&)
{
    return PostMessageW(main_, WM_CLOSE, 0, 0) ? success("true") : failure("the window took no message");
}

// post-private COUNT SEED: posts WM_APP + 0 to WM_APP + COUNT - 1, each with made-up parameters
// drawn from SEED, as another program of the desktop could.
Reply Driver::post_private(const Args& args)
{
    const auto count = to_int(args[0]);
    const auto seed = to_int(args[1]);
    if (!count || !seed || *count < 1 || *count > 64) return failure("a count of 1 to 64 and a seed");
    std::uint64_t state = static_cast<std::uint64_t>(*seed) * 6364136223846793005ULL + 1442695040888963407ULL;
    const auto next = [&state] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state ^ (state >> 29);
    };
    long posted = 0;
    for (long offset = 0; offset < *count; ++offset) {
        for (const std::uint64_t lparam : {std::uint64_t{0}, std::uint64_t{1}, next(), next() & 0xFFFFFFFF}) {
            if (PostMessageW(main_, WM_APP + static_cast<UINT>(offset), static_cast<WPARAM>(next()),
                             static_cast<LPARAM>(lparam)))
                ++posted;
        }
    }
    return success(json_int(posted));
}

Reply Driver::dpi(const Args&)
{
    return success(json_object({{"window", json_int(GetDpiForWindow(main_))}, {"system", json_int(GetDpiForSystem())}}));
}

// Whether the window is laid out right to left, and the screen x of two controls' left edges
// (a mirrored window's own coordinates hide which is left of which).
Reply Driver::mirroring(const Args& args)
{
    Reply error;
    const auto first = control(args[0], error);
    if (!first) return error;
    const auto second = control(args[1], error);
    if (!second) return error;
    RECT a{};
    RECT b{};
    GetWindowRect(*first, &a);
    GetWindowRect(*second, &b);
    const LONG_PTR style = GetWindowLongPtrW(main_, GWL_EXSTYLE);
    return success(json_object({{"layout_rtl", json_bool((style & WS_EX_LAYOUTRTL) != 0)},
                                {"first_left", json_int(a.left)}, {"second_left", json_int(b.left)}}));
}

double unix_ms(FILETIME time)
{
    const auto ticks = (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<double>(ticks - 116444736000000000ULL) / 1e4;
}

double unix_ms_now()
{
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    return unix_ms(now);
}

// When the process was made: what went before is the loader's start.
double created_unix_ms(DWORD pid)
{
    FILETIME created{}, ended{}, kernel{}, user{};
    const KernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    const bool got = process && GetProcessTimes(process.get(), &created, &ended, &kernel, &user);
    return got ? unix_ms(created) : 0;
}

// For timing a window's start from outside: the text is read as the system keeps it for another
// process's window, so the polls cost the window's own thread nothing, and the time is the system
// clock, which a Linux-side clock can be compared with.
Reply Driver::seen_text(const Args& args)
{
    const auto id = to_int(args[0]);
    const auto ms = to_int(args.back());
    if (!id || !ms) return failure("bad id or time");
    std::wstring wanted;
    for (std::size_t i = 1; i + 1 < args.size(); ++i) wanted += (i > 1 ? L" " : L"") + args[i];
    std::wstring now;
    double visible = 0;
    for (Deadline deadline(*ms);; Sleep(seen_poll_ms)) {
        // Only a visible window: a closed one of an earlier process may linger hidden with its texts.
        const HWND found = find_main();
        const HWND child = found && IsWindowVisible(found) ? GetDlgItem(found, static_cast<int>(*id)) : nullptr;
        if (child) {
            if (found != main_) attach(found);
            if (visible == 0) visible = unix_ms_now();
            wchar_t text[512] = {};
            GetWindowTextW(child, text, 512);
            now = text;
            if (now.find(wanted) != std::wstring::npos) {
                const double seen = unix_ms_now();
                return success(json_object({{"text", json_string(now)}, {"unix_ms", std::to_string(seen)},
                                            {"visible_unix_ms", std::to_string(visible)},
                                            {"created_unix_ms", std::to_string(created_unix_ms(pid_))}}));
            }
        }
        if (deadline.passed()) return failure("timed out; the text is " + json_string(now));
    }
}

// Wine answers GetProcessHandleCount with 0 for every process; the system's list of open handles
// (SystemHandleInformation) is kept by its server and does name each handle's owner.
std::optional<long long> listed_handles(DWORD pid)
{
    struct Entry {
        ULONG owner;
        BYTE type;
        BYTE flags;
        USHORT value;
        void* object;
        ULONG access;
    };
    struct List {
        ULONG count;
        Entry entries[1];
    };
    using Query = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
    constexpr ULONG system_handle_information = 16;
    constexpr LONG length_mismatch = static_cast<LONG>(0xC0000004);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return std::nullopt;
    std::vector<unsigned char> buffer(1 << 16);
    for (int attempt = 0; attempt < 8; ++attempt) {
        ULONG needed = 0;
        const LONG status = query(system_handle_information, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == length_mismatch) {
            buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed + 4096));
            continue;
        }
        if (status != 0) return std::nullopt;
        const auto* list = reinterpret_cast<const List*>(buffer.data());
        long long owned = 0;
        for (ULONG i = 0; i < list->count; ++i)
            if (list->entries[i].owner == pid) ++owned;
        return owned;
    }
    return std::nullopt;
}

// Wine leaves PrivateUsage at 0, so private bytes are the committed private regions added up, which
// is what Windows counts.
Reply Driver::memory(const Args&)
{
    const KernelHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid_));
    if (!process) return failure("the process could not be opened");
    constexpr int most_regions = 1 << 20;
    unsigned long long committed = 0;
    int regions = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (const char* at = nullptr;
         regions < most_regions && VirtualQueryEx(process.get(), at, &region, sizeof region) == sizeof region; ++regions) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) committed += region.RegionSize;
        at = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    }
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    const bool counted = GetProcessMemoryInfo(process.get(), &counters, sizeof counters) != FALSE;
    DWORD handles = 0;
    const bool handled = GetProcessHandleCount(process.get(), &handles) != FALSE;
    if (!counted || !handled) return failure("the process's counters could not be read");
    return success(json_object({{"private", json_int(static_cast<long long>(committed))},
                                {"working_set", json_int(static_cast<long long>(counters.WorkingSetSize))},
                                {"peak_working_set", json_int(static_cast<long long>(counters.PeakWorkingSetSize))},
                                {"handles", json_int(handles)},
                                {"handles_listed", json_int(listed_handles(pid_).value_or(-1))},
                                {"regions", json_int(regions)}}));
}

Reply Driver::watch_events(const Args&)
{
    watch_.take();
    return watch_.start(pid_) ? success("true") : failure("SetWinEventHook refused");
}

std::string json_optional(const std::optional<std::wstring>& text) { return text ? json_string(*text) : "null"; }

Reply Driver::events(const Args&)
{
    std::vector<std::string> listed;
    for (const auto& seen : watch_.take())
        listed.push_back(json_object({{"event", json_int(seen.event)}, {"id", json_int(seen.control_id)},
                                      {"object", json_int(seen.object)}, {"child", json_int(seen.child)},
                                      {"text", json_string(seen.text)}}));
    return success(json_array(listed));
}

Reply Driver::accessible(const Args& args)
{
    Reply error;
    const auto child = control(args[0], error);
    if (!child) return error;
    std::string why;
    const auto facts = twi::driver::read_accessible(*child, why);
    if (!facts) return failure(why);
    return success(json_object({{"role", json_int(facts->role)}, {"role_text", json_string(facts->role_text)},
                                {"name", json_optional(facts->name)}, {"value", json_optional(facts->value)},
                                {"state", json_int(facts->state)}}));
}

Reply Driver::position(const Args& args)
{
    Reply error;
    const auto bar = control(args[0], error);
    if (!bar) return error;
    const auto position = send(*bar, PBM_GETPOS, 0, 0);
    const auto top = send(*bar, PBM_GETRANGE, FALSE, 0);
    if (!position || !top) return failure("the progress bar did not answer");
    return success(json_object({{"position", json_int(*position)}, {"top", json_int(*top)}}));
}

// --- the loop --------------------------------------------------------------------------------

void answer(const Reply& reply)
{
    const std::string line = reply.ok ? "{\"ok\":true,\"value\":" + reply.body + "}"
                                      : "{\"ok\":false,\"error\":" + json_string(std::string_view(reply.body)) + "}";
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::optional<std::string> read_line()
{
    std::string line;
    for (int c; (c = std::fgetc(stdin)) != EOF;) {
        if (c == '\n') return line;
        if (c != '\r') line += static_cast<char>(c);
    }
    return line.empty() ? std::nullopt : std::optional<std::string>(line);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    // Coordinates and pixels are the window's own only when this process is DPI aware too.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    _setmode(_fileno(stdin), _O_BINARY);
    // AccessibleObjectFromWindow hands back a COM object.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    _setmode(_fileno(stdout), _O_BINARY);

    std::wstring window_class = L"TarnwickInstaller";
    for (int i = 1; i + 1 < argc; ++i)
        if (std::wstring_view(argv[i]) == L"--class") window_class = argv[++i];

    Driver driver(window_class);
    while (const auto line = read_line()) {
        const auto words = split_words(utf8_to_wide(*line));
        if (!words) {
            answer(failure("unreadable command"));
            continue;
        }
        if (words->empty()) continue;
        if (words->front() == L"quit") {
            answer(success("true"));
            break;
        }
        answer(driver.run(words->front(), Args(words->begin() + 1, words->end())));
    }
    return 0;
}
