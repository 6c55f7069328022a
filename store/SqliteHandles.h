#pragma once

// Owners for the SQLite objects the program opens, so that every connection, statement and
// library-allocated text is released on every path.

#include <sqlite3.h>

#include <memory>

namespace kavenra::sqlite {

struct ConnectionCloser {
    void operator()(sqlite3* connection) const { sqlite3_close(connection); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
struct TextFree {
    void operator()(char* text) const { sqlite3_free(text); }
};

using Connection = std::unique_ptr<sqlite3, ConnectionCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;
using Text = std::unique_ptr<char, TextFree>;

}  // namespace kavenra::sqlite
