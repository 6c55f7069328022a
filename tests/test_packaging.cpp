// The installed program and its Debian package: the exact file set of an installation with its
// modes, the shipped databases taken from the fresh build rather than a developer's runtime
// folder, a menu entry and a software-centre description that their validators accept and that
// agree with each other, icons that show something at every size, a manual page that renders
// cleanly, the file managers' actions and the shell's completion doing what they offer, and a
// package whose control fields, dependencies and contents match the layout.

#include "engine/run/CommandLineRequest.h"
#include "support/FileContents.h"
#include "support/ProgramRun.h"
#include "ui/Form3_opcionesdeformato.h"

#include <QByteArray>
#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using kavenra::testing::FileContents;

namespace {

constexpr QFileDevice::Permissions executableMode =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
    QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
constexpr QFileDevice::Permissions dataMode = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ReadGroup | QFileDevice::ReadOther;

const QString appId = QStringLiteral("org.kavenra.Kavenra");
const QStringList languages = {"Espanol", "English",  "Francais",
                               "Deutsch", "Italiano", "Portugues"};
const QList<int> iconSizes = {16, 22, 24, 32, 48, 64, 128, 256};

QString bindir() {
    return QStringLiteral(KAVENRA_INSTALL_BINDIR);
}
QString datadir() {
    return QStringLiteral(KAVENRA_INSTALL_DATADIR);
}
QString programData() {
    return QStringLiteral(KAVENRA_INSTALL_DATA_DIR);
}
QString workerDir() {
    return QStringLiteral(KAVENRA_INSTALL_WORKER_DIR);
}
QString desktopEntryPath() {
    return datadir() + "/applications/" + appId + ".desktop";
}
QString metainfoPath() {
    return datadir() + "/metainfo/" + appId + ".metainfo.xml";
}
QString iconPath(int size) {
    return QStringLiteral("%1/icons/hicolor/%2x%2/apps/%3.png").arg(datadir()).arg(size).arg(appId);
}
QString manualPagePath() {
    return QStringLiteral(KAVENRA_INSTALL_MANDIR) + "/man1/kavenra.1.gz";
}
QString serviceMenuPath() {
    return datadir() + "/kio/servicemenus/" + appId + ".servicemenu.desktop";
}
QString nemoActionPath(const QString& name) {
    return datadir() + "/nemo/actions/" + name + ".nemo_action";
}
QString nautilusScriptPath() {
    return programData() + "/nautilus-scripts/kavenra-resize-1600";
}
QString bashCompletionPath() {
    return datadir() + "/bash-completion/completions/kavenra";
}

struct ExpectedFile {
    QString path;  // relative to the installation prefix
    QFileDevice::Permissions mode;
};

// Everything an installation holds; anything else is a leak from the build.
QList<ExpectedFile> ExpectedFiles() {
    QList<ExpectedFile> files = {
        {bindir() + "/kavenra", executableMode},
        {workerDir() + "/kavenra-imageworker", executableMode},
        {programData() + "/KVConfig.db", dataMode},
        {programData() + "/CHANGELOG.txt", dataMode},
        {desktopEntryPath(), dataMode},
        {metainfoPath(), dataMode},
        {datadir() + "/icons/hicolor/scalable/apps/" + appId + ".svg", dataMode},
        {manualPagePath(), dataMode},
        {datadir() + "/doc/kavenra/copyright", dataMode},
        // KIO runs a service menu only when it is executable.
        {serviceMenuPath(), executableMode},
        {nemoActionPath("kavenra-resize"), dataMode},
        {nemoActionPath("kavenra-resize-1600"), dataMode},
        {nautilusScriptPath(), executableMode},
        {bashCompletionPath(), dataMode},
    };
    for (const QString& language : languages) {
        files.append({programData() + "/lang/" + language + ".db", dataMode});
    }
    for (int size : iconSizes) files.append({iconPath(size), dataMode});
    return files;
}

struct RunResult {
    bool started = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

RunResult Run(const QString& program, const QStringList& arguments,
              const QString& workingDirectory = QString()) {
    QProcess process;
    if (!workingDirectory.isEmpty()) process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    RunResult result;
    result.started = process.waitForStarted(-1);
    if (!result.started) return result;
    process.waitForFinished(-1);
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QString Describe(const RunResult& result) {
    return QStringLiteral("exit %1\n%2\n%3")
        .arg(result.exitCode)
        .arg(QString::fromUtf8(result.out), QString::fromUtf8(result.err));
}

QSet<QString> FilesUnder(const QString& root) {
    QSet<QString> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) files.insert(QDir(root).relativeFilePath(it.next()));
    return files;
}

// The groups of a desktop-entry-style file, each with its keys.
QMap<QString, QMap<QString, QString>> DesktopFileGroups(const QString& path) {
    QMap<QString, QMap<QString, QString>> groups;
    QString group;
    for (const QByteArray& rawLine : FileContents(path).split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith('#')) continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            group = line.mid(1, line.size() - 2);
            groups[group];
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!group.isEmpty() && equals > 0)
            groups[group].insert(line.left(equals).trimmed(), line.mid(equals + 1));
    }
    return groups;
}

// The keys of a desktop entry's main group.
QMap<QString, QString> DesktopEntryKeys(const QString& path) {
    return DesktopFileGroups(path).value(QStringLiteral("Desktop Entry"));
}

QSet<QString> SplitList(const QString& value) {
    QSet<QString> items;
    for (const QString& item : value.split(';', Qt::SkipEmptyParts)) items.insert(item.trimmed());
    return items;
}

struct Metainfo {
    QString id;
    QStringList launchables;
    QStringList releaseVersions;
    QStringList firstReleaseItems;
    QStringList binaries;
    QSet<QString> mediatypes;
    QString error;
};

Metainfo ReadMetainfo(const QString& path) {
    Metainfo info;
    QXmlStreamReader xml(FileContents(path));
    QStringList open;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement()) {
            open.removeLast();
            continue;
        }
        if (!xml.isStartElement()) continue;
        const QString name = xml.name().toString();
        const QString parent = open.isEmpty() ? QString() : open.last();
        open.append(name);
        if (name == QLatin1String("release") && parent == QLatin1String("releases")) {
            info.releaseVersions.append(xml.attributes().value("version").toString());
        } else if (name == QLatin1String("li") && info.releaseVersions.size() == 1 &&
                   open.contains(QLatin1String("release"))) {
            info.firstReleaseItems.append(xml.readElementText());
            open.removeLast();
        } else if (name == QLatin1String("id") && parent == QLatin1String("component")) {
            info.id = xml.readElementText();
            open.removeLast();
        } else if (name == QLatin1String("launchable") &&
                   xml.attributes().value("type") == QLatin1String("desktop-id")) {
            info.launchables.append(xml.readElementText());
            open.removeLast();
        } else if (parent == QLatin1String("provides") && name == QLatin1String("binary")) {
            info.binaries.append(xml.readElementText());
            open.removeLast();
        } else if (parent == QLatin1String("provides") && name == QLatin1String("mediatype")) {
            info.mediatypes.insert(xml.readElementText());
            open.removeLast();
        }
    }
    if (xml.hasError()) info.error = xml.errorString();
    return info;
}

