#include "host/catalogue/tests/HostTestSupport.h"
#include "host/objects/HostSession.h"
#include "host/objects/ProjectFactory.h"
#include "host/store/ProjectStore.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace hosttest;
using namespace testsupport;

namespace {

class ProjectStoreTest : public ::testing::Test
{
protected:
    std::shared_ptr<ProjectStore> NewProject(const std::string& name = "p.veltrona")
    {
        std::string error;
        auto store = CreateGatewayProject(dir.File(name), *catalogue, NewProjectOptions{}, &error);
        EXPECT_TRUE(store) << error;
        return store;
    }
    std::int64_t DeviceId(ProjectStore& store)
    {
        std::vector<DeviceRecord> devices;
        EXPECT_TRUE(store.Devices(devices));
        return devices.empty() ? 0 : devices.front().id;
    }
    std::optional<StoredValue> ValueOf(ProjectStore& store, std::int32_t uniqueNr)
    {
        std::vector<StoredParameter> values;
        EXPECT_TRUE(store.ParameterValues(DeviceId(store), values));
        for (const StoredParameter& p : values) {
            if (p.uniqueNr == uniqueNr)
                return p.value;
        }
        return std::nullopt;
    }

    ScratchDir dir;
    std::shared_ptr<Catalogue> catalogue = MakeTestCatalogue();
};

} // namespace

TEST_F(ProjectStoreTest, NewProjectHoldsTheGatewayWithEveryDefaultAndNeverOverwrites)
{
    auto store = NewProject();
    ASSERT_TRUE(store);
    EXPECT_EQ(store->Name(), "Veltrona project");
    EXPECT_EQ(store->AddressLevels(), 3);
    std::vector<DeviceRecord> devices;
    ASSERT_TRUE(store->Devices(devices));
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].individualAddress, 0x1101);
    EXPECT_EQ(devices[0].name, "DALI Gateway R3");
    EXPECT_EQ(devices[0].applicationNumber, kApplication);
    EXPECT_EQ(devices[0].maskVersion, kMask);
    EXPECT_EQ(ValueOf(*store, 11), StoredValue(std::int64_t{50}));
    EXPECT_EQ(ValueOf(*store, 12), StoredValue(std::string("abc")));
    // The mask default keeps bit 31; the UI text without value is not stored.
    EXPECT_EQ(ValueOf(*store, 14), StoredValue(std::int64_t{0x80000001}));
    EXPECT_EQ(ValueOf(*store, 700), std::nullopt);
    std::vector<ObjectRecord> objects;
    ASSERT_TRUE(store->Objects(devices[0].id, objects));
    EXPECT_EQ(objects.size(), 4u);

    store.reset();
    const std::string before = ReadAll(dir.File("p.veltrona"));
    std::string error;
    EXPECT_FALSE(CreateGatewayProject(dir.File("p.veltrona"), *catalogue, NewProjectOptions{}, &error));
    EXPECT_NE(error.find("already exists"), std::string::npos) << error;
    EXPECT_EQ(ReadAll(dir.File("p.veltrona")), before);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("")), {}), 1);

    EXPECT_FALSE(CreateGatewayProject(dir.File("no/such/folder/p.veltrona"), *catalogue, {}, &error));
    EXPECT_NE(error.find("cannot be created"), std::string::npos) << error;
}

