// The changelog viewer: the file read from the working directory on every showing from hidden,
// its encodings and line ends, a missing file reported while the window still opens, and a text
// that can be selected and copied but not edited.

#include "store/SideFiles.h"
#include "support/DatabaseFixture.h"
#include "support/FileContents.h"
#include "support/ModalAnswerer.h"
#include "support/ScreenshotPixels.h"

#include "ui/AppServices.h"
#include "ui/Form2_changelog.h"
#include "ui/Unit1.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include <memory>

using kavenra::testing::ModalAnswerer;
using kavenra::testing::ScopedWorkingDirectory;

using kavenra::testing::WriteFileContents;

namespace {

const QString accented = QString::fromUtf8("Versión 2.0: añadido el diálogo «Opciones» ✓");

QByteArray encoded(QStringConverter::Encoding encoding, const QString& text) {
    return QStringEncoder(encoding)(text);
}

}  // namespace

class TestChangelog : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void layout();
    void showsTheFileText_data();
    void showsTheFileText();
    void readAgainOnEveryShowingButNotWhenBroughtForward();
    void missingFileIsReportedAndWindowStillOpens();
    void readOnlyButSelectable();
    void shippedChangelog();
    void longTextScrollsToItsWholeLastLine_data();
    void longTextScrollsToItsWholeLastLine();
    void readFromTheProgramsDataFolder();

  private:
    void writeChangelog(const QByteArray& bytes);
    QString changelogPath() const { return folder_->filePath(QStringLiteral("CHANGELOG.txt")); }

    std::unique_ptr<TForm1> mainWindow_;
    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<ScopedWorkingDirectory> workingDirectory_;
    std::unique_ptr<TForm2> form_;
};

void TestChangelog::initTestCase() {
    mainWindow_ = std::make_unique<TForm1>();
    Form1 = mainWindow_.get();
}

void TestChangelog::cleanupTestCase() {
    Form1 = nullptr;
    mainWindow_.reset();
}

void TestChangelog::init() {
    folder_ = std::make_unique<QTemporaryDir>();
    QVERIFY(folder_->isValid());
    workingDirectory_ = std::make_unique<ScopedWorkingDirectory>(folder_->path());
    QVERIFY(workingDirectory_->isValid());
    form_ = std::make_unique<TForm2>();
    Form2 = form_.get();
}

void TestChangelog::cleanup() {
    Form2 = nullptr;
    form_.reset();
    workingDirectory_.reset();
    folder_.reset();
}

void TestChangelog::writeChangelog(const QByteArray& bytes) {
    QVERIFY(WriteFileContents(changelogPath(), bytes));
}

void TestChangelog::layout() {
    QCOMPARE(Form2->size(), QSize(558, 554));
    QCOMPARE(Form2->minimumSize(), Form2->maximumSize());
    QCOMPARE(Form2->windowTitle(), QStringLiteral("CHANGELOG"));
    QVERIFY(!Form2->isModal());
    QCOMPARE(Form2->Memo1->geometry(), QRect(0, 0, 558, 505));
    QCOMPARE(Form2->Button1->geometry(), QRect(240, 521, 75, 25));
    QCOMPARE(Form2->Button1->text(), QStringLiteral("OK"));
    QCOMPARE(Form2->Memo1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QCOMPARE(Form2->Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    QCOMPARE(Form2->Memo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    // Tab order: the text, then OK.
    writeChangelog("Version 2.0\n");
    ModalAnswerer answers;
    Form2->show();
    QVERIFY(QTest::qWaitForWindowActive(Form2));
    QCOMPARE(QApplication::focusWidget(), Form2->Memo1);
    QTest::keyClick(Form2->Memo1, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), Form2->Button1);
}

void TestChangelog::showsTheFileText_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");

    const QString lines = accented + "\nSegunda línea";
    QTest::newRow("UTF-8 without a mark") << encoded(QStringConverter::Utf8, lines) << lines;
    QTest::newRow("UTF-8 with a mark")
        << QByteArray("\xEF\xBB\xBF") + encoded(QStringConverter::Utf8, lines) << lines;
    QTest::newRow("UTF-16LE with a mark")
        << QByteArray("\xFF\xFE") + encoded(QStringConverter::Utf16LE, lines) << lines;
    QTest::newRow("UTF-16BE with a mark")
        << QByteArray("\xFE\xFF") + encoded(QStringConverter::Utf16BE, lines) << lines;
    QTest::newRow("UTF-16LE, CR LF line ends")
        << QByteArray("\xFF\xFE") + encoded(QStringConverter::Utf16LE, "uno\r\ndos\r\n")
        << QString("uno\ndos");
    QTest::newRow("CR, LF and CR LF") << QByteArray("a\rb\nc\r\nd") << QString("a\nb\nc\nd");
    QTest::newRow("blank lines stay") << QByteArray("a\n\n\nb\r\n\r\n") << QString("a\n\n\nb\n");
    QTest::newRow("a mark and nothing else") << QByteArray("\xEF\xBB\xBF") << QString();
    QTest::newRow("empty file") << QByteArray() << QString();
}

void TestChangelog::showsTheFileText() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);

    writeChangelog(bytes);
    ModalAnswerer answers;
    Form2->Memo1->setPlainText(QStringLiteral("earlier text"));
    Form2->show();
    QVERIFY(Form2->isVisible());
    QCOMPARE(answers.messageBoxes().size(), 0);
    QCOMPARE(Form2->Memo1->toPlainText(), shown);
}

