#include "host/store/ProjectStore.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE project(
    id INTEGER PRIMARY KEY CHECK (id = 1),
    name TEXT NOT NULL,
    address_levels INTEGER NOT NULL CHECK (address_levels IN (2, 3)));
CREATE TABLE main_groups(
    main INTEGER PRIMARY KEY CHECK (main BETWEEN 0 AND 31),
    name TEXT NOT NULL);
CREATE TABLE middle_groups(
    main INTEGER NOT NULL REFERENCES main_groups(main),
    middle INTEGER NOT NULL CHECK (middle BETWEEN 0 AND 7),
    name TEXT NOT NULL,
    PRIMARY KEY (main, middle)) WITHOUT ROWID;
CREATE TABLE group_addresses(
    address INTEGER PRIMARY KEY CHECK (address BETWEEN 1 AND 65535),
    main INTEGER NOT NULL,
    middle INTEGER NOT NULL,
    name TEXT NOT NULL,
    CHECK (main = address >> 11 AND middle = (address >> 8) & 7),
    FOREIGN KEY (main, middle) REFERENCES middle_groups(main, middle));
CREATE TABLE devices(
    id INTEGER PRIMARY KEY,
    individual_address INTEGER NOT NULL UNIQUE CHECK (individual_address BETWEEN 0 AND 65535),
    name TEXT NOT NULL,
    description TEXT NOT NULL,
    manufacturer INTEGER NOT NULL,
    application_number INTEGER NOT NULL,
    application_version INTEGER NOT NULL,
    mask_version INTEGER NOT NULL);
CREATE TABLE parameter_values(
    device INTEGER NOT NULL REFERENCES devices(id),
    unique_nr INTEGER NOT NULL,
    value NOT NULL,
    PRIMARY KEY (device, unique_nr)) WITHOUT ROWID;
CREATE TABLE comm_objects(
    device INTEGER NOT NULL REFERENCES devices(id),
    number INTEGER NOT NULL CHECK (number BETWEEN 0 AND 65535),
    text TEXT NOT NULL,
    priority INTEGER NOT NULL CHECK (priority BETWEEN 0 AND 3),
    flags INTEGER NOT NULL CHECK (flags BETWEEN 0 AND 31),
    datapoint_main INTEGER NOT NULL,
    datapoint_sub INTEGER NOT NULL,
    PRIMARY KEY (device, number)) WITHOUT ROWID;
CREATE TABLE associations(
    id INTEGER PRIMARY KEY,
    device INTEGER NOT NULL,
    object INTEGER NOT NULL,
    address INTEGER NOT NULL REFERENCES group_addresses(address),
    UNIQUE (device, object, address),
    FOREIGN KEY (device, object) REFERENCES comm_objects(device, number));
)sql";

// Readers wait this long for another program's commit to finish.
constexpr int kBusyTimeoutMs = 2000;

constexpr const char* kTables[] = {"project", "main_groups",      "middle_groups", "group_addresses",
                                   "devices", "parameter_values", "comm_objects",  "associations"};

constexpr const char* kCheckedAtOpen[] = {"project",         "main_groups", "middle_groups",
                                          "group_addresses", "devices",     "associations"};

std::string Quoted(const std::string& path)
{
    return "'" + path + "'";
}

// Reads one integer pragma; the SQLite result code.
int ReadPragma(sqlite3* db, const char* sql, std::int64_t& value)
{
    SqliteStatement stmt(db, sql);
    if (!stmt.Valid())
        return sqlite3_errcode(db);
    int rc = stmt.Step();
    if (rc == SQLITE_ROW) {
        value = stmt.Int(0);
        return SQLITE_OK;
    }
    return rc == SQLITE_DONE ? SQLITE_ERROR : sqlite3_errcode(db);
}

} // namespace

ProjectStore::ProjectStore(Key, std::string path) : m_path(std::move(path)) {}

ProjectStore::~ProjectStore()
{
    // An unfinished session is dropped, never committed by accident.
    if (m_db.Handle() && InSession())
        m_db.Exec("ROLLBACK");
    m_statements.clear();
}