// A line of `dpkg-deb -c`: "-rwxr-xr-x root/root 1234 2024-01-01 12:00 ./usr/bin/kavenra".
struct PackageEntry {
    QString modeText;
    QString owner;
    QString path;
};

QList<PackageEntry> ParseContents(const QByteArray& listing) {
    static const QRegularExpression line(
        QStringLiteral(R"(^(\S{10})\s+(\S+)\s+\d+\s+\S+\s+\S+\s+(.+)$)"));
    QList<PackageEntry> entries;
    for (const QByteArray& raw : listing.split('\n')) {
        if (raw.trimmed().isEmpty()) continue;
        const QRegularExpressionMatch match = line.match(QString::fromUtf8(raw));
        if (!match.hasMatch()) {
            entries.append({QString(), QString(), QString::fromUtf8(raw)});  // unparsed
            continue;
        }
        entries.append({match.captured(1), match.captured(2), match.captured(3)});
    }
    return entries;
}

QString ModeText(QFileDevice::Permissions mode) {
    QString text = QStringLiteral("-");
    const std::pair<QFileDevice::Permission, char> bits[] = {
        {QFileDevice::ReadOwner, 'r'},  {QFileDevice::WriteOwner, 'w'},
        {QFileDevice::ExeOwner, 'x'},   {QFileDevice::ReadGroup, 'r'},
        {QFileDevice::WriteGroup, 'w'}, {QFileDevice::ExeGroup, 'x'},
        {QFileDevice::ReadOther, 'r'},  {QFileDevice::WriteOther, 'w'},
        {QFileDevice::ExeOther, 'x'}};
    for (const auto& [bit, letter] : bits) text += mode.testFlag(bit) ? QChar(letter) : QChar('-');
    return text;
}

// The package names of a Depends field, without versions or alternatives' bars.
QSet<QString> DependencyNames(const QString& depends) {
    QSet<QString> names;
    static const QRegularExpression separator(QStringLiteral("[,|]"));
    for (QString item : depends.split(separator, Qt::SkipEmptyParts)) {
        item = item.trimmed();
        names.insert(item.left(item.indexOf(' ') < 0 ? item.size() : item.indexOf(' ')));
    }
    return names;
}

QString Tool(const char* name) {
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

// The architecture dpkg builds and installs for on this machine; empty without dpkg.
QString DpkgArchitecture() {
    const QString dpkg = Tool("dpkg");
    if (dpkg.isEmpty()) return QString();
    const RunResult result = Run(dpkg, {"--print-architecture"});
    return result.exitCode == 0 ? QString::fromUtf8(result.out.trimmed()) : QString();
}

}  // namespace

class TestPackaging : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();

    void installsExactlyTheLayout();
    void installedModes_data();
    void installedModes();
    void shippedDataIsTheFreshBuild_data();
    void shippedDataIsTheFreshBuild();

    void validatorsAccept_data();
    void validatorsAccept();
    void desktopEntryKeys_data();
    void desktopEntryKeys();
    void desktopEntryOpensTheReadableTypes_data();
    void desktopEntryOpensTheReadableTypes();
    void desktopEntryIsNoFolderOpener();
    void metainfoAgreesWithTheInstallation();

    void iconsShowTheArtwork_data();
    void iconsShowTheArtwork();
    void scalableIconIsTheArtwork();

    void serviceMenuListsItsActions();
    void fileManagerActionsAreComplete_data();
    void fileManagerActionsAreComplete();
    void fileManagerActionsOfferImagesAndFolders_data();
    void fileManagerActionsOfferImagesAndFolders();
    void fileManagerActionsRunTheProgram_data();
    void fileManagerActionsRunTheProgram();
    void nautilusScriptPassesEachPath_data();
    void nautilusScriptPassesEachPath();

    void bashCompletionOffers_data();
    void bashCompletionOffers();
    void bashCompletionOffersEveryOption();
    void bashCompletionOffersEveryCameraRaw();
    void bashCompletionIsRegistered();

    void manualPageIsCompressed();
    void manualPageRendersWithoutWarnings();
    void manualPageHasItsName();
    void manualPageNamesEveryOption();

    void packageControlFields_data();
    void packageControlFields();
    void packageDependencies_data();
    void packageDependencies();
    void developmentMachineGetsTheDesktopsOpener();
    void copyrightIsMachineReadable();
    void licenceTextIsTheGplVersion3();
    void packageDescriptionNamesTheFormats_data();
    void packageDescriptionNamesTheFormats();
    void packageContentsAreTheLayout();
    void packageBinariesAreStripped();

  private:
    QString installed(const QString& relative) const { return m_prefix.filePath(relative); }
    // What the installed completion function leaves in COMPREPLY for the command line `words`
    // with the cursor on word `current`, run in `folder`.
    RunResult complete(const QStringList& words, int current, const QString& folder);
    QString manualPageText();
    // Builds the package once; the path of the .deb, or empty with a failure recorded.
    QString package();
    QString packageField(const QString& field);

    QTemporaryDir m_prefix;
    QTemporaryDir m_packageFolder;
    QString m_packageFile;
    bool m_packageTried = false;
};

void TestPackaging::initTestCase() {
    QVERIFY(m_prefix.isValid());
    QString error;
    QVERIFY2(kavenra::testing::InstallBuildInto(m_prefix.path(), &error), qPrintable(error));
}

void TestPackaging::installsExactlyTheLayout() {
    QSet<QString> expected;
    for (const ExpectedFile& file : ExpectedFiles()) expected.insert(file.path);
    const QSet<QString> actual = FilesUnder(m_prefix.path());

    QStringList missing = (expected - actual).values();
    QStringList extra = (actual - expected).values();
    missing.sort();
    extra.sort();
    QVERIFY2(missing.isEmpty(), qPrintable("not installed: " + missing.join(", ")));
    QVERIFY2(extra.isEmpty(),
             qPrintable("installed but not part of the layout: " + extra.join(", ")));
}

void TestPackaging::installedModes_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QFileDevice::Permissions>("mode");
    for (const ExpectedFile& file : ExpectedFiles()) {
        QTest::newRow(qPrintable(file.path)) << file.path << file.mode;
    }
}

