#include "engine/base/SystemText.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

namespace kavenra {

ExtensionSplit SplitExtension(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot <= nameStart) return {path, {}};
    return {path.substr(0, dot), path.substr(dot)};
}

mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
        }
    }
    // Without /proc the only way left is to set it and set it back.
    const mode_t mask = umask(022);
    umask(mask);
    return mask;
}

}  // namespace kavenra
