#pragma once
// Gives a filter the output settings interface: the record is kept for the
// filter to read when it sets up its codec.

#include "OutputSettings.h"

#include <mutex>

namespace filters {

template <class Filter>
class WithOutputSettings : public Filter, public IOutputSettings {
public:
    using Filter::Filter;

    HRESULT QueryInterface(REFIID iid, void** object) override { return Filter::QueryInterface(iid, object); }
    ULONG AddRef() override { return Filter::AddRef(); }
    ULONG Release() override { return Filter::Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override
    {
        if (object != nullptr && iid == IOutputSettings::iid) {
            *object = static_cast<IOutputSettings*>(this);
            AddRef();
            return S_OK;
        }
        return Filter::NonDelegatingQueryInterface(iid, object);
    }

    HRESULT SetSettings(DWORD which, const tOutputSettings* record) override
    {
        if (record == nullptr) return E_POINTER;
        if (which != 0) return E_INVALIDARG;
        std::scoped_lock hold(m_settings_lock);
        m_settings = *record;
        return S_OK;
    }

protected:
    tOutputSettings settings() const
    {
        std::scoped_lock hold(m_settings_lock);
        return m_settings;
    }

private:
    mutable std::mutex m_settings_lock;
    tOutputSettings m_settings{};   // guarded by m_settings_lock; all zero: the defaults
};

}