std::shared_ptr<ProjectStore> ProjectStore::Open(const std::string& path, std::string* error)
{
    auto fail = [&](const std::string& text) {
        if (error)
            *error = text;
        return std::shared_ptr<ProjectStore>();
    };
    struct stat info
    {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT)
            return fail("The project " + Quoted(path) + " does not exist.");
        return fail("The project " + Quoted(path) + " cannot be read: " + std::strerror(errno) + ".");
    }
    if (!S_ISREG(info.st_mode))
        return fail(Quoted(path) + " is not a project file.");

    auto store = std::make_shared<ProjectStore>(Key{}, path);
    if (store->m_db.Open(path, false) != SQLITE_OK)
        return fail("The project " + Quoted(path) + " cannot be opened: " + store->m_db.ErrorText() + ".");
    std::string why;
    if (!store->Validate(&why))
        return fail(why);
    return store;
}

bool ProjectStore::Validate(std::string* error)
{
    const std::string name = Quoted(m_path);
    auto fail = [&](const std::string& text) {
        *error = text;
        return false;
    };
    auto damaged = [&](int rc) {
        if (rc == SQLITE_NOTADB)
            return fail(name + " is not a Veltrona project (it is no SQLite database).");
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
            return fail("The project " + name + " is locked by another program.");
        if (rc == SQLITE_CORRUPT)
            return fail("The project " + name + " is damaged: " + m_db.ErrorText() + ".");
        return fail("The project " + name + " cannot be read: " + m_db.ErrorText() + ".");
    };

    sqlite3_busy_timeout(m_db.Handle(), kBusyTimeoutMs);
    std::int64_t applicationId = 0, version = 0;
    if (int rc = ReadPragma(m_db.Handle(), "PRAGMA application_id", applicationId); rc != SQLITE_OK)
        return damaged(rc);
    if (int rc = ReadPragma(m_db.Handle(), "PRAGMA user_version", version); rc != SQLITE_OK)
        return damaged(rc);
    if (applicationId != kApplicationId)
        return fail(name + " is not a Veltrona project.");
    if (version > kSchemaVersion)
        return fail("The project " + name + " was saved by a newer version of Veltrona (project format " +
                    std::to_string(version) + "; this version reads up to format " +
                    std::to_string(kSchemaVersion) + ").");
    if (version < 1)
        return fail(name + " is not a Veltrona project (unknown project format " + std::to_string(version) +
                    ").");

    {
        SqliteStatement tables(m_db.Handle(), "SELECT name FROM sqlite_schema WHERE type = 'table'");
        if (!tables.Valid())
            return damaged(m_db.ErrorCode());
        std::vector<std::string> found;
        int rc;
        while ((rc = tables.Step()) == SQLITE_ROW)
            found.push_back(tables.Text(0));
        if (rc != SQLITE_DONE)
            return damaged(m_db.ErrorCode());
        for (const char* table : kTables) {
            if (std::find(found.begin(), found.end(), table) == found.end())
                return fail("The project " + name + " is damaged: the table " + table + " is missing.");
        }
    }
    // A cut or overwritten file shows here rather than in the middle of a session. The small tables
    // are read through now; a device's values and objects are read in full when the device is opened
    // (a full integrity check would cost more than the whole load of the parameters).
    for (const char* table : kCheckedAtOpen) {
        SqliteStatement rows(m_db.Handle(), std::string("SELECT * FROM ") + table);
        if (!rows.Valid())
            return damaged(m_db.ErrorCode());
        int rc;
        while ((rc = rows.Step()) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE)
            return damaged(m_db.ErrorCode());
    }
    if (!Name())
        return fail("The project " + name + " is damaged: " + m_lastError);
    if (m_db.Exec("PRAGMA foreign_keys = ON") != SQLITE_OK)
        return damaged(m_db.ErrorCode());
    return true;
}

