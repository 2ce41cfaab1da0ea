#include "CVideoSource.h"

#include "platform/dshow/Interfaces.h"

CVideoSource::CVideoSource(IVideoSourceNotify* owner) : m_owner(owner) {}

CVideoSource::~CVideoSource() = default;

HRESULT CVideoSource::QueryInterface(REFIID riid, void** object)
{
    if (object == nullptr) return E_POINTER;
    *object = riid == IID_IUnknown ? static_cast<IUnknown*>(static_cast<IDisplayVideoSource*>(this))
                                   : NonDelegatingQueryInterface(riid);
    if (*object == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

void* CVideoSource::NonDelegatingQueryInterface(REFIID riid)
{
    return riid == IID_IDisplayVideoSource ? static_cast<IDisplayVideoSource*>(this) : nullptr;
}

ULONG CVideoSource::AddRef() { return ++m_refs; }

ULONG CVideoSource::Release()
{
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
}

// Neither source keeps a graph object of its own.
HRESULT CVideoSource::GetGraph(IUnknown** graph)
{
    if (graph == nullptr) return E_POINTER;
    *graph = nullptr;
    return VFW_E_NOT_FOUND;
}

HRESULT CVideoSource::GetTexture(IDirect3DTexture9**, VMR9NormalizedRect*) { return 0; }

HRESULT CVideoSource::GetVideoSize(LONG* width, LONG* height, float* aspect)
{
    if (width) *width = LONG(m_width.load());
    if (height) *height = LONG(m_height.load());
    if (aspect) *aspect = m_aspect.load();
    return S_OK;
}

HRESULT CVideoSource::AttachGraph(IBaseFilter*) { return 0; }

HRESULT CVideoSource::DetachGraph() { return 0; }

HRESULT CVideoSource::IsActive() { return m_active ? S_OK : E_FAIL; }

HRESULT CVideoSource::SetFrameState(DWORD state)
{
    m_frame_state = state;
    return S_OK;
}

HRESULT CVideoSource::Close() { return 0; }

HRESULT CVideoSource::ChangeDevice(IUnknown*) { return 0; }
