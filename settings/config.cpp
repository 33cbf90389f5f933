// config.cpp - the configuration dialog: every setting on one page; OK saves, Cancel discards.
#include "settings/config.h"

#include "base/ids.h"
#include "base/mainwnd.h"
#include "settings/settings.h"

struct CheckBox {
    int id;
    DWORD Settings::*field;
};

// Order in which the boxes are set from the settings.
static constexpr CheckBox kChecks[] = {
    {IDC_CFG_POPUP, &Settings::PopupOnMessage},       {IDC_CFG_ANIMTRAY, &Settings::AnimTrayOnMessage},
    {IDC_CFG_BEEP, &Settings::BeepOnMessage},         {IDC_CFG_RUNPROG, &Settings::EnableRunOnMessage},
    {IDC_CFG_MSGBOX, &Settings::ViewAsMessageBox},    {IDC_CFG_SWITCH, &Settings::SwitchOnMessage},
    {IDC_CFG_LOADMSG, &Settings::LoadMsgOnUserEdit},  {IDC_CFG_KEEP, &Settings::KeepIncoming},
    {IDC_CFG_INTERNAL, &Settings::InternalMessage},   {IDC_CFG_NOSTEAL, &Settings::DoNotStealFocus},
    {IDC_CFG_MINIMIZE, &Settings::MinimizeOnSend},    {IDC_CFG_MONITOR, &Settings::Monitor},
};

// The boxes that only matter while the receiver is enabled.
static constexpr int kReceiveBoxes[] = {IDC_CFG_POPUP, IDC_CFG_ANIMTRAY, IDC_CFG_BEEP,
                                        IDC_CFG_RUNPROG, IDC_CFG_SWITCH, IDC_CFG_INTERNAL};

static bool checked(HWND dlg, int id)
{
    return IsDlgButtonChecked(dlg, id) == BST_CHECKED;
}

static void on_runprog_changed(HWND dlg)
{
    EnableWindow(GetDlgItem(dlg, IDC_CFG_PROGRAM), checked(dlg, IDC_CFG_RUNPROG) && checked(dlg, IDC_CFG_MONITOR));
}

static void on_monitor_changed(HWND dlg)
{
    bool on = checked(dlg, IDC_CFG_MONITOR);
    for (int id : kReceiveBoxes)
        EnableWindow(GetDlgItem(dlg, id), on);
    on_runprog_changed(dlg);
}

static void on_init(HWND dlg)
{
    main_config_open(true);
    for (const CheckBox &box : kChecks)
        SendDlgItemMessageA(dlg, box.id, BM_SETCHECK, g_settings.*box.field, 0);
    SendDlgItemMessageA(dlg, IDC_CFG_PROGRAM, EM_LIMITTEXT, sizeof g_settings.ExternalProg - 1, 0);
    SetDlgItemTextA(dlg, IDC_CFG_PROGRAM, g_settings.ExternalProg);
    on_runprog_changed(dlg);
    on_monitor_changed(dlg);
}

static void on_ok(HWND dlg)
{
    for (const CheckBox &box : kChecks)
        g_settings.*box.field = checked(dlg, box.id) ? 1 : 0;
    GetDlgItemTextA(dlg, IDC_CFG_PROGRAM, g_settings.ExternalProg, sizeof g_settings.ExternalProg);
    settings_save();
    main_config_open(false);
    EndDialog(dlg, IDOK);
}

static INT_PTR CALLBACK ConfigDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        on_init(dlg);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_CFG_MONITOR: on_monitor_changed(dlg); break;
        case IDC_CFG_RUNPROG: on_runprog_changed(dlg); break;
        case IDOK: on_ok(dlg); break;
        case IDCANCEL:
            main_config_open(false);
            EndDialog(dlg, IDCANCEL);
            break;
        default: break;
        }
        return TRUE;
    default:
        return FALSE;
    }
}

bool config_dialog(HWND owner)
{
    return DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_CONFIG), owner, ConfigDlgProc, 0) == IDOK;
}
