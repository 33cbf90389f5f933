// service_hint.cpp - the popup side's word to a running Tolvik that a popup is ready, so that Tolvik takes it at
// once instead of on its next look for popups.
#include "msgsvc/service/service.h"

#include "base/popup_hint.h"

#include <cstdint>

namespace msgsvc {

// Tolvik's main window, read from the slot of its single-instance memory; nullptr when no Tolvik runs here. The
// memory is opened for each popup and closed again: held open, it would make the next Tolvik believe that one
// runs already.
HWND hint_target()
{
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, kInstanceMemoryName);
    if (!mapping)
        return nullptr;
    HWND window = nullptr;
    if (const void *view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(std::uint32_t))) {
        window = reinterpret_cast<HWND>(handle_from_slot(*static_cast<const volatile std::uint32_t *>(view)));
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return window;
}

bool popup_hint(HWND tolvik, HWND popup)
{
    static const UINT message = RegisterWindowMessageA(kPopupReadyMessage);
    return message && tolvik && PostMessageA(tolvik, message, reinterpret_cast<WPARAM>(popup), 0);
}

} // namespace msgsvc
