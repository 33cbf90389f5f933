// popup_prog.cpp - test double of the messenger service: shows its message boxes (a dialog
// titled "Messenger service ", first child an OK button, second child a static holding
// "Message from FROM to TO on TIME" CR LF CR LF and the text) so that capture can take them.
//
// Usage: popup_prog [options]; texts accept the escapes \r \n \\ and \xHH (one byte).
//   --from X --to X --time X --text X  header fields and message
//                                      (default ALICE, BOB, 12/6/2001 2:45 PM, Lunch?)
//   --raw X          the static's whole text, verbatim (for malformed texts)
//   --russian        Russian title and header words (Windows-1251 bytes)
//   --upper          title "MESSENGER SERVICE "
//   --title X        any other title
//   --shape S        normal | nochildren | buttononly | staticfirst
//   --late MS        the static starts empty and gets its text MS ms after the box shows
//   --hold           the static starts empty and gets its text when the box receives WM_APP
//   --count N        N boxes in this process; box i's message gets " #i" unless --same
//   --same           every box of a burst holds the same text
//   --gap MS         time between the boxes of a burst (default 0: all at once)
//   --ignore-close N each box ignores its first N WM_CLOSE messages (the count of those
//                    ignored so far is the box's window property "PopupProgIgnored")
//   --check-stored   a box closed by WM_CLOSE checks that Tolvik's message store holds its text
//   --plain          each box is a window of a plain class of its own, not a dialog
//   --title-late MS  the box is titled "Starting" and gets its title MS ms after it shows
// The process ends with exit code 0 once every box it showed is closed (WM_CLOSE or OK),
// 3 when --check-stored found a box closed before its text was stored, and 2 on a bad
// command line.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

enum class Shape { Normal, NoChildren, ButtonOnly, StaticFirst };

struct Options {
    std::string from = "ALICE", to = "BOB", time = "12/6/2001 2:45 PM", text = "Lunch?";
    std::string raw, title = "Messenger service ";
    bool hasRaw = false, russian = false, hold = false, same = false, plain = false, checkStored = false;
    Shape shape = Shape::Normal;
    int lateMs = -1, count = 1, gapMs = 0, ignoreClose = 0, titleLateMs = -1;
};

struct Box {
    std::string fullText;
    int closesToIgnore;
    HWND text = nullptr;
    int closesIgnored = 0;
};

Options g_options;
std::vector<Box *> g_boxes;
int g_created = 0, g_open = 0;
bool g_closedUnstored = false;
constexpr UINT_PTR kLateTimer = 1, kTitleTimer = 2;
const char kPlainClass[] = "PopupProgPlainBox";

std::string unescape(const char *s)
{
    std::string out;
    for (; *s; ++s) {
        if (*s != '\\' || !s[1]) {
            out += *s;
            continue;
        }
        ++s;
        switch (*s) {
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        case 'x':
            if (std::strlen(s) >= 3) {
                char hex[3] = {s[1], s[2], 0};
                out += static_cast<char>(std::strtoul(hex, nullptr, 16));
                s += 2;
            }
            break;
        default: out += *s; break;
        }
    }
    return out;
}

std::string full_text_of(int index)
{
    const Options &o = g_options;
    if (o.hasRaw)
        return o.raw;
    std::string message = o.text;
    if (o.count > 1 && !o.same)
        message += " #" + std::to_string(index + 1);
    // Russian header: "Сообщение от X для Y на T" in Windows-1251.
    if (o.russian)
        return "\xD1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE5 \xEE\xF2 " + o.from + " \xE4\xEB\xFF " + o.to + " \xED\xE0 " +
               o.time + "\r\n\r\n" + message;
    return "Message from " + o.from + " to " + o.to + " on " + o.time + "\r\n\r\n" + message;
}

// Tolvik's message store (HKCU\Software\Morvane\Tolvik\Messages) holds text as a value.
bool stored(const std::string &text)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Morvane\\Tolvik\\Messages", 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return false;
    bool found = false;
    for (DWORD i = 0; !found; ++i) {
        char name[64], data[1100];
        DWORD nameSize = sizeof name, dataSize = sizeof data - 1, type = 0;
        LONG rc = RegEnumValueA(key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE *>(data), &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS || type != REG_SZ)
            continue;
        data[dataSize] = '\0';
        found = text == data;
    }
    RegCloseKey(key);
    return found;
}

