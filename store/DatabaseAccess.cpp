#include "store/DatabaseAccess.h"

#include <sqlite3.h>

#include "store/SqliteHandles.h"

#include <QDir>
#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

#include "store/MessageDisplay.h"

namespace {

const char kFailure[] = "FALLO!";

// The temporary folder was asked for with a buffer of this many characters, terminator
// included; a longer path made the library's temporary directory the text "1".
constexpr int kTemporaryPathBufferChars = 4096;

using Connection = kavenra::sqlite::Connection;
using Statement = kavenra::sqlite::Statement;
using SqliteText = kavenra::sqlite::Text;

void ShowMessage(const std::string& text) {
    kavenra::CurrentMessageDisplay().showMessage(text);
}

bool IsExistingFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::path(path), error);
}

void EndBecauseDatabaseIsMissing() {
    ShowMessage("Error al leer de la base de datos, fichero no encontrado");
    std::exit(1);
}

std::string TemporaryDirectoryText() {
    const QString path = QDir::tempPath() + QLatin1Char('/');
    if (path.size() + 1 > kTemporaryPathBufferChars) {
        return "1";
    }
    return QFile::encodeName(path).toStdString();
}

// The library keeps the pointer; it must come from sqlite3_mprintf so that it can be released
// with sqlite3_free when the next query replaces it.
void SetLibraryTemporaryDirectory() {
    const std::string directory = TemporaryDirectoryText();
    char* previous = sqlite3_temp_directory;
    sqlite3_temp_directory = sqlite3_mprintf("%s", directory.c_str());
    sqlite3_free(previous);
}

Connection OpenDatabase(const std::string& databaseFile, int& resultCode) {
    sqlite3* connection = nullptr;
    resultCode = sqlite3_open(databaseFile.c_str(), &connection);
    return Connection(connection);
}

void ShowQueryFailure(int resultCode, const char* what, const std::string& sql) {
    ShowMessage(std::to_string(resultCode));
    ShowMessage(what);
    ShowMessage(sql);
}

std::string FirstColumnOfCurrentRow(sqlite3_stmt* statement) {
    const unsigned char* text = sqlite3_column_text(statement, 0);
    if (text == nullptr) {
        return std::string();
    }
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<std::size_t>(sqlite3_column_bytes(statement, 0)));
}

int DropRow(void*, int, char**, char**) {
    return 0;
}

}  // namespace

std::string QuerySingleValue(const std::string& databaseFile, const std::string& sql) {
    if (!IsExistingFile(databaseFile)) {
        EndBecauseDatabaseIsMissing();
    }
    SetLibraryTemporaryDirectory();

    int resultCode = SQLITE_OK;
    Connection connection = OpenDatabase(databaseFile, resultCode);
    if (resultCode != SQLITE_OK) {
        ShowQueryFailure(resultCode, "Error en la consulta:", sql);
        return kFailure;
    }

    sqlite3_stmt* prepared = nullptr;
    resultCode = sqlite3_prepare(connection.get(), sql.c_str(), static_cast<int>(sql.size()),
                                 &prepared, nullptr);
    Statement statement(prepared);
    if (resultCode != SQLITE_OK) {
        ShowQueryFailure(resultCode, "Error Preparando consulta", sql);
        return kFailure;
    }
    if (!statement) {  // only blanks or comments: nothing to run
        return std::string();
    }

    // No row and a failure while stepping both leave no current row, so the value is empty.
    sqlite3_step(statement.get());
    return FirstColumnOfCurrentRow(statement.get());
}

bool ExecuteStatement(const std::string& databaseFile, const std::string& sql) {
    int resultCode = SQLITE_OK;
    Connection connection = OpenDatabase(databaseFile, resultCode);
    if (resultCode != SQLITE_OK) {
        const std::string error = sqlite3_errmsg(connection.get());
        std::fprintf(stderr, "No se puede abrir base de datos: %s\n", error.c_str());
        ShowMessage(error);
        return false;
    }

    char* rawErrorText = nullptr;
    resultCode = sqlite3_exec(connection.get(), sql.c_str(), DropRow, nullptr, &rawErrorText);
    SqliteText errorText(rawErrorText);
    if (resultCode != SQLITE_OK) {
        const std::string error =
            errorText ? std::string(errorText.get()) : std::string(sqlite3_errstr(resultCode));
        std::fprintf(stderr, "SQL error: %s\n", error.c_str());
        ShowMessage(error);
        return false;
    }
    return true;
}

std::string DatabaseLibraryVersion() {
    return sqlite3_libversion();
}
