// The project in one SQLite file: name, group address tree, devices, parameter values, object
// settings and associations; an editing session is one transaction of it.
//
// A device keeps every parameter value and every object's settings, written in full when the device
// is added: the project holds its configuration whatever a later catalogue gives as defaults, and a
// number that a later catalogue adds reads as its default until it is written.
#pragma once

#include "host/store/Sqlite.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

// A main group (0..31) or a middle group (0..7) of the group address tree.
struct GroupNodeRecord
{
    std::int32_t number = 0;
    std::string name;
};

// One group address: its 16-bit value main * 2048 + middle * 256 + sub.
struct GroupAddressRecord
{
    std::int32_t address = 0;
    std::string name;
};

struct DeviceRecord
{
    std::int64_t id = 0;
    std::uint16_t individualAddress = 0; // area << 12 | line << 8 | device
    std::string name;
    std::string description;
    std::int32_t manufacturer = 0;
    std::int32_t applicationNumber = 0;
    std::int32_t applicationVersion = 0;
    std::int32_t maskVersion = 0;
};

// A parameter value as kept in the file: a number (up to 32 bits, signed or unsigned) or a text.
using StoredValue = std::variant<std::int64_t, std::string>;

struct StoredParameter
{
    std::int32_t uniqueNr = 0;
    StoredValue value;
};

// The settings of one communication object of a device.
struct ObjectRecord
{
    std::uint16_t number = 0;
    std::string text;
    std::int32_t priority = 0;
    std::uint8_t flags = 0; // bit n = EtsObjectFlag n
    std::int32_t datapointMain = -1;
    std::int32_t datapointSub = -1;

    bool operator==(const ObjectRecord&) const = default;
};

class ProjectStore
{
    struct Key
    {};

public:
    // The format of the file; PRAGMA user_version holds it, PRAGMA application_id marks the file.
    static constexpr int kSchemaVersion = 1;
    static constexpr std::int32_t kApplicationId = 0x564C5452; // "VLTR"
    // Parameter numbers from this one on are written at once, not buffered.
    static constexpr std::int32_t kMaxBufferedNr = 1 << 20;

    // Opens an existing project. A missing file, a file that is no project, one of a newer format
    // or a damaged one gives nothing and a text that says so; the file is not changed.
    // (A session that a killed process left behind is rolled back by SQLite on the way.)
    static std::shared_ptr<ProjectStore> Open(const std::string& path, std::string* error);

    // Creates a project file that does not exist yet. The file is built under a temporary name
    // (fill adds devices, addresses...) and appears complete or not at all; an existing file is
    // never overwritten.
    static std::shared_ptr<ProjectStore> Create(const std::string& path, const std::string& name,
                                                int addressLevels,
                                                const std::function<bool(ProjectStore&, std::string*)>& fill,
                                                std::string* error);

    explicit ProjectStore(Key, std::string path);
    ~ProjectStore();
    ProjectStore(const ProjectStore&) = delete;
    ProjectStore& operator=(const ProjectStore&) = delete;

    const std::string& Path() const { return m_path; }
    // Text of the last failed operation.
    const std::string& LastError() const { return m_lastError; }

    // How long a new editing session waits for another program's lock to go.
    static constexpr std::chrono::milliseconds kEditLockWait{1500};
    // Editing session: one transaction; a process that dies inside it leaves the project as it was.
    // While another program edits the project it fails after the wait, LastError saying so.
    bool BeginSession(std::chrono::milliseconds wait = kEditLockWait);
    bool Commit();
    bool Rollback();
    bool InSession() const;
    // Changes when a rollback dropped changes: holders of cached values reload.
    std::uint64_t Generation() const { return m_generation; }
    // Changes with every write of the project's name, notation, group address tree or devices and
    // with every rollback: holders of cached lists rebuild them.
    std::uint64_t Revision() const { return m_revision; }

    // Project.
    std::optional<std::string> Name();
    bool SetName(const std::string& name);
    // 2 or 3: how group addresses are written.
    std::optional<int> AddressLevels();
    bool SetAddressLevels(int levels);

