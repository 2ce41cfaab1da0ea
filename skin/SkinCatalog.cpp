#include "skin/SkinCatalog.h"

#include "skin/Glyphs.h"
#include "skin/SkinPainter.h"

#include <cairo.h>

#include <cmath>
#include <vector>

namespace skin {
namespace {

using namespace palette;

enum class Style { OnLight, OnDark, CheckDark, CheckLight, Radio, Function, Plate, Thumb };

Rgb mix(Rgb a, Rgb b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

void check_box(cairo_t* cr, double w, double h, ButtonState s, bool on, bool on_light, bool round)
{
    const double side = std::fmin(w, h) - 3, x = (w - side) / 2, y = (h - side) / 2;
    const double radius = round ? side / 2 : 2.5;
    Rgb face = on_light ? light_high : dark_high, line = on_light ? light_line : dark_line;
    if (s == ButtonState::Highlight)
        line = accent;
    if (s == ButtonState::Pressed)
        face = on_light ? light_low : dark;
    if (s == ButtonState::Disabled) {
        face = on_light ? light : dark_low;
        line = on_light ? light_low : dark;
    }
    if (on && s != ButtonState::Disabled && !round) {
        face = s == ButtonState::Pressed ? accent_deep : s == ButtonState::Highlight ? accent_soft : accent;
        line = accent_deep;
    }
    panel(cr, x, y, side + 1, side + 1, radius, face, mix(face, line, 0.25), line);
    if (!on)
        return;
    const Rgb mark = s == ButtonState::Disabled ? (on_light ? light_line : disabled) : (round ? accent : white);
    draw_glyph(cr, round ? Glyph::Dot : Glyph::Tick, x, y, side + 1, side + 1, mark);
}

void function_button(cairo_t* cr, double w, double h, ButtonState s)
{
    switch (s) {
    case ButtonState::Normal: return panel(cr, 0, 0, w, h, 3, light_high, light_low, light_line);
    case ButtonState::Highlight: return panel(cr, 0, 0, w, h, 3, white, light, accent);
    case ButtonState::Pressed: return panel(cr, 0, 0, w, h, 3, accent, accent_deep, accent_deep);
    case ButtonState::Disabled: return panel(cr, 0, 0, w, h, 3, light, light, light_low);
    }
}

// A captioned button on the dark pages: a dark plate under white text.
void plate_button(cairo_t* cr, double w, double h, ButtonState s)
{
    switch (s) {
    case ButtonState::Normal: return panel(cr, 0, 0, w, h, 3, rgb(0x3a3a3a), dark_high, rgb(0x545454));
    case ButtonState::Highlight: return panel(cr, 0, 0, w, h, 3, rgb(0x484848), rgb(0x363636), accent);
    case ButtonState::Pressed: return panel(cr, 0, 0, w, h, 3, accent, accent_deep, accent_deep);
    case ButtonState::Disabled: return panel(cr, 0, 0, w, h, 3, dark, dark, dark_high);
    }
}

void glyph_button(cairo_t* cr, double w, double h, ButtonState s, Glyph g, bool on_light)
{
    const double inset = std::fmax(1, std::fmin(w, h) * 0.12);
    const double gx = inset, gy = inset, gw = w - 2 * inset, gh = h - 2 * inset;
    switch (s) {
    case ButtonState::Normal: return draw_glyph(cr, g, gx, gy, gw, gh, on_light ? rgb(0x3a3a3a) : glyph);
    case ButtonState::Highlight:
        rounded_rect(cr, 0.5, 0.5, w - 1, h - 1, std::fmin(w, h) / 4);
        set_colour(cr, on_light ? white : dark_high, on_light ? 0.75 : 1.0);
        cairo_fill(cr);
        return draw_glyph(cr, g, gx, gy, gw, gh, on_light ? ink : white);
    case ButtonState::Pressed:
        rounded_rect(cr, 0.5, 0.5, w - 1, h - 1, std::fmin(w, h) / 4);
        set_colour(cr, accent);
        cairo_fill(cr);
        return draw_glyph(cr, g, gx + 0.5, gy + 0.5, gw, gh, white);
    case ButtonState::Disabled: return draw_glyph(cr, g, gx, gy, gw, gh, on_light ? rgb(0xa4a4a4) : disabled);
    }
}

void slider_thumb(cairo_t* cr, double w, double h, ButtonState s)
{
    const double r = std::fmin(w, h) / 2 - 1;
    const Rgb face = s == ButtonState::Disabled ? disabled : s == ButtonState::Pressed ? accent : white;
    cairo_arc(cr, w / 2, h / 2, r, 0, 2 * M_PI);
    set_colour(cr, s == ButtonState::Highlight ? accent : dark_line);
    cairo_fill(cr);
    cairo_arc(cr, w / 2, h / 2, r - 1.2, 0, 2 * M_PI);
    set_colour(cr, face);
    cairo_fill(cr);
}

Recipe strip(std::string_view file, int w, int h, Style style, Glyph g = Glyph::None)
{
    return {file, w, h, [style, g](cairo_t* cr, double cw, double ch, ButtonState s) {
                switch (style) {
                case Style::OnLight: return glyph_button(cr, cw, ch, s, g, true);
                case Style::OnDark: return glyph_button(cr, cw, ch, s, g, false);
                case Style::CheckDark: return check_box(cr, cw, ch, s, g == Glyph::Tick, false, false);
                case Style::CheckLight: return check_box(cr, cw, ch, s, g == Glyph::Tick, true, false);
                case Style::Radio: return check_box(cr, cw, ch, s, g == Glyph::Dot, true, true);
                case Style::Function: return function_button(cr, cw, ch, s);
                case Style::Plate: return plate_button(cr, cw, ch, s);
                case Style::Thumb: return slider_thumb(cr, cw, ch, s);
                }
            }};
}

Recipe icon(std::string_view file, int w, int h, Glyph g, Rgb c)
{
    return {file, w, h, [g, c](cairo_t* cr, double cw, double ch, ButtonState) { draw_glyph(cr, g, 0, 0, cw, ch, c); }};
}

Recipe surface(std::string_view file, int w, int h, double radius, Rgb top, Rgb bottom, Rgb line)
{
    return {file, w, h, [=](cairo_t* cr, double cw, double ch, ButtonState) { panel(cr, 0, 0, cw, ch, radius, top, bottom, line); }};
}

Recipe bar(std::string_view file, int w, int h, Rgb top, Rgb bottom)
{
    return {file, w, h, [=](cairo_t* cr, double cw, double ch, ButtonState) {
                cairo_pattern_t* fill = cairo_pattern_create_linear(0, 0, 0, ch);
                cairo_pattern_add_color_stop_rgb(fill, 0, top.r, top.g, top.b);
                cairo_pattern_add_color_stop_rgb(fill, 1, bottom.r, bottom.g, bottom.b);
                rounded_rect(cr, 0, 0, cw, ch, ch / 2);
                cairo_set_source(cr, fill);
                cairo_fill(cr);
                cairo_pattern_destroy(fill);
            }};
}

void spinner(cairo_t* cr, double w, double h, int frame)
{
    // Eight dots round a circle; the bright one walks one step per frame.
    for (int i = 0; i < 8; ++i) {
        const double a = -M_PI / 2 + i * M_PI / 4;
        const int age = (frame - i + 8) % 8;
        const double fade = 1.0 - age / 8.0;
        cairo_arc(cr, w / 2 + w * 0.34 * std::cos(a), h / 2 + h * 0.34 * std::sin(a), w * (0.05 + 0.045 * fade), 0,
                  2 * M_PI);
        set_colour(cr, mix(dark_line, accent, fade), 0.35 + 0.65 * fade);
        cairo_fill(cr);
    }
}

Recipe loading(std::string_view file, int frame)
{
    return {file, 48, 48, [frame](cairo_t* cr, double w, double h, ButtonState) { spinner(cr, w, h, frame); }};
}

void wordmark(cairo_t* cr, double x, double baseline, double size, Rgb c)
{
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, size);
    cairo_move_to(cr, x, baseline);
    set_colour(cr, c);
    cairo_show_text(cr, "Strimo");
}

void logo(cairo_t* cr, double, double h, ButtonState)
{
    rounded_rect(cr, 0.5, 0.5, h - 1, h - 1, 4);
    set_colour(cr, accent);
    cairo_fill(cr);
    draw_glyph(cr, Glyph::Play, 3, 3, h - 6, h - 6, white);
    wordmark(cr, h + 5, h * 0.74, h * 0.62, ink);
}

void thumbnail(cairo_t* cr, double w, double h, bool focus)
{
    panel(cr, 0, 0, w, h, 4, focus ? rgb(0x3a2a24) : dark_high, focus ? rgb(0x2a1f1b) : dark, focus ? accent : dark_line);
    if (focus) {
        rounded_rect(cr, 1.5, 1.5, w - 3, h - 3, 3);
        set_colour(cr, accent, 0.55);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    }
}

void menu_background(cairo_t* cr, double w, double h, ButtonState)
{
    // The first 54 columns hold the icons: a darker strip with a divider.
    cairo_rectangle(cr, 0, 0, w, h);
    set_colour(cr, dark);
    cairo_fill(cr);
    cairo_rectangle(cr, 0, 0, 54, h);
    set_colour(cr, dark_low);
    cairo_fill(cr);
    cairo_move_to(cr, 53.5, 0);
    cairo_line_to(cr, 53.5, h);
    set_colour(cr, dark_line);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

void welcome(cairo_t* cr, double w, double h, ButtonState)
{
    panel(cr, 0, 0, w, h, 8, dark_high, dark_low, dark_line);
    cairo_arc(cr, w / 2, h * 0.40, h * 0.16, 0, 2 * M_PI);
    set_colour(cr, accent);
    cairo_fill(cr);
    draw_glyph(cr, Glyph::Play, w / 2 - h * 0.08, h * 0.40 - h * 0.09, h * 0.18, h * 0.18, white);
    wordmark(cr, w / 2 - h * 0.28, h * 0.76, h * 0.12, light_high);
    for (int i = 0; i < 3; ++i) {
        cairo_arc(cr, w / 2 - 14 + i * 14, h * 0.88, 3, 0, 2 * M_PI);
        set_colour(cr, i == 0 ? accent : dark_line);
        cairo_fill(cr);
    }
}

// A wash that dims a row whose item cannot play now. The row stretches it
// over its whole page, so it holds nothing a stretch would distort, and the
// item stays readable beneath it.
void offline(cairo_t* cr, double w, double h, ButtonState)
{
    rounded_rect(cr, 0.5, 0.5, w - 1, h - 1, 6);
    cairo_set_source_rgba(cr, 0.07, 0.07, 0.07, 0.62);
    cairo_fill_preserve(cr);
    set_colour(cr, dark_line);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

void caret(cairo_t* cr, double w, double h, ButtonState)
{
    cairo_rectangle(cr, 0, 0, w, h);
    set_colour(cr, ink);
    cairo_fill(cr);
}

// No rule across it: the tree's rows start at its top, and a rule in the
// stretched middle ran through whichever row it landed on.
void sidebar(cairo_t* cr, double w, double h, Rgb top, Rgb bottom)
{
    panel(cr, 0, 0, w, h, 6, top, bottom, dark_line);
}

Recipe drawn(std::string_view file, int w, int h, void (*draw)(cairo_t*, double, double, ButtonState))
{
    return {file, w, h, draw};
}

const std::vector<Recipe>& recipes()
{
    static const std::vector<Recipe> all = {
        // Frames and the title bar: light, with dark title text.
        surface("TopWindowFrame.png", 64, 32, 6, light_high, light, light_line),
        surface("BottomWindowFrame.png", 64, 30, 6, light, light_low, light_line),
        surface("LeftWindowFrame.png", 8, 64, 2, light, light, light_line),
        surface("RightWindowFrame.png", 8, 64, 2, light, light, light_line),
        drawn("cursor.png", 2, 16, caret),
        {"SelectStringBg.png", 8, 8, [](cairo_t* cr, double w, double h, ButtonState) {
             cairo_rectangle(cr, 0, 0, w, h); set_colour(cr, accent_soft); cairo_fill(cr); }},
        drawn("Logo.png", 96, 22, logo),
        bar("SoundSliderBGH.png", 40, 6, dark_low, dark_high),
        surface("searchbar.png", 40, 19, 9, white, light_high, light_line),
        surface("Searchbar_highlight.png", 40, 19, 9, white, white, accent),
        surface("informationField.png", 40, 40, 4, light_high, light, light_line),
        icon("SeachDialogIcon.png", 32, 32, Glyph::Magnifier, accent),
        icon("WarningDialogIcon.png", 32, 32, Glyph::Warning, accent),
        // The tree and rows: dark, with white or grey text.
        {"sidbar_bg_left.png", 200, 240, [](cairo_t* cr, double w, double h, ButtonState) { sidebar(cr, w, h, dark, dark_low); }},
        {"sidbar_bg_right.png", 200, 240, [](cairo_t* cr, double w, double h, ButtonState) { sidebar(cr, w, h, dark_high, dark); }},
        surface("ItemBar.png", 40, 24, 3, dark_high, dark, dark_line),
        surface("ItemBar_Focus.png", 40, 24, 3, rgb(0x4a3029), rgb(0x3a2620), accent),
        surface("Page_selected.png", 17, 15, 3, accent, accent_deep, accent_deep),
        surface("Page_Unselecte.png", 17, 15, 3, dark_high, dark, dark_line),
        icon("NextPage.png", 17, 15, Glyph::ChevronRight, glyph),
        icon("LastPage.png", 17, 15, Glyph::ChevronDoubleRight, glyph),
        icon("MyFavorite.png", 16, 16, Glyph::Star, accent),
        icon("favoriteBig.png", 32, 32, Glyph::Star, accent),
        icon("favoriteBig_Gray.png", 32, 32, Glyph::Star, disabled),
        icon("YouTube.png", 16, 16, Glyph::Screen, accent_soft),
        icon("iPod.png", 16, 16, Glyph::Player, glyph),
        icon("SearchResult.png", 16, 16, Glyph::Magnifier, glyph),
        icon("mychannel.png", 16, 16, Glyph::Feed, accent),
        icon("Options.png", 16, 16, Glyph::Sliders, glyph),
        icon("MyDownload.png", 16, 16, Glyph::Download, glyph),
        surface("SelectedChannel.png", 40, 24, 3, rgb(0x57362d), rgb(0x432a23), accent),
        icon("DropDown.png", 12, 12, Glyph::ArrowDown, glyph),
        icon("Search.png", 19, 19, Glyph::Magnifier, rgb(0x3a3a3a)),
        bar("Timeline.png", 40, 6, accent_soft, accent),
        surface("RightSidebar.png", 64, 28, 4, dark_high, dark, dark_line),
        surface("PlayPanelBg.png", 360, 92, 10, rgb(0x2a2a2a), dark_low, dark_line),
        // The seek track lies over the buffered ranges: see-through, so they show.
        {"progressBg.png", 40, 6, [](cairo_t* cr, double w, double h, ButtonState) {
             rounded_rect(cr, 0, 0, w, h, h / 2);
             cairo_set_source_rgba(cr, 1, 1, 1, 0.09);
             cairo_fill(cr);
         }},
        {"Video_Focus.png", 64, 48, [](cairo_t* cr, double w, double h, ButtonState) { thumbnail(cr, w, h, true); }},
        {"Video_normal.png", 64, 48, [](cairo_t* cr, double w, double h, ButtonState) { thumbnail(cr, w, h, false); }},
        icon("Add.png", 11, 11, Glyph::Plus, rgb(0x3a3a3a)),
        icon("Remove.png", 11, 11, Glyph::Minus, rgb(0x3a3a3a)),
        icon("SaveSearch.png", 11, 11, Glyph::Download, rgb(0x3a3a3a)),
        icon("RemoveAll.png", 11, 11, Glyph::Cross, rgb(0x3a3a3a)),
        loading("Loading0001.png", 0), loading("Loading0002.png", 1), loading("Loading0003.png", 2),
        loading("Loading0004.png", 3), loading("Loading0005.png", 4), loading("Loading0006.png", 5),
        loading("Loading0007.png", 6), loading("Loading0008.png", 7),
        icon("AddChannel_16X16.png", 16, 16, Glyph::Plus, accent),
        surface("selectBarArrow.png", 40, 14, 3, accent, accent_deep, accent_deep),
        // The settings panel and its fields: light, with dark text.
        surface("Subpanel.png", 40, 40, 4, light_high, light, light_line),
        surface("SettingInputbar.png", 30, 19, 3, white, light_high, light_line),
        icon("Prefetch_off.png", 12, 12, Glyph::PrefetchOff, glyph_dim),
        icon("Prefetch_on.png", 12, 12, Glyph::PrefetchOn, accent),
        icon("Prefetch_Finished.png", 12, 12, Glyph::PrefetchDone, rgb(0x7fae6e)),
        icon("RecentViewed.png", 16, 16, Glyph::Clock, glyph),
        // The fill of a buffered range, stretched over each range as it arrives.
        {"Buffer.png", 8, 8, [](cairo_t* cr, double w, double h, ButtonState) {
             cairo_rectangle(cr, 0, 0, w, h);
             set_colour(cr, rgb(0x6a6a6a));
             cairo_fill(cr);
         }},
        drawn("offlineBg.png", 160, 120, offline),
        drawn("MenuBG.png", 160, 24, menu_background),
        drawn("Tutorial.png", 400, 300, welcome),
        strip("DialogBtn.png", 80, 24, Style::Function),
        // Four-state strips.
        strip("AddToFavorite.png", 16, 16, Style::OnDark, Glyph::Star),
        strip("RemoveAFile.png", 16, 16, Style::OnDark, Glyph::Minus),
        strip("FunctionsBtn.png", 24, 19, Style::Function),
        strip("BtnFullscreen.png", 20, 20, Style::OnDark, Glyph::Fullscreen),
        strip("BtnSmallscreen.png", 20, 20, Style::OnDark, Glyph::Smallscreen),
        strip("CheckBox_On.png", 16, 16, Style::CheckDark, Glyph::Tick),
        strip("CheckBox_Off.png", 16, 16, Style::CheckDark),
        strip("CheckBox_light_On.png", 16, 16, Style::CheckLight, Glyph::Tick),
        strip("CheckBox_light_Off.png", 16, 16, Style::CheckLight),
        // The warning pages' caption buttons ("OK", "Add..."), stretched by their 5 px borders.
        strip("SettingBtn.png", 24, 16, Style::Plate),
        strip("RadioBox_On.png", 16, 16, Style::Radio, Glyph::Dot),
        strip("RadioBox_Off.png", 16, 16, Style::Radio),
        strip("OpenLocalFile.png", 16, 16, Style::OnDark, Glyph::Folder),
        strip("SyncBtn.png", 16, 16, Style::OnDark, Glyph::Sync),
        strip("Download.png", 16, 16, Style::OnDark, Glyph::Download),
        strip("Previous.png", 24, 24, Style::OnDark, Glyph::Previous),
        strip("Next.png", 24, 24, Style::OnDark, Glyph::Next),
        // One 26 px step of the control bar's transport row, like its neighbours.
        strip("Play.png", 24, 24, Style::OnDark, Glyph::Play),
        strip("Pause.png", 24, 24, Style::OnDark, Glyph::Pause),
        strip("Forward.png", 24, 24, Style::OnDark, Glyph::Forward),
        strip("Backward.png", 24, 24, Style::OnDark, Glyph::Backward),
        strip("Minmize.png", 16, 16, Style::OnLight, Glyph::Minimize),
        strip("maxmize.png", 16, 16, Style::OnLight, Glyph::Maximize),
        strip("Restore.png", 16, 16, Style::OnLight, Glyph::Restore),
        strip("Close.png", 16, 16, Style::OnLight, Glyph::Close),
        // The mute buttons sit on the light bottom frame.
        strip("MuteOff.png", 20, 20, Style::OnLight, Glyph::Speaker),
        strip("MuteOn.png", 20, 20, Style::OnLight, Glyph::SpeakerMuted),
        strip("Mute.png", 20, 20, Style::OnLight, Glyph::SpeakerOn),
        strip("SoundSlide.png", 12, 12, Style::Thumb),
    };
    return all;
}

}  // namespace

const Recipe* find_recipe(std::string_view file)
{
    for (const auto& r : recipes())
        if (r.file == file)
            return &r;
    return nullptr;
}

}
