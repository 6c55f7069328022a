// Database access: QuerySingleValue and ExecuteStatement on real SQLite files.

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <cstdlib>

#include "store/DatabaseAccess.h"
#include "support/DatabaseFixture.h"
#include "support/DatabaseMessages.h"
#include "support/DatabaseProbe.h"

using namespace kavenra::testing;

namespace {

const char kNotFound[] = "Error al leer de la base de datos, fichero no encontrado";
const char kSecondFolderVariable[] = "KAVENRA_PROBE_SECOND_FOLDER";

QString LibraryTemporaryDirectory() {
    return sqlite3_temp_directory ? QString::fromUtf8(sqlite3_temp_directory) : QString();
}

// A folder whose absolute path has an exact length, built one component at a time relative to
// its parent so that paths longer than the system's limit can be made and removed again.
class DeepFolder {
  public:
    DeepFolder(const QString& base, int pathLength) {
        base_ = ::open(QFile::encodeName(base).constData(), O_RDONLY | O_DIRECTORY);
        path_ = base;
        int parent = ::dup(base_);
        while (parent >= 0 && path_.size() < pathLength) {
            const int room = pathLength - static_cast<int>(path_.size()) - 1;
            const int length = room > 250 ? 200 : room;
            if (length < 1) {
                break;
            }
            const QByteArray name(length, 'd');
            const int child = ::mkdirat(parent, name.constData(), 0700) == 0
                                  ? ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY)
                                  : -1;
            ::close(parent);
            parent = child;
            names_.append(name);
            path_ += QLatin1Char('/') + QString::fromLatin1(name);
        }
        valid_ = parent >= 0 && path_.size() == pathLength;
        if (parent >= 0) {
            ::close(parent);
        }
    }
    ~DeepFolder() { RemoveChain(base_, 0); }
    DeepFolder(const DeepFolder&) = delete;
    DeepFolder& operator=(const DeepFolder&) = delete;

    bool isValid() const { return valid_; }
    QString path() const { return path_; }

  private:
    void RemoveChain(int parent, int index) {
        if (parent < 0 || index >= names_.size()) {
            if (parent >= 0) {
                ::close(parent);
            }
            return;
        }
        const QByteArray& name = names_.at(index);
        RemoveChain(::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY), index + 1);
        ::unlinkat(parent, name.constData(), AT_REMOVEDIR);
        ::close(parent);
    }

    int base_ = -1;
    QString path_;
    QList<QByteArray> names_;
    bool valid_ = false;
};

// Restores an environment variable when the test ends, however it ends.
class ScopedEnvironmentVariable {
  public:
    ScopedEnvironmentVariable(const char* name, const QByteArray& value)
        : name_(name), wasSet_(qEnvironmentVariableIsSet(name)), previous_(qgetenv(name)) {
        qputenv(name, value);
    }
    ~ScopedEnvironmentVariable() {
        if (wasSet_) {
            qputenv(name_, previous_);
        } else {
            qunsetenv(name_);
        }
    }

  private:
    const char* name_;
    bool wasSet_;
    QByteArray previous_;
};

// A regular file that exists but whose path is too long for the library to open.
QString UnopenableDatabase(const QTemporaryDir& base) {
    QString folder = base.path();
    while (folder.size() < 700) {
        folder += QStringLiteral("/") + QString(60, QLatin1Char('x'));
    }
    QDir().mkpath(folder);
    const QString file = folder + QStringLiteral("/KVConfig.db");
    QFile touch(file);
    touch.open(QIODevice::WriteOnly);
    return file;
}

// --- probes, run in a child process -------------------------------------------------------

void ReportTemporaryDirectoryAtExit() {
    std::printf("temporary directory at exit: %s\n",
                sqlite3_temp_directory ? sqlite3_temp_directory : "(unset)");
    std::fflush(stdout);
}