    // Group address tree, each list ascending.
    bool MainGroups(std::vector<GroupNodeRecord>& groups);
    bool AddMainGroup(std::int32_t main, const std::string& name);
    bool MiddleGroups(std::int32_t main, std::vector<GroupNodeRecord>& groups);
    bool AddMiddleGroup(std::int32_t main, std::int32_t middle, const std::string& name);
    bool GroupAddresses(std::vector<GroupAddressRecord>& addresses);
    bool GroupAddresses(std::int32_t main, std::int32_t middle, std::vector<GroupAddressRecord>& addresses);
    std::optional<GroupAddressRecord> FindGroupAddress(std::int32_t address);
    // The address's main and middle group must exist.
    bool AddGroupAddress(std::int32_t address, const std::string& name);

    // Devices.
    bool Devices(std::vector<DeviceRecord>& devices);
    // Stores a new device and sets its id.
    bool AddDevice(DeviceRecord& device);

    // Parameter values of a device, ascending by number.
    bool ParameterValues(std::int64_t device, std::vector<StoredParameter>& values);
    // The same, row by row, without a list in between.
    bool ForEachParameterValue(std::int64_t device,
                               const std::function<void(std::int32_t, StoredValue&&)>& row);
    // Inside an editing session the value is buffered and reaches the file's transaction with the
    // commit (or the next read of values): an import writes every value, most of them twice, and
    // one row write per value would cost more than all the rest of it.
    bool SetParameterValue(std::int64_t device, std::int32_t uniqueNr, const StoredValue& value);
    // Writes the buffered values into the session's transaction; the last value of a number wins.
    bool FlushParameterValues();

    // Communication object settings of a device, ascending by number.
    bool Objects(std::int64_t device, std::vector<ObjectRecord>& objects);
    bool SetObject(std::int64_t device, const ObjectRecord& object);

    // Every association of a device, by object ascending, each object's sending address first.
    bool ForEachAssociation(std::int64_t device,
                            const std::function<void(std::uint16_t object, std::int32_t address)>& row);
    // Group addresses associated with an object, the sending one first.
    bool Associations(std::int64_t device, std::uint16_t object, std::vector<std::int32_t>& addresses);
    bool AddAssociation(std::int64_t device, std::uint16_t object, std::int32_t address);
    bool DeleteAssociation(std::int64_t device, std::uint16_t object, std::int32_t address);
    bool DeleteAssociations(std::int64_t device, std::uint16_t object);

    // Runs several writes as one: all of them or none.
    bool Atomically(const std::function<bool()>& writes);

    // The connection, for tests and diagnostics (buffered values are in it after FlushParameterValues).
    sqlite3* Handle() const { return m_db.Handle(); }

private:
    bool Validate(std::string* error);
    bool CreateSchema(const std::string& name, int addressLevels);
    StatementLease Statement(const char* sql);
    bool Fail(const char* what);
    bool Wrote(bool ok, const char* what, bool tree = false);
    bool GroupNodes(SqliteStatement* stmt, std::vector<GroupNodeRecord>& groups, const char* what);
    bool AddressList(SqliteStatement* stmt, std::vector<GroupAddressRecord>& addresses, const char* what);

    std::string m_path;
    std::string m_lastError;
    std::uint64_t m_generation = 0;
    std::uint64_t m_revision = 0;
    // Group addresses found, valid for m_foundAddressesRevision.
    std::unordered_map<std::int32_t, GroupAddressRecord> m_foundAddresses;
    std::uint64_t m_foundAddressesRevision = ~std::uint64_t{0};
    SqliteDb m_db;
    // Prepared once per connection, keyed by the address of the SQL literal.
    std::unordered_map<const char*, SqliteStatement> m_statements;

    struct PendingValue
    {
        std::int64_t device;
        std::int32_t uniqueNr;
        StoredValue value;
    };
    bool WriteParameterValue(std::int64_t device, std::int32_t uniqueNr, const StoredValue& value);
    std::vector<std::int32_t>& PendingSlots(std::int64_t device);
    // Marks the buffered numbers as not buffered (the values themselves stay in m_pending).
    void ForgetPendingSlots();
    // Written values of the running session not yet in the transaction, one per number, and where
    // each number's is (by device, then by number; -1: none).
    std::vector<PendingValue> m_pending;
    std::vector<std::pair<std::int64_t, std::vector<std::int32_t>>> m_pendingSlots;
    // Buffered values changed inside Atomically, with what was buffered before (nothing: none was).
    struct UndoValue
    {
        std::int64_t device;
        std::int32_t uniqueNr;
        std::optional<StoredValue> previous;
    };
    std::vector<UndoValue> m_undo;
    bool m_inSession = false;
    int m_atomicDepth = 0;
};
