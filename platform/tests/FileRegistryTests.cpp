#include "platform/FileRegistry.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

const char* kScript = R"(
HKCR
{
    Test.Thing.1 = s 'Thing Class'
    {
        CLSID = s '{11111111-2222-3333-4444-555555555555}'
    }
    NoRemove CLSID
    {
        ForceRemove {11111111-2222-3333-4444-555555555555} = s 'Thing Class'
        {
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
            }
        }
    }
}
)";

} // namespace

TEST(FileRegistry, ScriptsRegisterRewriteAndUnregister)
{
    const std::string path = testing::TempDir() + "/registry-test";
    std::filesystem::remove(path);
    FileRegistry r;
    ASSERT_TRUE(r.Load(path));
    r.SetValue("CLSID\\{99999999-0000-0000-0000-000000000000}", "", "Other");
    r.SetValue("CLSID\\{11111111-2222-3333-4444-555555555555}\\Stale", "", "x");
    std::string error;
    ASSERT_TRUE(r.RunScript(kScript, {{"%MODULE%", "/opt/lib/libthing.so"}}, false, &error)) << error;
    EXPECT_EQ(r.GetValue("test.thing.1\\clsid"), "{11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(r.GetValue("CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32"),
              "/opt/lib/libthing.so");
    EXPECT_EQ(r.GetValue("CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32", "ThreadingModel"),
              "Apartment");
    EXPECT_FALSE(r.KeyExists("CLSID\\{11111111-2222-3333-4444-555555555555}\\Stale"))
        << "ForceRemove rewrites";
    ASSERT_TRUE(r.Save(&error)) << error;

    FileRegistry again;
    ASSERT_TRUE(again.Load(path));
    EXPECT_EQ(again.GetValue("Test.Thing.1"), "Thing Class");
    ASSERT_TRUE(again.RunScript(kScript, {{"%MODULE%", "x"}}, true, &error)) << error;
    EXPECT_FALSE(again.KeyExists("Test.Thing.1"));
    EXPECT_FALSE(again.KeyExists("CLSID\\{11111111-2222-3333-4444-555555555555}"));
    EXPECT_TRUE(again.KeyExists("CLSID")) << "NoRemove keys stay";
    EXPECT_EQ(again.GetValue("CLSID\\{99999999-0000-0000-0000-000000000000}"), "Other");
}

TEST(FileRegistry, BrokenScriptsAreRefused)
{
    FileRegistry r;
    std::string error;
    EXPECT_FALSE(r.RunScript("HKCR { A = s 'x' ", {}, false, &error));
    EXPECT_EQ(error, "missing '}'");
    EXPECT_FALSE(r.RunScript("HKCR { A = d 5 }", {}, false, &error));
    EXPECT_FALSE(r.RunScript("HKCR { A = s 'open }", {}, false, &error));
    EXPECT_FALSE(r.RunScript("}", {}, false, &error));
}
