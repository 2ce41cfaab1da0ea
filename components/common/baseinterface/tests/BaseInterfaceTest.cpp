#include "components/common/baseinterface/BaseException.h"
#include "components/common/baseinterface/BaseInterface.h"

#include "platform/base/DebugLog.h"

#include <gtest/gtest.h>

#include <new>

namespace {

class IFirst : public IBaseInterface {
public:
    virtual int First() noexcept = 0;

protected:
    ~IFirst() = default;
};

class ISecond : public IBaseInterface {
public:
    virtual int Second() noexcept = 0;

protected:
    ~ISecond() = default;
};

class Sample : public tBaseObject<IFirst, ISecond> {
public:
    explicit Sample(const char* name = "Sample") : tBaseObject(name)
    {
        RegisterInterface(ID_IBaseInterface, static_cast<IFirst*>(this));
        RegisterInterface(ID_IMurrel, static_cast<IFirst*>(this));
        RegisterInterface(ID_IDataCacheItem, static_cast<ISecond*>(this));
    }
    int First() noexcept override { return 1; }
    int Second() noexcept override { return 2; }
};

}

TEST(BaseInterface, UsesAreCountedPerName)
{
    Sample object;
    object.AddRef("player");
    object.AddRef("player");
    EXPECT_EQ(object.Release("player"), RESULT_OK);
    EXPECT_EQ(object.GetUserCount(), 1u);
    EXPECT_EQ(object.Release("player"), RESULT_OK);
    EXPECT_EQ(object.GetUserCount(), 0u);
}

TEST(BaseInterface, NullUserIsUnknown)
{
    Sample object;
    object.AddRef(nullptr);
    EXPECT_EQ(object.Release("unknown"), RESULT_OK);
    EXPECT_EQ(object.GetUserCount(), 0u);
}

TEST(BaseInterface, NamesCompareOnTheirFirstFifteenCharacters)
{
    Sample object;
    object.AddRef("abcdefghijklmnopqrst");
    EXPECT_EQ(object.Release("abcdefghijklmnoXYZ"), RESULT_OK);
    object.AddRef("abcdefghijklmnopqrst");
    EXPECT_EQ(object.Release("abcdefghijklmn"), RESULT_FAIL);
    EXPECT_EQ(object.GetUserCount(), 1u);
}

TEST(BaseInterface, ReleaseOfAStrangerFailsAndSaysWho)
{
    plat::DebugCapture capture;
    Sample object("tContentCacheItem");
    object.AddRef("player");
    EXPECT_EQ(object.Release("nobody"), RESULT_FAIL);
    EXPECT_EQ(object.GetUserCount(), 1u);
    EXPECT_TRUE(capture.contains("Error to relesae the [tContentCacheItem], User [nobody] can not be found."));
}

TEST(BaseInterface, ModuleNameIsCutToThirtyCharactersOrDefaults)
{
    EXPECT_EQ(Sample("0123456789012345678901234567890123").ModuleName(), "012345678901234567890123456789");
    EXPECT_EQ(Sample(nullptr).ModuleName(), "Module");
}

TEST(BaseInterface, QueryInterfaceHandsOutRegisteredPointersAndCountsTheUse)
{
    Sample object;
    void* out = &object;
    EXPECT_EQ(object.QueryInterface(999, &out, "x"), RESULT_NO_INTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(object.QueryInterface(ID_IBaseInterface, &out, nullptr), RESULT_FAIL);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(object.GetUserCount(), 0u);

    ASSERT_EQ(object.QueryInterface(ID_IDataCacheItem, &out, "x"), RESULT_OK);
    auto* second = static_cast<ISecond*>(out);
    EXPECT_EQ(second->Second(), 2);
    EXPECT_EQ(object.GetUserCount(), 1u);

    // Every interface routes its base slots to the one object.
    ASSERT_EQ(second->QueryInterface(ID_IMurrel, &out, "y"), RESULT_OK);
    EXPECT_EQ(static_cast<IFirst*>(out)->First(), 1);
    EXPECT_EQ(object.GetUserCount(), 2u);
    EXPECT_EQ(static_cast<IFirst*>(out)->Release("x"), RESULT_OK);
    EXPECT_EQ(second->Release("y"), RESULT_OK);
    EXPECT_EQ(object.GetUserCount(), 0u);
}

TEST(BaseInterface, GuardedCallsTurnAnythingThrownIntoFailure)
{
    EXPECT_EQ(guarded_call([]() -> BaseResult { throw GeneralException(GENERAL_ERROR_NO_MEMORY); }), RESULT_FAIL);
    EXPECT_EQ(guarded_call([]() -> BaseResult { throw std::bad_alloc(); }), RESULT_FAIL);
    EXPECT_EQ(guarded_call([] { return RESULT_TIMEOUT; }), RESULT_TIMEOUT);
}
