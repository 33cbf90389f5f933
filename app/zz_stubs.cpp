// temporary
#include "receive/incoming.h"
#include "receive/capture.h"
#include "receive/dialogs.h"
#include "settings/history.h"
#include "send/send.h"
#include "app/shell.h"
int incoming_file(const char *, const char *, const char *, const char *, const char *) { return -1; }
bool incoming_full_text(int, std::string &) { return false; }
void message_count_update() {}
void store_save() {}
void store_load() {}
void store_at_exit() {}
void incoming_delete() {}
void incoming_delete_all() {}
void incoming_reply() {}
LRESULT incoming_on_notify(HWND, NMHDR *) { return 0; }
void capture_step(HWND) {}
void view_command(HWND) {}
void about_box(HWND) {}
void recipients_history_load() {}
void last_message_load(int) {}
void recipients_history_save() {}
void interface_save() {}
void sent_messages_load(int) {}
void sent_message_save() {}
void sent_message_delete() {}
void sent_messages_clear() {}
void send_command(HWND) {}
bool send_wait_for_workers(DWORD) { return true; }
void layout_on_size(HWND, int, int) {}
void layout_on_minmax(MINMAXINFO *) {}
void layout_place_bitmap_buttons(HWND) {}
