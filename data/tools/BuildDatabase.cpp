// Builds one SQLite database file from SQL source files, run in the order given.
//
//   kavenra_build_database OUTPUT.db SOURCE.sql [SOURCE.sql ...]
//
// The file is assembled under a temporary name and renamed into place only when every source
// ran, so an interrupted or failing build never leaves a half-filled database behind.

#include <sqlite3.h>

#include "store/SqliteHandles.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>

namespace {

namespace fs = std::filesystem;

using Connection = kavenra::sqlite::Connection;
using SqliteText = kavenra::sqlite::Text;

bool ReadWholeFile(const fs::path& path, std::string& contents) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    contents = buffer.str();
    return static_cast<bool>(in) || in.eof();
}

bool Execute(sqlite3* connection, const std::string& sql, const std::string& origin) {
    char* rawError = nullptr;
    const int result = sqlite3_exec(connection, sql.c_str(), nullptr, nullptr, &rawError);
    SqliteText error(rawError);
    if (result != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", origin.c_str(),
                     error ? error.get() : sqlite3_errstr(result));
        return false;
    }
    return true;
}

bool RunSources(sqlite3* connection, int count, char** sources) {
    if (!Execute(connection, "BEGIN", "transaction")) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        std::string sql;
        if (!ReadWholeFile(sources[i], sql)) {
            std::fprintf(stderr, "%s: cannot be read\n", sources[i]);
            return false;
        }
        if (!Execute(connection, sql, sources[i])) {
            return false;
        }
    }
    return Execute(connection, "COMMIT", "transaction");
}

bool BuildInto(const fs::path& file, int count, char** sources) {
    sqlite3* raw = nullptr;
    const int result = sqlite3_open(file.c_str(), &raw);
    Connection connection(raw);
    if (result != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", file.c_str(), sqlite3_errmsg(connection.get()));
        return false;
    }
    return RunSources(connection.get(), count, sources);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT.db SOURCE.sql [SOURCE.sql ...]\n", argv[0]);
        return 2;
    }
    const fs::path output = argv[1];
    const fs::path partial = output.string() + ".partial";
    std::error_code error;
    if (output.has_parent_path()) {
        fs::create_directories(output.parent_path(), error);
    }
    fs::remove(partial, error);

    if (!BuildInto(partial, argc - 2, argv + 2)) {
        fs::remove(partial, error);
        return 1;
    }
    fs::rename(partial, output, error);
    if (error) {
        std::fprintf(stderr, "%s: %s\n", output.c_str(), error.message().c_str());
        fs::remove(partial, error);
        return 1;
    }
    return 0;
}
