// mindialog_prog.cpp - the smallest dialog program we can write: the yardstick that Tolvik's
// start-up time is compared with. Shows an empty modal dialog until it is closed.
#include <windows.h>

static INT_PTR CALLBACK MinDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM)
{
    if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dlg, 0);
        return TRUE;
    }
    return msg == WM_INITDIALOG;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // An in-memory template: caption "Yardstick", no controls.
    alignas(4) static WORD tmpl[32] = {};
    DLGTEMPLATE *t = reinterpret_cast<DLGTEMPLATE *>(tmpl);
    t->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_CENTER;
    t->cx = 120;
    t->cy = 60;
    WORD *p = reinterpret_cast<WORD *>(t + 1);
    *p++ = 0; // no menu
    *p++ = 0; // default class
    for (const char *c = "Yardstick"; *c; ++c)
        *p++ = static_cast<WORD>(*c);
    *p++ = 0;
    DialogBoxIndirectParamA(instance, t, nullptr, MinDlgProc, 0);
    return 0;
}
