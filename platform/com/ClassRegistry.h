#pragma once
// The HKCR keys of COM classes in the registry store:
//   CLSID\{clsid}                          @ = description
//   CLSID\{clsid}\InprocServer32           @ = module file, "ThreadingModel" = model
//   CLSID\{clsid}\ProgID                   @ = ProgID
//   CLSID\{clsid}\VersionIndependentProgID @ = version-independent ProgID
//   <ProgID>                               @ = description; CLSID\@ = {clsid}
//   <version-independent ProgID>           @ = description; CLSID\@ = {clsid}; CurVer\@ = ProgID
// Class ids are written in the upper-case braced form.

#include "platform/base/Guid.h"
#include "platform/base/HResult.h"

#include <optional>
#include <string>
#include <string_view>

namespace plat {

struct ClassRegistration {
    CLSID clsid;
    std::string_view description;
    std::string_view prog_id;                       // empty: none
    std::string_view version_independent_prog_id;   // empty: none
    std::string_view threading_model;               // empty: none ("Both", "Apartment", "Free")
};

class RegistryStore;

// A key with its default text, made when missing. Results are Win32 error
// codes of the store.
LONG write_key(RegistryStore& store, std::u16string_view path, std::string_view default_value);
// Deletes the key with everything under it; a key that is not there counts as deleted.
LONG delete_key_tree(RegistryStore& store, const std::u16string& path);

// Results are Win32 error codes of the store.
LONG write_class_keys(const ClassRegistration& registration, std::string_view module_path);
// Keys that are already gone count as removed.
LONG remove_class_keys(const ClassRegistration& registration);

// The module file of the class's in-process server; nullopt when the class has none.
std::optional<std::string> inproc_server_of(const CLSID& clsid);
// The class under <ProgID>\CLSID; nullopt for an unknown ProgID or a malformed class id.
std::optional<CLSID> clsid_of_prog_id(std::u16string_view prog_id);

}
