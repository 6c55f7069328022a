#include "ui/Startup.h"

#include "engine/formats/ImageLibrary.h"
#include "engine/run/BatchRun.h"
#include "engine/run/InputFiles.h"
#include "net/Internet.h"
#include "store/CaptionKeys.h"
#include "store/DatabaseAccess.h"
#include "store/LanguageChoice.h"
#include "store/RunSettings.h"
#include "store/SettingsColumns.h"
#include "store/SideFiles.h"
#include "store/TranslationLookup.h"
#include "ui/AppServices.h"
#include "ui/DesktopOpener.h"
#include "ui/Form3_opcionesdeformato.h"
#include "ui/Form4_seleccionlenguaje.h"
#include "ui/Form6_msgbox.h"
#include "ui/ListEntries.h"
#include "ui/TranslateAllForms.h"
#include "ui/Unit1.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStringDecoder>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <system_error>

bool StartupChecksRun = false;

namespace kavenra::startup {
namespace {

const QString warningCaption = QStringLiteral("Warning");

QByteArrayList& listFileArguments() {
    static QByteArrayList files;
    return files;
}

QByteArrayList& droppedItemArguments() {
    static QByteArrayList items;
    return items;
}

// A list names pictures in a few megabytes at most; a larger file is something else, and a file
// with a NUL byte near its start is binary, which spares reading the rest of a video.
constexpr qint64 kLargestListFile = 64 * 1024 * 1024;
constexpr qint64 kFirstLook = 64 * 1024;

// The file at exactly these bytes, opened for reading; QFile alone takes its name as text.
bool openByName(QFile& file, const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) return true;
    ::close(fd);
    return false;
}

// The content of a regular file when it may be a list; nothing when it is too large, binary from
// its start or cannot be read.
std::optional<QByteArray> listFileContent(const QByteArray& path) {
    QFile file;
    if (!openByName(file, path) || file.size() > kLargestListFile) return std::nullopt;
    QByteArray bytes = file.read(kFirstLook);
    if (bytes.contains('\0')) return std::nullopt;
    bytes += file.readAll();
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return bytes;
}

// A pipe (a shell's process substitution) can be read once only, so it is taken as a list and
// looked at as it is read; a regular file is looked at now.
bool isListFileArgument(const QByteArray& path) {
    struct stat status {};
    if (path.isEmpty() || stat(path.constData(), &status) != 0) return false;
    if (S_ISFIFO(status.st_mode)) return true;
    if (!S_ISREG(status.st_mode) || HasPictureName(path)) return false;
    const std::optional<QByteArray> content = listFileContent(path);
    return content && IsListFileText(*content);
}

bool existsByName(const QByteArray& path) {
    struct stat status {};
    return !path.isEmpty() && lstat(path.constData(), &status) == 0;
}

// Characters a line of names never holds: the C0 controls but the tab, and DEL.
bool isControl(uint c) {
    return (c < 0x20 && c != '\t') || c == 0x7F;
}

bool isPlainLine(const QString& line) {
    for (const QChar c : line) {
        if (isControl(c.unicode())) return false;
    }
    return true;
}

// A line that is no UTF-8 is an older system's name in its own encoding, and then names a file.
bool isNameLine(const QByteArray& line) {
    const QString text = QString::fromUtf8(line);
    if (text.toUtf8() == line) return isPlainLine(text);
    for (const char c : line) {
        if (isControl(static_cast<unsigned char>(c))) return false;
    }
    return existsByName(line);
}

std::runtime_error listFileError(const QString& message) {
    return std::runtime_error(message.toStdString());
}

// The text of a file's bytes: after a byte-order mark in the encoding it names, else UTF-8.
QString decodeText(const QByteArray& bytes) {
    struct Mark {
        QByteArrayView bytes;
        QStringConverter::Encoding encoding;
    };
    const Mark marks[] = {{"\xEF\xBB\xBF", QStringConverter::Utf8},
                          {"\xFF\xFE", QStringConverter::Utf16LE},
                          {"\xFE\xFF", QStringConverter::Utf16BE}};
    for (const Mark& mark : marks) {
        if (bytes.startsWith(mark.bytes)) {
            QStringDecoder decoder(mark.encoding);
            return decoder(QByteArrayView(bytes).sliced(mark.bytes.size()));
        }
    }
    return QString::fromUtf8(bytes);
}

// Lines end at CR, LF or CR LF, in text or in bytes alike.
template <typename Text, typename Lines>
Lines splitLines(const Text& text) {
    Lines lines;
    qsizetype start = 0;
    qsizetype position = 0;
    while (position < text.size()) {
        const auto c = text[position];
        if (c != '\r' && c != '\n') {
            ++position;
            continue;
        }
        lines << text.mid(start, position - start);
        ++position;
        if (c == '\r' && position < text.size() && text[position] == '\n') ++position;
        start = position;
    }
    if (start < text.size()) lines << text.mid(start);
    return lines;
}

bool hasByteOrderMark(const QByteArray& bytes) {
    return bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") ||
           bytes.startsWith("\xFE\xFF");
}

bool isExistingFile(const QString& path) {
    if (path.isEmpty()) return false;
    std::error_code error;
    return std::filesystem::is_regular_file(
        std::filesystem::path(QFile::encodeName(path).toStdString()), error);
}

[[noreturn]] void endStartup() {
    std::exit(1);
}

void checkImageLibraryFile() {
    if (isExistingFile(ImageLibraryFile())) return;
    Form6->MsgBox(warningCaption, QStringLiteral("Can't locate FreeImage.dll"), MessageKind::Error);
    endStartup();
}

// The message box looks up its button caption in the settings database first, so without that
// file the lookup's own not-found notice ends the process before this message can show.
void checkSettingsDatabase() {
    if (isExistingFile(QFile::decodeName(QByteArray::fromStdString(SettingsDatabaseFile())))) {
        return;
    }
    Form6->MsgBox(warningCaption, QStringLiteral("Can't locate KVConfig.db configuration file."),
                  MessageKind::Error);
    endStartup();
}

// The question, and the window behind it, speak the language the dialog preselects: the
// locale's when there are texts for it, else the one the dialog always offered.
void askLanguageAtFirstRun() {
    if (QuerySingleValue(SettingsDatabaseFile(), "SELECT primera_ejecucion FROM configuracion") !=
        "0") {
        return;
    }
    // The language the command line would speak too: the dialog's preselection.
    SpeakUntilChosen(InterfaceLanguageDatabase(SettingsDatabaseFile(), LocaleLanguageCode()));
    // Without that language's texts, the question keeps its own English ones.
    if (ActiveLanguageAvailable()) {
        TranslateAllForms();
        Form4->Label1->setText(LookupCaption(kLanguageDialogForm, "Label1"));
    } else {
        SpeakUntilChosen({});
    }
    Form4->exec();
    // Closed without a choice, the start goes on in the language marked active.
    SpeakUntilChosen({});
}

}  // namespace

