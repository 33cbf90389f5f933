// capture_ru_e2e.cpp - capture on a Russian system (Wine under the Windows-1251 code page):
// the Russian popup title found whatever its letter case, the Russian header split, the
// Russian title looked for before the English one, the language mark taken from the first
// letter whatever its case, and Cyrillic names shown and answered as Cyrillic.
#include "tests/e2e/helpers.h"

E2E_TEST(capture_ru, cyrillic_sender_is_answered_in_cyrillic)
{
    Receiver r;
    App popup;
    REQUIRE(r.start());
    // "ИВАН" in Windows-1251: the reply must name him in the recipient box as the user reads it.
    CHECK(popup_start(popup, "--russian --from \\xC8\\xC2\\xC0\\xCD --to BOB --text privet"));
    CHECK(wait_count(r.list, 1));
    post_command(r.app.main, IDM_MSG_REPLY);
    HWND recipient = GetDlgItem(r.app.main, IDC_RECIPIENT);
    WCHAR name[64] = L"";
    auto read = [&] {
        return SendMessageTimeoutW(recipient, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(name), SMTO_ABORTIFHUNG, 5000,
                                   nullptr) && name[0];
    };
    CHECK_MSG(wait_until(read, 5000), "the reply names the sender");
    CHECK_MSG(lstrcmpW(name, L"\u0418\u0412\u0410\u041D") == 0, "the sender shows as Cyrillic: %d letters, first U+%04X",
              lstrlenW(name), name[0]);
}

E2E_TEST(capture_ru, russian_title_is_taken_before_english)
{
    Receiver r({{"Monitor", 0}}); // both popups are up before capture starts
    App english, russian;
    REQUIRE(r.start());
    CHECK(popup_start(english, "--from ENGLISH --text first"));
    CHECK(wait_popups(english) != nullptr);
    CHECK(popup_start(russian, "--russian --from RUSSIAN --text second"));
    CHECK(wait_popups(russian) != nullptr);
    // Turn capture on through the configuration dialog.
    HWND dlg = open_dialog(r.app, IDM_CONFIGURE, "Tolvik Configuration");
    REQUIRE(dlg != nullptr);
    SendDlgItemMessageA(dlg, IDC_CFG_MONITOR, BM_SETCHECK, BST_CHECKED, 0);
    PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    CHECK(wait_count(r.list, 2));
    CHECK_EQ_STR(lv_text(r.list, 0, 1), "RUSSIAN");
    CHECK_EQ_STR(lv_text(r.list, 1, 1), "ENGLISH");
}

// Russian popups whatever the letter case of their words, each split into the list's columns.
struct LowerCasePopup {
    const char *name, *args, *time, *text;
};

static const LowerCasePopup kLowerCase[] = {
    // The title "служба сообщений " in lower case, Windows-1251, over a Russian header.
    {"lower_case_russian_title_and_header",
     "--russian --title \"\xF1\xEB\xF3\xE6\xE1\xE0 \xF1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE9 \" --from ALICE --to BOB "
     "--text privet",
     "12/6/2001 2:45 PM", "privet"},
    // "сообщение от ALICE для BOB на 06.12.2001 14:45" with a lower-case first letter.
    {"lower_case_first_letter_selects_russian_tokens",
     "--raw \"\\xF1\\xEE\\xEE\\xE1\\xF9\\xE5\\xED\\xE8\\xE5 \\xEE\\xF2 ALICE \\xE4\\xEB\\xFF BOB "
     "\\xED\\xE0 06.12.2001 14:45\\r\\n\\r\\nkak dela\"",
     "06.12.2001 14:45", "kak dela"},
};

static void file_a_lower_case_popup(const LowerCasePopup &row)
{
    Receiver r;
    App popup;
    REQUIRE(r.start());
    CHECK(popup_start(popup, row.args));
    CHECK_MSG(wait_count(r.list, 1), "the popup is found and filed");
    CHECK(popup_closed(popup));
    CHECK_EQ_STR(lv_text(r.list, 0, 0), row.time);
    CHECK_EQ_STR(lv_text(r.list, 0, 1), "ALICE");
    CHECK_EQ_STR(lv_text(r.list, 0, 2), "BOB");
    CHECK_EQ_STR(lv_text(r.list, 0, 3), row.text);
}

E2E_TABLE(capture_ru, kLowerCase, file_a_lower_case_popup);
