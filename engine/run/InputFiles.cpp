#include "engine/run/InputFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QString>

#include <cerrno>
#include <climits>
#include <vector>

#include "engine/base/FileDescriptor.h"
#include "engine/run/ImageFileOperations.h"

namespace kavenra {
namespace {

// Opening a FIFO would wait for a writer; only regular files are opened here.
bool OpensForReading(const QByteArray& path) {
    const FileDescriptor file(open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    return file.valid() || (errno != EACCES && errno != EPERM);
}

}  // namespace

InputKind ClassifyInputPath(const QByteArray& path, bool* cameraRaw) {
    if (cameraRaw) *cameraRaw = false;
    if (!path.startsWith('/')) return InputKind::NotFound;
    struct stat status {};
    if (stat(path.constData(), &status) != 0) {
        // A name below a file, or one the system refuses, names nothing either.
        return errno == EACCES ? InputKind::Unreadable : InputKind::NotFound;
    }
    if (S_ISDIR(status.st_mode)) return InputKind::Folder;
    if (!S_ISREG(status.st_mode)) return InputKind::NotAnImage;
    if (!OpensForReading(path)) return InputKind::Unreadable;
    const PictureKind picture = PictureKindOf(path.toStdString());
    if (cameraRaw) *cameraRaw = picture == PictureKind::CameraRaw;
    return picture != PictureKind::None ? InputKind::Image : InputKind::NotAnImage;
}

// Latin-1 maps each byte to one character and back, so QDir's cleaning, which looks at "/" and
// "." alone, leaves every other byte exactly as it was.
QByteArray AbsoluteInputPath(const QByteArray& input, const QByteArray& workingDirectory) {
    if (input.isEmpty()) return {};
    const QByteArray joined = input.startsWith('/') ? input : workingDirectory + '/' + input;
    return QDir::cleanPath(QString::fromLatin1(joined)).toLatin1();
}

QByteArray WorkingDirectoryPath() {
    std::vector<char> buffer(PATH_MAX);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return {};
        buffer.resize(buffer.size() * 2);
    }
    return QByteArray(buffer.data());
}

}  // namespace kavenra
