#include "platform/ClassRegistry.h"
#include "platform/Unknown.h"

#include <gtest/gtest.h>

namespace {

struct IFoo : IUnknown
{
    static constexpr IID iid{0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};
    virtual int Foo() = 0;
};
struct IBar : IUnknown
{
    static constexpr IID iid{0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 9}};
    virtual int Bar() = 0;
};

int g_alive = 0;

class FooBar final : public ComObject<IFoo, IBar>
{
public:
    FooBar() { ++g_alive; }
    ~FooBar() override { --g_alive; }
    int Foo() override { return 1; }
    int Bar() override { return 2; }
};

} // namespace

TEST(Com, ComPtrCountsReferencesAndQueryInterfaceFindsEveryInterface)
{
    {
        ComPtr<FooBar> obj = MakeComObject<FooBar>();
        ComPtr<IFoo> foo(obj.Get());
        ComPtr<IBar> bar;
        ASSERT_EQ(foo.As(&bar), S_OK);
        EXPECT_EQ(bar->Bar(), 2);
        ComPtr<IUnknown> unk1, unk2;
        ASSERT_EQ(foo.As(&unk1), S_OK);
        ASSERT_EQ(bar.As(&unk2), S_OK);
        EXPECT_EQ(unk1.Get(), unk2.Get()) << "IUnknown identity must not depend on the path";
        ComPtr<IClassFactory> none;
        EXPECT_EQ(foo.As(&none), E_NOINTERFACE);
        EXPECT_FALSE(none);
        ComPtr<IFoo> moved = std::move(foo);
        EXPECT_FALSE(foo);
        EXPECT_EQ(g_alive, 1);
    }
    EXPECT_EQ(g_alive, 0);
}

TEST(Com, GuidTextRoundTrips)
{
    auto g = GuidFromString("{9e81cec9-b33d-4e4d-b035-b1a26112a53c}");
    ASSERT_TRUE(g);
    EXPECT_EQ(GuidToString(*g), "{9E81CEC9-B33D-4E4D-B035-B1A26112A53C}");
    EXPECT_EQ(GuidFromString("9E81CEC9-B33D-4E4D-B035-B1A26112A53C"), g);
    EXPECT_FALSE(GuidFromString("{9E81CEC9-B33D-4E4D-B035-B1A26112A53}"));
    EXPECT_FALSE(GuidFromString("{9E81CEC9-B33D-4E4D-B035-B1A26112A5XY}"));
}

namespace {
class FooFactory final : public ComObject<IClassFactory>
{
public:
    HRESULT CreateInstance(IUnknown* outer, const IID& riid, void** object) override
    {
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return MakeComObject<FooBar>()->QueryInterface(riid, object);
    }
    HRESULT LockServer(bool) override { return S_OK; }
};
} // namespace

TEST(Com, CreateInstanceByClassIdentifier)
{
    const CLSID clsid{0xABCDEF01, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    ComPtr<IFoo> foo;
    EXPECT_EQ(CoCreateInstance(clsid, foo), REGDB_E_CLASSNOTREG);
    auto factory = MakeComObject<FooFactory>();
    RegisterClassObject(clsid, factory.Get());
    ASSERT_EQ(CoCreateInstance(clsid, foo), S_OK);
    EXPECT_EQ(foo->Foo(), 1);
    foo.Reset();
    RevokeClassObject(clsid);
    EXPECT_EQ(CoCreateInstance(clsid, foo), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(g_alive, 0);
}
