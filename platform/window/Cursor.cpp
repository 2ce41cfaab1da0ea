#include "Cursor.h"

#include <SDL.h>

#include <array>
#include <mutex>

struct HCURSOR__ {
    WORD id;
    SDL_SystemCursor shape;
    SDL_Cursor* sdl{nullptr};   // made on first use while SDL video runs; kept for the process
};

namespace {

struct CursorTable {
    std::mutex lock;
    std::array<HCURSOR__, 6> cursors{{{32512, SDL_SYSTEM_CURSOR_ARROW},
                                      {32649, SDL_SYSTEM_CURSOR_HAND},
                                      {32642, SDL_SYSTEM_CURSOR_SIZENWSE},
                                      {32643, SDL_SYSTEM_CURSOR_SIZENESW},
                                      {32644, SDL_SYSTEM_CURSOR_SIZEWE},
                                      {32645, SDL_SYSTEM_CURSOR_SIZENS}}};
    HCURSOR current{nullptr};   // guarded by lock
};

CursorTable& table()
{
    static CursorTable t;
    return t;
}

// Shows the cursor when there is a screen to show it on; headless it is only remembered.
void show(HCURSOR cursor)
{
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
    if (cursor == nullptr) {
        SDL_ShowCursor(SDL_DISABLE);
        return;
    }
    if (cursor->sdl == nullptr) cursor->sdl = SDL_CreateSystemCursor(cursor->shape);
    if (cursor->sdl == nullptr) return;   // the driver has no system cursors
    SDL_SetCursor(cursor->sdl);
    SDL_ShowCursor(SDL_ENABLE);
}

}

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name)
{
    if (instance != nullptr) return nullptr;
    const auto id = static_cast<WORD>(reinterpret_cast<std::uintptr_t>(name));
    if (reinterpret_cast<std::uintptr_t>(name) > 0xffff) return nullptr;
    for (auto& c : table().cursors)
        if (c.id == id) return &c;
    return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor)
{
    CursorTable& t = table();
    std::scoped_lock hold(t.lock);
    HCURSOR previous = t.current;
    if (cursor != previous) show(cursor);
    t.current = cursor;
    return previous;
}

HCURSOR GetCursor()
{
    CursorTable& t = table();
    std::scoped_lock hold(t.lock);
    return t.current;
}

BOOL GetCursorPos(POINT* point)
{
    if (!point || !SDL_WasInit(SDL_INIT_VIDEO)) return FALSE;
    int x = 0, y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    *point = {x, y};
    return TRUE;
}

namespace plat {

WORD cursor_id(HCURSOR cursor) { return cursor ? cursor->id : 0; }

}
