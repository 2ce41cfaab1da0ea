#pragma once
// What a COM server module needs to implement its four exports: a table of
// its classes, each with its registration and a factory maker.
//
//   const plat::ServerClass classes[] = {plat::server_class<Parser>({clsid, "RSSParser Class",
//                                         "Pellow.RSSParser.1", "Pellow.RSSParser", "Both"})};
//   HRESULT DllGetClassObject(REFCLSID c, REFIID i, void** o) { return plat::get_class_object(classes, c, i, o); }
//   HRESULT DllCanUnloadNow() { return plat::can_unload_now(); }
//   HRESULT DllRegisterServer() { return plat::register_server(classes); }
//   HRESULT DllUnregisterServer() { return plat::unregister_server(classes); }
//
// The table must be a static of the module: registration finds the module's
// own file from the table's address.

#include "platform/com/ClassFactory.h"
#include "platform/com/ClassRegistry.h"

#include <span>

namespace plat {

struct ServerClass {
    ClassRegistration registration;
    IClassFactory* (*create_factory)();   // a new factory holding one reference, or null
};

template <class T>
constexpr ServerClass server_class(const ClassRegistration& registration)
{
    return {registration, []() -> IClassFactory* { return new (std::nothrow) ClassFactory<T>(); }};
}

// CLASS_E_CLASSNOTAVAILABLE for a class the table does not hold.
HRESULT get_class_object(std::span<const ServerClass> classes, REFCLSID clsid, REFIID iid, void** object) noexcept;

// S_OK when no object of this module and no server lock is alive.
[[gnu::visibility("hidden")]] inline HRESULT can_unload_now() noexcept
{
    return module_lock_count() == 0 ? S_OK : S_FALSE;
}

// Writes (or removes) the HKCR keys of every class in the table, with this
// module's file as the in-process server. SELFREG_E_CLASS when a write fails.
HRESULT register_server(std::span<const ServerClass> classes) noexcept;
HRESULT unregister_server(std::span<const ServerClass> classes) noexcept;

}