std::shared_ptr<ProjectStore>
ProjectStore::Create(const std::string& path, const std::string& name, int addressLevels,
                     const std::function<bool(ProjectStore&, std::string*)>& fill, std::string* error)
{
    auto fail = [&](const std::string& text) {
        if (error)
            *error = text;
        return std::shared_ptr<ProjectStore>();
    };
    const std::string quoted = Quoted(path);
    if (addressLevels != 2 && addressLevels != 3)
        return fail("Group addresses have two or three levels, not " + std::to_string(addressLevels) + ".");
    struct stat info
    {};
    if (::lstat(path.c_str(), &info) == 0)
        return fail(quoted + " already exists; it is not overwritten.");

    // Built beside the target, so that the final link stays on one file system.
    std::string temp = path + ".XXXXXX";
    std::vector<char> pattern(temp.begin(), temp.end());
    pattern.push_back('\0');
    int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return fail("The project " + quoted + " cannot be created: " + std::strerror(errno) + ".");
    // mkstemp makes the file private; a project gets the user's usual permissions.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    temp.assign(pattern.data());
    struct TempFile
    {
        std::string path;
        ~TempFile()
        {
            ::unlink(path.c_str());
            ::unlink((path + "-journal").c_str());
        }
    } cleanup{temp};

    {
        auto store = std::make_shared<ProjectStore>(Key{}, temp);
        if (store->m_db.Open(temp, true) != SQLITE_OK)
            return fail("The project " + quoted + " cannot be created: " + store->m_db.ErrorText() + ".");
        if (!store->CreateSchema(name, addressLevels))
            return fail("The project " + quoted + " cannot be created: " + store->m_lastError);
        if (store->m_db.Exec("BEGIN IMMEDIATE") != SQLITE_OK)
            return fail("The project " + quoted + " cannot be created: " + store->m_db.ErrorText() + ".");
        std::string why;
        if (fill && !fill(*store, &why))
            return fail("The project " + quoted +
                        " cannot be created: " + (why.empty() ? store->m_lastError : why));
        if (store->m_db.Exec("COMMIT") != SQLITE_OK)
            return fail("The project " + quoted + " cannot be created: " + store->m_db.ErrorText() + ".");
    }
    // link() refuses an existing name, so a file made meanwhile by somebody else stays untouched.
    if (::link(temp.c_str(), path.c_str()) != 0) {
        if (errno == EEXIST)
            return fail(quoted + " already exists; it is not overwritten.");
        return fail("The project " + quoted + " cannot be created: " + std::strerror(errno) + ".");
    }
    return Open(path, error);
}

bool ProjectStore::CreateSchema(const std::string& name, int addressLevels)
{
    std::string pragmas = "PRAGMA application_id = " + std::to_string(kApplicationId) +
                          "; PRAGMA user_version = " + std::to_string(kSchemaVersion) + ";";
    if (m_db.Exec("BEGIN") != SQLITE_OK || m_db.Exec(kSchema) != SQLITE_OK ||
        m_db.Exec(pragmas.c_str()) != SQLITE_OK)
        return Fail("creating the tables");
    SqliteStatement insert(m_db.Handle(), "INSERT INTO project(id, name, address_levels) VALUES (1, ?, ?)");
    insert.Bind(1, name).Bind(2, std::int64_t{addressLevels});
    if (!insert.Run())
        return Fail("storing the project name");
    if (m_db.Exec("COMMIT") != SQLITE_OK || m_db.Exec("PRAGMA foreign_keys = ON") != SQLITE_OK)
        return Fail("creating the tables");
    return true;
}

StatementLease ProjectStore::Statement(const char* sql)
{
    auto it = m_statements.find(sql);
    if (it == m_statements.end()) {
        SqliteStatement stmt(m_db.Handle(), sql);
        if (!stmt.Valid()) {
            Fail("preparing a query");
            return StatementLease(nullptr);
        }
        it = m_statements.emplace(sql, std::move(stmt)).first;
    }
    return StatementLease(&it->second);
}

bool ProjectStore::Fail(const char* what)
{
    const int code = m_db.ErrorCode() & 0xFF;
    if (code == SQLITE_CORRUPT || code == SQLITE_NOTADB)
        m_lastError =
            "The project '" + m_path + "' is damaged (" + m_db.ErrorText() + " while " + what + ").";
    else
        m_lastError = std::string("Failed ") + what + ": " + m_db.ErrorText() + ".";
    return false;
}

