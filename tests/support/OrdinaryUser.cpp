#include "support/OrdinaryUser.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "engine/ImageWorker.h"

namespace kavenra::testing {

namespace {

// The child's exit status when it could not take the ordinary user's identity.
constexpr int kCannotTakeIdentity = 77;

bool Superuser() {
    return geteuid() == 0;
}

bool GiveTo(const QString& path, const OrdinaryUser& user) {
    return lchown(QFile::encodeName(path).constData(), user.uid, user.gid) == 0;
}

}  // namespace

OrdinaryUser OrdinaryUserForTests() {
    if (!Superuser()) return {getuid(), getgid()};
    if (const passwd* nobody = getpwnam("nobody")) return {nobody->pw_uid, nobody->pw_gid};
    return {65534, 65534};
}

bool HandOverToOrdinaryUser(const QString& folder) {
    if (!Superuser()) return true;
    const OrdinaryUser user = OrdinaryUserForTests();
    if (!GiveTo(folder, user)) return false;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (!GiveTo(it.next(), user)) return false;
    }
    return true;
}

QString WorkerAnyUserMayRun() {
    // Under /tmp, not TMPDIR: a TMPDIR in a private home folder would hide it again.
    static const std::unique_ptr<QTemporaryDir> folder = [] {
        auto made = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/kavenra-worker-XXXXXX"));
        const QString copy = made->filePath(QStringLiteral("kavenra-imageworker"));
        const QString original = QFile::decodeName(ImageWorkerExecutable().c_str());
        if (!made->isValid() || !QFile::copy(original, copy) ||
            chmod(QFile::encodeName(made->path()).constData(), 0755) != 0 ||
            chmod(QFile::encodeName(copy).constData(), 0755) != 0) {
            qWarning("cannot copy the image worker %s to %s", qPrintable(original),
                     qPrintable(copy));
        }
        return made;
    }();
    return folder->filePath(QStringLiteral("kavenra-imageworker"));
}

bool RunAsOrdinaryUser(const std::function<void()>& part) {
    const OrdinaryUser user = OrdinaryUserForTests();
    const QByteArray worker = QFile::encodeName(WorkerAnyUserMayRun());
    // Whatever is still buffered would otherwise be written twice, once by each process.
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        qWarning("fork: %s", std::strerror(errno));
        return false;
    }
    if (child == 0) {
        if (Superuser() &&
            (setgroups(0, nullptr) != 0 || setresgid(user.gid, user.gid, user.gid) != 0 ||
             setresuid(user.uid, user.uid, user.uid) != 0)) {
            _exit(kCannotTakeIdentity);
        }
        setenv("KAVENRA_IMAGE_WORKER", worker.constData(), 1);
        // The worker's jobs work in their caller's folder, found again by its path: a build
        // folder in a private home folder is out of the user's reach, and so would be every job.
        char here[4096];
        if (getcwd(here, sizeof here) == nullptr || access(here, X_OK) != 0) {
            if (chdir("/") != 0) _exit(kCannotTakeIdentity);
        }
        part();
        StopImageWorker();
        std::fflush(nullptr);
        _exit(QTest::currentTestFailed() ? 1 : 0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    if (WIFEXITED(status) && WEXITSTATUS(status) == kCannotTakeIdentity) {
        qWarning("the child could not become user %u, group %u", unsigned(user.uid),
                 unsigned(user.gid));
    } else if (WIFSIGNALED(status)) {
        qWarning("the part run as user %u ended by signal %d", unsigned(user.uid),
                 WTERMSIG(status));
    } else {
        qWarning("the part run as user %u failed", unsigned(user.uid));
    }
    return false;
}

}  // namespace kavenra::testing
