#pragma once
// The clipboard over SDL's (the X selection under X11), for Unicode text: what
// copy and paste in a text field call. Global memory blocks carry the text in
// and out, as on Windows. Call from the UI thread: SDL serves the selection there.

#include "platform/window/Handles.h"

struct HGLOBAL__;
using HGLOBAL = HGLOBAL__*;

inline constexpr UINT GMEM_FIXED = 0x0000;
inline constexpr UINT GMEM_MOVEABLE = 0x0002;
inline constexpr UINT GMEM_ZEROINIT = 0x0040;
inline constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

inline constexpr UINT CF_UNICODETEXT = 13;

// A block of bytes (zeroed with GMEM_ZEROINIT); null for 0 bytes.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
// The block's bytes; they stay where they are until GlobalFree.
LPVOID GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block);   // FALSE: the block is not locked any more
SIZE_T GlobalSize(HGLOBAL block);
// Null when freed; the block itself when it is unknown.
HGLOBAL GlobalFree(HGLOBAL block);

// One opener at a time in the process; FALSE while another thread has it open.
BOOL OpenClipboard(HWND owner);
BOOL EmptyClipboard();
// CF_UNICODETEXT only: the block's text (up to its first zero unit) goes on the
// clipboard and the block becomes the clipboard's. Null on failure (the block stays the caller's).
HGLOBAL SetClipboardData(UINT format, HGLOBAL data);
// CF_UNICODETEXT only: a zero-terminated copy of the clipboard's text in a block the
// clipboard owns (freed when the clipboard is next emptied or read). Null when none.
HGLOBAL GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);
BOOL CloseClipboard();