void SetListFileArguments(const QByteArrayList& files) {
    listFileArguments() = files;
}

QByteArrayList ListFileArguments() {
    return listFileArguments();
}

StartupArguments ClassifyArguments(const QByteArrayList& arguments,
                                   const QByteArray& workingDirectory) {
    StartupArguments sorted;
    for (const QByteArray& argument : arguments) {
        const QByteArray path = AbsoluteInputPath(argument, workingDirectory);
        (isListFileArgument(path) ? sorted.listFiles : sorted.droppedItems) << path;
    }
    return sorted;
}

void SetStartupArguments(const StartupArguments& arguments) {
    listFileArguments() = arguments.listFiles;
    droppedItemArguments() = arguments.droppedItems;
}

QByteArrayList DroppedItemArguments() {
    return droppedItemArguments();
}

bool IsListFileText(const QByteArray& bytes) {
    struct Mark {
        QByteArrayView bytes;
        QStringConverter::Encoding encoding;
    };
    const Mark marks[] = {{"\xEF\xBB\xBF", QStringConverter::Utf8},
                          {"\xFF\xFE", QStringConverter::Utf16LE},
                          {"\xFE\xFF", QStringConverter::Utf16BE}};
    for (const Mark& mark : marks) {
        if (!bytes.startsWith(mark.bytes)) continue;
        QStringDecoder decoder(mark.encoding);
        const QString text = decoder(QByteArrayView(bytes).sliced(mark.bytes.size()));
        // The decoder lets a lone half of a UTF-16 pair through.
        if (decoder.hasError() || !text.isValidUtf16()) return false;
        for (const QString& line : splitLines<QString, QStringList>(text)) {
            if (!isPlainLine(line)) return false;
        }
        return true;
    }
    if (bytes.contains('\0')) return false;
    for (const QByteArray& line : splitLines<QByteArray, QByteArrayList>(bytes)) {
        if (!isNameLine(line)) return false;
    }
    return true;
}

