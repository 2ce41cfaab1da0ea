// A COM server module for the tests: one class with three interfaces.

#include "TestInterfaces.h"

#include "platform/com/Com.h"
#include "platform/com/ServerExports.h"
#include "platform/com/ServerModule.h"

namespace {

class TestCounter final : public plat::ComObject<ITestNamedCounter, ITestFactoryUser> {
public:
    LONG Next() override { return ++m_count; }
    const char* Name() override { return "test counter"; }
    HRESULT CreateByClassId(REFCLSID clsid, REFIID iid, void** object) override
    {
        return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object);
    }

private:
    LONG m_count{0};
};

const plat::ServerClass classes[] = {
    plat::server_class<TestCounter>(
        {CLSID_TestCounter, "TestCounter Class", "StrimoTest.Counter.1", "StrimoTest.Counter", "Both"}),
};

}

HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return plat::get_class_object(classes, clsid, iid, object);
}
HRESULT DllCanUnloadNow() { return plat::can_unload_now(); }
HRESULT DllRegisterServer() { return plat::register_server(classes); }
HRESULT DllUnregisterServer() { return plat::unregister_server(classes); }
