// The folder chooser on a real folder tree: the list from the root down to the open folder,
// opening by double-click and Enter but not by highlighting, accepting into the main window's
// destination field, creating folders one level deep, and the process's working directory that
// never moves.

#include "support/DatabaseFixture.h"
#include "support/ModalAnswerer.h"
#include "support/Recorders.h"
#include "support/ScreenshotPixels.h"

#include "ui/AppServices.h"
#include "ui/FolderListBox.h"
#include "ui/Form5_seleccioncarpeta.h"
#include "ui/Form6_msgbox.h"
#include "ui/Unit1.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

using kavenra::testing::DatabaseFolder;
using kavenra::testing::ModalAnswerer;
using kavenra::testing::MsgBoxRecord;
using kavenra::testing::SoundRecorder;

namespace {

QString caption(const char* key) {
    return QStringLiteral("T5:") + QLatin1String(key);
}

QStringList entryCaptions(const FolderListBox* list) {
    QStringList captions;
    for (int row = 0; row < list->count(); ++row) captions << list->item(row)->text();
    return captions;
}

QPoint entryCentre(FolderListBox* list, int row) {
    return list->visualItemRect(list->item(row)).center();
}

// What the window system delivers for a double-click: press, release, double-click, release.
void doubleClickEntry(FolderListBox* list, int row) {
    const QPoint at = entryCentre(list, row);
    QTest::mousePress(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

}  // namespace

class TestFolderChooser : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void layout();
    void startsAtWorkingDirectoryWithPathFromRoot();
    void openAndAccept_data();
    void openAndAccept();
    void acceptAtRoot();
    void modalShowingStartsAtDestinationAndCloseBoxWritesNothing();
    void startsAtTheDestinationsFolder_data();
    void startsAtTheDestinationsFolder();
    void createFolder_data();
    void createFolder();
    void showingAgainReadsTheFoldersAgain();
    void screenshot();

  private:
    QString fotos() const { return databases_->filePath(QStringLiteral("fotos")); }
    void showChooserAt(const QString& folder);

    std::unique_ptr<TForm1> mainWindow_;
    std::unique_ptr<TForm6> messageBox_;
    std::unique_ptr<SoundRecorder> sounds_;
    std::unique_ptr<DatabaseFolder> databases_;
    std::unique_ptr<TForm5> form_;
    QString workingDirectory_;
};

void TestFolderChooser::initTestCase() {
    mainWindow_ = std::make_unique<TForm1>();
    Form1 = mainWindow_.get();
    messageBox_ = std::make_unique<TForm6>();
    Form6 = messageBox_.get();
    sounds_ = std::make_unique<SoundRecorder>();
}

void TestFolderChooser::cleanupTestCase() {
    sounds_.reset();
    Form6 = nullptr;
    messageBox_.reset();
    Form1 = nullptr;
    mainWindow_.reset();
}

void TestFolderChooser::init() {
    databases_ = std::make_unique<DatabaseFolder>();
    QVERIFY(databases_->isValid());
    QVERIFY(
        databases_->writeSettings({{QStringLiteral("Español"), QStringLiteral("es.db"), true}}));
    QVERIFY(databases_->writeCompleteLanguage(QStringLiteral("es.db"), QStringLiteral("T")));
    for (const char* folder : {"fotos/alpha/deep", "fotos/beta", "fotos/Gamma", "fotos/.hidden"}) {
        QVERIFY(QDir(databases_->path()).mkpath(QLatin1String(folder)));
    }
    workingDirectory_ = QDir::currentPath();
    // Created while the working directory is the database folder, as at program start.
    form_ = std::make_unique<TForm5>();
    Form5 = form_.get();
    Form1->Edit3->setText(QStringLiteral("untouched/"));
}

void TestFolderChooser::cleanup() {
    // Nothing the chooser does moves the process's working directory.
    QCOMPARE(QDir::currentPath(), workingDirectory_);
    Form5 = nullptr;
    form_.reset();
    databases_.reset();
}

void TestFolderChooser::showChooserAt(const QString& folder) {
    QVERIFY(Form5->DirectoryListBox1->SetDirectory(folder));
    Form5->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form5));
}

