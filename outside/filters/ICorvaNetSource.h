#pragma once
// The private interface of "Corva Net Source": the engine hands it the
// ISourceManager its output pin reads from.

#include "outside/filters/ISourceManager.h"
#include "platform/base/Guid.h"
#include "platform/com/Unknown.h"

namespace filters {

inline constexpr CLSID CLSID_CorvaNetSource = plat::make_guid("{707C02AF-08D2-40CE-AE3F-E1B0C9ECBB7F}");
inline constexpr IID IID_ICorvaNetSource = plat::make_guid("{AD14DAE9-5336-4947-857C-D3FA929A46A2}");

struct ICorvaNetSource : IUnknown {
    static constexpr const IID& iid = IID_ICorvaNetSource;
    // Where the bytes come from from now on (null: nowhere, every read fails).
    virtual HRESULT SetSourceManager(ISourceManager* manager) = 0;

protected:
    ~ICorvaNetSource() = default;
};

}
