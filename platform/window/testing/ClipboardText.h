#pragma once
// For tests: text put on the clipboard as another program puts it,
// CF_UNICODETEXT in a zeroed block with its terminating zero.

#include "platform/window/Clipboard.h"

#include <cstring>
#include <string_view>

namespace plat {

// False when the clipboard cannot be opened.
inline bool put_clipboard_text(std::u16string_view text)
{
    if (!OpenClipboard(nullptr)) return false;
    HGLOBAL block = GlobalAlloc(GHND, (text.size() + 1) * sizeof(char16_t));
    std::memcpy(GlobalLock(block), text.data(), text.size() * sizeof(char16_t));
    GlobalUnlock(block);
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, block);
    CloseClipboard();
    return true;
}

}
