#pragma once

#include <string>

// True when the machine has a network interface that is up and not a loopback.
bool IsOnline();

// True when the version published on the update server differs from this program's own.
bool CheckForUpdate();

// The body of the resource at url up to its first zero byte, or "FALLO" when it cannot be opened.
std::string FetchText(const std::string& url);
