// popup_hint.h - the word a message service gives Tolvik when one of its popups is ready, shared by
// tolvik.exe and msgsvc.exe: the registered window message, and where the service finds Tolvik's main
// window (the handle slot of Tolvik's single-instance memory).
#ifndef TOLVIK_POPUP_HINT_H
#define TOLVIK_POPUP_HINT_H

#include <cstdint>

// Name of the registered window message posted to Tolvik's main window once a popup shows its text.
// wParam: the popup's window handle, a hint only (Tolvik checks the window itself); lParam: 0.
constexpr char kPopupReadyMessage[] = "Tolvik popup ready";

// Tolvik's single-instance memory: 4 bytes holding its main window's handle in 32 bits (0 until the
// window exists).
constexpr char kInstanceMemoryName[] = "fmMorvaneTolvik";

// The handle the slot holds, at the pointer size: window handles are sign-extended 32-bit values.
constexpr std::uintptr_t handle_from_slot(std::uint32_t slot)
{
    return static_cast<std::uintptr_t>(static_cast<std::intptr_t>(static_cast<std::int32_t>(slot)));
}

#endif
