// litehtml's document container over cairo: fonts through our face table
// (with the CJK face for characters a face lacks, as the device's fonts do),
// pictures handed in by the caller, clips kept as a stack and applied to
// every draw. litehtml parses the markup we write out of our own tree, so
// its elements stand in the same document order as the tree's.

#include "platform/html/HtmlView.h"

#include "platform/base/Utf.h"
#include "platform/d3d9/FontFaces.h"
#include "platform/d3d9/ImageFile.h"
#include "platform/html/HtmlTree.h"

#include <cairo.h>
#include <litehtml.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace plat::html {
namespace {

// The defaults item descriptions need: litehtml ships none. Whatever could
// host another page or run something is never shown.
constexpr const char* master_css = R"css(
html, address, blockquote, body, dd, div, dl, dt, fieldset, form, frame, frameset, h1, h2, h3, h4, h5, h6,
noframes, ol, p, ul, center, dir, hr, menu, pre, article, aside, footer, header, nav, section, figure,
figcaption, main, details, summary, li { display: block; }
head, script, style, title, meta, link, base, noscript, template, iframe, frame, frameset, object, embed,
applet, audio, video, canvas, svg, math, input, select, textarea, button, map, area, param, source, track
{ display: none; }
body { margin: 8px; line-height: normal; }
p, blockquote, dl, ol, ul, pre, figure { margin-top: 1em; margin-bottom: 1em; }
blockquote, figure { margin-left: 40px; margin-right: 40px; }
h1 { font-size: 2em; margin: .67em 0; font-weight: bold; }
h2 { font-size: 1.5em; margin: .75em 0; font-weight: bold; }
h3 { font-size: 1.17em; margin: .83em 0; font-weight: bold; }
h4 { margin: 1.12em 0; font-weight: bold; }
h5 { font-size: .83em; margin: 1.5em 0; font-weight: bold; }
h6 { font-size: .75em; margin: 1.67em 0; font-weight: bold; }
b, strong, th { font-weight: bold; }
i, em, cite, var, dfn, address { font-style: italic; }
u, ins { text-decoration: underline; }
s, strike, del { text-decoration: line-through; }
a:link, a:visited, a { text-decoration: underline; color: #0000ee; }
pre, tt, code, kbd, samp { font-family: monospace; }
pre { white-space: pre; }
small { font-size: .83em; }
big { font-size: 1.17em; }
sub { vertical-align: sub; font-size: .83em; }
sup { vertical-align: super; font-size: .83em; }
center { text-align: center; }
hr { border: 1px inset #808080; margin: .5em auto; height: 0; }
ul, ol, menu, dir { padding-left: 40px; }
ul { list-style-type: disc; }
ol { list-style-type: decimal; }
ul ul, ol ul { list-style-type: circle; }
li { display: list-item; }
dd { margin-left: 40px; }
table { display: table; border-collapse: separate; border-spacing: 2px; }
thead { display: table-header-group; }
tbody { display: table-row-group; }
tfoot { display: table-footer-group; }
tr { display: table-row; }
td, th { display: table-cell; padding: 1px; vertical-align: inherit; }
th { text-align: center; }
caption { display: table-caption; text-align: center; }
img { display: inline-block; }
br { display: block; }
)css";

// Pictures a page may name; more are left out rather than queued without end.
constexpr std::size_t max_pictures = 64;

struct Font {
    cairo_scaled_font_t* face{nullptr};       // the face asked for
    cairo_scaled_font_t* fallback{nullptr};   // the CJK face, for characters it lacks
    double ascent{0};
    unsigned decoration{0};
    double size{0};
    ~Font()
    {
        cairo_scaled_font_destroy(face);
        cairo_scaled_font_destroy(fallback);
    }
};

cairo_scaled_font_t* scaled_font(const std::string& family, cairo_font_slant_t slant, cairo_font_weight_t weight,
                                 double size)
{
    cairo_font_face_t* face = cairo_toy_font_face_create(family.c_str(), slant, weight);
    cairo_matrix_t matrix, identity;
    cairo_matrix_init_scale(&matrix, size, size);
    cairo_matrix_init_identity(&identity);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_scaled_font_t* font = cairo_scaled_font_create(face, &matrix, &identity, options);
    cairo_font_options_destroy(options);
    cairo_font_face_destroy(face);
    return font;
}

// The first family of a CSS list, through our face table.
std::string first_family(const char* list)
{
    std::string name(list ? list : "");
    name = name.substr(0, name.find(','));
    const auto keep = [](char c) { return c != ' ' && c != '"' && c != '\''; };
    const auto b = std::find_if(name.begin(), name.end(), keep);
    const auto e = std::find_if(name.rbegin(), name.rend(), keep).base();
    name = b < e ? std::string(b, e) : std::string("sans-serif");
    return fontconfig_family(utf8_to_utf16(name));
}

bool has_glyph(cairo_scaled_font_t* font, std::string_view character)
{
    cairo_glyph_t* glyphs = nullptr;
    int count = 0;
    const cairo_status_t status = cairo_scaled_font_text_to_glyphs(
        font, 0, 0, character.data(), int(character.size()), &glyphs, &count, nullptr, nullptr, nullptr);
    const bool found = status == CAIRO_STATUS_SUCCESS && count > 0 && glyphs[0].index != 0;
    cairo_glyph_free(glyphs);
    return found;
}

std::size_t utf8_length(unsigned char lead)
{
    return lead < 0x80 ? 1 : lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc0 ? 2 : 1;
}

// Splits text into runs, each drawn by the face or, where it lacks the characters, by the fallback.
template <typename Run>
void for_each_run(const Font& font, std::string_view text, Run run)
{
    std::size_t start = 0;
    cairo_scaled_font_t* current = font.face;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = std::min(utf8_length(static_cast<unsigned char>(text[i])), text.size() - i);
        cairo_scaled_font_t* want =
            (n > 1 && !has_glyph(font.face, text.substr(i, n))) ? font.fallback : font.face;
        if (want != current && i > start) {
            run(text.substr(start, i - start), current);
            start = i;
        }
        current = want;
        i += n;
    }
    if (start < text.size()) run(text.substr(start), current);
}

double run_width(cairo_scaled_font_t* font, std::string_view text)
{
    std::string copy(text);
    cairo_text_extents_t extents;
    cairo_scaled_font_text_extents(font, copy.c_str(), &extents);
    return extents.x_advance;
}

void set_colour(cairo_t* cr, const litehtml::web_color& c)
{
    cairo_set_source_rgba(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0, c.alpha / 255.0);
}

struct Picture {
    cairo_surface_t* surface{nullptr};
    std::vector<std::uint32_t> pixels;   // the surface's texels
    ~Picture() { cairo_surface_destroy(surface); }
};

}  // namespace