bool HasPictureName(const QByteArray& path) {
    // The kinds the program reads, and the other common kinds of picture.
    static const QStringList pictures{
        QStringLiteral("bmp"),   QStringLiteral("dib"),  QStringLiteral("jpg"),
        QStringLiteral("jpeg"),  QStringLiteral("jpe"),  QStringLiteral("jif"),
        QStringLiteral("jfif"),  QStringLiteral("png"),  QStringLiteral("tga"),
        QStringLiteral("targa"), QStringLiteral("tif"),  QStringLiteral("tiff"),
        QStringLiteral("webp"),  QStringLiteral("heic"), QStringLiteral("heif"),
        QStringLiteral("hif"),   QStringLiteral("avif"), QStringLiteral("gif"),
        QStringLiteral("ico"),   QStringLiteral("cur"),  QStringLiteral("svg"),
        QStringLiteral("svgz"),  QStringLiteral("psd"),  QStringLiteral("xcf"),
        QStringLiteral("jxl"),   QStringLiteral("jp2"),  QStringLiteral("j2k"),
        QStringLiteral("jpf"),   QStringLiteral("jpx"),  QStringLiteral("pbm"),
        QStringLiteral("pgm"),   QStringLiteral("ppm"),  QStringLiteral("pnm"),
        QStringLiteral("pcx"),   QStringLiteral("xpm"),  QStringLiteral("xbm"),
        QStringLiteral("exr"),   QStringLiteral("dds"),  QStringLiteral("jng"),
        QStringLiteral("mng"),   QStringLiteral("apng"), QStringLiteral("wbmp"),
        QStringLiteral("emf"),   QStringLiteral("wmf")};
    const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    const qsizetype dot = name.lastIndexOf('.');
    if (dot <= 0) return false;
    const QString extension = QString::fromUtf8(name.mid(dot + 1)).toLower();
    return pictures.contains(extension) ||
           CameraRawExtensions().contains(extension, Qt::CaseInsensitive);
}

void InitialiseImageLibrary() {
    kavenra::InitialiseImageLibrary();
}

QByteArray readListFile(const QByteArray& path) {
    const QString shown = QDir::toNativeSeparators(QFile::decodeName(path));
    QFile file;
    if (!openByName(file, path)) {
        throw listFileError(QStringLiteral("Cannot open file \"%1\". %2")
                                .arg(shown, QString::fromLocal8Bit(std::strerror(errno))));
    }
    struct stat status {};
    if (fstat(file.handle(), &status) == 0 && S_ISDIR(status.st_mode)) {
        throw listFileError(
            QStringLiteral("Cannot open file \"%1\". file to open is a directory").arg(shown));
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        throw listFileError(
            QStringLiteral("Cannot read file \"%1\". %2").arg(shown, file.errorString()));
    }
    return bytes;
}

QByteArrayList ReadListFileEntries(const QByteArray& path) {
    const QByteArray bytes = readListFile(path);
    if (!IsListFileText(bytes)) {
        throw listFileError(QStringLiteral("The file \"%1\" is no list of images: it is no text.")
                                .arg(QDir::toNativeSeparators(QFile::decodeName(path))));
    }
    if (!hasByteOrderMark(bytes)) return splitLines<QByteArray, QByteArrayList>(bytes);
    QByteArrayList entries;
    for (const QString& line : splitLines<QString, QStringList>(decodeText(bytes))) {
        entries << QFile::encodeName(line);
    }
    return entries;
}

void LoadListFiles(TForm1& form, const QByteArrayList& files) {
    for (const QByteArray& file : files) {
        const QByteArrayList lines = ReadListFileEntries(file);
        form.ListBox1->clear();
        for (const QByteArray& line : lines) kavenra::AppendEntry(*form.ListBox1, line);
        if (lines.isEmpty()) {
            form.Edit3->clear();
            form.Label10->setText(QStringLiteral("0"));
            throw listFileError(QStringLiteral("The list file \"%1\" holds no lines.")
                                    .arg(QDir::toNativeSeparators(QFile::decodeName(file))));
        }
        form.Edit3->setText(kavenra::ProposedDestination(QFile::decodeName(lines.first())));
        form.Label10->setText(QString::number(form.ListBox1->count()));
    }
}

QString ImageLibraryFile() {
    return QFile::decodeName(QByteArray::fromStdString(kavenra::ImageLibraryFile()));
}

QString RequiredImageLibraryVersion() {
    return QString::fromStdString(kavenra::RequiredImageLibraryVersion());
}

void CheckImageLibraryVersion(const QString& reported, const QString& required) {
    if (reported == required) return;
    Form6->MsgBox(warningCaption,
                  QStringLiteral("FreeImage version its not compatible, Required ") + required,
                  MessageKind::Error);
    ShowMessage(reported);
    endStartup();
}

void RunStartupChecks() {
    checkImageLibraryFile();
    CheckImageLibraryVersion(QString::fromStdString(kavenra::ImageLibraryVersion()),
                             RequiredImageLibraryVersion());
    checkSettingsDatabase();
    // A failure is reported, and the options added since take their initial values until the
    // file can take them; nothing else depends on them.
    AddMissingSettingsColumns(SettingsDatabaseFile());
    askLanguageAtFirstRun();
    TranslateAllForms();
    if (IsOnline() && CheckForUpdate()) OfferUpdate();
}

void OfferUpdate() {
    const QString text = LookupCaption(kMainWindowForm, "ActualizacionTexto");
    const QString caption = LookupCaption(kMainWindowForm, "ActualizacionCaption");
    Form6->MsgBox(caption, text, MessageKind::Question);
    if (Form6->Respuesta) OpenWithDesktop(QUrl(QString::fromStdString(DownloadPageUrl())));
}

}  // namespace kavenra::startup
