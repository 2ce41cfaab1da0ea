#pragma once
// A device context over a surface's pixels (IDirect3DSurface9::GetDC), drawn
// into with cairo: what GDI drawing into a texture becomes here.

struct HDC__;
using HDC = HDC__*;

struct _cairo;

namespace plat {

// The cairo context of a device context a surface handed out; null for null.
// It draws premultiplied ARGB straight into the surface's texels until
// ReleaseDC; an X8R8G8B8 surface reads its alpha as opaque again afterwards.
_cairo* device_context_cairo(HDC dc);

}
