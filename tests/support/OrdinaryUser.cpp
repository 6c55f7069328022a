#include "support/OrdinaryUser.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "engine/isolation/ImageWorker.h"

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

namespace {

// Copies `original` into a folder any user may enter, once; its path.
QString CopyAnyUserMayRun(const QString& original, const QString& name) {
    // Under /tmp, not TMPDIR: a TMPDIR in a private home folder would hide it again.
    static const std::unique_ptr<QTemporaryDir> folder = [] {
        auto made = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/kavenra-tests-XXXXXX"));
        if (!made->isValid() || chmod(QFile::encodeName(made->path()).constData(), 0755) != 0) {
            qWarning("cannot make a folder for programs any user may run");
        }
        return made;
    }();
    const QString copy = folder->filePath(name);
    if (QFileInfo::exists(copy)) return copy;
    if (!QFile::copy(original, copy) || chmod(QFile::encodeName(copy).constData(), 0755) != 0) {
        qWarning("cannot copy %s to %s", qPrintable(original), qPrintable(copy));
    }
    return copy;
}

// Set in a row's rerun, which must not start another.
constexpr char kRerunVariable[] = "KAVENRA_TEST_ORDINARY_USER_RERUN";

// Takes the ordinary user's identity, points the worker at a copy it can run and leaves a
// working folder it cannot reach; only async-signal-safe calls, for a forked child. False when
// the identity could not be taken.
bool BecomeOrdinaryUser(const OrdinaryUser& user, const char* worker) {
    if (Superuser() &&
        (setgroups(0, nullptr) != 0 || setresgid(user.gid, user.gid, user.gid) != 0 ||
         setresuid(user.uid, user.uid, user.uid) != 0)) {
        return false;
    }
    setenv("KAVENRA_IMAGE_WORKER", worker, 1);
    // The worker's jobs work in their caller's folder, found again by its path: a build
    // folder in a private home folder is out of the user's reach, and so would be every job.
    char here[4096];
    if (getcwd(here, sizeof here) == nullptr || access(here, X_OK) != 0) return chdir("/") == 0;
    return true;
}

bool Passed(int status, const OrdinaryUser& user) {
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

int WaitForChild(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

}  // namespace

QString WorkerAnyUserMayRun() {
    return CopyAnyUserMayRun(QFile::decodeName(ImageWorkerExecutable().c_str()),
                             QStringLiteral("kavenra-imageworker"));
}

bool RowNeedsAnotherUser() {
    return Superuser() && !qEnvironmentVariableIsSet(kRerunVariable);
}

bool RerunRowAsOrdinaryUser() {
    const OrdinaryUser user = OrdinaryUserForTests();
    const QByteArray worker = QFile::encodeName(WorkerAnyUserMayRun());
    const QByteArray program = QFile::encodeName(
        CopyAnyUserMayRun(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath(),
                          QCoreApplication::applicationName()));
    QByteArray row = QTest::currentTestFunction();
    if (QTest::currentDataTag() != nullptr) row += QByteArray(":") + QTest::currentDataTag();
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        if (!BecomeOrdinaryUser(user, worker.constData())) _exit(kCannotTakeIdentity);
        setenv(kRerunVariable, "1", 1);
        char* const arguments[] = {const_cast<char*>(program.constData()),
                                   const_cast<char*>(row.constData()), nullptr};
        execv(program.constData(), arguments);
        _exit(kCannotTakeIdentity);
    }
    return Passed(WaitForChild(child), user);
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
        if (!BecomeOrdinaryUser(user, worker.constData())) _exit(kCannotTakeIdentity);
        part();
        StopImageWorker();
        std::fflush(nullptr);
        _exit(QTest::currentTestFailed() ? 1 : 0);
    }
    return Passed(WaitForChild(child), user);
}

}  // namespace kavenra::testing