void TestFolderChooser::layout() {
    QCOMPARE(Form5->size(), QSize(319, 358));
    QCOMPARE(Form5->minimumSize(), Form5->maximumSize());
    QCOMPARE(Form5->windowTitle(), QString::fromUtf8("Selección carpeta"));
    QCOMPARE(Form5->Button2->geometry(), QRect(8, 323, 100, 25));
    QCOMPARE(Form5->Button1->geometry(), QRect(120, 323, 75, 25));
    QCOMPARE(Form5->DirectoryListBox1->geometry(), QRect(4, 32, 306, 289));
    QCOMPARE(Form5->DriveComboBox1->geometry(), QRect(4, 7, 306, 19));
    QCOMPARE(Form5->Button2->text(), QStringLiteral("Crear carpeta"));
    QCOMPARE(Form5->Button1->text(), QStringLiteral("Aceptar"));
    QCOMPARE(Form5->Button2->nextInFocusChain(), Form5->Button1);
    QCOMPARE(Form5->Button1->nextInFocusChain(), Form5->DirectoryListBox1);
    // The roots selector lists the file system's roots and shows the open folder's.
    QCOMPARE(Form5->DriveComboBox1->count(), static_cast<int>(QDir::drives().size()));
    QCOMPARE(Form5->DriveComboBox1->currentText(), QStringLiteral("/"));
}

void TestFolderChooser::startsAtWorkingDirectoryWithPathFromRoot() {
    QCOMPARE(Form5->OpenFolder(), QDir::currentPath());

    FolderListBox* list = Form5->DirectoryListBox1;
    QVERIFY(list->SetDirectory(fotos()));
    const QStringList levels = fotos().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    // The root, every level down to the open folder, then its subfolders in name order whatever
    // the case; hidden folders are left out.
    const QStringList expectedEntries =
        QStringList{"/"} + levels + QStringList{"alpha", "beta", "Gamma"};
    QCOMPARE(entryCaptions(list), expectedEntries);
    QCOMPARE(list->currentRow(), static_cast<int>(levels.size()));
    QCOMPARE(list->EntryPath(0), QStringLiteral("/"));
    QCOMPARE(list->EntryPath(static_cast<int>(levels.size())), fotos());
    QCOMPARE(list->EntryPath(list->count() - 1), fotos() + QStringLiteral("/Gamma"));
}

void TestFolderChooser::openAndAccept_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("expected");  // relative to fotos

    QTest::newRow("double-click opens") << "double-click"
                                        << "beta";
    QTest::newRow("Enter opens") << "enter"
                                 << "beta";
    QTest::newRow("highlighting does not open") << "click"
                                                << "";
    QTest::newRow("arrow keys do not open") << "arrow"
                                            << "";
    QTest::newRow("double-click on a level above") << "double-click parent"
                                                   << "..";
}

void TestFolderChooser::openAndAccept() {
    QFETCH(QString, how);
    QFETCH(QString, expected);

    showChooserAt(fotos());
    FolderListBox* list = Form5->DirectoryListBox1;
    const int beta = list->SubfolderRow(QStringLiteral("beta"));
    QVERIFY(beta > 0);
    if (how == "double-click") {
        doubleClickEntry(list, beta);
    } else if (how == "enter") {
        list->setFocus();
        list->setCurrentRow(beta);
        QTest::keyClick(list, Qt::Key_Return);
        // Enter went to the list only: the dialog is still open.
        QVERIFY(Form5->isVisible());
    } else if (how == "click") {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          entryCentre(list, beta));
        QCOMPARE(list->currentRow(), beta);
    } else if (how == "arrow") {
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->currentRow(), list->SubfolderRow(QStringLiteral("alpha")));
    } else {
        doubleClickEntry(list, list->SubfolderRow(QStringLiteral("alpha")) - 2);
    }
    const QString folder = QDir::cleanPath(fotos() + QLatin1Char('/') + expected);
    QCOMPARE(Form5->OpenFolder(), folder);

    QTest::mouseClick(Form5->Button1, Qt::LeftButton);
    QCOMPARE(Form5->ChosenDestination(), folder + QStringLiteral("/RES/"));
    // The chooser says what was chosen; the window that showed it sets its own field.
    QCOMPARE(Form1->Edit3->text(), QStringLiteral("untouched/"));
    QVERIFY(!Form5->isVisible());
    QCOMPARE(Form5->result(), static_cast<int>(QDialog::Accepted));
}

void TestFolderChooser::acceptAtRoot() {
    showChooserAt(fotos());
    doubleClickEntry(Form5->DirectoryListBox1, 0);
    QCOMPARE(Form5->OpenFolder(), QStringLiteral("/"));
    QTest::mouseClick(Form5->Button1, Qt::LeftButton);
    QCOMPARE(Form5->ChosenDestination(), QStringLiteral("//RES/"));
}

