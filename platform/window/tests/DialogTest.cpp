#include "Recorder.h"

#include "platform/window/Clipboard.h"
#include "platform/window/Dialog.h"
#include "platform/window/PresentWindow.h"
#include "platform/window/testing/ClipboardText.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>

// For the whole test program: fontconfig keeps its configuration for the process, and
// SDL's start on a desktop driver opens the session bus, whose library keeps a buffer.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }

namespace {

constexpr WORD progress_dialog = 132, offer_dialog = 133, url_dialog = 134;
constexpr int status_text = 1005, progress_bar = 1004, offer_text = 1013, url_edit = 1001;

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        use_dummy_video();
        using plat::DialogItemKind;
        plat::add_dialog_template(progress_dialog, {u"Update", 300, 110,
                                                    {{DialogItemKind::Text, status_text, u"", {12, 12, 288, 30}},
                                                     {DialogItemKind::Progress, progress_bar, u"", {12, 36, 288, 52}},
                                                     {DialogItemKind::Button, IDCANCEL, u"Cancel", {204, 72, 288, 98}}}});
        plat::add_dialog_template(offer_dialog, {u"Offer", 300, 110,
                                                 {{DialogItemKind::Text, offer_text, u"", {12, 12, 288, 50}},
                                                  {DialogItemKind::DefaultButton, IDOK, u"OK", {112, 72, 196, 98}},
                                                  {DialogItemKind::Button, IDCANCEL, u"Cancel", {204, 72, 288, 98}}}});
        plat::add_dialog_template(url_dialog, {u"Open URL", 360, 104,
                                               {{DialogItemKind::Text, -1, u"Address:", {12, 12, 348, 28}},
                                                {DialogItemKind::Edit, url_edit, u"", {12, 32, 348, 56}},
                                                {DialogItemKind::DefaultButton, IDOK, u"OK", {172, 68, 256, 94}},
                                                {DialogItemKind::Button, IDCANCEL, u"Cancel", {264, 68, 348, 94}}}});
    }
};

// Pushes SDL input to the dialog's window once its loop runs, as a user would act.
void push_to(HWND dialog, std::function<SDL_Event(Uint32 window_id)> make)
{
    WCHAR title[64];
    GetWindowTextW(dialog, title, 64);
    SDL_Window* sdl = sdl_window_titled(std::string(title, title + std::char_traits<char16_t>::length(title)));
    ASSERT_NE(sdl, nullptr);
    SDL_Event e = make(SDL_GetWindowID(sdl));
    SDL_PushEvent(&e);
}

SDL_Event key_down(Uint32 window, SDL_Keycode sym)
{
    SDL_Event e{};
    e.key.type = SDL_KEYDOWN;
    e.key.windowID = window;
    e.key.keysym.sym = sym;
    return e;
}

SDL_Event click(Uint32 window, bool down, int x, int y)
{
    SDL_Event e{};
    e.button = {down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP, 0, window, 0, SDL_BUTTON_LEFT,
                Uint8(down ? SDL_PRESSED : SDL_RELEASED), 1, 0, x, y};
    return e;
}

SDL_Event key_up(Uint32 window, SDL_Keycode sym)
{
    SDL_Event e = key_down(window, sym);
    e.key.type = SDL_KEYUP;
    return e;
}

SDL_Event typed(Uint32 window, const char* utf8)
{
    SDL_Event e{};
    e.text.type = SDL_TEXTINPUT;
    e.text.windowID = window;
    std::strncpy(e.text.text, utf8, sizeof e.text.text - 1);
    return e;
}

SDL_Event close_event(Uint32 window)
{
    SDL_Event e{};
    e.window.type = SDL_WINDOWEVENT;
    e.window.windowID = window;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    return e;
}

// A download dialog's procedure: the timer moves the bar and posts OK at 100.
struct Progress {
    static inline int steps = 0;
    static inline LRESULT bar_at_end = -1;
    static inline std::u16string status;
    static inline std::uint32_t bar_pixel = 0;

