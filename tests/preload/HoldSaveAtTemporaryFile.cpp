// Loaded into the image worker (LD_PRELOAD) by tests that look at a save in its middle: while the
// file KAVENRA_TEST_SAVE_HOLD_FLAG names exists, a job that has just given its temporary output
// file its permissions stops itself there, before the first byte is written, and goes on when
// the test sends SIGCONT. The test then finds the file in that state whatever the machine's
// load, instead of racing the save with a signal of its own.

#include <dlfcn.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" int fchmod(int fd, mode_t mode) {
    using Fchmod = int (*)(int, mode_t);
    static const Fchmod real = reinterpret_cast<Fchmod>(dlsym(RTLD_NEXT, "fchmod"));
    const int result = real(fd, mode);
    const char* flag = std::getenv("KAVENRA_TEST_SAVE_HOLD_FLAG");
    if (flag == nullptr || access(flag, F_OK) != 0) return result;
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char path[4096];
    const ssize_t length = readlink(link, path, sizeof path - 1);
    if (length > 0) {
        path[length] = '\0';
        const char* name = std::strrchr(path, '/');
        if (name != nullptr && std::strncmp(name + 1, ".kavenra-", 9) == 0) raise(SIGSTOP);
    }
    return result;
}
