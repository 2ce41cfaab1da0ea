#include "TestInterfaces.h"

#include "platform/com/ComPtr.h"
#include "platform/com/ServerModule.h"

#include <gtest/gtest.h>

namespace {

class Counter final : public plat::ComObject<ITestNamedCounter, ITestFactoryUser> {
public:
    LONG Next() override { return ++m_count; }
    const char* Name() override { return "counter"; }
    HRESULT CreateByClassId(REFCLSID, REFIID, void**) override { return E_NOTIMPL; }

private:
    LONG m_count{0};
};

const plat::ServerClass classes[] = {
    plat::server_class<Counter>({CLSID_TestCounter, "Counter", "", "", ""}),
};

}

TEST(ComObject, AnswersItsInterfacesTheirBasesAndOneIdentity)
{
    auto named = plat::ComPtr<ITestNamedCounter>::adopt(new Counter());
    auto counter = named.as<ITestCounter>();
    auto user = named.as<ITestFactoryUser>();
    ASSERT_TRUE(counter);
    ASSERT_TRUE(user);
    EXPECT_EQ(counter->Next(), 1);
    EXPECT_EQ(named->Next(), 2) << "one object behind both interfaces";
    EXPECT_EQ(named.as<IUnknown>(), user.as<IUnknown>());
    EXPECT_EQ(counter.as<IUnknown>(), user.as<IUnknown>());

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(named->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(named->QueryInterface(IID_ITestCounter, nullptr), E_POINTER);
}

TEST(ComObject, ModuleCanUnloadOnlyWhenObjectsAndLocksAreGone)
{
    EXPECT_EQ(plat::can_unload_now(), S_OK);
    plat::ComPtr<IClassFactory> factory;
    ASSERT_EQ(plat::get_class_object(classes, CLSID_TestCounter, IClassFactory::iid, factory.put_void()), S_OK);
    plat::ComPtr<ITestCounter> counter;
    ASSERT_EQ(factory->CreateInstance(nullptr, ITestCounter::iid, counter.put_void()), S_OK);
    factory.reset();
    EXPECT_EQ(plat::can_unload_now(), S_FALSE) << "an object is alive";
    counter.reset();
    EXPECT_EQ(plat::can_unload_now(), S_OK);

    ASSERT_EQ(plat::get_class_object(classes, CLSID_TestCounter, IClassFactory::iid, factory.put_void()), S_OK);
    factory->LockServer(TRUE);
    factory.reset();
    EXPECT_EQ(plat::can_unload_now(), S_FALSE) << "the server is locked";
    ASSERT_EQ(plat::get_class_object(classes, CLSID_TestCounter, IClassFactory::iid, factory.put_void()), S_OK);
    factory->LockServer(FALSE);
    factory.reset();
    EXPECT_EQ(plat::can_unload_now(), S_OK);
}

TEST(ComObject, FactoryRefusesAggregationAndUnknownInterfacesWithoutLeaking)
{
    plat::ComPtr<IClassFactory> factory;
    ASSERT_EQ(plat::get_class_object(classes, CLSID_TestCounter, IClassFactory::iid, factory.put_void()), S_OK);
    plat::ComPtr<IUnknown> outer = factory.as<IUnknown>();

    const struct { const char* what; IUnknown* outer; IID iid; HRESULT expected; } cases[] = {
        {"aggregation", outer.get(), IID_IUnknown, CLASS_E_NOAGGREGATION},
        {"unknown interface", nullptr, IID_IClassFactory, E_NOINTERFACE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(factory->CreateInstance(c.outer, c.iid, &object), c.expected);
        EXPECT_EQ(object, nullptr);
    }
    outer.reset();
    factory.reset();
    EXPECT_EQ(plat::can_unload_now(), S_OK) << "no object was left behind";
}

TEST(ComObject, ClassTableServesOnlyItsClasses)
{
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(plat::get_class_object(classes, IID_ITestCounter, IClassFactory::iid, &object),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(plat::get_class_object(classes, CLSID_TestCounter, IID_ITestCounter, &object), E_NOINTERFACE);
    EXPECT_EQ(plat::can_unload_now(), S_OK);
}
