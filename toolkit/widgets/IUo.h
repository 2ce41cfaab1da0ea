#pragma once
// The compositor-layer interface: a reference count and the eighteen layer
// operations the compose server calls. A layer answers them; a widget keeps
// the base answers (every one 0).

#include "platform/base/Guid.h"
#include "platform/base/Types.h"

class IUo {
public:
    IUo() = default;
    IUo(const IUo&) = delete;
    IUo& operator=(const IUo&) = delete;

    // Answers 0 and writes nothing: layers are reached through their own type.
    virtual long QueryInterface(const GUID& iid, void** out);
    virtual long AddRef();
    // Deletes the object when the count reaches zero.
    virtual long Release();

    virtual long Render() { return 0; }
    virtual long OnDeviceEvent(DWORD code, intptr_t first, intptr_t second);
    virtual bool WantsEvent(DWORD code);
    virtual long SetLayerActive(bool active);
    virtual bool IsLayerActive() { return false; }
    virtual long InvalidateLayer(int flag);
    virtual bool NeedsRedraw() { return false; }
    virtual long LayerReserved1() { return 0; }
    virtual long GetLayerOrder() { return 0; }
    virtual long LayerReserved3() { return 0; }
    virtual long LayerReserved4() { return 0; }
    virtual long LayerReserved5() { return 0; }
    virtual long LayerReserved6() { return 0; }
    virtual long LayerReserved7() { return 0; }
    virtual long LayerReserved8() { return 0; }
    virtual long LayerReserved9() { return 0; }
    virtual LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
    virtual long LayerReservedLast() { return 0; }

protected:
    virtual ~IUo() = default;

private:
    int m_refs{0};   // plain count: references are taken and dropped on the UI thread
};
