// Where the settings, language databases and changelog are found: from the executable's folder in
// the portable and the installed layout, the user's settings made from the shipped ones, and the
// lookups that follow the chosen locations whatever the working directory.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include "store/DatabaseAccess.h"
#include "store/SideFiles.h"
#include "store/TranslationLookup.h"
#include "support/DatabaseFixture.h"
#include "support/FileContents.h"
#include "support/OrdinaryUser.h"

using namespace kavenra::testing;
using kavenra::SettingsSeed;
using kavenra::SideFileLayout;
using kavenra::SideFileLocations;

Q_DECLARE_METATYPE(kavenra::SideFileLayout)
Q_DECLARE_METATYPE(kavenra::SettingsSeed::Outcome)

namespace {

std::string Local(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString FromLocal(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    return QDir().mkpath(QFileInfo(path).path()) && WriteFileContents(path, bytes);
}

// A prefix laid out as the install rules lay it out, with a settings file of the given content
// and a home folder of its own.
struct InstalledTree {
    QTemporaryDir root;
    QString bin() const { return root.filePath(QStringLiteral("prefix/bin/")); }
    QString data() const {
        return QDir::cleanPath(bin() + QStringLiteral(KAVENRA_DATA_FROM_BINDIR)) + QLatin1Char('/');
    }
    QString home() const { return root.filePath(QStringLiteral("home")); }
    bool make(const QByteArray& shippedSettings) const {
        return QDir().mkpath(bin()) && QDir().mkpath(home()) &&
               WriteFile(data() + QStringLiteral("KVConfig.db"), shippedSettings);
    }
    SideFileLocations locate(const QString& xdgConfigHome = {}) const {
        return kavenra::LocateSideFiles(Local(bin()), {Local(xdgConfigHome), Local(home())});
    }
};

}  // namespace

class TestSideFiles : public QObject {
    Q_OBJECT

  private slots:
    void layoutFollowsExecutableFolder_data();
    void layoutFollowsExecutableFolder();

    void firstStartMakesUserSettings();
    void userSettingsAreNeverReplaced_data();
    void userSettingsAreNeverReplaced();
    void failedCopyLeavesNothingAndSaysWhy();

