#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace mellowby::catalogdb {

// What SQLite said when a call failed: its result code (extended) and its message.
struct SqliteFailure {
    int code = 0;
    std::string message;
};

// One connection, closed when dropped. Every call that fails throws SqliteFailure.
class SqliteConnection {
public:
    // Opens fileName through the file system called vfs (see boundfiles.h); flags as sqlite3_open_v2.
    SqliteConnection(const std::string& fileName, int flags, const char* vfs);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    sqlite3* get() const { return m_db; }
    // Runs statements that give no rows.
    void execute(const std::string& sql);
    // The single integer a statement gives (a PRAGMA's value).
    std::int64_t integer(const std::string& sql);
    // Throws the failure of the last call, with result code code.
    [[noreturn]] void fail(int code) const;

private:
    sqlite3* m_db = nullptr;
};

// One prepared statement, finalized when dropped.
class SqliteStatement {
public:
    SqliteStatement(SqliteConnection& connection, std::string_view sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Parameters count from 1.
    void bind(int parameter, std::int64_t value);
    void bind(int parameter, std::optional<std::int64_t> value);
    void bindText(int parameter, std::string_view text);
    void bindBlob(int parameter, std::string_view bytes);
    // Runs a statement that gives no rows and makes it ready to run again.
    void run();
    // The next row; false when there are no more.
    bool step();
    // Columns of the row step() gave, counting from 0.
    bool isNull(int column) const;
    std::int64_t integer(int column) const;
    std::optional<std::int64_t> optionalInteger(int column) const;
    // Valid until the next step().
    std::string_view text(int column) const;
    std::string_view blob(int column) const;

private:
    SqliteConnection& m_connection;
    sqlite3_stmt* m_statement = nullptr;
};

} // namespace mellowby::catalogdb
