#include "skin/SkinGenerator.h"

#include "platform/fs/Folders.h"
#include "screens/tables/UITables.h"
#include "skin/SkinCatalog.h"

#include <cairo.h>

#include <memory>
#include <set>
#include <stdexcept>

namespace skin {
namespace {

struct SurfaceClose {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextClose {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};

std::string file_name(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folder_of(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void add_table(std::vector<SkinFile>& files, std::set<std::string>& seen, std::span<const SkinImageEntry> table,
               bool strips)
{
    for (const auto& entry : table) {
        const std::string path = SkinRelativePath(entry.file);
        if (!seen.insert(path).second)
            continue;
        const Recipe* recipe = find_recipe(file_name(path));
        if (!recipe)
            throw std::runtime_error("no recipe for skin file " + path);
        const int states = strips ? 4 : 1;
        files.push_back({path, recipe->width * states, recipe->height, strips});
    }
}

void draw_file(const SkinFile& file, const std::string& target)
{
    const Recipe& recipe = *find_recipe(file_name(file.path));
    std::unique_ptr<cairo_surface_t, SurfaceClose> surface(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, file.width, file.height));
    std::unique_ptr<cairo_t, ContextClose> cr(cairo_create(surface.get()));
    const ButtonState states[] = {ButtonState::Normal, ButtonState::Highlight, ButtonState::Pressed,
                                  ButtonState::Disabled};
    for (int i = 0; i < (file.strip ? 4 : 1); ++i) {
        cairo_save(cr.get());
        cairo_rectangle(cr.get(), i * recipe.width, 0, recipe.width, recipe.height);
        cairo_clip(cr.get());
        cairo_translate(cr.get(), i * recipe.width, 0);
        recipe.draw(cr.get(), recipe.width, recipe.height, states[i]);
        cairo_restore(cr.get());
    }
    cairo_surface_flush(surface.get());
    if (cairo_surface_write_to_png(surface.get(), target.c_str()) != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("cannot write " + target);
}

}  // namespace

std::vector<SkinFile> skin_files()
{
    std::vector<SkinFile> files;
    std::set<std::string> seen;
    add_table(files, seen, DialogImageTable(), false);
    add_table(files, seen, MenuImageTable(), false);
    add_table(files, seen, SkinImageTable(), false);
    add_table(files, seen, SkinImageTable2(), true);
    add_table(files, seen, ExtraSkinStrips(), true);
    return files;
}

void generate_skin(const std::string& program_folder)
{
    for (const auto& file : skin_files()) {
        const std::string target = plat::join_path(program_folder, file.path);
        if (!plat::create_folder_tree(folder_of(target)))
            throw std::runtime_error("cannot make the folder of " + target);
        draw_file(file, target);
    }
}

}
