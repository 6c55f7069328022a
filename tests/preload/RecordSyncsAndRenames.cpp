// Loaded into the program (LD_PRELOAD) by tests that look at the order in which a save reaches the
// disk: each successful fsync and fdatasync, with the path of the file or folder it synced, and
// each successful rename, one line apiece ("fsync\tPATH", "rename\tFROM\tTO"), appended to the
// file KAVENRA_TEST_SYNC_LOG names. Lines are written whole with one write each, so processes
// that share the log do not mix their lines.

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

template <typename Function>
Function Real(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

std::string PathOf(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char path[8192];
    const ssize_t length = readlink(link, path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string("?");
}

void Record(const std::string& line) {
    const char* log = std::getenv("KAVENRA_TEST_SYNC_LOG");
    if (log == nullptr || *log == '\0') return;
    const int error = errno;
    const int fd = open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {
        const std::string whole = line + '\n';
        (void)!write(fd, whole.data(), whole.size());
        close(fd);
    }
    errno = error;
}

}  // namespace

extern "C" int fsync(int fd) {
    static const auto real = Real<int (*)(int)>("fsync");
    const int result = real(fd);
    if (result == 0) Record("fsync\t" + PathOf(fd));
    return result;
}

extern "C" int fdatasync(int fd) {
    static const auto real = Real<int (*)(int)>("fdatasync");
    const int result = real(fd);
    if (result == 0) Record("fsync\t" + PathOf(fd));
    return result;
}

extern "C" int rename(const char* from, const char* to) {
    static const auto real = Real<int (*)(const char*, const char*)>("rename");
    const int result = real(from, to);
    if (result == 0) Record(std::string("rename\t") + from + '\t' + to);
    return result;
}
