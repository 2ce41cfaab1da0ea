#pragma once
// The filter setup data a filter module registers beside its class, where
// the filter mapper keeps it: under HKCR
//   CLSID\{083863F1-70DE-11D0-BD40-00A0C911CE86}\Instance\{clsid}
// "FriendlyName" (REG_SZ), "CLSID" (REG_SZ) and "FilterData" (REG_BINARY,
// the mapper's version 2 layout: version, merit, pin count, then each pin
// "Npi3" with its flags, instances and media types "Nty3" pointing at the
// major and minor type GUIDs stored after them).

#include "platform/base/Guid.h"
#include "platform/com/ServerModule.h"
#include "platform/dshow/FilterGraph.h"

#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace plat {

struct PinTypeSetup {
    const GUID* major;
    const GUID* minor;   // GUID_NULL: any
};

struct PinSetup {
    std::string_view name;   // not part of the stored data, as with the mapper
    bool rendered;
    bool output;
    bool zero;   // the pin may be absent
    bool many;   // more than one may exist
    std::span<const PinTypeSetup> types;
};

struct FilterSetup {
    const CLSID* clsid;
    std::string_view name;
    DWORD merit;
    std::span<const PinSetup> pins;
};

// The category of DirectShow filters, under which the instances are kept.
inline constexpr GUID CLSID_LegacyAmFilterCategory = make_guid("{083863F1-70DE-11D0-BD40-00A0C911CE86}");

std::vector<BYTE> filter_data(const FilterSetup& setup);
// Results are Win32 error codes of the store.
LONG write_filter_keys(const FilterSetup& setup);
// A filter that is not registered counts as removed.
LONG remove_filter_keys(const CLSID& clsid);

// What a filter module's DllRegisterServer and DllUnregisterServer do: its
// classes and its filter's setup data, SELFREG_E_CLASS when the setup data
// cannot be written or removed.
HRESULT register_filter_module(std::span<const ServerClass> classes, const FilterSetup& setup);
HRESULT unregister_filter_module(std::span<const ServerClass> classes, const CLSID& clsid);

// What the graph manager reads back of "FilterData": the merit and the types
// the input pins take. Empty for data cut short or pointing outside itself.
struct FilterDataSummary {
    DWORD merit;
    std::vector<PinType> inputs;
};
std::optional<FilterDataSummary> read_filter_data(std::span<const BYTE> data);

// Makes a registered filter by its class id; CoCreateInstance in the program.
using FilterMaker = std::function<ComPtr<IBaseFilter>(const CLSID&)>;
ComPtr<IBaseFilter> create_registered_filter(const CLSID& clsid);

// Every filter registered under the filter category with readable data, for a
// graph to choose among by merit.
std::vector<FilterTemplate> registered_filters(const FilterMaker& make = create_registered_filter);

}