void TestPackaging::installedModes() {
    QFETCH(QString, path);
    QFETCH(QFileDevice::Permissions, mode);
    const QFileInfo info(installed(path));
    QVERIFY2(info.isFile(), qPrintable(path + " is not installed"));
    const QFileDevice::Permissions unixBits =
        info.permissions() &
        ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
    QCOMPARE(ModeText(unixBits), ModeText(mode));
}

void TestPackaging::shippedDataIsTheFreshBuild_data() {
    QTest::addColumn<QString>("installedPath");
    QTest::addColumn<QString>("builtPath");
    const QString fresh = QStringLiteral(KAVENRA_BUILT_DATA_DIR);
    QTest::newRow("settings") << programData() + "/KVConfig.db" << fresh + "/KVConfig.db";
    for (const QString& language : languages) {
        QTest::newRow(qPrintable(language))
            << programData() + "/lang/" + language + ".db" << fresh + "/lang/" + language + ".db";
    }
    QTest::newRow("changelog") << programData() + "/CHANGELOG.txt"
                               << QStringLiteral(KAVENRA_SOURCE_DIR "/data/CHANGELOG.txt");
}

void TestPackaging::shippedDataIsTheFreshBuild() {
    QFETCH(QString, installedPath);
    QFETCH(QString, builtPath);
    const QByteArray built = FileContents(builtPath);
    QVERIFY2(!built.isEmpty(), qPrintable(builtPath + " is missing or empty"));
    const QByteArray shipped = FileContents(installed(installedPath));
    QVERIFY2(shipped == built, qPrintable(installedPath + " differs from " + builtPath));
}

void TestPackaging::validatorsAccept_data() {
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file");
    // Each validator's marks for errors and warnings at the start of its lines.
    QTest::addColumn<QString>("complaint");
    QTest::newRow("desktop entry") << "desktop-file-validate" << QStringList() << desktopEntryPath()
                                   << R"((^|: )(error|warning):)";
    QTest::newRow("metainfo") << "appstreamcli" << QStringList{"validate", "--no-net"}
                              << metainfoPath() << R"(^\s*[EW]: )";
}

void TestPackaging::validatorsAccept() {
    QFETCH(QString, tool);
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    QFETCH(QString, complaint);
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty()) QSKIP(qPrintable(tool + " is not installed"));

    const RunResult result = Run(program, arguments << installed(file));
    QVERIFY(result.started);
    const QString output = QString::fromUtf8(result.out + result.err);
    QVERIFY2(result.exitCode == 0, qPrintable(Describe(result)));
    const QRegularExpression complaintLine(complaint, QRegularExpression::MultilineOption);
    QVERIFY2(!complaintLine.match(output).hasMatch(), qPrintable(output));
}

void TestPackaging::desktopEntryKeys_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");  // empty: any value but an empty one
    QTest::newRow("Type") << "Type"
                          << "Application";
    QTest::newRow("Name") << "Name"
                          << "Kavenra";
    QTest::newRow("Exec") << "Exec"
                          << "kavenra %F";
    QTest::newRow("Icon") << "Icon" << appId;
    QTest::newRow("Terminal") << "Terminal"
                              << "false";
    QTest::newRow("StartupWMClass") << "StartupWMClass"
                                    << "kavenra";
    QTest::newRow("GenericName") << "GenericName"
                                 << "";
    QTest::newRow("Comment") << "Comment"
                             << "";
    for (const char* language : {"es", "fr", "de", "it", "pt"}) {
        for (const char* translated : {"Name", "GenericName", "Comment"}) {
            const QString key = QStringLiteral("%1[%2]").arg(translated, language);
            QTest::newRow(qPrintable(key)) << key << "";
        }
    }
}

void TestPackaging::desktopEntryKeys() {
    QFETCH(QString, key);
    QFETCH(QString, value);
    const QMap<QString, QString> keys = DesktopEntryKeys(installed(desktopEntryPath()));
    QVERIFY2(keys.contains(key), qPrintable(key + " is missing"));
    if (value.isEmpty()) {
        QVERIFY2(!keys.value(key).trimmed().isEmpty(), qPrintable(key + " is empty"));
    } else {
        QCOMPARE(keys.value(key), value);
    }
}

void TestPackaging::desktopEntryOpensTheReadableTypes_data() {
    QTest::addColumn<QString>("mimeType");
    for (const char* type : {"image/jpeg", "image/png", "image/tiff", "image/webp", "image/heif",
                             "image/heic", "image/avif", "image/bmp", "image/x-tga",
                             "image/x-canon-cr2", "image/x-nikon-nef", "image/x-adobe-dng"}) {
        QTest::newRow(type) << type;
    }
}

void TestPackaging::desktopEntryOpensTheReadableTypes() {
    QFETCH(QString, mimeType);
    const QSet<QString> types =
        SplitList(DesktopEntryKeys(installed(desktopEntryPath())).value("MimeType"));
    QVERIFY2(types.contains(mimeType), qPrintable(mimeType + " is not among the entry's types"));
}

void TestPackaging::desktopEntryIsNoFolderOpener() {
    const QSet<QString> types =
        SplitList(DesktopEntryKeys(installed(desktopEntryPath())).value("MimeType"));
    QVERIFY(!types.isEmpty());
    for (const QString& type : types) {
        QVERIFY2(type.startsWith(QLatin1String("image/")),
                 qPrintable(type + " is not an image type"));
    }
}

void TestPackaging::metainfoAgreesWithTheInstallation() {
    const Metainfo info = ReadMetainfo(installed(metainfoPath()));
    QVERIFY2(info.error.isEmpty(), qPrintable(info.error));
    QCOMPARE(info.id, appId);
    QCOMPARE(info.launchables, QStringList{QFileInfo(desktopEntryPath()).fileName()});
    QVERIFY(QFileInfo::exists(installed(desktopEntryPath())));
    QCOMPARE(info.binaries, QStringList{QStringLiteral("kavenra")});
    QVERIFY(QFileInfo(installed(bindir() + "/" + info.binaries.value(0))).isExecutable());
    QVERIFY2(!info.releaseVersions.isEmpty(), "no release listed");
    QCOMPARE(info.releaseVersions.first(), QStringLiteral(KAVENRA_PROJECT_VERSION));
    // Its notes are the changelog's items of that version, the one the program shows.
    QStringList changelogItems;
    bool inVersion = false;
    for (const QString& line :
         QString::fromUtf8(FileContents(installed(programData() + "/CHANGELOG.txt"))).split('\n')) {
        if (line.startsWith(QLatin1String("Version "))) {
            inVersion = line.mid(8).trimmed() == QLatin1String(KAVENRA_PROJECT_VERSION);
        } else if (inVersion && line.startsWith(QLatin1String("- "))) {
            changelogItems << line.mid(2).trimmed();
        }
    }
    QVERIFY(!changelogItems.isEmpty());
    QCOMPARE(info.firstReleaseItems, changelogItems);

    // A software centre and the menu must offer the program for the same files.
    const QSet<QString> desktopTypes =
        SplitList(DesktopEntryKeys(installed(desktopEntryPath())).value("MimeType"));
    QStringList onlyInMetainfo = (info.mediatypes - desktopTypes).values();
    QStringList onlyInDesktopEntry = (desktopTypes - info.mediatypes).values();
    QVERIFY2(onlyInMetainfo.isEmpty(), qPrintable("only in metainfo: " + onlyInMetainfo.join(' ')));
    QVERIFY2(onlyInDesktopEntry.isEmpty(),
             qPrintable("only in the desktop entry: " + onlyInDesktopEntry.join(' ')));
}

