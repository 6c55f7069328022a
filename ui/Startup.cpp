#include "ui/Startup.h"

#include "engine/imaging/ImageLibrary.h"
#include "engine/run/BatchRun.h"
#include "engine/run/Procesosimagen.h"
#include "net/Internet.h"
#include "store/CaptionKeys.h"
#include "store/LanguageChoice.h"
#include "store/RunSettings.h"
#include "store/SettingsColumns.h"
#include "store/SideFiles.h"
#include "store/Sqlitecontrol.h"
#include "store/Sqlitetraductor.h"
#include "ui/AppServices.h"
#include "ui/DesktopOpener.h"
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

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

bool StartupChecksRun = false;

namespace kavenra::startup {
namespace {

const QString warningCaption = QStringLiteral("Warning");

QStringList& listFileArguments() {
    static QStringList files;
    return files;
}

QStringList& droppedItemArguments() {
    static QStringList items;
    return items;
}

// An empty argument names no file at all; made absolute it would name the working directory and
// list its images, which nobody asked for. It stays a list file that cannot be opened.
QString resolvedArgument(const QString& argument, const QDir& workingDirectory) {
    if (argument.isEmpty()) return argument;
    return QDir::cleanPath(workingDirectory.absoluteFilePath(argument));
}

bool isImageFile(const QString& path) {
    return QFileInfo(path).isFile() && IsSupportedImage(QFile::encodeName(path).toStdString());
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

void SetListFileArguments(const QStringList& files) {
    listFileArguments() = files;
}

QStringList ListFileArguments() {
    return listFileArguments();
}

StartupArguments ClassifyArguments(const QStringList& arguments, const QString& workingDirectory) {
    const QDir base(workingDirectory);
    StartupArguments sorted;
    for (const QString& argument : arguments) {
        const QString path = resolvedArgument(argument, base);
        const bool item = !path.isEmpty() && (QFileInfo(path).isDir() || isImageFile(path));
        (item ? sorted.droppedItems : sorted.listFiles) << path;
    }
    return sorted;
}

void SetStartupArguments(const StartupArguments& arguments) {
    listFileArguments() = arguments.listFiles;
    droppedItemArguments() = arguments.droppedItems;
}

QStringList DroppedItemArguments() {
    return droppedItemArguments();
}

void InitialiseImageLibrary() {
    kavenra::InitialiseImageLibrary();
}

QByteArray readListFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw listFileError(QStringLiteral("Cannot open file \"%1\". %2")
                                .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        throw listFileError(QStringLiteral("Cannot read file \"%1\". %2")
                                .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
    return bytes;
}

QByteArrayList ReadListFileEntries(const QString& path) {
    const QByteArray bytes = readListFile(path);
    if (!hasByteOrderMark(bytes)) return splitLines<QByteArray, QByteArrayList>(bytes);
    QByteArrayList entries;
    for (const QString& line : splitLines<QString, QStringList>(decodeText(bytes))) {
        entries << QFile::encodeName(line);
    }
    return entries;
}

void LoadListFiles(TForm1& form, const QStringList& files) {
    for (const QString& file : files) {
        const QByteArrayList lines = ReadListFileEntries(file);
        form.ListBox1->clear();
        for (const QByteArray& line : lines) kavenra::AppendEntry(*form.ListBox1, line);
        if (lines.isEmpty()) {
            form.Edit3->clear();
            form.Label10->setText(QStringLiteral("0"));
            throw listFileError(QStringLiteral("The list file \"%1\" holds no lines.")
                                    .arg(QDir::toNativeSeparators(file)));
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
