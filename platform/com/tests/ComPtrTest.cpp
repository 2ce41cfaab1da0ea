#include "platform/com/ComPtr.h"

#include <gtest/gtest.h>

namespace {

inline constexpr IID IID_IProbe = plat::make_guid("{6B1F2D3A-0000-4000-8000-000000000001}");

struct IProbe : IUnknown {
    static constexpr const IID& iid = IID_IProbe;
    virtual int value() = 0;
};

// Counts references; records its death in a flag the test owns.
class Probe final : public IProbe {
public:
    explicit Probe(bool& died) : m_died(died) {}
    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        if (riid == IID_IUnknown || riid == IID_IProbe) {
            *object = static_cast<IProbe*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        ULONG left = --m_refs;
        if (left == 0) { m_died = true; delete this; }
        return left;
    }
    int value() override { return 7; }
    ULONG refs() const { return m_refs; }

private:
    ULONG m_refs{1};
    bool& m_died;
};

}

TEST(ComPtr, CopiesCountAndTheLastDropReleases)
{
    bool died = false;
    auto* raw = new Probe(died);
    {
        auto a = plat::ComPtr<IProbe>::adopt(raw);
        {
            plat::ComPtr<IProbe> b = a;
            EXPECT_EQ(raw->refs(), 2u);
            plat::ComPtr<IProbe> c = std::move(b);
            EXPECT_EQ(raw->refs(), 2u);
        }
        EXPECT_EQ(raw->refs(), 1u);
        EXPECT_FALSE(died);
    }
    EXPECT_TRUE(died);
}

TEST(ComPtr, QueriesOtherInterfacesByTheirIid)
{
    bool died = false;
    auto probe = plat::ComPtr<IProbe>::adopt(new Probe(died));
    auto unknown = probe.as<IUnknown>();
    ASSERT_TRUE(unknown);
    auto back = unknown.as<IProbe>();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->value(), 7);
    auto none = unknown.as<IClassFactory>();
    EXPECT_FALSE(none);
}

TEST(ComPtr, PutReleasesWhatWasHeld)
{
    bool first_died = false, second_died = false;
    auto p = plat::ComPtr<IProbe>::adopt(new Probe(first_died));
    *p.put() = new Probe(second_died);
    EXPECT_TRUE(first_died);
    EXPECT_FALSE(second_died);
    p.reset();
    EXPECT_TRUE(second_died);
}