bool ProjectStore::Wrote(bool ok, const char* what, bool tree)
{
    if (!ok)
        return Fail(what);
    if (tree)
        ++m_revision;
    return true;
}

bool ProjectStore::InSession() const
{
    return m_db.Handle() && sqlite3_get_autocommit(m_db.Handle()) == 0;
}

bool ProjectStore::BeginSession(std::chrono::milliseconds wait)
{
    if (InSession()) {
        m_lastError = "An editing session is already running.";
        return false;
    }
    // IMMEDIATE takes the write lock now: a second editor learns soon that it cannot edit. It waits
    // briefly, for a lock that is about to go (another program saving), but not for a session that
    // holds the lock for as long as its user edits. A refused session has written nothing.
    sqlite3_busy_timeout(m_db.Handle(), static_cast<int>(wait.count()));
    int rc = m_db.Exec("BEGIN IMMEDIATE");
    sqlite3_busy_timeout(m_db.Handle(), kBusyTimeoutMs);
    if (rc == SQLITE_BUSY) {
        m_lastError = "another program has it open for editing.";
        return false;
    }
    if (rc != SQLITE_OK)
        return Fail("starting the editing session");
    m_inSession = true;
    return true;
}

bool ProjectStore::Commit()
{
    if (!InSession()) {
        m_lastError = "No editing session is running.";
        return false;
    }
    if (!FlushParameterValues())
        return false;
    if (m_db.Exec("COMMIT") != SQLITE_OK)
        return Fail("saving the project");
    m_inSession = false;
    ++m_revision;
    return true;
}

bool ProjectStore::Rollback()
{
    if (!InSession()) {
        m_lastError = "No editing session is running.";
        return false;
    }
    bool ok = m_db.Exec("ROLLBACK") == SQLITE_OK;
    ForgetPendingSlots();
    m_pending.clear();
    m_inSession = InSession();
    ++m_generation;
    ++m_revision;
    return ok || Fail("dropping the changes");
}

bool ProjectStore::Atomically(const std::function<bool()>& writes)
{
    if (m_db.Exec("SAVEPOINT atomically") != SQLITE_OK)
        return Fail("starting a change");
    // Buffered parameter values are not in the savepoint: their changes are logged and undone here.
    const std::size_t undoMark = m_undo.size();
    ++m_atomicDepth;
    bool ok = writes();
    --m_atomicDepth;
    if (ok) {
        if (m_atomicDepth == 0)
            m_undo.clear();
        return m_db.Exec("RELEASE atomically") == SQLITE_OK || Fail("finishing a change");
    }
    while (m_undo.size() > undoMark) {
        UndoValue& undo = m_undo.back();
        std::int32_t& slot = PendingSlots(undo.device)[static_cast<std::size_t>(undo.uniqueNr)];
        if (undo.previous) {
            m_pending[static_cast<std::size_t>(slot)].value = std::move(*undo.previous);
        } else {
            // Values buffered first inside the change are the last ones buffered.
            slot = -1;
            m_pending.pop_back();
        }
        m_undo.pop_back();
    }
    std::string why = m_lastError;
    m_db.Exec("ROLLBACK TO atomically");
    m_db.Exec("RELEASE atomically");
    ++m_revision;
    m_lastError = why;
    return false;
}

std::optional<std::string> ProjectStore::Name()
{
    StatementLease stmt = Statement("SELECT name FROM project WHERE id = 1");
    if (!stmt)
        return std::nullopt;
    int rc = stmt->Step();
    if (rc == SQLITE_ROW)
        return stmt->Text(0);
    if (rc == SQLITE_DONE)
        m_lastError = "The project has no name record.";
    else
        Fail("reading the project name");
    return std::nullopt;
}

bool ProjectStore::SetName(const std::string& name)
{
    StatementLease stmt = Statement("UPDATE project SET name = ? WHERE id = 1");
    return stmt && Wrote(stmt->Bind(1, name).Run(), "storing the project name", true);
}