void TestChangelog::readAgainOnEveryShowingButNotWhenBroughtForward() {
    writeChangelog("Version 1\n");
    Form1->Changelog1Click();
    QVERIFY(Form2->isVisible());
    QVERIFY(!Form2->isModal());
    QCOMPARE(Form2->Memo1->toPlainText(), QStringLiteral("Version 1"));

    // Chosen again while open: brought forward, not read again.
    writeChangelog("Version 2\n");
    Form1->Changelog1Click();
    QCOMPARE(Form2->Memo1->toPlainText(), QStringLiteral("Version 1"));

    QTest::mouseClick(Form2->Button1, Qt::LeftButton);
    QVERIFY(!Form2->isVisible());
    Form1->Changelog1Click();
    QCOMPARE(Form2->Memo1->toPlainText(), QStringLiteral("Version 2"));
}

void TestChangelog::missingFileIsReportedAndWindowStillOpens() {
    const QString expected = QStringLiteral("Cannot open file \"%1\". No such file or directory")
                                 .arg(QDir(folder_->path()).absoluteFilePath("CHANGELOG.txt"));
    ModalAnswerer answers;
    Form2->show();
    QVERIFY(Form2->isVisible());
    QCOMPARE(answers.messageBoxTexts(), QStringList{expected});
    QCOMPARE(answers.messageBoxes().first().icon, QMessageBox::Critical);
    QCOMPARE(Form2->Memo1->toPlainText(), QString());
    Form2->close();

    // With the text of an earlier showing, that text stays.
    writeChangelog("Version 2.0\n");
    Form2->show();
    QCOMPARE(Form2->Memo1->toPlainText(), QStringLiteral("Version 2.0"));
    Form2->close();
    QVERIFY(QFile::remove(changelogPath()));
    answers.clear();
    Form2->show();
    QVERIFY(Form2->isVisible());
    QCOMPARE(answers.messageBoxTexts(), QStringList{expected});
    QCOMPARE(Form2->Memo1->toPlainText(), QStringLiteral("Version 2.0"));

    // A folder of that name cannot be read either.
    Form2->close();
    QVERIFY(QDir(folder_->path()).mkdir(QStringLiteral("CHANGELOG.txt")));
    answers.clear();
    Form2->show();
    QCOMPARE(answers.messageBoxes().size(), 1);
    QVERIFY(answers.messageBoxTexts().first().startsWith(QStringLiteral("Cannot open file \"")));
    QVERIFY(Form2->isVisible());
}

void TestChangelog::readOnlyButSelectable() {
    writeChangelog(encoded(QStringConverter::Utf8, accented + "\nfin\n"));
    Form2->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form2));
    QPlainTextEdit* memo = Form2->Memo1;
    memo->setFocus();
    QTest::keyClicks(memo, QStringLiteral("typed"));
    QTest::keyClick(memo, Qt::Key_Backspace);
    QTest::keyClick(memo, Qt::Key_Delete);
    QCOMPARE(memo->toPlainText(), accented + "\nfin");

    QTest::keyClick(memo, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(memo->textCursor().selectedText(), accented + QChar(0x2029) + "fin");
    QTest::keyClick(memo, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), accented + "\nfin");
    QCOMPARE(memo->toPlainText(), accented + "\nfin");
}