int RunAccessProbe(const QByteArray& probe) {
    std::atexit(ReportTemporaryDirectoryAtExit);
    const std::string first = QuerySingleValue("KVConfig.db", "SELECT value FROM t");
    std::printf("first query returned: %s\n", first.c_str());
    std::fflush(stdout);
    if (probe == "query-then-change-folder") {
        if (!QDir::setCurrent(qEnvironmentVariable(kSecondFolderVariable))) {
            return 3;
        }
        QuerySingleValue("KVConfig.db", "SELECT value FROM t");
        std::printf("second query returned\n");
    }
    return 0;
}

}  // namespace

class TestStoreAccess : public QObject {
    Q_OBJECT

  private slots:
    void queryReturnsFirstValue_data();
    void queryReturnsFirstValue();
    void queryReportsPrepareFailure_data();
    void queryReportsPrepareFailure();
    void queryReportsOpenFailure();
    void queryResolvesAgainstWorkingDirectory();
    void queryEndsProcessWhenFileIsMissing_data();
    void queryEndsProcessWhenFileIsMissing();
    void querySetsTemporaryDirectory_data();
    void querySetsTemporaryDirectory();
    void querySetsTemporaryDirectoryOnEveryCall();

    void executeRunsStatement();
    void executeReportsFailure_data();
    void executeReportsFailure();
    void executeReportsOpenFailure();
};

void TestStoreAccess::queryReturnsFirstValue_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QByteArray>("expected");

    const QString twoRows =
        "CREATE TABLE t (a TEXT, b TEXT);"
        "INSERT INTO t VALUES ('zeta', 'one'), ('alpha', 'two');";
    QTest::newRow("first column of the first row")
        << twoRows << "SELECT b, a FROM t" << QByteArray("one");
    QTest::newRow("several rows: the first in table order")
        << twoRows << "SELECT a FROM t" << QByteArray("zeta");
    QTest::newRow("no row") << twoRows << "SELECT a FROM t WHERE a = 'none'" << QByteArray();
    QTest::newRow("NULL value") << "CREATE TABLE t (a TEXT); INSERT INTO t VALUES (NULL);"
                                << "SELECT a FROM t" << QByteArray();
    QTest::newRow("number stored without quotes")
        << "CREATE TABLE t (a); INSERT INTO t VALUES (42);"
        << "SELECT a FROM t" << QByteArray("42");
    QTest::newRow("UTF-8 bytes unchanged")
        << "CREATE TABLE t (a TEXT); INSERT INTO t VALUES ('Español ✓');"
        << "SELECT a FROM t" << QByteArray("Espa\xc3\xb1ol \xe2\x9c\x93");
    QTest::newRow("failure while stepping")
        << twoRows << "SELECT abs(-9223372036854775808)" << QByteArray();
    QTest::newRow("nothing to run") << twoRows << "-- a comment only" << QByteArray();
}

void TestStoreAccess::queryReturnsFirstValue() {
    QFETCH(QString, setup);
    QFETCH(QString, sql);
    QFETCH(QByteArray, expected);
    DatabaseFolder folder;
    QVERIFY(folder.isValid());
    QCOMPARE(RunSql(folder.filePath("KVConfig.db"), setup), QString());
    MessageRecorder messages;
    const int descriptors = OpenFileDescriptorCount();

    const std::string value = QuerySingleValue("KVConfig.db", sql.toStdString());

    QCOMPARE(QByteArray::fromStdString(value), expected);
    QCOMPARE(messages.messages(), QStringList());
    QCOMPARE(OpenFileDescriptorCount(), descriptors);
}

void TestStoreAccess::queryReportsPrepareFailure_data() {
    QTest::addColumn<QByteArray>("fileContent");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("code");

    const QByteArray empty;
    QTest::newRow("syntax error") << empty << "SELEC a FROM t"
                                  << "1";
    QTest::newRow("no such table") << empty << "SELECT a FROM missing"
                                   << "1";
    QTest::newRow("no such column") << empty << "SELECT missing FROM t"
                                    << "1";
    QTest::newRow("not a database")
        << QByteArray("plain text, not a database\n") << "SELECT a FROM t"
        << "26";
}