    void lookupsUseLocationsNotWorkingDirectory();
    void languagePathResolution_data();
    void languagePathResolution();
};

void TestSideFiles::layoutFollowsExecutableFolder_data() {
    QTest::addColumn<bool>("settingsBesideExecutable");
    QTest::addColumn<bool>("dataFolder");
    QTest::addColumn<QString>("xdgConfigHome");
    QTest::addColumn<SideFileLayout>("layout");
    // Relative to the tree's root; "<bin>" is the executable's folder.
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("changelog");

    QTest::newRow("portable: settings beside the executable")
        << true << false << QString() << SideFileLayout::Portable << "<bin>KVConfig.db"
        << "<bin>CHANGELOG.txt";
    QTest::newRow("portable wins over a data folder")
        << true << true << QString() << SideFileLayout::Portable << "<bin>KVConfig.db"
        << "<bin>CHANGELOG.txt";
    QTest::newRow("nothing anywhere: portable, so the check names the executable's folder")
        << false << false << QString() << SideFileLayout::Portable << "<bin>KVConfig.db"
        << "<bin>CHANGELOG.txt";
    QTest::newRow("installed, default configuration folder")
        << false << true << QString() << SideFileLayout::Installed
        << "home/.config/kavenra/KVConfig.db"
        << "<data>CHANGELOG.txt";
    QTest::newRow("installed, XDG_CONFIG_HOME")
        << false << true << "<root>xdg" << SideFileLayout::Installed << "xdg/kavenra/KVConfig.db"
        << "<data>CHANGELOG.txt";
    QTest::newRow("installed, relative XDG_CONFIG_HOME is ignored")
        << false << true << "xdg" << SideFileLayout::Installed << "home/.config/kavenra/KVConfig.db"
        << "<data>CHANGELOG.txt";
}

void TestSideFiles::layoutFollowsExecutableFolder() {
    QFETCH(bool, settingsBesideExecutable);
    QFETCH(bool, dataFolder);
    QFETCH(QString, xdgConfigHome);
    QFETCH(SideFileLayout, layout);
    QFETCH(QString, settings);
    QFETCH(QString, changelog);

    InstalledTree tree;
    QVERIFY(QDir().mkpath(tree.bin()));
    if (dataFolder) QVERIFY(QDir().mkpath(tree.data()));
    if (settingsBesideExecutable) QVERIFY(WriteFile(tree.bin() + "KVConfig.db", "settings"));
    const QString root = tree.root.path() + QLatin1Char('/');
    const auto expand = [&](QString path) {
        return path.replace("<bin>", tree.bin())
            .replace("<data>", tree.data())
            .replace("<root>", root);
    };
    const QString expectedSettings =
        expand(settings).startsWith('/') ? expand(settings) : root + expand(settings);

    const SideFileLocations found = tree.locate(expand(xdgConfigHome));
    QCOMPARE(found.layout, layout);
    QCOMPARE(FromLocal(found.settingsDatabase), expectedSettings);
    QCOMPARE(FromLocal(found.changelog), expand(changelog));
    const QString expectedData = layout == SideFileLayout::Installed ? tree.data() : tree.bin();
    QCOMPARE(FromLocal(found.dataFolder), expectedData);
    QCOMPARE(FromLocal(found.shippedSettingsDatabase),
             layout == SideFileLayout::Installed ? tree.data() + "KVConfig.db" : QString());
}

void TestSideFiles::firstStartMakesUserSettings() {
    InstalledTree tree;
    const QByteArray shipped("shipped settings \0 with a zero byte", 34);
    QVERIFY(tree.make(shipped));
    QVERIFY(QFile::setPermissions(tree.data() + "KVConfig.db",
                                  QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const SideFileLocations locations = tree.locate();

    const SettingsSeed seed = kavenra::SeedUserSettings(locations);
    QCOMPARE(seed.outcome, SettingsSeed::Outcome::Created);
    const QString user = FromLocal(locations.settingsDatabase);
    QCOMPARE(FileContents(user), shipped);
    QCOMPARE(FileContents(tree.data() + "KVConfig.db"), shipped);
    // The user changes their settings in it, although the shipped file is read-only.
    QVERIFY(QFileInfo(user).permissions() & QFile::WriteOwner);
    struct stat folder {};
    QCOMPARE(stat(QFile::encodeName(QFileInfo(user).path()).constData(), &folder), 0);
    QCOMPARE(folder.st_mode & 0777, 0700u);
    QCOMPARE(QDir(QFileInfo(user).path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{"KVConfig.db"});

    QCOMPARE(kavenra::SeedUserSettings(locations).outcome, SettingsSeed::Outcome::AlreadyPresent);
}

void TestSideFiles::userSettingsAreNeverReplaced_data() {
    QTest::addColumn<bool>("shippedPresent");
    QTest::addColumn<QByteArray>("userContent");
    QTest::addColumn<SettingsSeed::Outcome>("outcome");

    QTest::newRow("user's settings kept")
        << true << QByteArray("mine") << SettingsSeed::Outcome::AlreadyPresent;
    QTest::newRow("an empty user file is still the user's")
        << true << QByteArray("") << SettingsSeed::Outcome::AlreadyPresent;
    QTest::newRow("no shipped copy, nothing made")
        << false << QByteArray() << SettingsSeed::Outcome::NoShippedCopy;
}

void TestSideFiles::userSettingsAreNeverReplaced() {
    QFETCH(bool, shippedPresent);
    QFETCH(QByteArray, userContent);
    QFETCH(SettingsSeed::Outcome, outcome);

    InstalledTree tree;
    QVERIFY(tree.make("shipped"));
    if (!shippedPresent) QVERIFY(QFile::remove(tree.data() + "KVConfig.db"));
    const SideFileLocations locations = tree.locate();
    const QString user = FromLocal(locations.settingsDatabase);
    if (!userContent.isNull()) QVERIFY(WriteFile(user, userContent));

    QCOMPARE(kavenra::SeedUserSettings(locations).outcome, outcome);
    QCOMPARE(QFileInfo::exists(user), !userContent.isNull());
    if (!userContent.isNull()) QCOMPARE(FileContents(user), userContent);
}

void TestSideFiles::failedCopyLeavesNothingAndSaysWhy() {
    InstalledTree tree;
    QVERIFY(tree.make("shipped"));
    // The configuration folder's place is taken by a file.
    const QString blocked = tree.root.filePath("blocked");
    QVERIFY(WriteFile(blocked, "not a folder"));
    SideFileLocations locations = tree.locate(blocked);

    const SettingsSeed seed = kavenra::SeedUserSettings(locations);
    QCOMPARE(seed.outcome, SettingsSeed::Outcome::Failed);
    QVERIFY2(FromLocal(seed.reason).contains(blocked), seed.reason.c_str());
    QCOMPARE(FileContents(blocked), QByteArray("not a folder"));

    // A configuration folder that refuses new files; the superuser writes into any, so the
    // seed is an ordinary user's.
    const QString readOnly = tree.root.filePath("readonly");
    QVERIFY(QDir().mkpath(readOnly + "/kavenra"));
    QVERIFY(HandOverToOrdinaryUser(tree.root.path()));
    QVERIFY(QFile::setPermissions(readOnly + "/kavenra", QFile::ReadOwner | QFile::ExeOwner));
    locations = tree.locate(readOnly);
    const bool passed = RunAsOrdinaryUser([&] {
        QCOMPARE(kavenra::SeedUserSettings(locations).outcome, SettingsSeed::Outcome::Failed);
    });
    QVERIFY(QFile::setPermissions(readOnly + "/kavenra",
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(passed);
    QVERIFY(QDir(readOnly + "/kavenra")
                .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

// The settings in the user's folder choose the language; the language database is read from the
// shipped data, though neither is in the working directory, which holds decoys of both.
void TestSideFiles::lookupsUseLocationsNotWorkingDirectory() {
    DatabaseFolder decoys;
    QVERIFY(decoys.writeSettings({{"Decoy", "lang/decoy.db", true}}));
    QVERIFY(decoys.writeLanguage("lang/decoy.db", {{1, "Caption_Atencion", "decoy"}}));

    InstalledTree tree;
    QVERIFY(tree.make({}));
    QVERIFY(QFile::remove(tree.data() + "KVConfig.db"));
    {
        DatabaseFolder shipped;
        QVERIFY(shipped.writeSettings(
            {{"Español", "lang/es.db", true}, {"English", "lang/en.db", false}}));
        QVERIFY(shipped.writeLanguage("lang/es.db", {{1, "Caption_Atencion", "Atención"}}));
        QVERIFY(shipped.writeLanguage("lang/en.db", {{1, "Caption_Atencion", "Warning"}}));
        QVERIFY(QFile::copy(shipped.filePath("KVConfig.db"), tree.data() + "KVConfig.db"));
        QVERIFY(QDir().mkpath(tree.data() + "lang"));
        for (const char* name : {"lang/es.db", "lang/en.db"}) {
            QVERIFY(QFile::copy(shipped.filePath(name), tree.data() + name));
        }
    }
    const SideFileLocations locations = tree.locate();
    QCOMPARE(kavenra::SeedUserSettings(locations).outcome, SettingsSeed::Outcome::Created);
    const SideFileLocations before = kavenra::SideFiles();
    kavenra::UseSideFiles(locations);

    QCOMPARE(LookupCaption(1, "Caption_Atencion"), QString::fromUtf8("Atención"));
    QVERIFY(ExecuteStatement(locations.settingsDatabase,
                             "UPDATE idiomas SET activo = CASE id WHEN 1 THEN '1' ELSE '0' END"));
    QCOMPARE(LookupCaption(1, "Caption_Atencion"), QStringLiteral("Warning"));
    // The change went into the user's settings only.
    QCOMPARE(QuerySingleValue(Local(tree.data() + "KVConfig.db"),
                              "SELECT idioma FROM idiomas WHERE activo='1'"),
             std::string("Español"));
    kavenra::UseSideFiles(before);
    QCOMPARE(LookupCaption(1, "Caption_Atencion"), QStringLiteral("decoy"));
}

void TestSideFiles::languagePathResolution_data() {
    QTest::addColumn<QString>("dataFolder");
    QTest::addColumn<QString>("ruta");
    QTest::addColumn<QString>("file");

    QTest::newRow("relative, against the data folder") << "/usr/share/kavenra/"
                                                       << "lang/English.db"
                                                       << "/usr/share/kavenra/lang/English.db";
    QTest::newRow("absolute, as stored") << "/usr/share/kavenra/"
                                         << "/opt/lang/en.db"
                                         << "/opt/lang/en.db";
    QTest::newRow("no path stays no path") << "/usr/share/kavenra/"
                                           << ""
                                           << "";
    QTest::newRow("working directory layout") << ""
                                              << "lang/English.db"
                                              << "lang/English.db";
}

void TestSideFiles::languagePathResolution() {
    QFETCH(QString, dataFolder);
    QFETCH(QString, ruta);
    QFETCH(QString, file);
    const SideFileLocations before = kavenra::SideFiles();
    SideFileLocations locations;
    locations.dataFolder = Local(dataFolder);
    kavenra::UseSideFiles(locations);
    const QString resolved = FromLocal(kavenra::LanguageDatabaseFile(Local(ruta)));
    kavenra::UseSideFiles(before);
    QCOMPARE(resolved, file);
}

QTEST_GUILESS_MAIN(TestSideFiles)
#include "test_side_files.moc"