class HtmlView::Container final : public litehtml::document_container {
public:
    Container() { m_context.load_master_stylesheet(master_css); }

    void load(const Node& document, std::string_view author_css)
    {
        m_document.reset();
        m_pictures.clear();
        m_sources.clear();
        m_clips.clear();
        litehtml::css author;
        const std::string css(author_css);
        author.parse_stylesheet(css.c_str(), "", nullptr, nullptr);
        author.sort_selectors();
        const std::string markup = inner_html(document);
        m_document = litehtml::document::createFromUTF8(markup.c_str(), this, &m_context, &author);
    }

    int layout(int width)
    {
        m_width = width;
        if (!m_document) return 0;
        m_document->render(width);
        return m_document->height();
    }

    int height() const { return m_document ? m_document->height() : 0; }

    std::optional<ViewRect> element_rect(std::string_view tag, std::size_t index) const
    {
        if (!m_document || tag.empty() || !std::all_of(tag.begin(), tag.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
            return std::nullopt;
        const litehtml::elements_vector found = m_document->root()->select_all(std::string(tag));
        if (index >= found.size()) return std::nullopt;
        const litehtml::position place = found[index]->get_placement();
        return ViewRect{place.x, place.y, place.width, place.height};
    }

    const std::vector<std::string>& sources() const { return m_sources; }

    bool set_picture(const std::string& src, const DecodedImage& image)
    {
        if (std::find(m_sources.begin(), m_sources.end(), src) == m_sources.end()) return false;
        auto picture = std::make_unique<Picture>();
        picture->pixels = image.pixels;
        picture->surface = cairo_image_surface_create_for_data(
            reinterpret_cast<unsigned char*>(picture->pixels.data()), CAIRO_FORMAT_ARGB32, image.width,
            image.height, image.width * 4);
        m_pictures[src] = std::move(picture);
        return true;
    }

    void paint(void* texels, int width, int height, int pitch, int x, int y)
    {
        if (!m_document || width <= 0 || height <= 0) return;
        cairo_surface_t* target = cairo_image_surface_create_for_data(static_cast<unsigned char*>(texels),
                                                                      CAIRO_FORMAT_RGB24, width, height, pitch);
        cairo_t* cr = cairo_create(target);
        set_colour(cr, canvas_colour());
        cairo_paint(cr);
        litehtml::position clip(0, 0, width, height);
        m_clips.clear();
        m_document->draw(reinterpret_cast<litehtml::uint_ptr>(cr), x, y, &clip);
        cairo_destroy(cr);
        cairo_surface_flush(target);
        cairo_surface_destroy(target);
    }

    // litehtml::document_container
    litehtml::uint_ptr create_font(const litehtml::tchar_t* face_name, int size, int weight,
                                   litehtml::font_style italic, unsigned int decoration,
                                   litehtml::font_metrics* fm) override
    {
        auto font = std::make_unique<Font>();
        const auto slant = italic == litehtml::fontStyleItalic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL;
        const auto bold = weight >= 600 ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL;
        font->size = std::clamp(size, 1, 512);
        font->face = scaled_font(first_family(face_name), slant, bold, font->size);
        font->fallback = scaled_font(fontconfig_family(u"SimSun"), slant, bold, font->size);
        font->decoration = decoration;
        cairo_font_extents_t extents;
        cairo_scaled_font_extents(font->face, &extents);
        font->ascent = std::round(extents.ascent);
        if (fm) {
            cairo_text_extents_t x;
            cairo_scaled_font_text_extents(font->face, "x", &x);
            fm->ascent = int(font->ascent);
            fm->descent = int(std::round(extents.descent));
            fm->height = int(std::round(extents.ascent + extents.descent));
            fm->x_height = int(std::round(-x.y_bearing));
            fm->draw_spaces = italic == litehtml::fontStyleItalic || decoration != 0;
        }
        Font* made = font.get();
        m_fonts.push_back(std::move(font));
        return reinterpret_cast<litehtml::uint_ptr>(made);
    }

    void delete_font(litehtml::uint_ptr handle) override
    {
        std::erase_if(m_fonts, [handle](const auto& f) { return reinterpret_cast<litehtml::uint_ptr>(f.get()) == handle; });
    }

    int text_width(const litehtml::tchar_t* text, litehtml::uint_ptr handle) override
    {
        const Font* font = reinterpret_cast<const Font*>(handle);
        if (!font || !text) return 0;
        double width = 0;
        for_each_run(*font, text, [&](std::string_view run, cairo_scaled_font_t* f) { width += run_width(f, run); });
        return int(std::ceil(width));
    }

    void draw_text(litehtml::uint_ptr hdc, const litehtml::tchar_t* text, litehtml::uint_ptr handle,
                   litehtml::web_color color, const litehtml::position& pos) override
    {
        const Font* font = reinterpret_cast<const Font*>(handle);
        if (!font || !text) return;
        cairo_t* cr = begin(hdc);
        set_colour(cr, color);
        double x = pos.x;
        const double baseline = pos.y + font->ascent;
        for_each_run(*font, text, [&](std::string_view run, cairo_scaled_font_t* f) {
            cairo_set_scaled_font(cr, f);
            cairo_move_to(cr, x, baseline);
            const std::string copy(run);
            cairo_show_text(cr, copy.c_str());
            x += run_width(f, run);
        });
        const double thickness = std::max(1.0, std::round(font->size / 16));
        if (font->decoration & litehtml::font_decoration_underline)
            cairo_rectangle(cr, pos.x, baseline + thickness, x - pos.x, thickness);
        if (font->decoration & litehtml::font_decoration_linethrough)
            cairo_rectangle(cr, pos.x, std::round(baseline - font->ascent / 3), x - pos.x, thickness);
        cairo_fill(cr);
        end(cr);
    }

    int pt_to_px(int pt) const override { return pt * 96 / 72; }
    int get_default_font_size() const override { return 16; }
    const litehtml::tchar_t* get_default_font_name() const override { return "Arial"; }

    void draw_list_marker(litehtml::uint_ptr hdc, const litehtml::list_marker& marker) override
    {
        cairo_t* cr = begin(hdc);
        const litehtml::position& p = marker.pos;
        set_colour(cr, marker.color);
        const double r = std::min(p.width, p.height) / 2.0;
        switch (marker.marker_type) {
        case litehtml::list_style_type_square: cairo_rectangle(cr, p.x, p.y, p.width, p.height); cairo_fill(cr); break;
        case litehtml::list_style_type_circle:
            cairo_set_line_width(cr, 1);
            cairo_arc(cr, p.x + r, p.y + r, std::max(0.5, r - 0.5), 0, 2 * M_PI);
            cairo_stroke(cr);
            break;
        default: cairo_arc(cr, p.x + r, p.y + r, r, 0, 2 * M_PI); cairo_fill(cr); break;
        }
        end(cr);
    }

    void load_image(const litehtml::tchar_t* src, const litehtml::tchar_t*, bool) override
    {
        if (!src || !*src || m_sources.size() >= max_pictures) return;
        if (std::find(m_sources.begin(), m_sources.end(), src) == m_sources.end()) m_sources.emplace_back(src);
    }

    void get_image_size(const litehtml::tchar_t* src, const litehtml::tchar_t*, litehtml::size& sz) override
    {
        const Picture* picture = find_picture(src);
        sz.width = picture ? cairo_image_surface_get_width(picture->surface) : 0;
        sz.height = picture ? cairo_image_surface_get_height(picture->surface) : 0;
    }

    void draw_background(litehtml::uint_ptr hdc, const litehtml::background_paint& bg) override
    {
        cairo_t* cr = begin(hdc);
        cairo_rectangle(cr, bg.clip_box.x, bg.clip_box.y, bg.clip_box.width, bg.clip_box.height);
        cairo_clip(cr);
        if (bg.color.alpha > 0) {
            set_colour(cr, bg.color);
            cairo_paint(cr);
        }
        if (const Picture* picture = find_picture(bg.image.c_str()))
            draw_picture(cr, *picture, bg);
        end(cr);
    }

    void draw_borders(litehtml::uint_ptr hdc, const litehtml::borders& b, const litehtml::position& p, bool) override
    {
        cairo_t* cr = begin(hdc);
        const auto side = [cr](const litehtml::border& edge, double x, double y, double w, double h) {
            if (edge.width <= 0 || edge.style == litehtml::border_style_none ||
                edge.style == litehtml::border_style_hidden)
                return;
            set_colour(cr, edge.color);
            cairo_rectangle(cr, x, y, w, h);
            cairo_fill(cr);
        };
        side(b.top, p.x, p.y, p.width, b.top.width);
        side(b.bottom, p.x, p.bottom() - b.bottom.width, p.width, b.bottom.width);
        side(b.left, p.x, p.y, b.left.width, p.height);
        side(b.right, p.right() - b.right.width, p.y, b.right.width, p.height);
        end(cr);
    }

    // Nothing of these reaches outside: no caption, no links followed, no
    // style sheet fetched (a page's link and @import stay unread).
    void set_caption(const litehtml::tchar_t*) override {}
    void set_base_url(const litehtml::tchar_t*) override {}
    void link(const std::shared_ptr<litehtml::document>&, const litehtml::element::ptr&) override {}
    void on_anchor_click(const litehtml::tchar_t*, const litehtml::element::ptr&) override {}
    void set_cursor(const litehtml::tchar_t*) override {}
    void import_css(litehtml::tstring&, const litehtml::tstring&, litehtml::tstring&) override {}

    // ASCII letters only: descriptions' transforms are for Latin headings.
    void transform_text(litehtml::tstring& text, litehtml::text_transform tt) override
    {
        bool word_start = true;
        for (char& c : text) {
            const bool letter = std::isalpha(static_cast<unsigned char>(c)) != 0;
            if (tt == litehtml::text_transform_uppercase || (tt == litehtml::text_transform_capitalize && word_start))
                c = char(std::toupper(static_cast<unsigned char>(c)));
            else if (tt == litehtml::text_transform_lowercase)
                c = char(std::tolower(static_cast<unsigned char>(c)));
            word_start = !letter && c != '\'';
        }
    }

    void set_clip(const litehtml::position& pos, const litehtml::border_radiuses&, bool, bool) override
    {
        m_clips.push_back(pos);
    }
    void del_clip() override
    {
        if (!m_clips.empty()) m_clips.pop_back();
    }

    void get_client_rect(litehtml::position& client) const override { client = {0, 0, m_width, 0}; }

    std::shared_ptr<litehtml::element> create_element(const litehtml::tchar_t*, const litehtml::string_map&,
                                                      const std::shared_ptr<litehtml::document>&) override
    {
        return nullptr;
    }

    void get_media_features(litehtml::media_features& media) const override
    {
        media.type = litehtml::media_type_screen;
        media.width = media.device_width = m_width;
        media.height = media.device_height = 0;
        media.color = 8;
        media.monochrome = 0;
        media.color_index = 256;
        media.resolution = 96;
    }

    void get_language(litehtml::tstring& language, litehtml::tstring& culture) const override
    {
        language = "en";
        culture.clear();
    }

private:
    // The root's background, else the body's, fills the whole canvas (as
    // CSS has it), not only the body's box; white when neither has one.
    litehtml::web_color canvas_colour() const
    {
        const litehtml::web_color none(0, 0, 0, 0);
        litehtml::element::ptr root = m_document->root();
        if (!root) return litehtml::web_color(255, 255, 255);
        litehtml::web_color colour = root->get_color("background-color", false, none);
        if (colour.alpha == 0)
            if (litehtml::element::ptr body = root->select_one(std::string("body")))
                colour = body->get_color("background-color", false, none);
        return colour.alpha == 0 ? litehtml::web_color(255, 255, 255) : colour;
    }

    const Picture* find_picture(const char* src) const
    {
        if (!src) return nullptr;
        const auto found = m_pictures.find(src);
        return found == m_pictures.end() ? nullptr : found->second.get();
    }

    cairo_t* begin(litehtml::uint_ptr hdc)
    {
        cairo_t* cr = reinterpret_cast<cairo_t*>(hdc);
        cairo_save(cr);
        for (const litehtml::position& clip : m_clips) {
            cairo_rectangle(cr, clip.x, clip.y, clip.width, clip.height);
            cairo_clip(cr);
        }
        return cr;
    }
    static void end(cairo_t* cr)
    {
        cairo_new_path(cr);
        cairo_restore(cr);
    }

    // The picture scaled to the box's picture size at its origin, repeated as asked.
    static void draw_picture(cairo_t* cr, const Picture& picture, const litehtml::background_paint& bg)
    {
        const int pw = cairo_image_surface_get_width(picture.surface);
        const int ph = cairo_image_surface_get_height(picture.surface);
        const double w = bg.image_size.width > 0 ? bg.image_size.width : pw;
        const double h = bg.image_size.height > 0 ? bg.image_size.height : ph;
        if (pw <= 0 || ph <= 0 || w <= 0 || h <= 0) return;
        cairo_pattern_t* pattern = cairo_pattern_create_for_surface(picture.surface);
        cairo_matrix_t matrix;
        cairo_matrix_init_scale(&matrix, pw / w, ph / h);
        cairo_matrix_translate(&matrix, -(bg.position_x), -(bg.position_y));
        cairo_pattern_set_matrix(pattern, &matrix);
        cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
        const bool repeat_x = bg.repeat == litehtml::background_repeat_repeat || bg.repeat == litehtml::background_repeat_repeat_x;
        const bool repeat_y = bg.repeat == litehtml::background_repeat_repeat || bg.repeat == litehtml::background_repeat_repeat_y;
        // Pad, not none: a stretched picture's edges must not fade into the page.
        cairo_pattern_set_extend(pattern, repeat_x || repeat_y ? CAIRO_EXTEND_REPEAT : CAIRO_EXTEND_PAD);
        cairo_set_source(cr, pattern);
        cairo_rectangle(cr, repeat_x ? bg.clip_box.x : bg.position_x, repeat_y ? bg.clip_box.y : bg.position_y,
                        repeat_x ? bg.clip_box.width : w, repeat_y ? bg.clip_box.height : h);
        cairo_fill(cr);
        cairo_pattern_destroy(pattern);
    }

    litehtml::context m_context;
    std::vector<std::unique_ptr<Font>> m_fonts;
    std::map<std::string, std::unique_ptr<Picture>> m_pictures;
    std::vector<std::string> m_sources;
    std::vector<litehtml::position> m_clips;
    int m_width{0};
    // Last: the document goes first, handing back the fonts it made.
    std::shared_ptr<litehtml::document> m_document;
};

HtmlView::HtmlView() : m_container(std::make_unique<Container>()) {}
HtmlView::~HtmlView() = default;

void HtmlView::load(const Node& document, std::string_view author_css) { m_container->load(document, author_css); }
int HtmlView::layout(int width) { return m_container->layout(width); }
int HtmlView::height() const { return m_container->height(); }
std::optional<ViewRect> HtmlView::element_rect(std::string_view tag, std::size_t index) const
{
    return m_container->element_rect(tag, index);
}
const std::vector<std::string>& HtmlView::picture_sources() const { return m_container->sources(); }
bool HtmlView::set_picture(const std::string& src, const DecodedImage& picture)
{
    return m_container->set_picture(src, picture);
}
void HtmlView::paint(void* texels, int width, int height, int pitch, int x, int y) const
{
    m_container->paint(texels, width, height, pitch, x, y);
}

}
