#pragma once

// The hidden temporary files of saves whose program died before it could rename or remove them
// (killed in the middle of a save, or the machine went down). Kept apart from ReplacingSave.h so
// that the windows can sweep a folder without the image library's headers.

#include <sys/types.h>

#include <string>

namespace kavenra {

// The name of a temporary file owned by the program with process id `owner`:
// ".kavenra-<owner>-<16 hexadecimal digits>.part".
std::string TemporaryFileName(pid_t owner, unsigned long long random);

// The owner named by a temporary file's name; 0 for any name not made by TemporaryFileName.
pid_t TemporaryFileOwner(const std::string& name);

// Removes from `folder` the temporary files whose owner no longer runs: regular files of this
// user whose names TemporaryFileName made. Everything else stays, a file of a process that runs
// or that this process may not signal included. Returns how many were removed.
int RemoveAbandonedTemporaryFiles(const std::string& folder);

}  // namespace kavenra
