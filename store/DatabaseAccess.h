#pragma once

#include <string>

// Every call opens the named database file (a relative name resolves against the working
// directory), does its work and closes it again.

// First column of the first row as stored (UTF-8 bytes); "" for no row or NULL; "FALLO!" when
// the database cannot be opened or the statement cannot be prepared. Ends the process with
// status 1 when no file of that name exists.
std::string QuerySingleValue(const std::string& databaseFile, const std::string& sql);

// Runs one statement and drops any rows; false after the error has been reported.
bool ExecuteStatement(const std::string& databaseFile, const std::string& sql);

// The version of the SQLite library the program runs with, e.g. "3.40.1".
std::string DatabaseLibraryVersion();
