// capture_ru_e2e.cpp - capture on a Russian system (Wine under the Windows-1251 code page):
// the Russian popup title found whatever its letter case, the Russian header split, the
// Russian title looked for before the English one, and the language mark taken from the
// first letter whatever its case.
#include "app/ids.h"
#include "tests/e2e/check.h"
#include "tests/e2e/harness.h"
#include "tests/e2e/receive_helpers.h"

// "служба сообщений " in lower case, Windows-1251.
static const char kLowerRussianTitle[] = "\xF1\xEB\xF3\xE6\xE1\xE0 \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9 ";

E2E_TEST(capture_ru, runs_under_the_cyrillic_code_page)
{
    CHECK_EQ_INT(GetACP(), 1251);
}

E2E_TEST(capture_ru, lower_case_russian_title_and_header)
{
    receive_settings_reset();
    App app, popup;
    EndStarted end;
    if (!CHECK(app_start_main(app)))
        return;
    HWND list = GetDlgItem(app.main, IDC_INCOMING);
    std::string args = std::string("--russian --title \"") + kLowerRussianTitle + "\" --from ALICE --to BOB --text privet";
    CHECK(popup_start(popup, args));
    CHECK_MSG(wait_count(list, 1), "a popup titled in lower-case Cyrillic is found");
    CHECK(popup_closed(popup));
    CHECK_EQ_STR(lv_text(list, 0, 1), "ALICE");
    CHECK_EQ_STR(lv_text(list, 0, 2), "BOB");
    CHECK_EQ_STR(lv_text(list, 0, 3), "privet");
    CHECK_EQ_INT(app_exit(app), 0);
}

E2E_TEST(capture_ru, russian_title_is_taken_before_english)
{
    receive_settings_reset();
    reg_set_dword(nullptr, "Monitor", 0); // both popups are up before capture starts
    App app, english, russian;
    EndStarted end;
    if (!CHECK(app_start_main(app)))
        return;
    HWND list = GetDlgItem(app.main, IDC_INCOMING);
    CHECK(popup_start(english, "--from ENGLISH --text first"));
    CHECK(wait_popups(english) != nullptr);
    CHECK(popup_start(russian, "--russian --from RUSSIAN --text second"));
    CHECK(wait_popups(russian) != nullptr);
    // Turn capture on through the configuration dialog.
    post_command(app.main, IDM_CONFIGURE);
    HWND dlg = wait_dialog(app.pi.dwProcessId, "Tolvik Configuration", 10000);
    if (!CHECK(dlg != nullptr))
        return;
    SendDlgItemMessageA(dlg, IDC_CFG_MONITOR, BM_SETCHECK, BST_CHECKED, 0);
    PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    CHECK(wait_count(list, 2));
    CHECK_EQ_STR(lv_text(list, 0, 1), "RUSSIAN");
    CHECK_EQ_STR(lv_text(list, 1, 1), "ENGLISH");
    CHECK_EQ_INT(app_exit(app), 0);
}

E2E_TEST(capture_ru, lower_case_first_letter_selects_russian_tokens)
{
    receive_settings_reset();
    App app, popup;
    EndStarted end;
    if (!CHECK(app_start_main(app)))
        return;
    HWND list = GetDlgItem(app.main, IDC_INCOMING);
    // "сообщение от ALICE для BOB на 06.12.2001 14:45" with a lower-case first letter.
    CHECK(popup_start(popup, "--raw \"\\xF1\\xEE\\xEE\\xE1\\xF9\\xE5\\xED\\xE8\\xE5 \\xEE\\xF2 ALICE \\xE4\\xEB\\xFF BOB "
                             "\\xED\\xE0 06.12.2001 14:45\\r\\n\\r\\nkak dela\""));
    CHECK(wait_count(list, 1));
    CHECK_EQ_STR(lv_text(list, 0, 0), "06.12.2001 14:45");
    CHECK_EQ_STR(lv_text(list, 0, 1), "ALICE");
    CHECK_EQ_STR(lv_text(list, 0, 2), "BOB");
    CHECK_EQ_STR(lv_text(list, 0, 3), "kak dela");
    CHECK_EQ_INT(app_exit(app), 0);
}