void set_text(Box *box, HWND dlg)
{
    KillTimer(dlg, kLateTimer);
    if (box->text)
        SetWindowTextA(box->text, box->fullText.c_str());
}

HWND child(HWND dlg, const char *cls, const char *text, int id, int y)
{
    return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | (id == IDOK ? BS_DEFPUSHBUTTON : SS_NOPREFIX), 10,
                           y, id == IDOK ? 80 : 360, id == IDOK ? 24 : 90, dlg, reinterpret_cast<HMENU>(id),
                           GetModuleHandleA(nullptr), nullptr);
}

void init_box(HWND dlg, Box *box)
{
    SetWindowLongPtrA(dlg, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(box));
    SetWindowTextA(dlg, g_options.titleLateMs >= 0 ? "Starting" : g_options.title.c_str());
    if (g_options.titleLateMs >= 0)
        SetTimer(dlg, kTitleTimer, static_cast<UINT>(g_options.titleLateMs), nullptr);
    bool textLater = g_options.hold || g_options.lateMs >= 0;
    const char *initial = textLater ? "" : box->fullText.c_str();
    switch (g_options.shape) {
    case Shape::Normal:
        child(dlg, "Button", "OK", IDOK, 110);
        box->text = child(dlg, "Static", initial, 0xFFFF, 10);
        break;
    case Shape::StaticFirst:
        box->text = child(dlg, "Static", initial, 0xFFFF, 10);
        child(dlg, "Button", "OK", IDOK, 110);
        break;
    case Shape::ButtonOnly: child(dlg, "Button", "OK", IDOK, 110); break;
    case Shape::NoChildren: break;
    }
    if (g_options.lateMs >= 0 && !g_options.hold)
        SetTimer(dlg, kLateTimer, static_cast<UINT>(g_options.lateMs), nullptr);
}

// The box's messages, shared by the dialog and the plain window; false when not handled.
bool box_message(HWND dlg, UINT msg, WPARAM wParam)
{
    Box *box = reinterpret_cast<Box *>(GetWindowLongPtrA(dlg, GWLP_USERDATA));
    switch (msg) {
    case WM_TIMER:
        if (wParam == kLateTimer && box)
            set_text(box, dlg);
        if (wParam == kTitleTimer) {
            KillTimer(dlg, kTitleTimer);
            SetWindowTextA(dlg, g_options.title.c_str());
        }
        return true;
    case WM_APP:
        if (box)
            set_text(box, dlg);
        return true;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            DestroyWindow(dlg);
        return true;
    case WM_CLOSE:
        if (box && box->closesToIgnore > 0) {
            --box->closesToIgnore;
            ++box->closesIgnored;
            SetPropA(dlg, "PopupProgIgnored", reinterpret_cast<HANDLE>(static_cast<INT_PTR>(box->closesIgnored)));
            return true;
        }
        if (box && g_options.checkStored && !stored(box->fullText))
            g_closedUnstored = true;
        DestroyWindow(dlg);
        return true;
    case WM_DESTROY:
        if (--g_open == 0 && g_created == g_options.count)
            PostQuitMessage(0);
        return true;
    default: return false;
    }
}

INT_PTR CALLBACK box_proc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        init_box(dlg, reinterpret_cast<Box *>(lParam));
        return TRUE;
    }
    return box_message(dlg, msg, wParam);
}

LRESULT CALLBACK plain_proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_CREATE) {
        init_box(hwnd, static_cast<Box *>(reinterpret_cast<CREATESTRUCTA *>(lParam)->lpCreateParams));
        return 0;
    }
    return box_message(hwnd, msg, wParam) ? 0 : DefWindowProcA(hwnd, msg, wParam, lParam);
}

