#pragma once
// Keyboard accelerators: a key with modifiers that the message loop turns into
// WM_COMMAND before the key reaches the window.

#include "platform/window/Window.h"

struct ACCEL {
    BYTE fVirt;   // FVIRTKEY with FSHIFT, FCONTROL, FALT
    WORD key;     // a virtual key
    WORD cmd;     // the command id of the WM_COMMAND
};

inline constexpr BYTE FVIRTKEY = 0x01;
inline constexpr BYTE FSHIFT = 0x04;
inline constexpr BYTE FCONTROL = 0x08;
inline constexpr BYTE FALT = 0x10;

// Only virtual-key entries (FVIRTKEY) are kept: character accelerators never match.
HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count);
BOOL DestroyAcceleratorTable(HACCEL table);
// For a WM_KEYDOWN or WM_SYSKEYDOWN whose key and held modifiers (exactly) match an
// entry: sends WM_COMMAND (low word the command, high word 1) to hwnd and returns 1.
int TranslateAcceleratorW(HWND hwnd, HACCEL table, const MSG* msg);
