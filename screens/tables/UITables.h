// The program's skin vocabulary: default texts, the picture tables that map
// skin ids to image files, the font table and the names of the UI events.
// Fixed at build time, in array order; nothing changes them at run time.
// Names, files and texts keep their spelling exactly, typos included: the
// screens ask for them by these names and the skin folder holds these files.
#pragma once

#include "platform/base/Types.h"
#include "platform/d3d9/D3DX.h"

#include <span>
#include <string>
#include <string_view>

struct TextTableEntry {
    int32_t id;          // string-table id of the text
    const WCHAR* text;   // default text
};

struct SkinImageEntry {
    int32_t id;          // numeric image id kept with the loaded picture
    const char* name;    // skin id widgets ask for
    const WCHAR* file;   // relative to the program folder, backslash-separated, leading backslash
};

struct SkinFontEntry {
    int32_t id;                  // numeric font id
    const char* name;            // font id widgets ask for
    D3DXFONT_DESCW description;  // what the font is created from
};

std::span<const TextTableEntry> DefaultUITextTable();
std::span<const SkinImageEntry> DialogImageTable();
std::span<const SkinImageEntry> MenuImageTable();
std::span<const SkinImageEntry> SkinImageTable();
std::span<const SkinImageEntry> SkinImageTable2();  // four-state strips
// Four-state strips that the screens name and the tables above lack: the
// sync-device pane's sync button ("btnsync"). Loaded and drawn as the others.
std::span<const SkinImageEntry> ExtraSkinStrips();
std::span<const SkinFontEntry> SkinFontTable();
std::span<const char* const> UIEventNames();

// The table path as a path below the program folder: '/' separators, and the
// skin folder in its one spelling "Skins/images" (the tables also write it
// "\skins\images\", the same folder where names ignore case). File names
// keep their case.
std::string SkinRelativePath(std::u16string_view table_file);
