#include "platform/com/Com.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

constexpr CLSID CLSID_Nowhere = plat::make_guid("{0E5B1C2D-1111-4222-8333-944455566677}");

HRESULT try_create()
{
    IUnknown* object = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_Nowhere, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&object));
    EXPECT_EQ(object, nullptr);
    return hr;
}

// Runs body on a thread of its own, so each check starts from a thread that never initialised COM.
template <class Body>
void on_new_thread(Body body)
{
    std::thread(body).join();
}

}

TEST(Apartment, CountsInitialisationsPerThread)
{
    plat::TemporaryRegistry registry;
    on_new_thread([] {
        EXPECT_EQ(try_create(), CO_E_NOTINITIALIZED);
        EXPECT_EQ(CoInitialize(nullptr), S_OK);
        EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
        EXPECT_EQ(try_create(), REGDB_E_CLASSNOTREG);

        on_new_thread([] { EXPECT_EQ(try_create(), CO_E_NOTINITIALIZED); });

        CoUninitialize();
        EXPECT_EQ(try_create(), REGDB_E_CLASSNOTREG) << "one initialisation is still open";
        CoUninitialize();
        EXPECT_EQ(try_create(), CO_E_NOTINITIALIZED);
        CoUninitialize();   // one too many changes nothing
        EXPECT_EQ(CoInitialize(nullptr), S_OK);
        CoUninitialize();
    });
}

TEST(Apartment, RefusesTheOtherThreadingModelWithoutCountingIt)
{
    on_new_thread([] {
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        EXPECT_EQ(CoInitialize(nullptr), RPC_E_CHANGED_MODE);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
        CoUninitialize();
        CoUninitialize();
        EXPECT_EQ(try_create(), CO_E_NOTINITIALIZED);
        EXPECT_EQ(CoInitialize(nullptr), S_OK) << "a new first initialisation may choose again";
        CoUninitialize();
    });
}