    static INT_PTR proc(HWND dlg, UINT message, WPARAM wParam, LPARAM)
    {
        switch (message) {
        case WM_INITDIALOG:
            SetDlgItemTextW(dlg, status_text, u"Downloading…");
            SendDlgItemMessageW(dlg, progress_bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
            SetTimer(dlg, 1000, 10, nullptr);
            return TRUE;
        case WM_TIMER:
            SendDlgItemMessageW(dlg, progress_bar, PBM_SETPOS, ++steps * 50, 0);
            if (steps == 2) {
                KillTimer(dlg, 1000);
                UpdateWindow(dlg);
                bar_pixel = plat::present_frame_copy(dlg).at(44 * 300 + 280);
                PostMessageW(dlg, WM_COMMAND, IDOK, 0);
            }
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                bar_at_end = SendDlgItemMessageW(dlg, progress_bar, PBM_GETPOS, 0, 0);
                WCHAR text[64];
                GetDlgItemTextW(dlg, status_text, text, 64);
                status = text;
                EndDialog(dlg, IDOK);
            }
            return TRUE;
        }
        return FALSE;
    }
};

// The offered-version dialog: each run says how the user will answer.
struct Offer {
    static inline std::function<void(HWND)> user;
    static inline int timer_cancels = 0;

    static INT_PTR proc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam)
    {
        switch (message) {
        case WM_INITDIALOG:
            SetDlgItemTextW(dlg, offer_text, reinterpret_cast<LPCWSTR>(lParam));
            if (user) user(dlg);
            return TRUE;
        case WM_TIMER:
            KillTimer(dlg, wParam);
            ++timer_cancels;
            PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dlg, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    }
};

// The address dialog's procedure: both buttons read the field (at most 1000
// characters) and end with their id; the first frame is kept for a look.
struct UrlEntry {
    static inline std::function<void(HWND)> user;
    static inline std::u16string text;
    static inline std::vector<std::uint32_t> frame;

    static INT_PTR proc(HWND dlg, UINT message, WPARAM wParam, LPARAM)
    {
        switch (message) {
        case WM_INITDIALOG:
            if (user) user(dlg);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL) return FALSE;
            UpdateWindow(dlg);
            frame = plat::present_frame_copy(dlg);
            WCHAR entered[1001];
            GetDlgItemTextW(dlg, url_edit, entered, 1001);
            text = entered;
            EndDialog(dlg, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    }
};

void save_png(const std::vector<std::uint32_t>& pixels, int width, int height, const std::string& name)
{
    const std::filesystem::path folder = STRIMO_ARTIFACTS;
    std::filesystem::create_directories(folder);
    std::vector<std::uint32_t> copy = pixels;
    cairo_surface_t* surface = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(copy.data()),
                                                                   CAIRO_FORMAT_RGB24, width, height, width * 4);
    EXPECT_EQ(cairo_surface_write_to_png(surface, (folder / name).c_str()), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(surface);
}

}

TEST_F(Dialogs, EditFieldTakesTypedTextAndGivesItBack)
{
    using Step = std::function<SDL_Event(Uint32)>;
    auto text = [](const char* t) -> Step { return [t](Uint32 w) { return typed(w, t); }; };
    auto key = [](SDL_Keycode k) -> Step { return [k](Uint32 w) { return key_down(w, k); }; };
    auto release = [](SDL_Keycode k) -> Step { return [k](Uint32 w) { return key_up(w, k); }; };
    const std::u16string long_text(1200, u'x');
    const struct {
        const char* name;
        std::vector<Step> steps;
        INT_PTR result;
        std::u16string text;
    } cases[] = {
        {"typed, then Enter", {text("http://a b/"), text("é中"), key(SDLK_RETURN)}, IDOK, u"http://a b/é中"},
        {"a character beyond the BMP and Backspace over it", {text("ab\xF0\x9F\x8E\xAC"), key(SDLK_BACKSPACE), key(SDLK_RETURN)}, IDOK, u"ab"},
        {"caret moves: insert and delete in the middle",
         {text("acd"), key(SDLK_LEFT), key(SDLK_LEFT), text("b"), key(SDLK_END), key(SDLK_BACKSPACE), key(SDLK_HOME),
          key(SDLK_DELETE), key(SDLK_RETURN)},
         IDOK, u"bc"},
        {"Control+V pastes the first line", {text(">"), key(SDLK_LCTRL), key(SDLK_v), release(SDLK_LCTRL), key(SDLK_RETURN)},
         IDOK, u">http://127.0.0.1:8080/clip.flv"},
        {"Escape still reads the field", {text("typed"), key(SDLK_ESCAPE)}, IDCANCEL, u"typed"},
        {"a click on Cancel", {text("x"), [](Uint32 w) { return click(w, true, 300, 80); }, [](Uint32 w) { return click(w, false, 300, 80); }}, IDCANCEL, u"x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UrlEntry::user = [&c](HWND d) {
            ASSERT_TRUE(plat::put_clipboard_text(u"http://127.0.0.1:8080/clip.flv\nsecond line"));   // once the window layer runs
            for (const Step& step : c.steps) push_to(d, step);
        };
        EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(url_dialog), nullptr, UrlEntry::proc, 0), c.result);
        EXPECT_EQ(UrlEntry::text, c.text);
    }

    // Text set by the program; the caller's buffer bounds what it reads back.
    UrlEntry::user = [&long_text](HWND d) {
        SetDlgItemTextW(d, url_edit, long_text.c_str());
        push_to(d, [](Uint32 w) { return typed(w, "!"); });
        push_to(d, [](Uint32 w) { return key_down(w, SDLK_RETURN); });
    };
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(url_dialog), nullptr, UrlEntry::proc, 0), IDOK);
    EXPECT_EQ(UrlEntry::text, std::u16string(1000, u'x'));
}