void TestPackaging::iconsShowTheArtwork_data() {
    QTest::addColumn<int>("size");
    for (int size : iconSizes) QTest::newRow(qPrintable(QString::number(size))) << size;
}

void TestPackaging::iconsShowTheArtwork() {
    QFETCH(int, size);
    const QString path = installed(iconPath(size));
    QCOMPARE(FileContents(path).left(8), QByteArray("\x89PNG\r\n\x1a\n"));
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path + " cannot be read"));
    QCOMPARE(image.size(), QSize(size, size));
    QVERIFY2(image.hasAlphaChannel(), "the icon has no transparency");

    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int opaque = 0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) opaque += qAlpha(argb.pixel(x, y)) == 255;
    }
    // The artwork is a rounded tile: most of the square is covered, its corners are not.
    QVERIFY2(opaque > size * size / 2, qPrintable(QStringLiteral("%1 opaque pixels").arg(opaque)));
    QCOMPARE(qAlpha(argb.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(argb.pixel(size - 1, size - 1)), 0);
    QCOMPARE(qAlpha(argb.pixel(size / 2, size / 2)), 255);
}

void TestPackaging::scalableIconIsTheArtwork() {
    const QString path = installed(datadir() + "/icons/hicolor/scalable/apps/" + appId + ".svg");
    QCOMPARE(FileContents(path),
             FileContents(QStringLiteral(KAVENRA_SOURCE_DIR "/resources/images/kavenra.svg")));
    QVERIFY(QSvgRenderer(path).isValid());
}

// The file managers' actions: each is a group of a file, the desktop-entry-like format of its
// file manager. desktop-file-validate refuses KDE's Type=Service and any group but
// "Desktop Entry" by design, so their keys are checked here as KIO and Nemo read them.
namespace {

struct FileManagerAction {
    const char* row;
    QString file;
    QString group;
    QString iconKey;
    bool resizes;  // a run without a window, or the window with the selection
};

QList<FileManagerAction> FileManagerActions() {
    return {
        {"dolphin open", serviceMenuPath(), "Desktop Action resizeWithKavenra", "Icon", false},
        {"dolphin 1600", serviceMenuPath(), "Desktop Action resizeTo1600", "Icon", true},
        {"nemo open", nemoActionPath("kavenra-resize"), "Nemo Action", "Icon-Name", false},
        {"nemo 1600", nemoActionPath("kavenra-resize-1600"), "Nemo Action", "Icon-Name", true},
    };
}

const QStringList actionLanguages = {"es", "fr", "de", "it", "pt"};

}  // namespace

void TestPackaging::serviceMenuListsItsActions() {
    const QMap<QString, QMap<QString, QString>> groups =
        DesktopFileGroups(installed(serviceMenuPath()));
    const QMap<QString, QString> main = groups.value("Desktop Entry");
    QCOMPARE(main.value("Type"), QStringLiteral("Service"));
    QVERIFY2(SplitList(main.value("X-KDE-ServiceTypes")).contains("KonqPopupMenu/Plugin"),
             qPrintable(main.value("X-KDE-ServiceTypes")));
    // Every listed action has its group, and no group is left out of the list.
    QSet<QString> listed;
    for (const QString& action : SplitList(main.value("Actions"))) listed.insert(action);
    QSet<QString> defined;
    for (const QString& group : groups.keys()) {
        if (group.startsWith(QLatin1String("Desktop Action ")))
            defined.insert(group.mid(QStringLiteral("Desktop Action ").size()));
        else
            QCOMPARE(group, QStringLiteral("Desktop Entry"));
    }
    QCOMPARE(listed, defined);
    QCOMPARE(listed.size(), 2);
}

void TestPackaging::fileManagerActionsAreComplete_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("iconKey");
    for (const FileManagerAction& action : FileManagerActions())
        QTest::newRow(action.row) << action.file << action.group << action.iconKey;
}

void TestPackaging::fileManagerActionsAreComplete() {
    QFETCH(QString, file);
    QFETCH(QString, group);
    QFETCH(QString, iconKey);
    const QMap<QString, QMap<QString, QString>> groups = DesktopFileGroups(installed(file));
    QVERIFY2(groups.contains(group), qPrintable(group + " is missing"));
    const QMap<QString, QString> keys = groups.value(group);
    QCOMPARE(keys.value(iconKey), appId);
    const QString name = keys.value("Name");
    QVERIFY(!name.isEmpty());
    QSet<QString> names{name};
    for (const QString& language : actionLanguages) {
        const QString translated = keys.value(QStringLiteral("Name[%1]").arg(language));
        QVERIFY2(!translated.trimmed().isEmpty(), qPrintable(language + " name is missing"));
        names.insert(translated);
    }
    // Copies of the English name would be no translation.
    QVERIFY2(names.size() > actionLanguages.size(), qPrintable(names.values().join(" | ")));
    if (group == QLatin1String("Nemo Action")) {
        QCOMPARE(keys.value("Active"), QStringLiteral("true"));
        static const QSet<QString> selections = {"s", "m", "any", "none", "notnone"};
        QVERIFY2(selections.contains(keys.value("Selection").toLower()),
                 qPrintable("Selection=" + keys.value("Selection")));
        QVERIFY(SplitList(keys.value("Dependencies")).contains("kavenra"));
        QCOMPARE(groups.size(), 1);
    }
}

void TestPackaging::fileManagerActionsOfferImagesAndFolders_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("key");
    QTest::newRow("dolphin") << serviceMenuPath() << "Desktop Entry"
                             << "MimeType";
    QTest::newRow("nemo open") << nemoActionPath("kavenra-resize") << "Nemo Action"
                               << "Mimetypes";
    QTest::newRow("nemo 1600") << nemoActionPath("kavenra-resize-1600") << "Nemo Action"
                               << "Mimetypes";
}