std::optional<int> ProjectStore::AddressLevels()
{
    StatementLease stmt = Statement("SELECT address_levels FROM project WHERE id = 1");
    if (!stmt)
        return std::nullopt;
    if (stmt->Step() == SQLITE_ROW)
        return static_cast<int>(stmt->Int(0));
    Fail("reading the group address notation");
    return std::nullopt;
}

bool ProjectStore::SetAddressLevels(int levels)
{
    if (levels != 2 && levels != 3) {
        m_lastError = "Group addresses have two or three levels.";
        return false;
    }
    StatementLease stmt = Statement("UPDATE project SET address_levels = ? WHERE id = 1");
    return stmt &&
           Wrote(stmt->Bind(1, std::int64_t{levels}).Run(), "storing the group address notation", true);
}

bool ProjectStore::GroupNodes(SqliteStatement* stmt, std::vector<GroupNodeRecord>& groups, const char* what)
{
    groups.clear();
    if (!stmt)
        return false;
    int rc;
    while ((rc = stmt->Step()) == SQLITE_ROW)
        groups.push_back({static_cast<std::int32_t>(stmt->Int(0)), stmt->Text(1)});
    return rc == SQLITE_DONE || Fail(what);
}

bool ProjectStore::AddressList(SqliteStatement* stmt, std::vector<GroupAddressRecord>& addresses,
                               const char* what)
{
    addresses.clear();
    if (!stmt)
        return false;
    int rc;
    while ((rc = stmt->Step()) == SQLITE_ROW)
        addresses.push_back({static_cast<std::int32_t>(stmt->Int(0)), stmt->Text(1)});
    return rc == SQLITE_DONE || Fail(what);
}

bool ProjectStore::MainGroups(std::vector<GroupNodeRecord>& groups)
{
    StatementLease stmt = Statement("SELECT main, name FROM main_groups ORDER BY main");
    return GroupNodes(stmt.Get(), groups, "reading the main groups");
}

bool ProjectStore::AddMainGroup(std::int32_t main, const std::string& name)
{
    StatementLease stmt = Statement("INSERT INTO main_groups(main, name) VALUES (?, ?)");
    return stmt &&
           Wrote(stmt->Bind(1, std::int64_t{main}).Bind(2, name).Run(), "adding the main group", true);
}

bool ProjectStore::MiddleGroups(std::int32_t main, std::vector<GroupNodeRecord>& groups)
{
    StatementLease stmt = Statement("SELECT middle, name FROM middle_groups WHERE main = ? ORDER BY middle");
    if (stmt)
        stmt->Bind(1, std::int64_t{main});
    return GroupNodes(stmt.Get(), groups, "reading the middle groups");
}

bool ProjectStore::AddMiddleGroup(std::int32_t main, std::int32_t middle, const std::string& name)
{
    StatementLease stmt = Statement("INSERT INTO middle_groups(main, middle, name) VALUES (?, ?, ?)");
    return stmt && Wrote(stmt->Bind(1, std::int64_t{main}).Bind(2, std::int64_t{middle}).Bind(3, name).Run(),
                         "adding the middle group", true);
}

bool ProjectStore::GroupAddresses(std::vector<GroupAddressRecord>& addresses)
{
    StatementLease stmt = Statement("SELECT address, name FROM group_addresses ORDER BY address");
    return AddressList(stmt.Get(), addresses, "reading the group addresses");
}

bool ProjectStore::GroupAddresses(std::int32_t main, std::int32_t middle,
                                  std::vector<GroupAddressRecord>& addresses)
{
    StatementLease stmt =
        Statement("SELECT address, name FROM group_addresses WHERE main = ? AND middle = ? ORDER BY address");
    if (stmt)
        stmt->Bind(1, std::int64_t{main}).Bind(2, std::int64_t{middle});
    return AddressList(stmt.Get(), addresses, "reading the group addresses");
}

