#include "engine/base/MemoryBound.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>

namespace kavenra {
namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

std::uint64_t ReadNumber(const std::string& path) {
    std::ifstream file(path);
    std::uint64_t value = 0;
    return file >> value ? value : 0;
}

// The memory limit of this process's cgroup (version 2), 0 when there is none.
std::uint64_t CgroupMemoryLimit() {
    std::ifstream membership("/proc/self/cgroup");
    std::string line;
    while (std::getline(membership, line)) {
        if (line.rfind("0::", 0) == 0) {
            return ReadNumber("/sys/fs/cgroup" + line.substr(3) + "/memory.max");
        }
    }
    return 0;
}

}  // namespace

std::uint64_t ConversionMemoryBoundFor(std::uint64_t memoryBytes) {
    return std::clamp<std::uint64_t>(memoryBytes / 2, 512 * kMiB, 8 * kGiB);
}

std::uint64_t ConversionMemoryBound() {
    std::uint64_t memory = static_cast<std::uint64_t>(sysconf(_SC_PHYS_PAGES)) *
                           static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    const std::uint64_t cgroup = CgroupMemoryLimit();
    if (cgroup > 0) memory = std::min(memory, cgroup);
    std::uint64_t bound = ConversionMemoryBoundFor(memory);
    if (const char* text = std::getenv("KAVENRA_IMAGE_WORKER_MEMORY_MB")) {
        char* end = nullptr;
        const unsigned long long megabytes = std::strtoull(text, &end, 10);
        if (*text != '\0' && *end == '\0' && megabytes > 0 && megabytes < bound / kMiB) {
            bound = megabytes * kMiB;
        }
    }
    return bound;
}

}  // namespace kavenra