// Every showing from the main window starts at the destination the field names, wherever the
// chooser was left; the close box writes nothing, an acceptance the folder chosen.
void TestFolderChooser::modalShowingStartsAtDestinationAndCloseBoxWritesNothing() {
    const QString destination = fotos() + QStringLiteral("/beta/RES/");
    Form1->Edit3->setText(destination);
    ModalAnswerer answers;
    bool modal = false;
    QString openAtFirstShowing;
    answers.answerDialog([&](QDialog* dialog) {
        modal = dialog == Form5 && dialog->isModal();
        openAtFirstShowing = Form5->OpenFolder();
        doubleClickEntry(Form5->DirectoryListBox1, 0);
        dialog->close();
    });
    QString openAtSecondShowing;
    answers.answerDialog([&](QDialog*) {
        openAtSecondShowing = Form5->OpenFolder();
        doubleClickEntry(Form5->DirectoryListBox1, 0);
        Form5->Button1->click();
    });

    Form1->SpeedButton2Click();
    QVERIFY(modal);
    QVERIFY(!Form5->isVisible());
    QCOMPARE(openAtFirstShowing, fotos() + QStringLiteral("/beta"));
    QCOMPARE(Form1->Edit3->text(), destination);

    Form1->SpeedButton2Click();
    QCOMPARE(openAtSecondShowing, fotos() + QStringLiteral("/beta"));
    QCOMPARE(Form1->Edit3->text(), QStringLiteral("//RES/"));
    QCOMPARE(answers.dialogs().size(), 2);
}

void TestFolderChooser::startsAtTheDestinationsFolder_data() {
    QTest::addColumn<QString>("field");     // "~" stands for the test's folder
    QTest::addColumn<QString>("expected");  // "~" the test's folder, "HOME" the home folder

    QTest::newRow("output folder not made yet") << "~/fotos/alpha/RES/"
                                                << "~/fotos/alpha";
    QTest::newRow("existing folder") << "~/fotos/alpha/deep"
                                     << "~/fotos/alpha/deep";
    QTest::newRow("several missing levels") << "~/fotos/missing/one/two/RES/"
                                            << "~/fotos";
    QTest::newRow("a file on the way") << "~/fotos/notes.txt/RES/"
                                       << "~/fotos";
    QTest::newRow("relative to the working directory") << "fotos/beta/RES/"
                                                       << "~/fotos/beta";
    QTest::newRow("root") << "//RES/"
                          << "/";
    QTest::newRow("empty field") << ""
                                 << "HOME";
    QTest::newRow("blanks only") << "   "
                                 << "HOME";
}

void TestFolderChooser::startsAtTheDestinationsFolder() {
    QFETCH(QString, field);
    QFETCH(QString, expected);
    QVERIFY(QFile(fotos() + QStringLiteral("/notes.txt")).open(QIODevice::WriteOnly));
    const QString base = databases_->path();
    field.replace(QLatin1Char('~'), base);
    expected = expected == QLatin1String("HOME") ? QDir::homePath()
                                                 : expected.replace(QLatin1Char('~'), base);
    // Left somewhere else by an earlier showing.
    QVERIFY(Form5->DirectoryListBox1->SetDirectory(fotos() + QStringLiteral("/Gamma")));
    Form1->Edit3->setText(field);

    ModalAnswerer answers;
    QString openAtShowing;
    answers.answerDialog([&](QDialog* dialog) {
        openAtShowing = Form5->OpenFolder();
        // What a user sees on opening the chooser for a destination not made yet.
        if (QTest::currentDataTag() == QByteArray("output folder not made yet")) {
            const QString folder = kavenra::testing::ScreenshotFolder();
            if (QDir().mkpath(folder)) {
                Form5->grab().toImage().save(
                    QDir(folder).filePath(QStringLiteral("folderchooser-at-destination.png")));
            }
        }
        dialog->close();
    });
    Form1->SpeedButton2Click();
    QCOMPARE(answers.dialogs().size(), 1);
    QCOMPARE(openAtShowing, expected);
    QCOMPARE(Form1->Edit3->text(), field);
}