TEST_F(Dialogs, EditFieldDrawsItsTextAndCaret)
{
    UrlEntry::user = [](HWND d) {
        push_to(d, [](Uint32 w) { return typed(w, "http://127.0.0.1/a.flv"); });
        push_to(d, [](Uint32 w) { return key_down(w, SDLK_RETURN); });
    };
    ASSERT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(url_dialog), nullptr, UrlEntry::proc, 0), IDOK);
    const std::vector<std::uint32_t>& frame = UrlEntry::frame;
    ASSERT_EQ(frame.size(), 360u * 104u);
    save_png(frame, 360, 104, "open_url_dialog.png");
    const auto dark = [](std::uint32_t p) { return ((p >> 16) & 0xFF) < 0x60 && ((p >> 8) & 0xFF) < 0x60 && (p & 0xFF) < 0x60; };
    int dark_in_field = 0, dark_right_of_text = 0;
    for (int y = 34; y < 54; ++y)
        for (int x = 14; x < 346; ++x) {
            const bool d = dark(frame.at(y * 360 + x));
            dark_in_field += d;
            dark_right_of_text += d && x > 250;
        }
    EXPECT_GT(dark_in_field, 100) << "the typed text is drawn in the field";
    EXPECT_EQ(dark_right_of_text, 0) << "nothing beyond the text and its caret";
    EXPECT_EQ(frame.at(50 * 360 + 300) & 0xFFFFFF, 0xFFFFFFu) << "the field is white";
}

TEST_F(Dialogs, ProgressDialogRunsOnItsTimerAndEndsWithOk)
{
    Progress::steps = 0;
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(progress_dialog), nullptr, Progress::proc, 0), IDOK);
    EXPECT_EQ(Progress::steps, 2);
    EXPECT_EQ(Progress::bar_at_end, 100);
    EXPECT_EQ(Progress::status, u"Downloading…");
    const auto red = (Progress::bar_pixel >> 16) & 0xFF, green = (Progress::bar_pixel >> 8) & 0xFF;
    EXPECT_TRUE(red < 0x20 && green > 0xA0) << std::hex << Progress::bar_pixel << ": the full bar is drawn to its right end";
    EXPECT_EQ(FindWindowW(u"#32770", nullptr), nullptr) << "the dialog is gone";
}

