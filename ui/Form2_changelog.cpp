#include "ui/Form2_changelog.h"

#include "store/SideFiles.h"
#include "ui/AppServices.h"
#include "ui/DialogControls.h"
#include "ui/DialogFrame.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStringDecoder>

#include <stdexcept>

TForm2* Form2 = nullptr;

namespace kavenra {
namespace {

QString decodeByMark(const QByteArray& bytes) {
    const auto startsWith = [&bytes](const char* mark, int length) {
        return bytes.startsWith(QByteArray::fromRawData(mark, length));
    };
    if (startsWith("\xEF\xBB\xBF", 3)) {
        return QStringDecoder(QStringDecoder::Utf8)(bytes.mid(3));
    }
    if (startsWith("\xFF\xFE", 2)) {
        return QStringDecoder(QStringDecoder::Utf16LE)(bytes.mid(2));
    }
    if (startsWith("\xFE\xFF", 2)) {
        return QStringDecoder(QStringDecoder::Utf16BE)(bytes.mid(2));
    }
    return QString::fromLocal8Bit(bytes);
}

}  // namespace

QString DecodeTextLines(const QByteArray& bytes) {
    QString text = decodeByMark(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
    return text;
}

QString ReadTextFileLines(const QString& path) {
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        const QString reason =
            QFileInfo(path).isDir() ? QStringLiteral("Is a directory") : file.errorString();
        throw std::runtime_error(
            QStringLiteral("Cannot open file \"%1\". %2")
                .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), reason)
                .toStdString());
    }
    return DecodeTextLines(file.readAll());
}

}  // namespace kavenra

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form2"));
    SetFixedDialogFrame(this, 558, 554, QStringLiteral("CHANGELOG"));

    Memo1 = kavenra::dialogs::Place(new QPlainTextEdit(this), "Memo1", 0, 0, 558, 505);
    Memo1->setReadOnly(true);
    Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The changelog grows with every version; a text taller than the window scrolls rather
    // than losing its last lines under the window's edge.
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Memo1->setTabChangesFocus(true);
    Button1 = kavenra::dialogs::Place(new QPushButton(QStringLiteral("OK"), this), "Button1", 240,
                                      521, 75, 25);
    setTabOrder(Memo1, Button1);
    kavenra::dialogs::ApplyLayoutFont(this);

    connect(Button1, &QPushButton::clicked, this, Guarded([this] { Button1Click(); }));
}

void TForm2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Restoring a minimised window is no new showing.
    if (event->spontaneous()) return;
    RunGuarded([this] { FormShow(); });
}

void TForm2::FormShow() {
    Memo1->setPlainText(kavenra::ReadTextFileLines(
        QFile::decodeName(QByteArray::fromStdString(kavenra::SideFiles().changelog))));
}

void TForm2::Button1Click() {
    close();
}