void TestFolderChooser::createFolder_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("confirmed");
    QTest::addColumn<int>("kind");         // the message's kind; -1 no message
    QTest::addColumn<QString>("created");  // relative to fotos; empty when nothing is created
    QTest::addColumn<bool>("listed");

    QTest::newRow("new folder") << "nueva" << true << 0 << "nueva" << true;
    QTest::newRow("name with blanks") << "Mis fotos 2015" << true << 0 << "Mis fotos 2015" << true;
    QTest::newRow("existing name") << "beta" << true << 3 << "" << false;
    QTest::newRow("inside an existing subfolder")
        << "alpha/inner" << true << 0 << "alpha/inner" << false;
    QTest::newRow("inside a missing subfolder") << "missing/inner" << true << 3 << "" << false;
    QTest::newRow("cancelled") << "ignored" << false << -1 << "" << false;
    QTest::newRow("confirmed empty") << "" << true << -1 << "" << false;
}

void TestFolderChooser::createFolder() {
    QFETCH(QString, typed);
    QFETCH(bool, confirmed);
    QFETCH(int, kind);
    QFETCH(QString, created);
    QFETCH(bool, listed);

    showChooserAt(fotos());
    const QStringList before = QDir(fotos()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);

    ModalAnswerer answers;
    QString title;
    QString prompt;
    QString defaultText = QStringLiteral("not asked");
    answers.answerDialog([&](QDialog* dialog) {
        auto* input = qobject_cast<QInputDialog*>(dialog);
        QVERIFY(input);
        title = input->windowTitle();
        prompt = input->labelText();
        defaultText = input->textValue();
        input->setTextValue(typed);
        if (confirmed) {
            input->accept();
        } else {
            input->reject();
        }
    });
    QTest::mouseClick(Form5->Button2, Qt::LeftButton);

    QCOMPARE(title, caption("InputBox_Carpeta"));
    QCOMPARE(prompt, caption("InputBox_Carpeta2"));
    QCOMPARE(defaultText, QString());
    if (kind < 0) {
        QCOMPARE(answers.msgBoxes().size(), 0);
    } else {
        QCOMPARE(answers.msgBoxes().size(), 1);
        const MsgBoxRecord& message = answers.msgBoxes().first();
        QCOMPARE(message.caption, caption("MsgBox_Carpeta2"));
        QCOMPARE(message.text, caption(kind == 0 ? "MsgBox_Carpeta" : "MsgBox_Error"));
        QCOMPARE(message.shownKind, kind);
    }

    QStringList expected = before;
    if (listed) expected << created;
    QStringList after = QDir(fotos()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    expected.sort();
    after.sort();
    QCOMPARE(after, expected);
    if (!created.isEmpty()) QVERIFY(QFileInfo(fotos() + QLatin1Char('/') + created).isDir());
    QVERIFY(!QFileInfo::exists(fotos() + QStringLiteral("/missing")));

    // The open folder stays; a folder created in it shows in the list, highlighted.
    QCOMPARE(Form5->OpenFolder(), fotos());
    FolderListBox* list = Form5->DirectoryListBox1;
    if (listed) {
        QVERIFY(list->SubfolderRow(created) > 0);
        QCOMPARE(list->currentRow(), list->SubfolderRow(created));
    }
    QCOMPARE(list->count() - list->SubfolderRow(QStringLiteral("alpha")), expected.size());
    QVERIFY(Form5->isVisible());
    QCOMPARE(Form1->Edit3->text(), QStringLiteral("untouched/"));
}

void TestFolderChooser::showingAgainReadsTheFoldersAgain() {
    QVERIFY(Form5->DirectoryListBox1->SetDirectory(fotos() + QStringLiteral("/alpha/deep")));
    QVERIFY(QDir(fotos()).mkdir(QStringLiteral("delta")));
    QVERIFY(QDir(fotos() + QStringLiteral("/alpha")).removeRecursively());

    // The open folder is gone: the nearest folder that is still there opens, with what it
    // holds now.
    Form5->show();
    QCOMPARE(Form5->OpenFolder(), fotos());
    QVERIFY(Form5->DirectoryListBox1->SubfolderRow(QStringLiteral("delta")) > 0);
    QCOMPARE(Form5->DirectoryListBox1->SubfolderRow(QStringLiteral("alpha")), -1);
}

void TestFolderChooser::screenshot() {
    showChooserAt(fotos());
    Form5->DirectoryListBox1->setCurrentRow(Form5->DirectoryListBox1->SubfolderRow("beta"));
    const QString folder = kavenra::testing::ScreenshotFolder();
    QVERIFY(QDir().mkpath(folder));
    const QImage image = Form5->grab().toImage();
    QVERIFY(image.save(QDir(folder).filePath(QStringLiteral("folderchooser.png"))));
}

KAVENRA_WINDOW_TEST_MAIN(TestFolderChooser)

#include "test_folderchooser.moc"