std::optional<GroupAddressRecord> ProjectStore::FindGroupAddress(std::int32_t address)
{
    // Every association read asks for its address: the rows found are kept until the tree changes.
    if (m_foundAddressesRevision != m_revision) {
        m_foundAddresses.clear();
        m_foundAddressesRevision = m_revision;
    }
    if (auto found = m_foundAddresses.find(address); found != m_foundAddresses.end())
        return found->second;
    StatementLease stmt = Statement("SELECT address, name FROM group_addresses WHERE address = ?");
    if (!stmt)
        return std::nullopt;
    stmt->Bind(1, std::int64_t{address});
    int rc = stmt->Step();
    if (rc == SQLITE_ROW)
        return m_foundAddresses
            .emplace(address, GroupAddressRecord{static_cast<std::int32_t>(stmt->Int(0)), stmt->Text(1)})
            .first->second;
    if (rc != SQLITE_DONE)
        Fail("reading a group address");
    else
        m_lastError = "No group address " + std::to_string(address) + ".";
    return std::nullopt;
}

bool ProjectStore::AddGroupAddress(std::int32_t address, const std::string& name)
{
    StatementLease stmt = Statement(
        "INSERT INTO group_addresses(address, main, middle, name) VALUES (?1, ?1 >> 11, (?1 >> 8) & 7, ?2)");
    return stmt &&
           Wrote(stmt->Bind(1, std::int64_t{address}).Bind(2, name).Run(), "adding the group address", true);
}

bool ProjectStore::Devices(std::vector<DeviceRecord>& devices)
{
    devices.clear();
    StatementLease stmt =
        Statement("SELECT id, individual_address, name, description, manufacturer, application_number, "
                  "application_version, mask_version FROM devices ORDER BY id");
    if (!stmt)
        return false;
    int rc;
    while ((rc = stmt->Step()) == SQLITE_ROW) {
        DeviceRecord d;
        d.id = stmt->Int(0);
        d.individualAddress = static_cast<std::uint16_t>(stmt->Int(1));
        d.name = stmt->Text(2);
        d.description = stmt->Text(3);
        d.manufacturer = static_cast<std::int32_t>(stmt->Int(4));
        d.applicationNumber = static_cast<std::int32_t>(stmt->Int(5));
        d.applicationVersion = static_cast<std::int32_t>(stmt->Int(6));
        d.maskVersion = static_cast<std::int32_t>(stmt->Int(7));
        devices.push_back(std::move(d));
    }
    return rc == SQLITE_DONE || Fail("reading the devices");
}

bool ProjectStore::AddDevice(DeviceRecord& device)
{
    StatementLease stmt = Statement(
        "INSERT INTO devices(individual_address, name, description, manufacturer, application_number, "
        "application_version, mask_version) VALUES (?, ?, ?, ?, ?, ?, ?)");
    if (!stmt)
        return false;
    stmt->Bind(1, std::int64_t{device.individualAddress})
        .Bind(2, device.name)
        .Bind(3, device.description)
        .Bind(4, std::int64_t{device.manufacturer})
        .Bind(5, std::int64_t{device.applicationNumber})
        .Bind(6, std::int64_t{device.applicationVersion})
        .Bind(7, std::int64_t{device.maskVersion});
    if (!Wrote(stmt->Run(), "adding the device", true))
        return false;
    device.id = sqlite3_last_insert_rowid(m_db.Handle());
    return true;
}

bool ProjectStore::ParameterValues(std::int64_t device, std::vector<StoredParameter>& values)
{
    values.clear();
    return ForEachParameterValue(device, [&](std::int32_t uniqueNr, StoredValue&& value) {
        values.push_back({uniqueNr, std::move(value)});
    });
}

bool ProjectStore::ForEachParameterValue(std::int64_t device,
                                         const std::function<void(std::int32_t, StoredValue&&)>& row)
{
    if (!FlushParameterValues())
        return false;
    StatementLease stmt =
        Statement("SELECT unique_nr, value FROM parameter_values WHERE device = ? ORDER BY unique_nr");
    if (!stmt)
        return false;
    stmt->Bind(1, device);
    int rc;
    while ((rc = stmt->Step()) == SQLITE_ROW) {
        const auto uniqueNr = static_cast<std::int32_t>(stmt->Int(0));
        if (stmt->IsText(1))
            row(uniqueNr, StoredValue(stmt->Text(1)));
        else
            row(uniqueNr, StoredValue(stmt->Int(1)));
    }
    return rc == SQLITE_DONE || Fail("reading the parameter values");
}

