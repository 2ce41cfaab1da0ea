#pragma once
// Texture size rules on demand, for tests of callers that honour them. Our
// software device takes any size until told otherwise.

#include "platform/base/Types.h"

struct IDirect3DDevice9;

namespace plat {

// The TextureCaps the device reports from now on. With D3DPTEXTURECAPS_POW2
// and without D3DPTEXTURECAPS_NONPOW2CONDITIONAL, CreateTexture refuses sizes
// that are not powers of two, as such hardware does. Does nothing for a
// device that is not ours.
void set_texture_caps(IDirect3DDevice9* device, DWORD caps);

}