void TestPackaging::fileManagerActionsOfferImagesAndFolders() {
    QFETCH(QString, file);
    QFETCH(QString, group);
    QFETCH(QString, key);
    const QSet<QString> offered =
        SplitList(DesktopFileGroups(installed(file)).value(group).value(key));
    QSet<QString> expected =
        SplitList(DesktopEntryKeys(installed(desktopEntryPath())).value("MimeType"));
    QVERIFY(!expected.isEmpty());
    expected.insert(QStringLiteral("inode/directory"));
    QStringList missing = (expected - offered).values();
    QStringList extra = (offered - expected).values();
    QVERIFY2(missing.isEmpty(), qPrintable("not offered for: " + missing.join(' ')));
    QVERIFY2(extra.isEmpty(), qPrintable("offered for: " + extra.join(' ')));
}

void TestPackaging::fileManagerActionsRunTheProgram_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("group");
    QTest::addColumn<bool>("resizes");
    for (const FileManagerAction& action : FileManagerActions())
        QTest::newRow(action.row) << action.file << action.group << action.resizes;
}

void TestPackaging::fileManagerActionsRunTheProgram() {
    QFETCH(QString, file);
    QFETCH(QString, group);
    QFETCH(bool, resizes);
    const QString exec = DesktopFileGroups(installed(file)).value(group).value("Exec");
    // No quoting: the words are split at spaces alone.
    QVERIFY2(!exec.contains('"') && !exec.contains('\'') && !exec.contains('\\'), qPrintable(exec));
    QStringList words = exec.split(' ', Qt::SkipEmptyParts);
    // The program by name, found on PATH wherever the package puts it.
    QCOMPARE(words.value(0), QStringLiteral("kavenra"));
    QVERIFY(QFileInfo(installed(bindir() + "/kavenra")).isExecutable());
    QCOMPARE(words.count(QStringLiteral("%F")), 1);
    QCOMPARE(words.last(), QStringLiteral("%F"));
    if (!resizes) {
        QCOMPARE(words, QStringList({"kavenra", "%F"}));
        return;
    }
    QCOMPARE(words.value(1), QString::fromLatin1(kavenra::kResizeOption));
    // The selection as the file manager hands it over; a name that reads like an option must
    // still reach the run as a file.
    const QStringList selection = {"/home/ana/Fotos de verano", "-recorte.jpg",
                                   "/home/ana/ñandú.png"};
    QStringList arguments = words.mid(2, words.size() - 3);
    arguments << selection;
    const auto read = kavenra::ReadCommandLineText(arguments);
    const auto* error = std::get_if<kavenra::UsageError>(&read);
    QVERIFY2(!error, error ? error->message.c_str() : "");
    const auto& request = std::get<kavenra::CommandLineRequest>(read);
    QCOMPARE(request.longest, std::optional<int>(1600));
    QVERIFY(!request.size && !request.keepRawSize);
    QVERIFY(request.notify);
    QVERIFY(!request.json);
    QVERIFY(request.output.isEmpty());
    QByteArrayList selected;
    for (const QString& item : selection) selected << item.toUtf8();
    QCOMPARE(request.inputs, selected);
}

void TestPackaging::nautilusScriptPassesEachPath_data() {
    QTest::addColumn<QStringList>("selection");
    QTest::addColumn<bool>("runs");
    QTest::newRow("one image") << QStringList{"/home/ana/a.jpg"} << true;
    QTest::newRow("spaces and UTF-8")
        << QStringList{"/home/ana/Fotos de verano/playa 1.jpg", "/home/ana/Área  dos/çà ñ.JPG"}
        << true;
    QTest::newRow("a folder and a name like an option")
        << QStringList{"/home/ana/Viagem", "/home/ana/--longest"} << true;
    QTest::newRow("leading and trailing spaces") << QStringList{" lead.jpg", "trail.jpg "} << true;
    QTest::newRow("nothing selected") << QStringList() << false;
}

void TestPackaging::nautilusScriptPassesEachPath() {
    QFETCH(QStringList, selection);
    QFETCH(bool, runs);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    // A stand-in for the program, first on PATH, that keeps its arguments one per NUL.
    const QString record = folder.filePath("arguments");
    const QString fakeBin = folder.filePath("bin");
    QVERIFY(QDir().mkpath(fakeBin));
    QFile fake(fakeBin + "/kavenra");
    QVERIFY(fake.open(QIODevice::WriteOnly));
    fake.write("#!/bin/sh\nprintf '%s\\0' \"$@\" > \"$KAVENRA_TEST_RECORD\"\n");
    fake.close();
    QVERIFY(fake.setPermissions(executableMode));

    QProcess script;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PATH", fakeBin + ":" + environment.value("PATH"));
    environment.insert("KAVENRA_TEST_RECORD", record);
    // Nautilus ends every path with a line break.
    QString paths;
    for (const QString& path : selection) paths += path + '\n';
    environment.insert("NAUTILUS_SCRIPT_SELECTED_FILE_PATHS", paths);
    script.setProcessEnvironment(environment);
    script.setWorkingDirectory(folder.path());
    script.start(installed(nautilusScriptPath()), {});
    QVERIFY(script.waitForStarted(-1));
    QVERIFY(script.waitForFinished(-1));
    QVERIFY2(script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0,
             script.readAllStandardError().constData());

    if (!runs) {
        QVERIFY2(!QFileInfo::exists(record), "the program was started without a selection");
        return;
    }
    QByteArray recorded = FileContents(record);
    QVERIFY2(recorded.endsWith('\0'), recorded.constData());
    recorded.chop(1);
    QStringList arguments;
    for (const QByteArray& argument : recorded.split('\0'))
        arguments << QString::fromUtf8(argument);
    QCOMPARE(arguments,
             QStringList({"--resize", "--longest", "1600", "--notify", "--"}) + selection);
}

RunResult TestPackaging::complete(const QStringList& words, int current, const QString& folder) {
    // The words come in as arguments, so that no quoting of them is needed.
    const QString script = QStringLiteral(
        "source \"$KAVENRA_COMPLETION\" || exit 3\n"
        "COMP_CWORD=$1; shift; COMP_WORDS=(\"$@\"); COMP_LINE=\"$*\"; COMP_POINT=${#COMP_LINE}\n"
        "_kavenra kavenra \"${COMP_WORDS[COMP_CWORD]}\" \"${COMP_WORDS[COMP_CWORD-1]}\"\n"
        "printf '%s\\0' \"${COMPREPLY[@]}\"\n");
    QProcess bash;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("KAVENRA_COMPLETION", installed(bashCompletionPath()));
    bash.setProcessEnvironment(environment);
    bash.setWorkingDirectory(folder);
    bash.start(QStringLiteral("bash"), QStringList{"--norc", "--noprofile", "-c", script, "bash",
                                                   QString::number(current)} +
                                           words);
    RunResult result;
    result.started = bash.waitForStarted(-1);
    if (!result.started) return result;
    bash.waitForFinished(-1);
    result.exitCode = bash.exitStatus() == QProcess::NormalExit ? bash.exitCode() : -1;
    result.out = bash.readAllStandardOutput();
    result.err = bash.readAllStandardError();
    return result;
}

