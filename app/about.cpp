// about.cpp - the About box: product name and version, copyright, web address, OK.
#include "app/shell.h"

#include "base/ids.h"
#include "base/mainwnd.h"
#include "receive/message_view.h"

static INT_PTR CALLBACK AboutDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        main_dialog_opened();
        SetWindowLongPtrA(dlg, DWLP_USER, 1); // counted open until its first close
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            if (GetWindowLongPtrA(dlg, DWLP_USER)) {
                SetWindowLongPtrA(dlg, DWLP_USER, 0);
                main_dialog_closed();
            }
            EndDialog(dlg, LOWORD(wParam));
        }
        return TRUE;
    case WM_SIZE: // OK sits on the same bottom row as the Message View's buttons
        dialog_place_button_row(dlg, HIWORD(lParam), {IDOK});
        SetWindowLongPtrA(dlg, DWLP_MSGRESULT, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

void about_box(HWND hwnd)
{
    DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_ABOUT), hwnd, AboutDlgProc, 0);
}
