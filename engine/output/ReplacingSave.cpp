#include "engine/output/ReplacingSave.h"

#include "engine/base/FileDescriptor.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <random>
#include <vector>

#include "engine/base/SystemText.h"
#include "engine/formats/Codec.h"
#include "engine/formats/FreeImageBitmap.h"
#include "engine/formats/bmp/BmpRunPadding.h"
#include "engine/output/ReplacingSaveLeftovers.h"

namespace kavenra {
namespace {

constexpr char kTemporaryPrefix[] = ".kavenra-";
constexpr char kTemporarySuffix[] = ".part";
constexpr std::size_t kTemporaryRandomDigits = 16;
constexpr int kTemporaryNameAttempts = 16;
constexpr mode_t kNewFileMode = 0666;
constexpr mode_t kPermissionBits = 0777;
constexpr mode_t kGroupBits = 0070;
constexpr std::size_t kCopyChunkBytes = 1 << 20;
constexpr gid_t kKeepGroup = static_cast<gid_t>(-1);
// A written file is read whole to be changed; larger ones are left as written.
constexpr long kLargestChangedFile = long{256} << 20;

// BMP file and information header fields, little-endian, at these offsets.
constexpr long kBmpFileSizeAt = 2;
constexpr long kBmpPixelOffsetAt = 10;
constexpr long kBmpInfoSizeAt = 14;
constexpr long kBmpCompressionAt = 30;
constexpr long kBmpImageSizeAt = 34;
constexpr std::size_t kBmpHeadersBytes = 38;
constexpr std::uint32_t kBmpInfoHeaderMinimum = 40;
constexpr std::uint32_t kBmpRle8 = 1;
constexpr std::uint32_t kBmpRle4 = 2;

TemporaryFileObserver temporaryFileObserver = nullptr;
pid_t temporaryFileOwner = 0;

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    return path.substr(0, slash + 1);
}

// Where a save goes whose own folder refuses new files.
std::string TemporaryFolder() {
    const char* named = std::getenv("TMPDIR");
    std::string folder = named != nullptr && *named != '\0' ? named : "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder;
}

struct Temporary {
    std::string path;
    int fd = -1;
};

// Creates an empty, hidden file with a name no other save uses, open for reading and writing,
// with no permission at all for a moment and then `mode`, and the group `group` (unless
// kKeepGroup) where this process may give it, without the group's bits where not. Empty, with
// errno telling why, when the folder cannot take it.
std::optional<Temporary> CreateUniqueTemporary(const std::string& folder, mode_t mode,
                                               gid_t group) {
    std::random_device entropy;
    std::uniform_int_distribution<unsigned long long> pick;
    const pid_t owner = temporaryFileOwner > 0 ? temporaryFileOwner : getpid();
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        Temporary temporary{folder + TemporaryFileName(owner, pick(entropy))};
        if (temporaryFileObserver) temporaryFileObserver(temporary.path);
        temporary.fd =
            open(temporary.path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0);
        if (temporary.fd < 0) {
            if (errno == EEXIST) continue;
            return std::nullopt;
        }
        mode_t granted = mode;
        if (group != kKeepGroup && fchown(temporary.fd, static_cast<uid_t>(-1), group) != 0) {
            granted &= ~kGroupBits;
        }
        if (fchmod(temporary.fd, granted) != 0) {
            // Stays without permission bits until the commit gives it its own.
        }
        return temporary;
    }
    errno = EEXIST;
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

struct StreamCloser {
    void operator()(FILE* stream) const noexcept { std::fclose(stream); }
};
using Stream = std::unique_ptr<FILE, StreamCloser>;

// Closes the stream, reporting whether everything written reached the file.
bool CloseStream(Stream stream) {
    return std::fclose(stream.release()) == 0;
}

// FreeImage_Save does the same but overlooks failed writes (a full disk, a file size limit) and
// reports a cut-off file as saved. Here every write and the final flush must succeed.
bool SaveToStream(const OutputWriter& write, FILE* stream) {
    FreeImageIO io{ReadFrom, WriteTo, SeekIn, TellIn};
    return write(io, stream) && std::fflush(stream) == 0 && std::ferror(stream) == 0;
}

// The pages of the TIFF file open as `stream`, or 0.
int TiffPageCount(FILE* stream) {
    FreeImageIO io{ReadFrom, WriteTo, SeekIn, TellIn};
    if (std::fseek(stream, 0, SEEK_SET) != 0) return 0;
    FIMULTIBITMAP* pages =
        FreeImage_OpenMultiBitmapFromHandle(FreeImageFormatOf(ImageFormat::Tiff), &io, stream, 0);
    if (pages == nullptr) return 0;
    const int count = FreeImage_GetPageCount(pages);
    FreeImage_CloseMultiBitmap(pages, 0);
    return count;
}

bool WriteLittleEndian32At(FILE* stream, long offset, std::uint32_t value) {
    unsigned char bytes[4];
    WriteLittleEndian32(bytes, value);
    return std::fseek(stream, offset, SEEK_SET) == 0 &&
           std::fwrite(bytes, 1, sizeof bytes, stream) == sizeof bytes;
}

// FreeImage's RLE writer ends the last row with an end-of-line code before the end-of-picture
// code, which opens one row more than the picture has: FreeImage's own reader then refuses the
// whole file. The end-of-picture code alone ends the last row. `length` follows the file.
bool DropFinalEndOfLine(FILE* stream, std::uint32_t pixelOffset, long& length) {
    if (length - static_cast<long>(pixelOffset) < 4) return true;
    unsigned char tail[4];
    if (std::fseek(stream, length - 4, SEEK_SET) != 0 ||
        std::fread(tail, 1, sizeof tail, stream) != sizeof tail) {
        return false;
    }
    const bool endOfLineThenEnd = tail[0] == 0 && tail[1] == 0 && tail[2] == 0 && tail[3] == 1;
    if (!endOfLineThenEnd) return true;
    const unsigned char end[2] = {0, 1};
    if (std::fseek(stream, length - 4, SEEK_SET) != 0 ||
        std::fwrite(end, 1, sizeof end, stream) != sizeof end || std::fflush(stream) != 0 ||
        ftruncate(fileno(stream), length - 2) != 0) {
        return false;
    }
    length -= 2;
    return true;
}

// FreeImage's RLE writer states the file size it would have without the codes' overhead and no
// size for the compressed pixels, where readers need both: other programs refuse such a file.
// Both are set from the file as written, and the pad bytes it left unwritten are zeroed. False when
// the file is no BMP this can mend or a write fails.
bool CompleteBmpHeader(FILE* stream) {
    if (std::fseek(stream, 0, SEEK_END) != 0) return false;
    long length = std::ftell(stream);
    unsigned char header[kBmpHeadersBytes];
    if (length < static_cast<long>(kBmpHeadersBytes) || length > long{UINT32_MAX} ||
        std::fseek(stream, 0, SEEK_SET) != 0 ||
        std::fread(header, 1, sizeof header, stream) != sizeof header || header[0] != 'B' ||
        header[1] != 'M') {
        return false;
    }
    const std::uint32_t pixelOffset = ReadLittleEndian32(header + kBmpPixelOffsetAt);
    const bool compressed = ReadLittleEndian32(header + kBmpInfoSizeAt) >= kBmpInfoHeaderMinimum &&
                            (ReadLittleEndian32(header + kBmpCompressionAt) == kBmpRle8 ||
                             ReadLittleEndian32(header + kBmpCompressionAt) == kBmpRle4);
    if (pixelOffset > static_cast<std::uint32_t>(length)) return false;
    if (compressed && !DropFinalEndOfLine(stream, pixelOffset, length)) return false;
    // FreeImage writes RLE8 alone.
    const bool rle8 = compressed && ReadLittleEndian32(header + kBmpCompressionAt) == kBmpRle8;
    if (rle8 && !ZeroRunPadding(fileno(stream), pixelOffset, length)) return false;
    if (!WriteLittleEndian32At(stream, kBmpFileSizeAt, static_cast<std::uint32_t>(length))) {
        return false;
    }
    if (compressed && !WriteLittleEndian32At(stream, kBmpImageSizeAt,
                                             static_cast<std::uint32_t>(length) - pixelOffset)) {
        return false;
    }
    return std::fflush(stream) == 0 && std::ferror(stream) == 0;
}

// WrittenFileReadsBack on an open stream: the file as this process wrote it, whatever its
// permission bits.
bool StreamReadsBack(FILE* stream, ImageFormat format, unsigned width, unsigned height) {
    FreeImageIO io{ReadFrom, WriteTo, SeekIn, TellIn};
    if (std::fseek(stream, 0, SEEK_SET) != 0 ||
        !FreeImage_ValidateFromHandle(format.freeImage(), &io, static_cast<fi_handle>(stream)) ||
        std::fseek(stream, 0, SEEK_SET) != 0) {
        return false;
    }
    // Some formats are read whole (Codec::readBackHeaderOnly).
    const bool header =
        CodecOf(format).readBackHeaderOnly && FreeImage_FIFSupportsNoPixels(format.freeImage());
    const BitmapHandle back(
        FreeImage_LoadFromHandle(format.freeImage(), &io, stream, header ? kHeaderOnlyLoad : 0));
    return back && FreeImage_GetWidth(back.get()) == width &&
           FreeImage_GetHeight(back.get()) == height;
}

// A replaced file keeps what an overwrite in place would have kept.
void TakeOverAttributes(const std::string& temporary, const struct stat& replaced) {
    // Only permitted for root or for the file's own owner and groups; otherwise the new file is
    // simply ours, which is what a save in a folder of one's own gives anyway.
    if (chown(temporary.c_str(), replaced.st_uid, replaced.st_gid) != 0 &&
        chown(temporary.c_str(), static_cast<uid_t>(-1), replaced.st_gid) != 0) {
        // Keeps the process's own owner and group.
    }
    chmod(temporary.c_str(), replaced.st_mode & kPermissionBits);
}

bool IsDecimal(const std::string& text) {
    return !text.empty() && text.size() <= 10 && text[0] != '0' &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsLowerHex(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// True while `pid` names a process, also one of another user that this process may not signal.
bool ProcessRuns(pid_t pid) {
    return kill(pid, 0) == 0 || errno == EPERM;
}

struct DirectoryCloser {
    void operator()(DIR* directory) const noexcept { closedir(directory); }
};

// Waits until the file's content is on the disk. False, with errno set, when it cannot be.
bool SyncFile(const std::string& path) {
    const FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    return file.valid() && fsync(file.get()) == 0;
}

// Waits until the folder's entries are on the disk, a rename into it included. The file already
// stands under its name whatever this meets (a file system that keeps no folder to sync), so a
// failure here fails nothing.
void SyncFolder(const std::string& folder) {
    const int error = errno;
    const FileDescriptor directory(
        open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.valid()) (void)fsync(directory.get());
    errno = error;
}

// Copies a verified file over `target` as a plain save would write it. Every write must succeed;
// room for the whole new content is reserved before the first byte of the target changes, where
// the file system can reserve it.
bool OverwriteInPlace(const std::string& source, const std::string& target) {
    const FileDescriptor from(open(source.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat sourceInfo {};
    if (from.get() < 0 || fstat(from.get(), &sourceInfo) != 0) return false;
    FileDescriptor to(open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    struct stat targetInfo {};
    if (to.get() < 0 || fstat(to.get(), &targetInfo) != 0 || !S_ISREG(targetInfo.st_mode)) {
        return false;
    }
    const off_t size = sourceInfo.st_size;
    if (size > 0 && fallocate(to.get(), FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno != EOPNOTSUPP &&
        errno != ENOSYS) {
        return false;  // no room, or beyond the file-size limit: the target is unchanged
    }
    std::vector<char> chunk(kCopyChunkBytes);
    for (off_t at = 0; at < size;) {
        const ssize_t got = pread(from.get(), chunk.data(), chunk.size(), at);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0 || !WriteFullyAt(to.get(), chunk.data(), static_cast<std::size_t>(got), at)) {
            return false;
        }
        at += got;
    }
    return ftruncate(to.get(), size) == 0 && fsync(to.get()) == 0 && to.closeChecked();
}

}  // namespace

std::string TemporaryFileName(pid_t owner, unsigned long long random) {
    char name[64];
    std::snprintf(name, sizeof name, "%s%ld-%016llx%s", kTemporaryPrefix, static_cast<long>(owner),
                  random, kTemporarySuffix);
    return name;
}

pid_t TemporaryFileOwner(const std::string& name) {
    const std::size_t prefix = std::strlen(kTemporaryPrefix);
    const std::size_t suffix = std::strlen(kTemporarySuffix);
    if (name.size() <= prefix + kTemporaryRandomDigits + 1 + suffix ||
        name.compare(0, prefix, kTemporaryPrefix) != 0 ||
        name.compare(name.size() - suffix, suffix, kTemporarySuffix) != 0) {
        return 0;
    }
    const std::string middle = name.substr(prefix, name.size() - prefix - suffix);
    const std::size_t dash = middle.size() - kTemporaryRandomDigits - 1;
    const std::string pid = middle.substr(0, dash);
    if (middle[dash] != '-' || !IsDecimal(pid) || !IsLowerHex(middle.substr(dash + 1))) return 0;
    const unsigned long long value = std::strtoull(pid.c_str(), nullptr, 10);
    return value <= static_cast<unsigned long long>(std::numeric_limits<pid_t>::max())
               ? static_cast<pid_t>(value)
               : 0;
}

int RemoveAbandonedTemporaryFiles(const std::string& folder) {
    const std::unique_ptr<DIR, DirectoryCloser> directory(
        opendir(folder.empty() ? "." : folder.c_str()));
    if (!directory) return 0;
    const int fd = dirfd(directory.get());
    int removed = 0;
    while (const dirent* entry = readdir(directory.get())) {
        const pid_t owner = TemporaryFileOwner(entry->d_name);
        if (owner <= 0 || ProcessRuns(owner)) continue;
        struct stat info {};
        if (fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != geteuid()) {
            continue;
        }
        if (unlinkat(fd, entry->d_name, 0) == 0) ++removed;
    }
    return removed;
}

bool WrittenFileReadsBack(const std::string& path, ImageFormat format, unsigned width,
                          unsigned height) {
    // The format's own test rather than FreeImage_GetFileType, which names the first of several
    // formats sharing a signature (every PNM file reads as PBM).
    const Stream stream(std::fopen(path.c_str(), "rbe"));
    return stream && StreamReadsBack(stream.get(), format, width, height);
}

void SetTemporaryFileObserver(TemporaryFileObserver observer) {
    temporaryFileObserver = observer;
}

void SetTemporaryFileOwner(pid_t owner) {
    temporaryFileOwner = owner;
}

namespace {

// Whatever an overwrite in place could not open stays untouched: folders, devices, pipes, and
// files this process may not write. A symbolic link is a name like any other: the save replaces
// the link itself and never reads or writes what it points to, a file elsewhere or none at all;
// only a link to a folder, a device or a pipe keeps its name, as that thing itself would.
// `existing` is the regular file that holds the name, if any (never a link). When false, errno
// says why: EEXIST for a name held by anything but a regular file or a link to one (which is
// never opened, so a pipe cannot hold the save), else what access() met (EACCES, EROFS).
bool MayReplace(const std::string& target, std::optional<struct stat>& existing) {
    existing.reset();
    struct stat info {};
    if (lstat(target.c_str(), &info) != 0) return true;
    if (S_ISLNK(info.st_mode)) {
        struct stat pointed {};
        if (stat(target.c_str(), &pointed) == 0 && !S_ISREG(pointed.st_mode)) {
            errno = EEXIST;
            return false;
        }
        return true;
    }
    if (!S_ISREG(info.st_mode)) {
        errno = EEXIST;
        return false;
    }
    existing = info;
    return access(target.c_str(), W_OK) == 0;
}

bool FolderRefusesNewFiles(int error) {
    return error == EACCES || error == EPERM;
}

// Makes the stream's file hold exactly `content`, written past the stream's buffer, which a failed
// write could leave holding what it could not write; the stream's next seek drops what it read.
bool ReplaceContent(FILE* stream, const std::vector<unsigned char>& content) {
    const int fd = fileno(stream);
    return WriteFullyAt(fd, content.data(), content.size(), 0) &&
           ftruncate(fd, static_cast<off_t>(content.size())) == 0;
}

// False only when the file holds neither the changed content nor what was first written.
bool ApplyChange(FILE* stream, const WrittenFileChange& change) {
    if (!change || std::fseek(stream, 0, SEEK_END) != 0) return true;
    const long length = std::ftell(stream);
    if (length <= 0 || length > kLargestChangedFile || std::fseek(stream, 0, SEEK_SET) != 0) {
        return true;
    }
    std::vector<unsigned char> written;
    std::optional<std::vector<unsigned char>> changed;
    try {
        written.resize(static_cast<std::size_t>(length));
        if (std::fread(written.data(), 1, written.size(), stream) != written.size()) return true;
        changed = change(written);
    } catch (const std::bad_alloc&) {
        return true;
    }
    if (!changed || ReplaceContent(stream, *changed)) return true;
    // A write that failed half-way (a full disk) leaves the first content, which fitted.
    return ReplaceContent(stream, written);
}

}  // namespace

std::optional<PreparedOutput> SaveToTemporaryFile(ImageFormat format, FIBITMAP& bitmap,
                                                  const std::string& destination, int flags,
                                                  const WrittenFileChange& change) {
    const OutputWriter write = [format, &bitmap, flags](FreeImageIO& io, fi_handle handle) {
        return FreeImage_SaveToHandle(format.freeImage(), &bitmap, &io, handle, flags) == TRUE;
    };
    return SaveWrittenToTemporaryFile(
        format, write, {FreeImage_GetWidth(&bitmap), FreeImage_GetHeight(&bitmap), 1}, destination,
        change);
}

std::optional<PreparedOutput> SaveWrittenToTemporaryFile(ImageFormat format,
                                                         const OutputWriter& write,
                                                         const WrittenShape& shape,
                                                         const std::string& destination,
                                                         const WrittenFileChange& change) {
    if (destination.empty()) return std::nullopt;
    const std::string& target = destination;
    std::optional<struct stat> existing;
    if (!MayReplace(target, existing)) return std::nullopt;
    errno = 0;

    const mode_t mode =
        existing ? existing->st_mode & kPermissionBits : kNewFileMode & ~CurrentUmask();
    const gid_t group = existing && existing->st_gid != getegid() ? existing->st_gid : kKeepGroup;
    std::optional<Temporary> temporary = CreateUniqueTemporary(FolderOf(target), mode, group);
    if (!temporary && existing && FolderRefusesNewFiles(errno)) {
        temporary = CreateUniqueTemporary(TemporaryFolder(), mode, group);
    }
    if (!temporary) return std::nullopt;
    // From here errno tells why the save failed (a full disk, the file-size limit), if it did.
    errno = 0;
    Stream stream(fdopen(temporary->fd, "w+b"));
    if (!stream) close(temporary->fd);
    const bool saved = stream && SaveToStream(write, stream.get()) &&
                       (format != ImageFormat::Bmp || CompleteBmpHeader(stream.get())) &&
                       ApplyChange(stream.get(), change) &&
                       StreamReadsBack(stream.get(), format, shape.width, shape.height) &&
                       (shape.pages <= 1 || (format == ImageFormat::Tiff &&
                                             TiffPageCount(stream.get()) == shape.pages));
    if (!(stream && CloseStream(std::move(stream)) && saved)) {
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
    if (FolderOf(prepared.temporaryPath) != FolderOf(prepared.targetPath)) {
        const bool written =
            existing && OverwriteInPlace(prepared.temporaryPath, prepared.targetPath);
        DiscardPreparedOutput(prepared);
        return written;
    }
    if (existing) TakeOverAttributes(prepared.temporaryPath, *existing);
    // The content reaches the disk before the name does: after a power loss the name holds the
    // old file or the new one, never an empty one.
    if (!(prepared.flushed || SyncFile(prepared.temporaryPath)) ||
        rename(prepared.temporaryPath.c_str(), prepared.targetPath.c_str()) != 0) {
        DiscardPreparedOutput(prepared);
        return false;
    }
    SyncFolder(FolderOf(prepared.targetPath));
    return true;
}

bool FlushPreparedOutput(PreparedOutput& prepared) {
    prepared.flushed = SyncFile(prepared.temporaryPath);
    return prepared.flushed;
}

void DiscardPreparedOutput(const PreparedOutput& prepared) {
    // The caller reports why the save failed from errno.
    const int error = errno;
    unlink(prepared.temporaryPath.c_str());
    errno = error;
}

bool SaveReplacingFile(ImageFormat format, FIBITMAP& bitmap, const std::string& destination,
                       int flags) {
    const std::optional<PreparedOutput> prepared =
        SaveToTemporaryFile(format, bitmap, destination, flags);
    return prepared && CommitPreparedOutput(*prepared);
}

}  // namespace kavenra