void show_box()
{
    if (g_created >= g_options.count)
        return;
    // A dialog of the system class, without controls of its own: they are made in WM_INITDIALOG
    // so that their order is exactly the one asked for.
    struct {
        DLGTEMPLATE t;
        WORD menu, cls, title;
    } tpl = {};
    tpl.t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE;
    tpl.t.x = static_cast<short>(20 + (g_created % 20) * 8);
    tpl.t.y = static_cast<short>(20 + (g_created % 20) * 8);
    tpl.t.cx = 200;
    tpl.t.cy = 90;
    Box *box = new Box{full_text_of(g_created), g_options.ignoreClose};
    g_boxes.push_back(box);
    ++g_created;
    ++g_open;
    HWND made = g_options.plain
        ? CreateWindowExA(0, kPlainClass, "", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 40, 40, 400, 200,
                          nullptr, nullptr, GetModuleHandleA(nullptr), box)
        : CreateDialogIndirectParamA(GetModuleHandleA(nullptr), &tpl.t, nullptr, box_proc,
                                     reinterpret_cast<LPARAM>(box));
    if (!made) {
        --g_open;
        if (g_open == 0 && g_created == g_options.count)
            PostQuitMessage(1);
    }
}

void CALLBACK next_box(HWND, UINT, UINT_PTR id, DWORD)
{
    show_box();
    if (g_created >= g_options.count)
        KillTimer(nullptr, id);
}

bool parse(int argc, char **argv)
{
    Options &o = g_options;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        const char *v = i + 1 < argc ? argv[i + 1] : nullptr;
        auto take = [&](std::string &field) {
            if (!v)
                return false;
            field = unescape(v);
            ++i;
            return true;
        };
        auto take_int = [&](int &field) {
            if (!v)
                return false;
            field = std::atoi(v);
            ++i;
            return true;
        };
        bool ok = true;
        if (a == "--from") ok = take(o.from);
        else if (a == "--to") ok = take(o.to);
        else if (a == "--time") ok = take(o.time);
        else if (a == "--text") ok = take(o.text);
        else if (a == "--raw") ok = o.hasRaw = take(o.raw);
        else if (a == "--title") ok = take(o.title);
        else if (a == "--russian") {
            o.russian = true;
            o.title = "\xD1\xEB\xF3\xE6\xE1\xE0 \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9 ";
        } else if (a == "--upper") o.title = "MESSENGER SERVICE ";
        else if (a == "--late") ok = take_int(o.lateMs);
        else if (a == "--hold") o.hold = true;
        else if (a == "--same") o.same = true;
        else if (a == "--count") ok = take_int(o.count) && o.count >= 1;
        else if (a == "--gap") ok = take_int(o.gapMs);
        else if (a == "--ignore-close") ok = take_int(o.ignoreClose);
        else if (a == "--plain") o.plain = true;
        else if (a == "--check-stored") o.checkStored = true;
        else if (a == "--title-late") ok = take_int(o.titleLateMs);
        else if (a == "--shape") {
            std::string s;
            ok = take(s);
            if (s == "normal") o.shape = Shape::Normal;
            else if (s == "nochildren") o.shape = Shape::NoChildren;
            else if (s == "buttononly") o.shape = Shape::ButtonOnly;
            else if (s == "staticfirst") o.shape = Shape::StaticFirst;
            else ok = false;
        } else ok = false;
        if (!ok) {
            std::fprintf(stderr, "popup_prog: bad argument %s\n", a.c_str());
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (!parse(argc, argv))
        return 2;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = plain_proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kPlainClass;
    RegisterClassA(&wc);
    if (g_options.gapMs > 0 && g_options.count > 1) {
        show_box();
        SetTimer(nullptr, 0, static_cast<UINT>(g_options.gapMs), next_box);
    } else {
        while (g_created < g_options.count)
            show_box();
    }
    MSG msg;
    int rc = 0;
    for (;;) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            rc = static_cast<int>(msg.wParam);
            break;
        }
        if (got < 0)
            break;
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (!root || !IsDialogMessageA(root, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    for (Box *box : g_boxes)
        delete box;
    return rc == 0 && g_closedUnstored ? 3 : rc;
}