bool ProjectStore::SetParameterValue(std::int64_t device, std::int32_t uniqueNr, const StoredValue& value)
{
    if (!m_inSession || uniqueNr < 0 || uniqueNr >= kMaxBufferedNr)
        return WriteParameterValue(device, uniqueNr, value);
    // One buffered value per number: the last one written.
    std::vector<std::int32_t>& slots = PendingSlots(device);
    if (static_cast<std::size_t>(uniqueNr) >= slots.size())
        slots.resize(static_cast<std::size_t>(uniqueNr) + 1, -1);
    std::int32_t& slot = slots[static_cast<std::size_t>(uniqueNr)];
    if (m_atomicDepth > 0)
        m_undo.push_back({device, uniqueNr,
                          slot >= 0
                              ? std::optional<StoredValue>(m_pending[static_cast<std::size_t>(slot)].value)
                              : std::nullopt});
    if (slot >= 0) {
        m_pending[static_cast<std::size_t>(slot)].value = value;
    } else {
        slot = static_cast<std::int32_t>(m_pending.size());
        m_pending.push_back({device, uniqueNr, value});
    }
    return true;
}

std::vector<std::int32_t>& ProjectStore::PendingSlots(std::int64_t device)
{
    for (auto& [id, slots] : m_pendingSlots)
        if (id == device)
            return slots;
    return m_pendingSlots.emplace_back(device, std::vector<std::int32_t>{}).second;
}

void ProjectStore::ForgetPendingSlots()
{
    // The slot tables keep their size: a session writes the same numbers again and again.
    for (const PendingValue& p : m_pending)
        PendingSlots(p.device)[static_cast<std::size_t>(p.uniqueNr)] = -1;
}

bool ProjectStore::FlushParameterValues()
{
    if (m_pending.empty())
        return true;
    // Inside Atomically a rollback of the savepoint would take values written before it along.
    if (m_atomicDepth > 0) {
        m_lastError = "Buffered parameter values cannot be written inside a change.";
        return false;
    }
    // Rows in key order touch each page once.
    ForgetPendingSlots();
    std::vector<PendingValue> pending = std::move(m_pending);
    m_pending.clear();
    std::sort(pending.begin(), pending.end(), [](const PendingValue& a, const PendingValue& b) {
        return a.device != b.device ? a.device < b.device : a.uniqueNr < b.uniqueNr;
    });
    for (std::size_t i = 0; i < pending.size(); ++i) {
        const PendingValue& p = pending[i];
        if (!WriteParameterValue(p.device, p.uniqueNr, p.value)) {
            // Nothing is lost: what is not written stays for the next try.
            for (std::size_t k = i; k < pending.size(); ++k)
                SetParameterValue(pending[k].device, pending[k].uniqueNr, pending[k].value);
            return false;
        }
    }
    return true;
}

bool ProjectStore::WriteParameterValue(std::int64_t device, std::int32_t uniqueNr, const StoredValue& value)
{
    StatementLease stmt = Statement("INSERT INTO parameter_values(device, unique_nr, value) VALUES (?, ?, ?) "
                                    "ON CONFLICT(device, unique_nr) DO UPDATE SET value = excluded.value");
    if (!stmt)
        return false;
    stmt->Bind(1, device).Bind(2, std::int64_t{uniqueNr});
    if (const auto* number = std::get_if<std::int64_t>(&value))
        stmt->Bind(3, *number);
    else
        stmt->Bind(3, std::get<std::string>(value));
    return Wrote(stmt->Run(), "storing a parameter value");
}

