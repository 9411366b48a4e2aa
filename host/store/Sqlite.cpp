#include "host/store/Sqlite.h"

#include <sqlite3.h>
#include <utility>

SqliteStatement::SqliteStatement(sqlite3* db, std::string_view sql)
{
    if (sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &m_stmt,
                           nullptr) != SQLITE_OK)
        m_stmt = nullptr;
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_stmt);
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : m_stmt(std::exchange(other.m_stmt, nullptr))
{}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_stmt = std::exchange(other.m_stmt, nullptr);
    }
    return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, std::int64_t value)
{
    sqlite3_bind_int64(m_stmt, index, value);
    return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, std::string_view text)
{
    sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
}

SqliteStatement& SqliteStatement::BindNull(int index)
{
    sqlite3_bind_null(m_stmt, index);
    return *this;
}

int SqliteStatement::Step()
{
    return sqlite3_step(m_stmt);
}

bool SqliteStatement::Run()
{
    int rc = sqlite3_step(m_stmt);
    bool ok = rc == SQLITE_DONE || rc == SQLITE_ROW;
    if (ok)
        sqlite3_reset(m_stmt);
    return ok;
}

void SqliteStatement::Reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

bool SqliteStatement::IsNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

bool SqliteStatement::IsText(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_TEXT;
}

std::int64_t SqliteStatement::Int(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

std::string SqliteStatement::Text(int column) const
{
    const unsigned char* text = sqlite3_column_text(m_stmt, column);
    if (!text)
        return {};
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column)));
}

SqliteDb::~SqliteDb()
{
    Close();
}

int SqliteDb::Open(const std::string& path, bool create)
{
    Close();
    // One connection serves one thread (the host's objects live on the UI thread): no locking.
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    return sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr);
}

void SqliteDb::Close()
{
    // Statements are owned elsewhere and must be gone by now; close_v2 defers otherwise.
    if (m_db)
        sqlite3_close_v2(std::exchange(m_db, nullptr));
}

int SqliteDb::Exec(const char* sql)
{
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
}

std::string SqliteDb::ErrorText() const
{
    return m_db ? sqlite3_errmsg(m_db) : "out of memory";
}

int SqliteDb::ErrorCode() const
{
    return m_db ? sqlite3_errcode(m_db) : SQLITE_NOMEM;
}
