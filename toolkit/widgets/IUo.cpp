#include "IUo.h"

long IUo::QueryInterface(const GUID&, void**) { return 0; }

long IUo::AddRef() { return ++m_refs; }

long IUo::Release()
{
    const long left = --m_refs;
    if (left == 0) delete this;
    return left;
}

long IUo::OnDeviceEvent(DWORD, intptr_t, intptr_t) { return 0; }

bool IUo::WantsEvent(DWORD) { return false; }

long IUo::SetLayerActive(bool) { return 0; }

long IUo::InvalidateLayer(int) { return 0; }

LRESULT IUo::OnMessage(UINT, WPARAM, LPARAM) { return 0; }