void TestStoreAccess::queryReportsPrepareFailure() {
    QFETCH(QByteArray, fileContent);
    QFETCH(QString, sql);
    QFETCH(QString, code);
    DatabaseFolder folder;
    QVERIFY(folder.isValid());
    if (fileContent.isEmpty()) {
        QCOMPARE(RunSql(folder.filePath("KVConfig.db"), "CREATE TABLE t (a TEXT);"), QString());
    } else {
        QFile file(folder.filePath("KVConfig.db"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(fileContent);
    }
    MessageRecorder messages;
    const int descriptors = OpenFileDescriptorCount();

    const std::string value = QuerySingleValue("KVConfig.db", sql.toStdString());

    QCOMPARE(QString::fromStdString(value), QStringLiteral("FALLO!"));
    QCOMPARE(messages.messages(), QStringList({code, "Error Preparando consulta", sql}));
    QCOMPARE(OpenFileDescriptorCount(), descriptors);
}

void TestStoreAccess::queryReportsOpenFailure() {
    QTemporaryDir base;
    QVERIFY(base.isValid());
    const QString file = UnopenableDatabase(base);
    QVERIFY(QFileInfo(file).isFile());
    MessageRecorder messages;
    const int descriptors = OpenFileDescriptorCount();

    const std::string sql = "SELECT jpeg FROM configuracion";
    const std::string value = QuerySingleValue(QFile::encodeName(file).toStdString(), sql);

    QCOMPARE(QString::fromStdString(value), QStringLiteral("FALLO!"));
    QCOMPARE(messages.messages(),
             QStringList({"14", "Error en la consulta:", QString::fromStdString(sql)}));
    QCOMPARE(OpenFileDescriptorCount(), descriptors);
}

void TestStoreAccess::queryResolvesAgainstWorkingDirectory() {
    QTemporaryDir first;
    QTemporaryDir second;
    QVERIFY(first.isValid() && second.isValid());
    const QString table = "CREATE TABLE t (value TEXT); INSERT INTO t VALUES ('%1');";
    QCOMPARE(RunSql(first.filePath("KVConfig.db"), table.arg("first")), QString());
    QCOMPARE(RunSql(second.filePath("KVConfig.db"), table.arg("second")), QString());

    {
        ScopedWorkingDirectory inFirst(first.path());
        QVERIFY(inFirst.isValid());
        QCOMPARE(QuerySingleValue("KVConfig.db", "SELECT value FROM t"), std::string("first"));
    }
    ScopedWorkingDirectory inSecond(second.path());
    QVERIFY(inSecond.isValid());
    QCOMPARE(QuerySingleValue("KVConfig.db", "SELECT value FROM t"), std::string("second"));
    QVERIFY(ExecuteStatement("KVConfig.db", "UPDATE t SET value = 'changed'"));

    QCOMPARE(QuerySingleValue("KVConfig.db", "SELECT value FROM t"), std::string("changed"));
    QStringList firstValues;
    QVERIFY(QueryColumn(first.filePath("KVConfig.db"), "SELECT value FROM t", &firstValues));
    QCOMPARE(firstValues, QStringList({"first"}));
}

void TestStoreAccess::queryEndsProcessWhenFileIsMissing_data() {
    QTest::addColumn<QByteArray>("probe");
    QTest::addColumn<bool>("settingsInFirstFolder");
    QTest::addColumn<bool>("folderNamedLikeFile");
    QTest::addColumn<QString>("expectedOutput");
    QTest::addColumn<QString>("forbiddenOutput");

    // Nothing runs after the notice: no library call, no result handed back.
    const QString untouched = "temporary directory at exit: (unset)";
    QTest::newRow("no file") << QByteArray("query") << false << false << untouched
                             << "query returned";
    QTest::newRow("a folder is no database file")
        << QByteArray("query") << false << true << untouched << "query returned";
    QTest::newRow("working directory changed since the last query")
        << QByteArray("query-then-change-folder") << true << false << "first query returned: found"
        << "second query returned";
}

void TestStoreAccess::queryEndsProcessWhenFileIsMissing() {
    QFETCH(QByteArray, probe);
    QFETCH(bool, settingsInFirstFolder);
    QFETCH(bool, folderNamedLikeFile);
    QFETCH(QString, expectedOutput);
    QFETCH(QString, forbiddenOutput);
    QTemporaryDir first;
    QTemporaryDir second;
    QVERIFY(first.isValid() && second.isValid());
    if (settingsInFirstFolder) {
        QCOMPARE(RunSql(first.filePath("KVConfig.db"),
                        "CREATE TABLE t (value TEXT); INSERT INTO t VALUES ('found');"),
                 QString());
    }
    if (folderNamedLikeFile) {
        QVERIFY(QDir(first.path()).mkdir("KVConfig.db"));
    }
    QProcessEnvironment environment;
    environment.insert(kSecondFolderVariable, second.path());

    const ProbeResult result = RunProbe(probe, first.path(), environment);

    QVERIFY(result.started);
    QVERIFY(result.exitedNormally);
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.standardError.contains(kNotFound), qPrintable(result.standardError));
    QVERIFY2(result.standardOutput.contains(expectedOutput), qPrintable(result.standardOutput));
    QVERIFY2(!result.standardOutput.contains(forbiddenOutput), qPrintable(result.standardOutput));
    // The missing file is not created as a side effect.
    QVERIFY(!QFileInfo::exists(second.filePath("KVConfig.db")));
    if (!settingsInFirstFolder && !folderNamedLikeFile) {
        QVERIFY(!QFileInfo::exists(first.filePath("KVConfig.db")));
    }
}

void TestStoreAccess::querySetsTemporaryDirectory_data() {
    QTest::addColumn<int>("pathLength");  // with the separator added at its end; 0: short path
    QTest::addColumn<bool>("expectOne");

    QTest::newRow("ordinary folder") << 0 << false;
    QTest::newRow("path and terminator just fit the buffer") << 4095 << false;
    QTest::newRow("one character too long") << 4096 << true;
    QTest::newRow("far too long") << 4440 << true;
}

void TestStoreAccess::querySetsTemporaryDirectory() {
    QFETCH(int, pathLength);
    QFETCH(bool, expectOne);
    DatabaseFolder folder;
    QVERIFY(folder.isValid());
    QCOMPARE(RunSql(folder.filePath("KVConfig.db"), "CREATE TABLE t (a TEXT);"), QString());
    QTemporaryDir base;
    QVERIFY(base.isValid());
    const QString canonicalBase = QFileInfo(base.path()).canonicalFilePath();
    const int folderLength = pathLength == 0 ? int(canonicalBase.size()) : pathLength - 1;
    DeepFolder temporary(canonicalBase, folderLength);
    QVERIFY(temporary.isValid());
    ScopedEnvironmentVariable tmpdir("TMPDIR", QFile::encodeName(temporary.path()));
    QCOMPARE(QDir::tempPath(), temporary.path());

    QuerySingleValue("KVConfig.db", "SELECT a FROM t");

    QCOMPARE(LibraryTemporaryDirectory(),
             expectOne ? QStringLiteral("1") : temporary.path() + QLatin1Char('/'));
}

void TestStoreAccess::querySetsTemporaryDirectoryOnEveryCall() {
    DatabaseFolder folder;
    QVERIFY(folder.isValid());
    QCOMPARE(RunSql(folder.filePath("KVConfig.db"), "CREATE TABLE t (a TEXT);"), QString());
    QTemporaryDir first;
    QTemporaryDir second;
    QVERIFY(first.isValid() && second.isValid());
    const QString firstPath = QFileInfo(first.path()).canonicalFilePath();
    const QString secondPath = QFileInfo(second.path()).canonicalFilePath();

    {
        ScopedEnvironmentVariable tmpdir("TMPDIR", QFile::encodeName(firstPath));
        QuerySingleValue("KVConfig.db", "SELECT a FROM t");
        QCOMPARE(LibraryTemporaryDirectory(), firstPath + '/');
    }
    ScopedEnvironmentVariable tmpdir("TMPDIR", QFile::encodeName(secondPath));
    MessageRecorder messages;
    QuerySingleValue("KVConfig.db", "SELECT a FROM missing");  // a failing query sets it too
    QCOMPARE(LibraryTemporaryDirectory(), secondPath + '/');
    QCOMPARE(messages.messages().size(), 3);
}

void TestStoreAccess::executeRunsStatement() {
    DatabaseFolder folder;
    QVERIFY(folder.isValid());
    QCOMPARE(RunSql(folder.filePath("KVConfig.db"),
                    "CREATE TABLE configuracion (jpeg TEXT, png TEXT);"
                    "INSERT INTO configuracion VALUES ('5', '3');"),
             QString());
    MessageRecorder messages;
    StandardErrorCapture standardError;
    QVERIFY(standardError.isActive());
    const int descriptors = OpenFileDescriptorCount();

    QVERIFY(ExecuteStatement("KVConfig.db", "UPDATE configuracion SET jpeg='2'"));
    QVERIFY(ExecuteStatement("KVConfig.db", "SELECT jpeg, png FROM configuracion"));

    QCOMPARE(folder.queryValue("KVConfig.db", "SELECT jpeg || png FROM configuracion"),
             QStringLiteral("23"));
    QCOMPARE(messages.messages(), QStringList());
    QCOMPARE(standardError.text(), QString());
    QCOMPARE(OpenFileDescriptorCount(), descriptors);
}

void TestStoreAccess::executeReportsFailure_data() {
    QTest::addColumn<bool>("createDatabase");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("error");

    QTest::newRow("missing file: created empty, no such table")
        << false << "UPDATE configuracion SET jpeg='5'"
        << "no such table: configuracion";
    QTest::newRow("syntax error") << true << "UPDAT configuracion SET jpeg='5'"
                                  << "near \"UPDAT\": syntax error";
    QTest::newRow("no such column") << true << "UPDATE configuracion SET gif='1'"
                                    << "no such column: gif";
}

void TestStoreAccess::executeReportsFailure() {
    QFETCH(bool, createDatabase);
    QFETCH(QString, sql);
    QFETCH(QString, error);
    DatabaseFolder folder;
    QVERIFY(folder.isValid());
    if (createDatabase) {
        QCOMPARE(RunSql(folder.filePath("KVConfig.db"),
                        "CREATE TABLE configuracion (jpeg TEXT);"
                        "INSERT INTO configuracion VALUES ('4');"),
                 QString());
    }
    MessageRecorder messages;
    StandardErrorCapture standardError;
    QVERIFY(standardError.isActive());
    const int descriptors = OpenFileDescriptorCount();

    QVERIFY(!ExecuteStatement("KVConfig.db", sql.toStdString()));

    QCOMPARE(messages.messages(), QStringList({error}));
    QVERIFY2(standardError.lines().contains("SQL error: " + error),
             qPrintable(standardError.text()));
    QCOMPARE(OpenFileDescriptorCount(), descriptors);
    const QFileInfo file(folder.filePath("KVConfig.db"));
    QVERIFY(file.isFile());
    if (!createDatabase) {
        QCOMPARE(file.size(), qint64(0));
    } else {
        QCOMPARE(folder.queryValue("KVConfig.db", "SELECT jpeg FROM configuracion"), "4");
    }
}

void TestStoreAccess::executeReportsOpenFailure() {
    QTemporaryDir base;
    QVERIFY(base.isValid());
    const QString file = UnopenableDatabase(base);
    MessageRecorder messages;
    StandardErrorCapture standardError;
    QVERIFY(standardError.isActive());
    const int descriptors = OpenFileDescriptorCount();

    QVERIFY(!ExecuteStatement(QFile::encodeName(file).toStdString(),
                              "UPDATE configuracion SET jpeg='5'"));

    QCOMPARE(messages.messages(), QStringList({"unable to open database file"}));
    QVERIFY2(standardError.lines().contains(
                 "No se puede abrir base de datos: unable to open database file"),
             qPrintable(standardError.text()));
    QCOMPARE(OpenFileDescriptorCount(), descriptors);
}

int main(int argc, char** argv) {
    const QByteArray probe = ProbeName();
    if (!probe.isEmpty()) {
        return RunAccessProbe(probe);
    }
    QCoreApplication application(argc, argv);
    TestStoreAccess test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_store_access.moc"