void TestChangelog::shippedChangelog() {
    const QString runtime = kavenra::testing::RuntimeFolder();
    if (!QFile::exists(QDir(runtime).filePath(QStringLiteral("CHANGELOG.txt")))) {
        QSKIP("The runtime folder holds no CHANGELOG.txt; build the kavenra_data target.");
    }
    ScopedWorkingDirectory inRuntime(runtime);
    QVERIFY(inRuntime.isValid());
    ModalAnswerer answers;
    Form2->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form2));
    QCOMPARE(answers.messageBoxes().size(), 0);
    QVERIFY(Form2->Memo1->toPlainText().startsWith(QStringLiteral("Kavenra")));
    QVERIFY(Form2->Memo1->toPlainText().contains(QStringLiteral("Version 2.0")));

    const QString folder = kavenra::testing::ScreenshotFolder();
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(Form2->grab().toImage().save(QDir(folder).filePath(QStringLiteral("changelog.png"))));
}

void TestChangelog::longTextScrollsToItsWholeLastLine_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("screenshot");
    QFile shipped(
        QDir(kavenra::testing::RuntimeFolder()).filePath(QStringLiteral("CHANGELOG.txt")));
    if (shipped.open(QIODevice::ReadOnly)) {
        QTest::newRow("shipped changelog") << shipped.readAll() << "changelog-end.png";
    }
    QByteArray lines;
    for (int i = 1; i <= 120; ++i) lines += "Line " + QByteArray::number(i) + "\n";
    lines += "The last line of a long changelog\n";
    QTest::newRow("120 short lines") << lines << QString();
}

// A changelog taller than the window gets a scroll bar, and scrolled to its end the last line
// lies wholly inside the visible area instead of being cut by the window's edge.
void TestChangelog::longTextScrollsToItsWholeLastLine() {
    QFETCH(QByteArray, text);
    QFETCH(QString, screenshot);
    writeChangelog(text);
    ModalAnswerer answers;
    Form2->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form2));
    QPlainTextEdit* memo = Form2->Memo1;
    QCOMPARE(answers.messageBoxes().size(), 0);
    QScrollBar* bar = memo->verticalScrollBar();
    QVERIFY(bar->isVisible());
    QVERIFY(bar->maximum() > 0);
    memo->setFocus();
    QTest::keyClick(memo, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(bar->value(), bar->maximum());

    QTextBlock last = memo->document()->lastBlock();
    while (last.isValid() && last.text().trimmed().isEmpty()) last = last.previous();
    QVERIFY(last.isValid());
    QTextCursor atLast(last);
    atLast.movePosition(QTextCursor::EndOfBlock);
    const QRect lastLine = memo->cursorRect(atLast);
    QVERIFY2(lastLine.top() >= 0 && lastLine.bottom() < memo->viewport()->height(),
             qPrintable(QStringLiteral("last line at %1..%2, visible area 0..%3")
                            .arg(lastLine.top())
                            .arg(lastLine.bottom())
                            .arg(memo->viewport()->height() - 1)));

    if (screenshot.isEmpty()) return;
    const QString folder = kavenra::testing::ScreenshotFolder();
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(Form2->grab().toImage().save(QDir(folder).filePath(screenshot)));
}

// An installed program reads the changelog it ships, wherever it was started from.
void TestChangelog::readFromTheProgramsDataFolder() {
    writeChangelog("decoy in the working directory\n");
    QTemporaryDir data;
    QVERIFY(data.isValid());
    QVERIFY(
        WriteFileContents(data.filePath(QStringLiteral("CHANGELOG.txt")), "Version 2.0 shipped\n"));
    const kavenra::SideFileLocations before = kavenra::SideFiles();
    kavenra::SideFileLocations installed;
    installed.layout = kavenra::SideFileLayout::Installed;
    installed.dataFolder = QFile::encodeName(data.path() + QLatin1Char('/')).toStdString();
    installed.changelog = installed.dataFolder + "CHANGELOG.txt";
    kavenra::UseSideFiles(installed);
    ModalAnswerer answers;
    Form2->show();
    kavenra::UseSideFiles(before);
    QCOMPARE(answers.messageBoxes().size(), 0);
    QCOMPARE(Form2->Memo1->toPlainText(), QStringLiteral("Version 2.0 shipped"));
}

KAVENRA_WINDOW_TEST_MAIN(TestChangelog)

#include "test_changelog.moc"
