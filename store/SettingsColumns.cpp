#include "store/SettingsColumns.h"

#include <sqlite3.h>

#include <optional>
#include <set>

#include "store/MessageDisplay.h"
#include "store/SqliteHandles.h"

namespace kavenra {
namespace {

using Connection = sqlite::Connection;
using Statement = sqlite::Statement;

// Opens an existing database without creating one; empty when it cannot be opened.
Connection OpenExisting(const std::string& databaseFile, int flags) {
    sqlite3* connection = nullptr;
    const int result = sqlite3_open_v2(databaseFile.c_str(), &connection, flags, nullptr);
    Connection owned(connection);
    if (result != SQLITE_OK) owned.reset();
    return owned;
}

// The library's own message, as the store's other statements report theirs.
void Report(sqlite3* connection, const std::string& otherwise) {
    CurrentMessageDisplay().showMessage(connection != nullptr ? sqlite3_errmsg(connection)
                                                              : otherwise);
}

// The names of `configuracion`'s columns, none when the table is missing; nothing when the file
// cannot be read (no database, locked, damaged).
std::optional<std::set<std::string>> ColumnsOf(sqlite3* connection) {
    sqlite3_stmt* prepared = nullptr;
    const int result =
        sqlite3_prepare_v2(connection, "PRAGMA table_info(configuracion)", -1, &prepared, nullptr);
    const Statement statement(prepared);
    if (result != SQLITE_OK) return std::nullopt;
    std::set<std::string> columns;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement.get())) == SQLITE_ROW) {
        const unsigned char* name = sqlite3_column_text(statement.get(), 1);
        if (name != nullptr) columns.insert(reinterpret_cast<const char*>(name));
    }
    if (step != SQLITE_DONE) return std::nullopt;
    return columns;
}

bool Execute(sqlite3* connection, const std::string& sql) {
    return sqlite3_exec(connection, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace

bool AddMissingSettingsColumns(const std::string& databaseFile) {
    sqlite3* opened = nullptr;
    const int result =
        sqlite3_open_v2(databaseFile.c_str(), &opened, SQLITE_OPEN_READWRITE, nullptr);
    const Connection connection(opened);
    if (result != SQLITE_OK) {
        Report(connection.get(), sqlite3_errstr(result));
        return false;
    }
    const std::optional<std::set<std::string>> columns = ColumnsOf(connection.get());
    if (!columns) {
        Report(connection.get(), {});
        return false;
    }
    // A file without the table is reported by the reads that need it.
    if (columns->empty()) return false;
    std::string additions;
    for (const AddedSettingsColumn& column : kAddedSettingsColumns) {
        if (columns->count(column.name) != 0) continue;
        additions += std::string("ALTER TABLE configuracion ADD COLUMN ") + column.name +
                     " TEXT DEFAULT '" + column.initial + "';";
    }
    if (additions.empty()) return true;
    // All or nothing: a database that takes the first column but not the next keeps neither.
    if (Execute(connection.get(), "BEGIN IMMEDIATE;" + additions + "COMMIT;")) return true;
    Report(connection.get(), {});
    Execute(connection.get(), "ROLLBACK;");
    return false;
}

std::optional<std::string> StoredSettingText(const std::string& databaseFile,
                                             const std::string& column) {
    const Connection connection = OpenExisting(databaseFile, SQLITE_OPEN_READONLY);
    if (!connection) return std::nullopt;
    const std::string sql = "SELECT \"" + column + "\" FROM configuracion";
    sqlite3_stmt* prepared = nullptr;
    if (sqlite3_prepare_v2(connection.get(), sql.c_str(), -1, &prepared, nullptr) != SQLITE_OK) {
        sqlite3_finalize(prepared);
        return std::nullopt;
    }
    const Statement statement(prepared);
    if (sqlite3_step(statement.get()) != SQLITE_ROW) return std::nullopt;
    const unsigned char* text = sqlite3_column_text(statement.get(), 0);
    if (text == nullptr) return std::string();
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<std::size_t>(sqlite3_column_bytes(statement.get(), 0)));
}

int SettingCodeOr(const std::optional<std::string>& text, int first, int last, int fallback) {
    if (!text || text->empty()) return fallback;
    const std::size_t start = (*text)[0] == '-' ? 1 : 0;
    if (start == text->size() || text->size() - start > 9) return fallback;
    long value = 0;
    for (std::size_t at = start; at < text->size(); ++at) {
        const char c = (*text)[at];
        if (c < '0' || c > '9') return fallback;
        value = value * 10 + (c - '0');
    }
    if (start == 1) value = -value;
    return value >= first && value <= last ? static_cast<int>(value) : fallback;
}

}  // namespace kavenra
