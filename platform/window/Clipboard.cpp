#include "Clipboard.h"

#include "HandleTable.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/sync/MessageQueue.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace {

// A block's bytes are on the heap and never move, so a locked pointer stays good.
using Bytes = std::unique_ptr<std::vector<std::byte>>;

plat::HandleTable<HGLOBAL, Bytes>& blocks()
{
    static plat::HandleTable<HGLOBAL, Bytes> b(0x30000);
    return b;
}

struct Clipboard {
    std::mutex lock;
    DWORD opener = 0;              // guarded by lock; 0 when closed
    HGLOBAL owned = nullptr;       // guarded by lock; the last block set or handed out
};

Clipboard& clipboard()
{
    static Clipboard c;
    return c;
}

bool opened_here()
{
    auto& c = clipboard();
    std::scoped_lock hold(c.lock);
    return c.opener == GetCurrentThreadId();
}

// Frees the block the clipboard owns and makes next the owned one.
void replace_owned(HGLOBAL next)
{
    HGLOBAL old;
    {
        auto& c = clipboard();
        std::scoped_lock hold(c.lock);
        old = std::exchange(c.owned, next);
    }
    if (old && old != next) GlobalFree(old);
}

HGLOBAL block_with(const std::u16string& text)
{
    HGLOBAL block = GlobalAlloc(GHND, (text.size() + 1) * sizeof(char16_t));
    std::memcpy(GlobalLock(block), text.c_str(), (text.size() + 1) * sizeof(char16_t));
    GlobalUnlock(block);
    return block;
}

}

HGLOBAL GlobalAlloc(UINT, SIZE_T bytes)
{
    if (bytes == 0) return nullptr;
    // Always zeroed: a block never hands out stale bytes.
    return blocks().add(std::make_unique<std::vector<std::byte>>(bytes));
}

LPVOID GlobalLock(HGLOBAL block)
{
    LPVOID data = nullptr;
    blocks().with(block, [&](Bytes& bytes) { data = bytes->data(); });
    return data;
}

// Blocks never move, so there is no lock count: FALSE is Windows' "no longer locked".
BOOL GlobalUnlock(HGLOBAL) { return FALSE; }

SIZE_T GlobalSize(HGLOBAL block)
{
    SIZE_T size = 0;
    blocks().with(block, [&](Bytes& bytes) { size = bytes->size(); });
    return size;
}

HGLOBAL GlobalFree(HGLOBAL block) { return blocks().remove(block) ? nullptr : block; }

BOOL OpenClipboard(HWND)
{
    auto& c = clipboard();
    std::scoped_lock hold(c.lock);
    if (c.opener != 0 && c.opener != GetCurrentThreadId()) return FALSE;
    c.opener = GetCurrentThreadId();
    return TRUE;
}

BOOL EmptyClipboard()
{
    if (!opened_here()) return FALSE;
    replace_owned(nullptr);
    return SDL_SetClipboardText("") == 0 ? TRUE : FALSE;
}

HGLOBAL SetClipboardData(UINT format, HGLOBAL data)
{
    if (format != CF_UNICODETEXT || !opened_here()) return nullptr;
    const auto* units = static_cast<const char16_t*>(GlobalLock(data));
    if (!units) return nullptr;
    const std::size_t capacity = GlobalSize(data) / sizeof(char16_t);
    const std::u16string text(units, std::find(units, units + capacity, u'\0'));
    if (SDL_SetClipboardText(plat::utf16_to_utf8(text).c_str()) != 0) {
        plat::debug_log(std::string("clipboard: cannot set: ") + SDL_GetError());
        return nullptr;
    }
    replace_owned(data);
    return data;
}

HGLOBAL GetClipboardData(UINT format)
{
    if (format != CF_UNICODETEXT || !opened_here() || !SDL_HasClipboardText()) return nullptr;
    std::unique_ptr<char, decltype(&SDL_free)> utf8(SDL_GetClipboardText(), &SDL_free);
    if (!utf8) return nullptr;
    HGLOBAL block = block_with(plat::utf8_to_utf16(utf8.get()));
    replace_owned(block);
    return block;
}

BOOL IsClipboardFormatAvailable(UINT format)
{
    return format == CF_UNICODETEXT && SDL_HasClipboardText() ? TRUE : FALSE;
}

BOOL CloseClipboard()
{
    auto& c = clipboard();
    std::scoped_lock hold(c.lock);
    if (c.opener != GetCurrentThreadId()) return FALSE;
    c.opener = 0;
    return TRUE;
}
