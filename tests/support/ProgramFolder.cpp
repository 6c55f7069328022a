#include "ProgramFolder.h"

#include "DatabaseFixture.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace kavenra::testing {

bool CopyFolder(const QString& from, const QString& to) {
    if (!QDir().mkpath(to)) return false;
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(source);
        if (it.fileInfo().isDir()) {
            if (!QDir().mkpath(target)) return false;
        } else if (!QDir().mkpath(QFileInfo(target).absolutePath()) ||
                   !QFile::copy(source, target)) {
            return false;
        }
    }
    return true;
}

bool CopyRuntimeFolder(const QString& folder, QString* error) {
    const QString runtime = QStringLiteral(KAVENRA_RUNTIME_DIR);
    if (!QFileInfo(runtime + QStringLiteral("/kavenra")).isExecutable()) {
        *error = QStringLiteral("the program must be built before this test");
        return false;
    }
    // The runtime folder's databases are a developer's own, changed by every run of the program
    // from there: the copy gets the ones the build makes instead.
    if (!CopyFolder(runtime, folder) || !QFile::remove(folder + QStringLiteral("/KVConfig.db")) ||
        !QDir(folder + QStringLiteral("/lang")).removeRecursively() ||
        !CopyFolder(ShippedDataFolder(), folder)) {
        *error =
            QStringLiteral("cannot copy %1 and %2 to %3").arg(runtime, ShippedDataFolder(), folder);
        return false;
    }
    for (QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString file = it.next();
        if (file.endsWith(QLatin1String(".db"))) {
            QFile::setPermissions(file, QFile::permissions(file) | QFileDevice::WriteOwner);
        }
    }
    return true;
}

QString ActiveLanguageDatabase(const QString& settings) {
    QStringList active;
    if (!QueryColumn(settings, QStringLiteral("SELECT ruta FROM idiomas WHERE activo='1'"),
                     &active) ||
        active.size() != 1) {
        return {};
    }
    return QFileInfo(settings).absolutePath() + QLatin1Char('/') + active.first();
}

QString CaptionIn(const QString& languageDatabase, int form, const QString& key) {
    QStringList values;
    QueryColumn(languageDatabase,
                QStringLiteral("SELECT caption FROM traduccion WHERE form='%1' AND object=%2")
                    .arg(form)
                    .arg(SqlText(key)),
                &values);
    return values.value(0);
}

}  // namespace kavenra::testing