TEST_F(ProjectStoreTest, BadFilesAreRefusedWithAClearTextAndLeftAlone)
{
    ASSERT_TRUE(NewProject("good.veltrona"));
    const std::string good = ReadAll(dir.File("good.veltrona"));
    ASSERT_GT(good.size(), 8192u);

    auto writeSqlite = [&](const std::string& name, const char* sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(dir.File(name).c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    };
    WriteAll(dir.File("text.veltrona"), "Group addresses:\n1/2/3 Office\n");
    WriteAll(dir.File("empty.veltrona"), "");
    writeSqlite("other.veltrona", "CREATE TABLE t(x); INSERT INTO t VALUES (1);");
    WriteAll(dir.File("newer.veltrona"), good);
    writeSqlite("newer.veltrona", "PRAGMA user_version = 2;");
    WriteAll(dir.File("truncated.veltrona"), good.substr(0, good.size() / 2));
    std::string scrambled = good;
    for (std::size_t i = 4096; i < scrambled.size(); i += 7)
        scrambled[i] = static_cast<char>(scrambled[i] ^ 0x5A);
    WriteAll(dir.File("scrambled.veltrona"), scrambled);
    std::filesystem::create_directory(dir.File("folder.veltrona"));

    struct Case
    {
        const char* file;
        const char* says;
    };
    const Case cases[] = {
        {"missing.veltrona", "does not exist"},
        {"folder.veltrona", "is not a project file"},
        {"text.veltrona", "no SQLite database"},
        {"empty.veltrona", "is not a Veltrona project"},
        {"other.veltrona", "is not a Veltrona project"},
        {"newer.veltrona", "newer version of Veltrona (project format 2"},
        {"truncated.veltrona", "damaged"},
        {"scrambled.veltrona", "damaged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = dir.File(c.file);
        const bool isFile = std::filesystem::is_regular_file(path);
        const std::string before = isFile ? ReadAll(path) : std::string();
        std::string error;
        EXPECT_FALSE(ProjectStore::Open(path, &error));
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_NE(error.find(c.file), std::string::npos) << error;
        if (isFile) {
            EXPECT_EQ(ReadAll(path), before);
        }
    }
    std::string error;
    EXPECT_TRUE(ProjectStore::Open(dir.File("good.veltrona"), &error)) << error;

    // Damage among the device's values and objects (the last pages) shows at the latest when the
    // device is opened, still without a change to the file.
    std::string late = good;
    for (std::size_t i = late.size() - 3 * 4096; i < late.size(); i += 5)
        late[i] = static_cast<char>(late[i] ^ 0x33);
    WriteAll(dir.File("late.veltrona"), late);
    auto model = CatalogueModel::Build(catalogue, &error);
    ASSERT_TRUE(model) << error;
    error.clear();
    auto store = ProjectStore::Open(dir.File("late.veltrona"), &error);
    if (store) {
        EXPECT_FALSE(HostSession::Open(store, model, &error));
        store.reset();
    }
    EXPECT_NE(error.find("is damaged"), std::string::npos) << error;
    EXPECT_EQ(ReadAll(dir.File("late.veltrona")), late);
}

TEST_F(ProjectStoreTest, SessionCommitsOrRollsBackAndKeepsASecondEditorOut)
{
    auto store = NewProject();
    ASSERT_TRUE(store);
    const std::int64_t device = DeviceId(*store);

    ASSERT_TRUE(store->BeginSession());
    EXPECT_FALSE(store->BeginSession());
    ASSERT_TRUE(store->SetParameterValue(device, 11, std::int64_t{77}));
    ASSERT_TRUE(store->AddMainGroup(3, "Heating"));
    const auto generation = store->Generation();
    ASSERT_TRUE(store->Rollback());
    EXPECT_NE(store->Generation(), generation);
    EXPECT_EQ(ValueOf(*store, 11), StoredValue(std::int64_t{50}));
    std::vector<GroupNodeRecord> mains;
    ASSERT_TRUE(store->MainGroups(mains));
    EXPECT_TRUE(mains.empty());

    ASSERT_TRUE(store->BeginSession());
    ASSERT_TRUE(store->SetParameterValue(device, 12, std::string("Hall")));
    {
        std::string error;
        auto second = ProjectStore::Open(store->Path(), &error);
        ASSERT_TRUE(second) << error;
        const std::string bytes = ReadAll(store->Path());
        EXPECT_FALSE(second->BeginSession(std::chrono::milliseconds(50)));
        EXPECT_NE(second->LastError().find("another program has it open for editing"), std::string::npos);
        EXPECT_EQ(ReadAll(store->Path()), bytes) << "the refused session leaves the file untouched";
        // A lock that goes while the second program waits is taken.
        std::thread saver([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            store->Commit();
        });
        EXPECT_TRUE(second->BeginSession(std::chrono::seconds(10)));
        saver.join();
        EXPECT_TRUE(second->Rollback());
        ASSERT_TRUE(store->BeginSession());
    }
    ASSERT_TRUE(store->Commit());
    EXPECT_FALSE(store->InSession());
    store.reset();

    std::string error;
    auto reopened = ProjectStore::Open(dir.File("p.veltrona"), &error);
    ASSERT_TRUE(reopened) << error;
    EXPECT_EQ(ValueOf(*reopened, 12), StoredValue(std::string("Hall")));
}

TEST_F(ProjectStoreTest, BufferedValuesOfASessionAreReadBackUndoneWithAFailedChangeAndSavedOnce)
{
    auto store = NewProject();
    ASSERT_TRUE(store);
    const std::int64_t device = DeviceId(*store);
    ASSERT_TRUE(store->BeginSession());
    for (std::int64_t v : {1, 2, 3})
        ASSERT_TRUE(store->SetParameterValue(device, 11, v));
    EXPECT_EQ(ValueOf(*store, 11), StoredValue(std::int64_t{3}));

    // A change that fails takes back what it buffered: a new value and one buffered before it.
    ASSERT_TRUE(store->SetParameterValue(device, 11, std::int64_t{4}));
    EXPECT_FALSE(store->Atomically([&] {
        return store->SetParameterValue(device, 11, std::int64_t{5}) &&
               store->SetParameterValue(device, 12, std::string("Undone")) && false;
    }));
    EXPECT_EQ(ValueOf(*store, 11), StoredValue(std::int64_t{4}));
    EXPECT_EQ(ValueOf(*store, 12), StoredValue(std::string("abc")));
    EXPECT_TRUE(store->Atomically([&] { return store->SetParameterValue(device, 12, std::string("Kept")); }));
    ASSERT_TRUE(store->SetParameterValue(device, 11, std::int64_t{6}));
    ASSERT_TRUE(store->Commit());
    EXPECT_EQ(ValueOf(*store, 11), StoredValue(std::int64_t{6}));
    EXPECT_EQ(ValueOf(*store, 12), StoredValue(std::string("Kept")));

    // Values buffered and dropped with the session never reach the file.
    ASSERT_TRUE(store->BeginSession());
    ASSERT_TRUE(store->SetParameterValue(device, 11, std::int64_t{7}));
    ASSERT_TRUE(store->Rollback());
    ASSERT_TRUE(store->BeginSession());
    ASSERT_TRUE(store->SetParameterValue(device, 12, std::string("Later")));
    ASSERT_TRUE(store->Commit());
    EXPECT_EQ(ValueOf(*store, 11), StoredValue(std::int64_t{6}));
    EXPECT_EQ(ValueOf(*store, 12), StoredValue(std::string("Later")));
}

TEST_F(ProjectStoreTest, AProcessKilledInsideASessionLeavesTheProjectAsItWas)
{
    auto store = NewProject();
    ASSERT_TRUE(store);
    const std::int64_t device = DeviceId(*store);
    const std::string path = store->Path();
    store.reset();
    const std::string before = ReadAll(path);

    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child edits through a connection of its own; a one-page cache makes SQLite write the
        // changed pages into the project file itself before the end of the session.
        ::close(ready[0]);
        auto edit = ProjectStore::Open(path, nullptr);
        bool ok = edit &&
                  sqlite3_exec(edit->Handle(), "PRAGMA cache_size = 1", nullptr, nullptr, nullptr) == 0 &&
                  edit->BeginSession();
        for (std::int32_t nr : {10, 11, 12, 13, 14, 15, 16, 18, 65015})
            ok = ok && edit->SetParameterValue(device, nr, std::string(3000, 'k'));
        ok = ok && edit->FlushParameterValues() && edit->AddMainGroup(5, "Killed") &&
             edit->SetName("Half-edited");
        char byte = ok ? 'y' : 'n';
        if (::write(ready[1], &byte, 1) != 1)
            ::_exit(3);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    const bool childWrote = byte == 'y';
    // The session is in flight: its journal exists and the file itself has changed.
    const bool journal = std::filesystem::exists(path + "-journal");
    const bool fileTouched = ReadAll(path) != before;
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(childWrote);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(journal);
    EXPECT_TRUE(fileTouched);

    std::string error;
    auto reopened = ProjectStore::Open(path, &error);
    ASSERT_TRUE(reopened) << error;
    EXPECT_EQ(reopened->Name(), "Veltrona project");
    EXPECT_EQ(ValueOf(*reopened, 11), StoredValue(std::int64_t{50}));
    EXPECT_EQ(ValueOf(*reopened, 12), StoredValue(std::string("abc")));
    std::vector<GroupNodeRecord> mains;
    ASSERT_TRUE(reopened->MainGroups(mains));
    EXPECT_TRUE(mains.empty());
    EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
}

TEST_F(ProjectStoreTest, DemoProjectLivesInTheXdgDataFolderAndIsMadeOnce)
{
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string savedValue = saved ? saved : "";
    ::setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
    std::string error;
    EXPECT_EQ(DemoProjectPath(&error), dir.File("data") + "/veltrona/demo.veltrona");
    const std::string path = EnsureDemoProject(*catalogue, &error);
    ASSERT_EQ(path, dir.File("data") + "/veltrona/demo.veltrona") << error;
    {
        auto store = ProjectStore::Open(path, &error);
        ASSERT_TRUE(store) << error;
        std::vector<GroupNodeRecord> mains;
        ASSERT_TRUE(store->MainGroups(mains));
        ASSERT_EQ(mains.size(), 1u);
        EXPECT_EQ(mains[0].name, "Lighting");
        std::vector<GroupAddressRecord> addresses;
        ASSERT_TRUE(store->GroupAddresses(addresses));
        EXPECT_GE(addresses.size(), 3u);
        ASSERT_TRUE(store->SetName("Edited demo"));
    }
    // A second start keeps the demo as the user left it.
    EXPECT_EQ(EnsureDemoProject(*catalogue, &error), path);
    EXPECT_EQ(ProjectStore::Open(path, &error)->Name(), "Edited demo");

    // A relative XDG_DATA_HOME does not count.
    ::setenv("XDG_DATA_HOME", "relative/data", 1);
    if (const char* home = std::getenv("HOME")) {
        EXPECT_EQ(DemoProjectPath(&error), std::string(home) + "/.local/share/veltrona/demo.veltrona");
    }
    if (saved)
        ::setenv("XDG_DATA_HOME", savedValue.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}
