#pragma once
// A line of glyphs drawn through a sprite in one call, from their 8-bit
// coverage. Private to platform/d3d9: the font's way past one sprite draw and
// one texture per glyph.

#include "platform/d3d9/Raster.h"

#include <cstddef>

struct ID3DXSprite;

namespace plat {

// Draws the glyphs (positions in sprite space) exactly as the begun sprite
// would draw textures of their coverage there; a sprite not begun draws
// nothing, as its Draw would. False when the sprite's transform is more than a
// whole-pixel move or the sprite is not ours: the caller then draws glyph by glyph.
bool draw_glyph_run(ID3DXSprite* sprite, raster::Coverage* glyphs, std::size_t count, D3DCOLOR color);

}