TEST_F(Dialogs, UserAnswersByKeyMouseOrClose)
{
    const struct {
        const char* name;
        std::function<void(HWND)> user;
        INT_PTR result;
    } cases[] = {
        {"Enter presses the default button", [](HWND d) { push_to(d, [](Uint32 w) { return key_down(w, SDLK_RETURN); }); }, IDOK},
        {"Escape cancels", [](HWND d) { push_to(d, [](Uint32 w) { return key_down(w, SDLK_ESCAPE); }); }, IDCANCEL},
        {"click on Cancel",
         [](HWND d) {
             push_to(d, [](Uint32 w) { return click(w, true, 240, 85); });
             push_to(d, [](Uint32 w) { return click(w, false, 240, 85); });
         },
         IDCANCEL},
        {"press on OK, release elsewhere, then click OK",
         [](HWND d) {
             push_to(d, [](Uint32 w) { return click(w, true, 150, 85); });
             push_to(d, [](Uint32 w) { return click(w, false, 10, 10); });
             push_to(d, [](Uint32 w) { return click(w, true, 150, 85); });
             push_to(d, [](Uint32 w) { return click(w, false, 150, 85); });
         },
         IDOK},
        {"the window's close button cancels", [](HWND d) { push_to(d, close_event); }, IDCANCEL},
        {"nobody answers: the timer cancels", [](HWND d) { SetTimer(d, 3000, 10, nullptr); }, IDCANCEL},
    };
    Offer::timer_cancels = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Offer::user = c.user;
        EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(offer_dialog), nullptr, Offer::proc,
                                  reinterpret_cast<LPARAM>(u"A new version is available.")),
                  c.result);
    }
    EXPECT_EQ(Offer::timer_cancels, 1);
}

TEST_F(Dialogs, OwnerTakesNoInputWhileTheDialogRuns)
{
    register_class(u"DialogOwner", recording_proc, 0);
    HWND owner = CreateWindowExW(0, u"DialogOwner", u"owner", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                                 nullptr, nullptr, nullptr);
    static HWND owner_seen;
    static BOOL owner_enabled_during;
    owner_seen = owner;
    Offer::user = [](HWND d) {
        owner_enabled_during = IsWindowEnabled(owner_seen);
        push_to(d, [](Uint32 w) { return key_down(w, SDLK_RETURN); });
    };
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(offer_dialog), owner, Offer::proc,
                              reinterpret_cast<LPARAM>(u"x")),
              IDOK);
    EXPECT_FALSE(owner_enabled_during);
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

TEST_F(Dialogs, UnknownTemplateFails)
{
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(999), nullptr, Offer::proc, 0), -1);
    EXPECT_EQ(DialogBoxParamW(nullptr, u"named", nullptr, Offer::proc, 0), -1);
}

TEST_F(Dialogs, MessageBoxAnswersWithThePressedButton)
{
    const struct {
        UINT type;
        SDL_Keycode key;
        int result;
    } cases[] = {{MB_OK, SDLK_RETURN, IDOK},          {MB_OK, SDLK_ESCAPE, IDOK},
                 {MB_OKCANCEL, SDLK_RETURN, IDOK},    {MB_OKCANCEL, SDLK_ESCAPE, IDCANCEL},
                 {MB_YESNO, SDLK_RETURN, IDYES},      {MB_YESNO, SDLK_ESCAPE, IDNO}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        static SDL_Keycode key;
        key = c.key;
        // The box's own loop runs this routine once it waits for the user.
        SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            push_to(FindWindowW(u"#32770", u"Strimo"), [](Uint32 w) { return key_down(w, key); });
        });
        EXPECT_EQ(MessageBoxW(nullptr, u"Cannot create the folder\n/tmp/é/中文", u"Strimo", c.type), c.result);
    }
}

TEST_F(Dialogs, MessageBoxIsAsTallAsItsWrappedText)
{
    static int height;
    auto box_height = [](const char16_t* text) {
        height = 0;
        SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            HWND box = FindWindowW(u"#32770", u"Strimo");
            RECT client{};
            GetClientRect(box, &client);
            height = client.bottom;
            push_to(box, [](Uint32 w) { return key_down(w, SDLK_ESCAPE); });
        });
        MessageBoxW(nullptr, text, u"Strimo", MB_OK);
        return height;
    };
    const int one_line = box_height(u"Done.");
    // Sixty CJK characters have no spaces to break at and still take three lines.
    const std::u16string cjk(60, u'文');
    const int three_lines = box_height(cjk.c_str());
    EXPECT_GT(one_line, 0);
    EXPECT_GE(three_lines - one_line, 2 * 15);
}

TEST_F(Dialogs, QuitEndsTheDialogAndReachesTheOuterLoop)
{
    Offer::user = [](HWND) { PostQuitMessage(7); };
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(offer_dialog), nullptr, Offer::proc,
                              reinterpret_cast<LPARAM>(u"x")),
              0);
    MSG m;
    ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 7u);
}
