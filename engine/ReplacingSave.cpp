#include "engine/ReplacingSave.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>

#include "engine/FreeImageBitmap.h"

namespace kavenra {
namespace {

TemporaryFileObserver temporaryFileObserver = nullptr;

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    return path.substr(0, slash + 1);
}

struct Temporary {
    std::string path;
    int fd = -1;
};

// Creates an empty, hidden file with a name no other save uses, open for reading and writing;
// the mode 0666 is narrowed by the umask as for any new file. Empty when the folder cannot take
// it.
std::optional<Temporary> CreateUniqueTemporary(const std::string& folder) {
    std::random_device entropy;
    std::uniform_int_distribution<unsigned long long> pick;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char name[40];
        std::snprintf(name, sizeof name, ".kavenra-%016llx.part", pick(entropy));
        Temporary temporary{folder + name};
        if (temporaryFileObserver) temporaryFileObserver(temporary.path);
        temporary.fd = open(temporary.path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (temporary.fd >= 0) return temporary;
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

// FreeImage's own file access, on a stream this code opened and so can check afterwards.
unsigned ReadFrom(void* buffer, unsigned size, unsigned count, fi_handle handle) {
    return static_cast<unsigned>(std::fread(buffer, size, count, static_cast<FILE*>(handle)));
}
unsigned WriteTo(void* buffer, unsigned size, unsigned count, fi_handle handle) {
    return static_cast<unsigned>(std::fwrite(buffer, size, count, static_cast<FILE*>(handle)));
}
int SeekIn(fi_handle handle, long offset, int origin) {
    return std::fseek(static_cast<FILE*>(handle), offset, origin);
}
long TellIn(fi_handle handle) {
    return std::ftell(static_cast<FILE*>(handle));
}

// FreeImage_Save does the same but overlooks failed writes (a full disk, a file size limit) and
// reports a cut-off file as saved. Here every write, the final flush and the close must succeed.
bool SaveToStream(FREE_IMAGE_FORMAT format, FIBITMAP& bitmap, int fd, int flags) {
    FILE* stream = fdopen(fd, "w+b");
    if (stream == nullptr) {
        close(fd);
        return false;
    }
    FreeImageIO io{ReadFrom, WriteTo, SeekIn, TellIn};
    const bool saved = FreeImage_SaveToHandle(format, &bitmap, &io, stream, flags) == TRUE &&
                       std::fflush(stream) == 0 && std::ferror(stream) == 0;
    return std::fclose(stream) == 0 && saved;
}

// A replaced file keeps what an overwrite in place would have kept.
void TakeOverAttributes(const std::string& temporary, const struct stat& replaced) {
    // Only permitted for root or for the file's own owner and groups; otherwise the new file is
    // simply ours, which is what a save in a folder of one's own gives anyway.
    if (chown(temporary.c_str(), replaced.st_uid, replaced.st_gid) != 0 &&
        chown(temporary.c_str(), static_cast<uid_t>(-1), replaced.st_gid) != 0) {
        // Keeps the process's own owner and group.
    }
    chmod(temporary.c_str(), replaced.st_mode & 0777);
}

}  // namespace

bool WrittenFileReadsBack(const std::string& path, FREE_IMAGE_FORMAT format, unsigned width,
                          unsigned height) {
    // The format's own test rather than FreeImage_GetFileType, which names the first of several
    // formats sharing a signature (every PNM file reads as PBM).
    if (!FreeImage_Validate(format, path.c_str())) return false;
    const int flags = FreeImage_FIFSupportsNoPixels(format) ? FIF_LOAD_NOPIXELS : 0;
    const BitmapHandle back(FreeImage_Load(format, path.c_str(), flags));
    return back && FreeImage_GetWidth(back.get()) == width &&
           FreeImage_GetHeight(back.get()) == height;
}

void SetTemporaryFileObserver(TemporaryFileObserver observer) {
    temporaryFileObserver = observer;
}

namespace {

// Whatever an overwrite in place could not open stays untouched: folders, devices, pipes, and
// files this process may not write. Empty when the target does not exist.
bool MayReplace(const std::string& target, std::optional<struct stat>& existing) {
    struct stat info {};
    if (stat(target.c_str(), &info) != 0) {
        existing.reset();
        return true;
    }
    existing = info;
    return S_ISREG(info.st_mode) && access(target.c_str(), W_OK) == 0;
}

}  // namespace

std::string WrittenPath(const std::string& destination) {
    struct stat link {};
    if (lstat(destination.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return destination;
    char resolved[PATH_MAX];
    return realpath(destination.c_str(), resolved) ? std::string(resolved) : destination;
}

std::optional<PreparedOutput> SaveToTemporaryFile(FREE_IMAGE_FORMAT format, FIBITMAP& bitmap,
                                                  const std::string& destination, int flags) {
    if (destination.empty()) return std::nullopt;
    const std::string target = WrittenPath(destination);
    std::optional<struct stat> existing;
    if (!MayReplace(target, existing)) return std::nullopt;

    const std::optional<Temporary> temporary = CreateUniqueTemporary(FolderOf(target));
    if (!temporary) return std::nullopt;
    if (!SaveToStream(format, bitmap, temporary->fd, flags) ||
        !WrittenFileReadsBack(temporary->path, format, FreeImage_GetWidth(&bitmap),
                              FreeImage_GetHeight(&bitmap))) {
        unlink(temporary->path.c_str());
        return std::nullopt;
    }
    return PreparedOutput{temporary->path, destination, target};
}

bool CommitPreparedOutput(const PreparedOutput& prepared) {
    std::optional<struct stat> existing;
    if (!MayReplace(prepared.targetPath, existing)) {
        DiscardPreparedOutput(prepared);
        return false;
    }
    if (existing) TakeOverAttributes(prepared.temporaryPath, *existing);
    if (rename(prepared.temporaryPath.c_str(), prepared.targetPath.c_str()) != 0) {
        DiscardPreparedOutput(prepared);
        return false;
    }
    return true;
}

void DiscardPreparedOutput(const PreparedOutput& prepared) {
    unlink(prepared.temporaryPath.c_str());
}

bool SaveReplacingFile(FREE_IMAGE_FORMAT format, FIBITMAP& bitmap, const std::string& destination,
                       int flags) {
    const std::optional<PreparedOutput> prepared =
        SaveToTemporaryFile(format, bitmap, destination, flags);
    return prepared && CommitPreparedOutput(*prepared);
}

}  // namespace kavenra