namespace {

QSet<QString> Offered(QByteArray output) {
    QSet<QString> offered;
    if (output.endsWith('\0')) output.chop(1);
    if (output.isEmpty()) return offered;
    for (const QByteArray& item : output.split('\0')) offered.insert(QString::fromUtf8(item));
    return offered;
}

}  // namespace

void TestPackaging::bashCompletionOffers_data() {
    QTest::addColumn<QStringList>("words");  // the cursor is on the last one
    QTest::addColumn<QStringList>("offered");

    const QStringList imagesAndFolders = {"album", "Beach Day.JPG", "beach.jpg", "shot.cr2",
                                          "-dash.png"};
    QTest::newRow("first option") << QStringList{"kavenra", "--r"} << QStringList{"--resize"};
    QTest::newRow("files without --resize") << QStringList{"kavenra", ""} << imagesAndFolders;
    QTest::newRow("options after --resize")
        << QStringList{"kavenra", "--resize", "--f"}
        << QStringList{"--fast", "--filter", "--fit", "--format"};
    QTest::newRow("no window options after --resize")
        << QStringList{"kavenra", "--resize", "--longest", "10", "--res"} << QStringList();
    QTest::newRow("--re after --resize: the run's options alone")
        << QStringList{"kavenra", "--resize", "--longest", "10", "--re"}
        << QStringList{"--recursive"};
    QTest::newRow("a size budget is a number of the user's choosing")
        << QStringList{"kavenra", "--resize", "--max-kb", ""} << QStringList();
    QTest::newRow("formats") << QStringList{"kavenra", "--resize", "--format", ""}
                             << QStringList{"same", "jpeg", "png", "webp", "tiff"};
    QTest::newRow("formats after =")
        << QStringList{"kavenra", "--resize", "--format", "=", "j"} << QStringList{"jpeg"};
    QTest::newRow("filters") << QStringList{"kavenra", "--resize", "--filter", "b"}
                             << QStringList{"box", "bilinear", "bspline", "bicubic"};
    QTest::newRow("JPEG qualities") << QStringList{"kavenra", "--resize", "--jpeg-quality", ""}
                                    << QStringList{"1", "2", "3", "4", "5"};
    QTest::newRow("PNG compressions") << QStringList{"kavenra", "--resize", "--png-compression", ""}
                                      << QStringList{"1", "2", "3", "4"};
    QTest::newRow("a size is the user's")
        << QStringList{"kavenra", "--resize", "--size", ""} << QStringList();
    QTest::newRow("folders for --output")
        << QStringList{"kavenra", "--resize", "--output", ""} << QStringList{"album"};
    QTest::newRow("images and folders to resize")
        << QStringList{"kavenra", "--resize", "--longest", "1600", ""} << imagesAndFolders;
    QTest::newRow("a name with a space")
        << QStringList{"kavenra", "--resize", "--longest", "1600", "Beach\\ "}
        << QStringList{"Beach Day.JPG"};
    QTest::newRow("upper-case extension")
        << QStringList{"kavenra", "--resize", "--fast", "--keep-raw-size", "B"}
        << QStringList{"Beach Day.JPG"};
    QTest::newRow("names like options after --")
        << QStringList{"kavenra", "--resize", "--longest", "9", "--", "-"}
        << QStringList{"-dash.png"};
}

