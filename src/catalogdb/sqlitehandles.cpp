#include "catalogdb/sqlitehandles.h"

#include <sqlite3.h>
#include <utility>

namespace mellowby::catalogdb {

SqliteConnection::SqliteConnection(const std::string& fileName, int flags, const char* vfs)
{
    const int opened = sqlite3_open_v2(fileName.c_str(), &m_db, flags, vfs);
    if (opened != SQLITE_OK) {
        std::string message = m_db != nullptr ? sqlite3_errmsg(m_db) : sqlite3_errstr(opened);
        sqlite3_close(m_db);
        throw SqliteFailure { opened, std::move(message) };
    }
    sqlite3_extended_result_codes(m_db, 1);
}

SqliteConnection::~SqliteConnection()
{
    // Closed even should a statement still be open: then when that one is finalized.
    sqlite3_close_v2(m_db);
}

void SqliteConnection::fail(int code) const
{
    throw SqliteFailure { code, sqlite3_errmsg(m_db) };
}

void SqliteConnection::execute(const std::string& sql)
{
    if (const int done = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr); done != SQLITE_OK)
        fail(done);
}

std::int64_t SqliteConnection::integer(const std::string& sql)
{
    SqliteStatement statement(*this, sql);
    if (!statement.step())
        throw SqliteFailure { SQLITE_MISMATCH, "no value: " + sql };
    return statement.integer(0);
}

SqliteStatement::SqliteStatement(SqliteConnection& connection, std::string_view sql)
    : m_connection(connection)
{
    const int prepared = sqlite3_prepare_v3(
        connection.get(), sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &m_statement, nullptr);
    if (prepared != SQLITE_OK)
        connection.fail(prepared);
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_statement);
}

void SqliteStatement::bind(int parameter, std::int64_t value)
{
    if (const int bound = sqlite3_bind_int64(m_statement, parameter, value); bound != SQLITE_OK)
        m_connection.fail(bound);
}

void SqliteStatement::bind(int parameter, std::optional<std::int64_t> value)
{
    if (value) {
        bind(parameter, *value);
    } else if (const int bound = sqlite3_bind_null(m_statement, parameter); bound != SQLITE_OK) {
        m_connection.fail(bound);
    }
}

void SqliteStatement::bindText(int parameter, std::string_view text)
{
    // Read where it lies when the statement runs: the caller's text lasts until then.
    const int bound = sqlite3_bind_text64(m_statement, parameter, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8);
    if (bound != SQLITE_OK)
        m_connection.fail(bound);
}

void SqliteStatement::bindBlob(int parameter, std::string_view bytes)
{
    if (const int bound = sqlite3_bind_blob64(m_statement, parameter, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
        bound != SQLITE_OK)
        m_connection.fail(bound);
}

void SqliteStatement::run()
{
    const int stepped = sqlite3_step(m_statement);
    sqlite3_reset(m_statement);
    if (stepped != SQLITE_DONE && stepped != SQLITE_ROW)
        m_connection.fail(stepped);
}

bool SqliteStatement::step()
{
    const int stepped = sqlite3_step(m_statement);
    if (stepped == SQLITE_ROW)
        return true;
    if (stepped != SQLITE_DONE)
        m_connection.fail(stepped);
    return false;
}

bool SqliteStatement::isNull(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

std::int64_t SqliteStatement::integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

std::optional<std::int64_t> SqliteStatement::optionalInteger(int column) const
{
    // Asked of the value itself, not twice of the column: each column call does the statement's
    // bookkeeping again, and readers ask this of every row of a catalog.
    sqlite3_value* value = sqlite3_column_value(m_statement, column);
    if (sqlite3_value_type(value) == SQLITE_NULL)
        return std::nullopt;
    return sqlite3_value_int64(value);
}

std::string_view SqliteStatement::text(int column) const
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    return { bytes != nullptr ? bytes : "", static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column)) };
}

std::string_view SqliteStatement::blob(int column) const
{
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(m_statement, column));
    return { bytes != nullptr ? bytes : "", static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column)) };
}

} // namespace mellowby::catalogdb
