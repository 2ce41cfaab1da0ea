#include "PlayDoubles.h"

#include "playback/playlogic/OpenURLDialog.h"
#include "playback/playlogic/uiLogicFilePlay.h"
#include "platform/window/Dialog.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

// fontconfig keeps its configuration for the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

using playtest::ControlPool;
using playtest::RecordingControl;
using playtest::RecordingHost;

namespace {

// What the user does once the address dialog is up: texts typed and keys pressed.
struct Step {
    const char* text;   // null: press key
    SDL_Keycode key;
};
std::vector<Step> g_steps;   // read by the timer on the dialog's own thread

SDL_Window* dialog_window()
{
    for (Uint32 id = 1; id < 256; ++id)
        if (SDL_Window* w = SDL_GetWindowFromID(id); w && std::strcmp(SDL_GetWindowTitle(w), "Open URL") == 0) return w;
    return nullptr;
}

// A thread timer, run by the dialog's modal loop: acts once the window is there.
void act(HWND, UINT, UINT_PTR timer, DWORD)
{
    SDL_Window* window = dialog_window();
    if (!window) return;
    KillTimer(nullptr, timer);
    const Uint32 id = SDL_GetWindowID(window);
    for (const Step& s : g_steps) {
        SDL_Event e{};
        if (s.text) {
            e.text.type = SDL_TEXTINPUT;
            e.text.windowID = id;
            std::strncpy(e.text.text, s.text, sizeof e.text.text - 1);
        } else {
            e.key.type = SDL_KEYDOWN;
            e.key.windowID = id;
            e.key.keysym.sym = s.key;
        }
        SDL_PushEvent(&e);
    }
}

TEST(OpenURL, TheEnteredAddressPlays)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    const struct {
        const char* name;
        std::vector<Step> steps;
        bool result;
        std::string url;            // of the task played; empty: none
        std::u16string local_path;
        std::string title;
    } cases[] = {
        {"an address", {{"http://127.0.0.1:9/a/clip.flv", 0}, {nullptr, SDLK_RETURN}}, true,
         "http://127.0.0.1:9/a/clip.flv", u"", "clip"},
        {"a local path with blanks around", {{"  /v/local.mp4 ", 0}, {nullptr, SDLK_RETURN}}, true, "/v/local.mp4",
         u"/v/local.mp4", ""},
        {"cancelled", {{"http://127.0.0.1:9/x.flv", 0}, {nullptr, SDLK_ESCAPE}}, false, "", u"", ""},
        {"nothing entered", {{"   ", 0}, {nullptr, SDLK_RETURN}}, false, "", u"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingHost host;
        RecordingControl control;
        ControlPool::next = &control;
        UI::uiLogicFilePlay logic(host, {&ControlPool::create, &ControlPool::release});
        control.commands.clear();
        g_steps = c.steps;
        ASSERT_NE(SetTimer(nullptr, 0, 20, &act), 0u);
        EXPECT_EQ(logic.OpenURL(), c.result);
        std::vector<PlayTaskInfo> played;
        for (const auto& cmd : control.commands)
            if (cmd.code == CMD_PLAY_NOW) played.push_back(cmd.task);
        if (c.url.empty()) {
            EXPECT_TRUE(played.empty());
            continue;
        }
        ASSERT_EQ(played.size(), 1u);
        EXPECT_EQ(played[0].url, c.url);
        EXPECT_EQ(played[0].local_path, c.local_path);
        if (!c.title.empty()) {
            EXPECT_EQ(played[0].title, c.title);
            EXPECT_TRUE(host.saw("loading state"));
        }
        // What play reopens is what was entered.
        control.commands.clear();
        logic.Replay();
        ASSERT_FALSE(control.commands.empty());
        bool reopened = false;
        for (const auto& cmd : control.commands) reopened |= cmd.code == CMD_PLAY_NOW && cmd.task.url == c.url;
        EXPECT_TRUE(reopened);
        EXPECT_EQ(host.unguarded, std::vector<std::string>{});
    }
}

}