void TestPackaging::bashCompletionOffers() {
    QFETCH(QStringList, words);
    QFETCH(QStringList, offered);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(QDir(folder.path()).mkdir("album"));
    for (const char* name :
         {"Beach Day.JPG", "beach.jpg", "shot.cr2", "-dash.png", "notes.txt", "archive.zip"}) {
        QFile file(folder.filePath(QString::fromUtf8(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const RunResult result = complete(words, words.size() - 1, folder.path());
    QVERIFY(result.started);
    QVERIFY2(result.exitCode == 0, qPrintable(Describe(result)));
    QCOMPARE(Offered(result.out), QSet<QString>(offered.cbegin(), offered.cend()));
}

// Every option the program reads is offered after --resize, and nothing it does not read.
void TestPackaging::bashCompletionOffersEveryOption() {
    QTemporaryDir folder;
    const RunResult result = complete({"kavenra", "--resize", "--"}, 2, folder.path());
    QVERIFY2(result.exitCode == 0, qPrintable(Describe(result)));
    QSet<QString> expected{QStringLiteral("--")};
    const QRegularExpression option(QStringLiteral("--[a-z][-a-z]*"));
    const QString usage = QString::fromStdString(kavenra::CommandLineUsage());
    for (const QRegularExpressionMatch& match : option.globalMatch(usage))
        expected.insert(match.captured());
    expected.remove(QString::fromLatin1(kavenra::kResizeOption));
    QCOMPARE(Offered(result.out), expected);
}

// The camera RAW files the options dialog lists, as cameras name them, are offered as images.
void TestPackaging::bashCompletionOffersEveryCameraRaw() {
    QTemporaryDir folder;
    QSet<QString> expected;
    for (const QString& extension : CameraRawExtensions()) {
        const QString name = QStringLiteral("IMG_0001.") + extension.toUpper();
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        expected.insert(name);
    }
    QVERIFY(!expected.isEmpty());
    const RunResult result =
        complete({"kavenra", "--resize", "--keep-raw-size", "I"}, 3, folder.path());
    QVERIFY2(result.exitCode == 0, qPrintable(Describe(result)));
    QCOMPARE(Offered(result.out), expected);
}

void TestPackaging::bashCompletionIsRegistered() {
    QProcess bash;
    bash.start(QStringLiteral("bash"),
               {"--norc", "--noprofile", "-c", "source \"$1\" && complete -p kavenra", "bash",
                installed(bashCompletionPath())});
    QVERIFY(bash.waitForFinished(-1));
    QCOMPARE(bash.exitCode(), 0);
    QVERIFY2(bash.readAllStandardOutput().contains("-F _kavenra kavenra"),
             bash.readAllStandardError().constData());
}

QString TestPackaging::manualPageText() {
    const RunResult gunzip = Run(QStringLiteral("gzip"), {"-dc", installed(manualPagePath())});
    if (!gunzip.started || gunzip.exitCode != 0) return QString();
    return QString::fromUtf8(gunzip.out);
}

void TestPackaging::manualPageIsCompressed() {
    const QByteArray compressed = FileContents(installed(manualPagePath()));
    QVERIFY2(compressed.startsWith("\x1f\x8b"), "not gzip data");
    const QString text = manualPageText();
    QVERIFY2(!text.isEmpty(), "gzip cannot unpack the page");
    QVERIFY(text.contains(QLatin1String(".TH KAVENRA 1")));
    for (const char* section : {"NAME", "SYNOPSIS", "DESCRIPTION", "ARGUMENTS", "FILES",
                                "ENVIRONMENT", "EXIT STATUS", "SEE ALSO"}) {
        QVERIFY2(text.contains(QStringLiteral("\n.SH %1\n").arg(section)) ||
                     text.contains(QStringLiteral("\n.SH \"%1\"\n").arg(section)),
                 section);
    }
}

void TestPackaging::manualPageRendersWithoutWarnings() {
    const QString groff = Tool("groff");
    if (groff.isEmpty()) QSKIP("groff is not installed");
    const QString text = manualPageText();
    QVERIFY(!text.isEmpty());
    QTemporaryDir folder;
    const QString page = folder.filePath("kavenra.1");
    QFile file(page);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0);
    file.close();

    const RunResult render = Run(groff, {"-man", "-Tutf8", "-ww", page});
    QVERIFY(render.started);
    QVERIFY2(render.exitCode == 0 && render.err.isEmpty(), qPrintable(Describe(render)));
    const QString shown = QString::fromUtf8(render.out);
    // Formatting codes interleave the bold synopsis; compare the letters only.
    QString plain = shown;
    plain.remove(QRegularExpression(QStringLiteral(".\b|\x1b\\[[0-9;]*m")));
    QVERIFY2(plain.contains(QLatin1String("kavenra [FILE|FOLDER]...")), qPrintable(plain));
}

void TestPackaging::manualPageHasItsName() {
    const QString lexgrog = Tool("lexgrog");
    if (lexgrog.isEmpty()) QSKIP("lexgrog (man-db) is not installed");
    // lexgrog reads what apropos and whatis will show, from the compressed page itself.
    const RunResult result = Run(lexgrog, {installed(manualPagePath())});
    QVERIFY(result.started);
    QVERIFY2(result.exitCode == 0, qPrintable(Describe(result)));
    QVERIFY2(result.out.contains("\"kavenra - "), result.out.constData());
}

// The page documents each option the program reads, so that a new one is not left out.
void TestPackaging::manualPageNamesEveryOption() {
    const QString groff = Tool("groff");
    if (groff.isEmpty()) QSKIP("groff is not installed");
    QTemporaryDir folder;
    const QString page = folder.filePath("kavenra.1");
    QFile file(page);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(manualPageText().toUtf8()) > 0);
    file.close();
    const RunResult render = Run(groff, {"-man", "-Tutf8", "-P", "-cbou", page});
    QVERIFY2(render.exitCode == 0, qPrintable(Describe(render)));
    QString shown = QString::fromUtf8(render.out);
    // Where groff broke a word at the end of a line, it is joined again.
    shown.remove(QRegularExpression(QStringLiteral("\\x{2010}\\n\\s+")));
    const QRegularExpression option(QStringLiteral("--[a-z][-a-z]*"));
    const QString usage = QString::fromStdString(kavenra::CommandLineUsage());
    for (const QRegularExpressionMatch& match : option.globalMatch(usage)) {
        const QRegularExpression named(QRegularExpression::escape(match.captured()) +
                                       QStringLiteral("(?![-a-z])"));
        QVERIFY2(shown.contains(named), qPrintable(match.captured() + " is not in the page"));
    }
    for (const char* status : {"130", "143"}) QVERIFY2(shown.contains(status), status);
}

QString TestPackaging::package() {
    if (m_packageTried) return m_packageFile;
    m_packageTried = true;
    if (Tool("dpkg-deb").isEmpty() || Tool("dpkg-shlibdeps").isEmpty()) return QString();
    const QString architecture = DpkgArchitecture();
    if (!m_packageFolder.isValid() || architecture.isEmpty()) return QString();

    const RunResult cpack =
        Run(QStringLiteral(KAVENRA_CPACK_COMMAND), {"-G", "DEB", "-B", m_packageFolder.path()},
            QStringLiteral(KAVENRA_BUILD_DIR));
    if (cpack.exitCode != 0) {
        qWarning().noquote() << "cpack failed:" << Describe(cpack);
        return QString();
    }
    const QString expected = QStringLiteral("kavenra_%1_%2.deb")
                                 .arg(QStringLiteral(KAVENRA_PROJECT_VERSION), architecture);
    if (!QFileInfo::exists(m_packageFolder.filePath(expected))) {
        qWarning().noquote() << "no" << expected << "among"
                             << QDir(m_packageFolder.path()).entryList(QDir::Files);
        return QString();
    }
    m_packageFile = m_packageFolder.filePath(expected);
    return m_packageFile;
}

QString TestPackaging::packageField(const QString& field) {
    const RunResult result = Run(Tool("dpkg-deb"), {"-f", package(), field});
    return result.exitCode == 0 ? QString::fromUtf8(result.out).trimmed() : QString();
}

#define REQUIRE_PACKAGE()                                                             \
    do {                                                                              \
        if (Tool("dpkg-deb").isEmpty() || Tool("dpkg-shlibdeps").isEmpty())           \
            QSKIP("dpkg-deb or dpkg-shlibdeps is not installed (dpkg-dev)");          \
        QVERIFY2(!package().isEmpty(), "cpack made no kavenra_<version>_<arch>.deb"); \
    } while (false)

void TestPackaging::packageControlFields_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::newRow("Package") << "Package"
                             << "kavenra";
    QTest::newRow("Version") << "Version" << KAVENRA_PROJECT_VERSION;
    QTest::newRow("Architecture") << "Architecture" << DpkgArchitecture();
    QTest::newRow("Section") << "Section"
                             << "graphics";
    QTest::newRow("Priority") << "Priority"
                              << "optional";
    QTest::newRow("Homepage") << "Homepage"
                              << "https://" KAVENRA_WEB_HOST "/";
}

void TestPackaging::packageControlFields() {
    QFETCH(QString, field);
    QFETCH(QString, value);
    REQUIRE_PACKAGE();
    QCOMPARE(packageField(field), value);
}

void TestPackaging::packageDependencies_data() {
    QTest::addColumn<QString>("dependency");
    // Found by dpkg-shlibdeps from the binaries, and the font and the desktop's opener declared
    // by hand.
    for (const char* name : {"libfreeimage3", "libsqlite3-0", "libqt6widgets6", "libqt6svg6",
                             "libqt6multimedia6", "libheif1", "fonts-dejavu-core", "xdg-utils"}) {
        QTest::newRow(name) << name;
    }
}

void TestPackaging::packageDependencies() {
    QFETCH(QString, dependency);
    REQUIRE_PACKAGE();
    const QString depends = packageField("Depends");
    QVERIFY2(DependencyNames(depends).contains(dependency), qPrintable("Depends: " + depends));
}

// The program opens folders through xdg-open: a machine set up by the scripts has it too.
void TestPackaging::developmentMachineGetsTheDesktopsOpener() {
    QFile script(QStringLiteral(KAVENRA_SOURCE_DIR "/scripts/install-deps.sh"));
    QVERIFY(script.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(script.readAll());
    QVERIFY(text.contains(QRegularExpression(QStringLiteral("\\bxdg-utils\\b"))));
}

// /usr/share/doc/kavenra/copyright in the machine-readable format, with the licence the
// AppStream data states.
void TestPackaging::copyrightIsMachineReadable() {
    QFile file(installed(datadir() + "/doc/kavenra/copyright"));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0),
             QStringLiteral(
                 "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"));
    const auto field = [&lines](const QString& name) {
        for (const QString& line : lines) {
            if (line.startsWith(name + QStringLiteral(": "))) return line.mid(name.size() + 2);
        }
        return QString();
    };
    QCOMPARE(field("Upstream-Name"), QStringLiteral("Kavenra"));
    QCOMPARE(field("Files"), QStringLiteral("*"));
    // Exiv2 is GPL-2.0-or-later, so nothing less free than the GPL may be stated.
    QCOMPARE(field("License"), QStringLiteral("GPL-3.0-or-later"));
    QVERIFY(!field("Copyright").isEmpty());
    QFile metainfo(installed(metainfoPath()));
    QVERIFY(metainfo.open(QIODevice::ReadOnly));
    const QRegularExpressionMatch licence =
        QRegularExpression(QStringLiteral("<project_license>([^<]+)</project_license>"))
            .match(QString::fromUtf8(metainfo.readAll()));
    QVERIFY(licence.hasMatch());
    QCOMPARE(field("License"), licence.captured(1));
    // The licence's text follows its name, each line indented.
    const qsizetype name = lines.indexOf(QStringLiteral("License: ") + licence.captured(1));
    QVERIFY(lines.value(name + 1).startsWith(QLatin1Char(' ')));
}