bool ProjectStore::Objects(std::int64_t device, std::vector<ObjectRecord>& objects)
{
    objects.clear();
    StatementLease stmt = Statement("SELECT number, text, priority, flags, datapoint_main, datapoint_sub "
                                    "FROM comm_objects WHERE device = ? ORDER BY number");
    if (!stmt)
        return false;
    stmt->Bind(1, device);
    int rc;
    while ((rc = stmt->Step()) == SQLITE_ROW) {
        ObjectRecord o;
        o.number = static_cast<std::uint16_t>(stmt->Int(0));
        o.text = stmt->Text(1);
        o.priority = static_cast<std::int32_t>(stmt->Int(2));
        o.flags = static_cast<std::uint8_t>(stmt->Int(3));
        o.datapointMain = static_cast<std::int32_t>(stmt->Int(4));
        o.datapointSub = static_cast<std::int32_t>(stmt->Int(5));
        objects.push_back(std::move(o));
    }
    return rc == SQLITE_DONE || Fail("reading the communication objects");
}

bool ProjectStore::SetObject(std::int64_t device, const ObjectRecord& object)
{
    StatementLease stmt = Statement(
        "INSERT INTO comm_objects(device, number, text, priority, flags, datapoint_main, datapoint_sub) "
        "VALUES (?, ?, ?, ?, ?, ?, ?) ON CONFLICT(device, number) DO UPDATE SET text = excluded.text, "
        "priority = excluded.priority, flags = excluded.flags, datapoint_main = excluded.datapoint_main, "
        "datapoint_sub = excluded.datapoint_sub");
    if (!stmt)
        return false;
    stmt->Bind(1, device)
        .Bind(2, std::int64_t{object.number})
        .Bind(3, object.text)
        .Bind(4, std::int64_t{object.priority})
        .Bind(5, std::int64_t{object.flags})
        .Bind(6, std::int64_t{object.datapointMain})
        .Bind(7, std::int64_t{object.datapointSub});
    return Wrote(stmt->Run(), "storing a communication object");
}

bool ProjectStore::ForEachAssociation(std::int64_t device,
                                      const std::function<void(std::uint16_t, std::int32_t)>& row)
{
    StatementLease stmt =
        Statement("SELECT object, address FROM associations WHERE device = ? ORDER BY object, id");
    if (!stmt)
        return false;
    stmt->Bind(1, device);
    int rc;
    while ((rc = stmt->Step()) == SQLITE_ROW)
        row(static_cast<std::uint16_t>(stmt->Int(0)), static_cast<std::int32_t>(stmt->Int(1)));
    return rc == SQLITE_DONE || Fail("reading the associations");
}

bool ProjectStore::Associations(std::int64_t device, std::uint16_t object,
                                std::vector<std::int32_t>& addresses)
{
    addresses.clear();
    StatementLease stmt =
        Statement("SELECT address FROM associations WHERE device = ? AND object = ? ORDER BY id");
    if (!stmt)
        return false;
    stmt->Bind(1, device).Bind(2, std::int64_t{object});
    int rc;
    while ((rc = stmt->Step()) == SQLITE_ROW)
        addresses.push_back(static_cast<std::int32_t>(stmt->Int(0)));
    return rc == SQLITE_DONE || Fail("reading the associations");
}

bool ProjectStore::AddAssociation(std::int64_t device, std::uint16_t object, std::int32_t address)
{
    StatementLease stmt = Statement("INSERT INTO associations(device, object, address) VALUES (?, ?, ?)");
    return stmt &&
           Wrote(stmt->Bind(1, device).Bind(2, std::int64_t{object}).Bind(3, std::int64_t{address}).Run(),
                 "adding the association");
}

bool ProjectStore::DeleteAssociation(std::int64_t device, std::uint16_t object, std::int32_t address)
{
    StatementLease stmt =
        Statement("DELETE FROM associations WHERE device = ? AND object = ? AND address = ?");
    return stmt &&
           Wrote(stmt->Bind(1, device).Bind(2, std::int64_t{object}).Bind(3, std::int64_t{address}).Run(),
                 "deleting the association");
}

bool ProjectStore::DeleteAssociations(std::int64_t device, std::uint16_t object)
{
    StatementLease stmt = Statement("DELETE FROM associations WHERE device = ? AND object = ?");
    return stmt &&
           Wrote(stmt->Bind(1, device).Bind(2, std::int64_t{object}).Run(), "deleting the associations");
}
