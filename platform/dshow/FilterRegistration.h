#pragma once
// A filter's entry among the DirectShow filters of the registry (HKCR), what
// a filter module's DllRegisterServer writes besides its class keys:
//
//   CLSID\{083863F1-70DE-11D0-BD40-00A0C911CE86}\Instance\{clsid}
//       "FriendlyName" = name        "CLSID" = {clsid}     "Merit" = DWORD
//       "Pin<i>" = pin name          "Pin<i>Flags" = DWORD (1 output, 2 zero allowed, 4 many allowed)
//       "Pin<i>Types" = "{major}{subtype}"   for pins i = 0, 1, ...

#include "platform/base/Guid.h"
#include "platform/base/HResult.h"

#include <span>
#include <string_view>

namespace plat {

inline constexpr CLSID CLSID_LegacyAmFilterCategory = make_guid("{083863F1-70DE-11D0-BD40-00A0C911CE86}");

enum PinFlags : DWORD { PinOutput = 1, PinZeroAllowed = 2, PinManyAllowed = 4 };

struct PinSetup {
    std::string_view name;
    DWORD flags;
    GUID major_type;
    GUID subtype;
};

struct FilterSetup {
    CLSID clsid;
    std::string_view name;
    DWORD merit;
    std::span<const PinSetup> pins;
};

// SELFREG_E_CLASS when the registry cannot be written.
HRESULT register_filter(const FilterSetup& setup) noexcept;
// A filter not registered counts as removed.
HRESULT unregister_filter(const CLSID& clsid) noexcept;

}