// The licence's whole text stands at the top of the sources, as the GPL asks.
void TestPackaging::licenceTextIsTheGplVersion3() {
    const QStringList lines =
        QString::fromUtf8(FileContents(QStringLiteral(KAVENRA_SOURCE_DIR "/LICENSE"))).split('\n');
    QCOMPARE(lines.value(0).trimmed(), QStringLiteral("GNU GENERAL PUBLIC LICENSE"));
    QCOMPARE(lines.value(1).trimmed(), QStringLiteral("Version 3, 29 June 2007"));
}

void TestPackaging::packageDescriptionNamesTheFormats_data() {
    QTest::addColumn<QString>("format");
    for (const char* format :
         {"BMP", "JPEG", "PNG", "TARGA", "TIFF", "WebP", "HEIC", "AVIF", "camera RAW"}) {
        QTest::newRow(format) << format;
    }
}

// What the package manager shows before an installation: every format the program reads.
void TestPackaging::packageDescriptionNamesTheFormats() {
    QFETCH(QString, format);
    REQUIRE_PACKAGE();
    const QString description = packageField(QStringLiteral("Description")).simplified();
    QVERIFY2(description.contains(format), qPrintable(description));
}

void TestPackaging::packageContentsAreTheLayout() {
    REQUIRE_PACKAGE();
    const RunResult listing = Run(Tool("dpkg-deb"), {"-c", package()});
    QVERIFY2(listing.exitCode == 0, qPrintable(Describe(listing)));

    QMap<QString, QString> expected;  // path in the package → mode text
    for (const ExpectedFile& file : ExpectedFiles()) {
        expected.insert("./usr/" + file.path, ModeText(file.mode));
    }
    QMap<QString, QString> files;
    for (const PackageEntry& entry : ParseContents(listing.out)) {
        QVERIFY2(!entry.modeText.isEmpty(), qPrintable("unreadable line: " + entry.path));
        QVERIFY2(entry.owner == QLatin1String("root/root"),
                 qPrintable(entry.path + " " + entry.owner));
        if (entry.modeText.startsWith('d')) {
            QVERIFY2(entry.modeText == QLatin1String("drwxr-xr-x"),
                     qPrintable(entry.path + " " + entry.modeText));
            QVERIFY2(entry.path == QLatin1String("./") || entry.path.startsWith("./usr/"),
                     qPrintable(entry.path));
            continue;
        }
        files.insert(entry.path, entry.modeText);
    }
    QStringList missing;
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        if (!files.contains(it.key())) missing.append(it.key());
    }
    QStringList extra;
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        if (!expected.contains(it.key())) extra.append(it.key());
    }
    QVERIFY2(missing.isEmpty(), qPrintable("not packaged: " + missing.join(", ")));
    QVERIFY2(extra.isEmpty(),
             qPrintable("packaged but not part of the layout: " + extra.join(", ")));
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        QVERIFY2(files.value(it.key()) == it.value(),
                 qPrintable(it.key() + " " + files.value(it.key())));
    }
}

void TestPackaging::packageBinariesAreStripped() {
    REQUIRE_PACKAGE();
    const QString file = Tool("file");
    if (file.isEmpty()) QSKIP("file is not installed");
    QTemporaryDir unpacked;
    const RunResult extract = Run(Tool("dpkg-deb"), {"-x", package(), unpacked.path()});
    QVERIFY2(extract.exitCode == 0, qPrintable(Describe(extract)));
    for (const QString& binary : {bindir() + "/kavenra", workerDir() + "/kavenra-imageworker"}) {
        const RunResult kind = Run(file, {"-b", unpacked.filePath("usr/" + binary)});
        const QString description = QString::fromUtf8(kind.out);
        QVERIFY2(description.contains(QLatin1String("ELF")), qPrintable(description));
        // Debug information would make the package many times its size.
        QVERIFY2(description.contains(QLatin1String(", stripped")) &&
                     !description.contains(QLatin1String("with debug_info")),
                 qPrintable(binary + ": " + description));
    }
}

QTEST_MAIN(TestPackaging)
#include "test_packaging.moc"
