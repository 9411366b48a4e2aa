// Thin RAII layer over the SQLite C interface: one connection, prepared statements that reset
// themselves, and error texts that say what failed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

class SqliteStatement
{
public:
    SqliteStatement() = default;
    SqliteStatement(sqlite3* db, std::string_view sql);
    ~SqliteStatement();
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&& other) noexcept;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool Valid() const { return m_stmt != nullptr; }
    // Parameters are 1-based, as in SQL.
    SqliteStatement& Bind(int index, std::int64_t value);
    SqliteStatement& Bind(int index, std::string_view text);
    SqliteStatement& BindNull(int index);
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step();
    // Runs a statement that returns no rows; true on success.
    bool Run();
    // Makes the statement ready for new bindings (called by the owner before every use).
    void Reset();

    bool IsNull(int column) const;
    bool IsText(int column) const;
    std::int64_t Int(int column) const;
    std::string Text(int column) const;

private:
    sqlite3_stmt* m_stmt = nullptr;
};

// A cached statement lent out for one use: reset when the lease ends, so that no read stays
// open and holds the file's lock.
class StatementLease
{
public:
    explicit StatementLease(SqliteStatement* stmt) : m_stmt(stmt) {}
    ~StatementLease()
    {
        if (m_stmt)
            m_stmt->Reset();
    }
    StatementLease(const StatementLease&) = delete;
    StatementLease& operator=(const StatementLease&) = delete;

    explicit operator bool() const { return m_stmt != nullptr; }
    SqliteStatement* operator->() const { return m_stmt; }
    SqliteStatement* Get() const { return m_stmt; }

private:
    SqliteStatement* m_stmt;
};

class SqliteDb
{
public:
    SqliteDb() = default;
    ~SqliteDb();
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    // Opens an existing file (create = false) or creates it; the connection is kept even when
    // opening failed, so that the error text can be read.
    int Open(const std::string& path, bool create);
    void Close();
    sqlite3* Handle() const { return m_db; }

    // Runs one or more statements without results; the SQLite result code.
    int Exec(const char* sql);
    // Text of the connection's last error.
    std::string ErrorText() const;
    int ErrorCode() const;

private:
    sqlite3* m_db = nullptr;
};
