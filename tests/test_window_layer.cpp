// The shared window layer: integer conversion, the plain and error boxes, the general error
// display, the event rules, the seven windows, the theme and the compiled-in resources.

#include "support/DatabaseFixture.h"
#include "support/ModalAnswerer.h"
#include "support/Recorders.h"

#include "store/DatabaseAccess.h"
#include "store/MessageDisplay.h"
#include "ui/AppServices.h"
#include "ui/DesktopOpener.h"
#include "ui/EventRules.h"
#include "ui/Form2_changelog.h"
#include "ui/Form3_opcionesdeformato.h"
#include "ui/Form4_seleccionlenguaje.h"
#include "ui/Form5_seleccioncarpeta.h"
#include "ui/Form6_msgbox.h"
#include "ui/Form7_acercade.h"
#include "ui/Forms.h"
#include "ui/Resources.h"
#include "ui/Sounds.h"
#include "ui/Unit1.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDataStream>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSoundEffect>
#include <QStyle>
#include <QSvgRenderer>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdint>
#include <stdexcept>

using kavenra::testing::ModalAnswerer;

namespace {

// The format and samples of a PCM WAVE file.
struct WaveFile {
    int format = 0;
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    QList<qint16> samples;  // interleaved
};

bool readWave(const QString& path, WaveFile& wave) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    QDataStream in(&file);
    in.setByteOrder(QDataStream::LittleEndian);
    char tag[4];
    quint32 size = 0;
    if (in.readRawData(tag, 4) != 4 || QByteArray(tag, 4) != "RIFF") return false;
    in >> size;
    if (in.readRawData(tag, 4) != 4 || QByteArray(tag, 4) != "WAVE") return false;
    while (!in.atEnd()) {
        if (in.readRawData(tag, 4) != 4) return false;
        in >> size;
        const QByteArray chunk(tag, 4);
        if (chunk == "fmt ") {
            quint16 format, channels, blockAlign, bits;
            quint32 rate, byteRate;
            in >> format >> channels >> rate >> byteRate >> blockAlign >> bits;
            in.skipRawData(static_cast<int>(size) - 16);
            wave.format = format;
            wave.channels = channels;
            wave.sampleRate = static_cast<int>(rate);
            wave.bitsPerSample = bits;
        } else if (chunk == "data") {
            for (quint32 i = 0; i < size / 2; ++i) {
                qint16 sample;
                in >> sample;
                wave.samples.append(sample);
            }
            return in.status() == QDataStream::Ok;
        } else {
            in.skipRawData(static_cast<int>(size));
        }
    }
    return false;
}

}  // namespace

class TestWindowLayer : public QObject {
    Q_OBJECT

  private slots:
    void strToIntAccepts_data();
    void strToIntAccepts();
    void strToIntRefuses_data();
    void strToIntRefuses();

    void plainAndErrorBoxes();
    void storeMessagesReachTheUser();
    void guardedHandlerErrorEndsOnlyThatHandler_data();
    void guardedHandlerErrorEndsOnlyThatHandler();
    void errorEscapingAnEventHandlerIsShown();

    void editChangeOnlyOnRealChange();
    void checkBoxClickOnEveryStateChange();
    void radioButtonsExcludeWithinTheirParentOnly();
    void keyPressComesBeforeTheChange();
    void keyPressIsForCharacterKeys_data();
    void keyPressIsForCharacterKeys();
    void keyPressFilterCanDropTheKey();
    void failingKeyPressHandlerIsReportedAndDropsTheKey();
    void mousePressInEdit();

    void sevenWindowsCreatedOnceInOrder();
    void dialogFrames_data();
    void dialogFrames();

    void carbonTheme();
    void pictures_data();
    void pictures();
    void sounds_data();
    void sounds();
    void realSoundPlayerNeverFailsWithoutDevice();
    void desktopOpenerIsReplaceable();
};

void TestWindowLayer::strToIntAccepts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("digits") << "1024" << 1024;
    QTest::newRow("leading zeros") << "0007" << 7;
    QTest::newRow("minus") << "-35" << -35;
    QTest::newRow("plus") << "+35" << 35;
    QTest::newRow("leading blanks") << "  42" << 42;
    QTest::newRow("largest") << "2147483647" << 2147483647;
    QTest::newRow("smallest") << "-2147483648" << int(-2147483647 - 1);
    QTest::newRow("dollar hexadecimal") << "$1F" << 31;
    QTest::newRow("0x hexadecimal") << "0x10" << 16;
}

void TestWindowLayer::strToIntAccepts() {
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(StrToInt(text), value);
}

void TestWindowLayer::strToIntRefuses_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("blank") << " ";
    QTest::newRow("one above the largest") << "2147483648";
    QTest::newRow("one below the smallest") << "-2147483649";
    QTest::newRow("far too long") << "99999999999999999999";
    QTest::newRow("letters after digits") << "12a";
    QTest::newRow("trailing blank") << "4 ";
    QTest::newRow("decimal point") << "1.5";
    QTest::newRow("sign only") << "-";
    QTest::newRow("failed query") << "FALLO!";
    QTest::newRow("non-ASCII digits") << QString::fromUtf8("١٢");
}

void TestWindowLayer::strToIntRefuses() {
    QFETCH(QString, text);
    try {
        StrToInt(text);
        QFAIL("no error raised");
    } catch (const EConvertError& error) {
        QCOMPARE(QString::fromUtf8(error.what()),
                 QStringLiteral("'%1' is not a valid integer value").arg(text));
    }
}

void TestWindowLayer::plainAndErrorBoxes() {
    ModalAnswerer answers;
    ShowMessage(QStringLiteral("No puedo"));
    ApplicationMessageBox(QStringLiteral("Fail Writing BDD Configuration"),
                          QString::fromUtf8("Atención"));
    const auto& boxes = answers.messageBoxes();
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes[0].title, QStringLiteral("Kavenra"));
    QCOMPARE(boxes[0].text, QStringLiteral("No puedo"));
    QCOMPARE(boxes[0].icon, QMessageBox::NoIcon);
    QCOMPARE(boxes[0].buttons.size(), 1);
    QCOMPARE(boxes[1].title, QString::fromUtf8("Atención"));
    QCOMPARE(boxes[1].text, QStringLiteral("Fail Writing BDD Configuration"));
    QCOMPARE(boxes[1].icon, QMessageBox::Critical);
    QCOMPARE(boxes[1].buttons.size(), 1);
}

void TestWindowLayer::storeMessagesReachTheUser() {
    kavenra::testing::DatabaseFolder folder;
    QVERIFY(folder.isValid());
    QVERIFY(folder.writeSettings({{QStringLiteral("English"), QStringLiteral("en.db"), true}}));
    ModalAnswerer answers;
    QVERIFY(!ExecuteStatement("KVConfig.db", "UPDATE no_such_table SET x = 1"));
    QCOMPARE(answers.messageBoxTexts(),
             QStringList{QStringLiteral("no such table: no_such_table")});
    QCOMPARE(answers.messageBoxes().constFirst().title, QStringLiteral("Kavenra"));
}

void TestWindowLayer::guardedHandlerErrorEndsOnlyThatHandler_data() {
    QTest::addColumn<QString>("thrown");
    QTest::addColumn<QString>("shown");
    QTest::newRow("conversion error") << "abc"
                                      << "'abc' is not a valid integer value";
    QTest::newRow("unknown thrown value") << ""
                                          << "";
}

void TestWindowLayer::guardedHandlerErrorEndsOnlyThatHandler() {
    QFETCH(QString, thrown);
    QFETCH(QString, shown);
    QLineEdit edit;
    int completed = 0;
    int laterHandlerRuns = 0;
    OnEditChange(&edit, [&] {
        if (edit.text() == QStringLiteral("bad")) {
            if (thrown.isEmpty()) throw 42;
            StrToInt(thrown);
        }
        ++completed;
    });
    QTimer timer;
    timer.setSingleShot(true);
    timer.setInterval(0);
    OnTimer(&timer, [&] { ++laterHandlerRuns; });

    ModalAnswerer answers;
    edit.setText(QStringLiteral("bad"));  // the handler fails here, the caller goes on
    edit.setText(QStringLiteral("good"));
    timer.start();
    QTRY_COMPARE(laterHandlerRuns, 1);
    QCOMPARE(completed, 1);
    QCOMPARE(edit.text(), QStringLiteral("good"));
    QCOMPARE(answers.messageBoxTexts(), QStringList{shown});
    QCOMPARE(answers.messageBoxes().constFirst().icon, QMessageBox::Critical);
    QCOMPARE(answers.messageBoxes().constFirst().title, QStringLiteral("Kavenra"));
}

// The last line of defence: a handler wired straight to a signal, without Guarded, still ends
// in the error box and the application goes on.
void TestWindowLayer::errorEscapingAnEventHandlerIsShown() {
    QWidget window;
    auto* button = new QPushButton(QStringLiteral("Go"), &window);
    int clicks = 0;
    connect(button, &QPushButton::clicked, [&] {
        ++clicks;
        if (clicks == 1) throw std::runtime_error("Cannot open file \"x.txt\"");
    });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ModalAnswerer answers;
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(clicks, 2);
    QCOMPARE(answers.messageBoxTexts(), QStringList{QStringLiteral("Cannot open file \"x.txt\"")});
}

void TestWindowLayer::editChangeOnlyOnRealChange() {
    QLineEdit edit;
    QStringList seen;
    OnEditChange(&edit, [&] { seen.append(edit.text()); });
    edit.setText(QStringLiteral("640"));
    edit.setText(QStringLiteral("640"));
    edit.setText(QString());
    edit.setText(QString());
    QTest::keyClicks(&edit, QStringLiteral("48"));
    QCOMPARE(seen, (QStringList{QStringLiteral("640"), QString(), QStringLiteral("4"),
                                QStringLiteral("48")}));
}

void TestWindowLayer::checkBoxClickOnEveryStateChange() {
    QWidget window;
    auto* box = new QCheckBox(&window);
    QList<bool> seen;
    OnCheckBoxClick(box, [&] { seen.append(box->isChecked()); });
    box->setChecked(true);
    box->setChecked(true);
    box->setChecked(false);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
    QCOMPARE(seen, (QList<bool>{true, false, true}));
}

void TestWindowLayer::radioButtonsExcludeWithinTheirParentOnly() {
    QWidget window;
    auto* groupA = new QWidget(&window);
    auto* groupB = new QWidget(&window);
    auto* a1 = new QRadioButton(groupA);
    auto* a2 = new QRadioButton(groupA);
    auto* b1 = new QRadioButton(groupB);
    QStringList selected;
    OnRadioClick(a1, [&] { selected.append(QStringLiteral("a1")); });
    OnRadioClick(a2, [&] { selected.append(QStringLiteral("a2")); });
    OnRadioClick(b1, [&] { selected.append(QStringLiteral("b1")); });
    a1->setChecked(true);
    b1->setChecked(true);
    a2->setChecked(true);
    QVERIFY(!a1->isChecked());
    QVERIFY(a2->isChecked());
    QVERIFY(b1->isChecked());
    // Only becoming selected counts; a1 losing the selection calls nothing.
    QCOMPARE(selected,
             (QStringList{QStringLiteral("a1"), QStringLiteral("b1"), QStringLiteral("a2")}));
}

void TestWindowLayer::keyPressComesBeforeTheChange() {
    QLineEdit edit;
    edit.setText(QStringLiteral("12"));
    QStringList order;
    OnKeyPress(&edit, [&](QKeyEvent* event) {
        order.append(QStringLiteral("key %1 sees '%2'").arg(event->text(), edit.text()));
    });
    OnEditChange(&edit, [&] { order.append(QStringLiteral("change to '%1'").arg(edit.text())); });
    QTest::keyClick(&edit, Qt::Key_Left);  // moves the cursor, types nothing: not a key press
    QTest::keyClick(&edit, Qt::Key_End);
    QTest::keyClick(&edit, Qt::Key_3);
    QCOMPARE(order,
             (QStringList{QStringLiteral("key 3 sees '12'"), QStringLiteral("change to '123'")}));
}

void TestWindowLayer::keyPressIsForCharacterKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("reported");
    QTest::newRow("letter") << int(Qt::Key_A) << int(Qt::NoModifier) << true;
    QTest::newRow("digit") << int(Qt::Key_7) << int(Qt::NoModifier) << true;
    QTest::newRow("Backspace") << int(Qt::Key_Backspace) << int(Qt::NoModifier) << true;
    QTest::newRow("Enter") << int(Qt::Key_Return) << int(Qt::NoModifier) << true;
    QTest::newRow("Esc") << int(Qt::Key_Escape) << int(Qt::NoModifier) << true;
    QTest::newRow("Ctrl+V") << int(Qt::Key_V) << int(Qt::ControlModifier) << true;
    QTest::newRow("arrow") << int(Qt::Key_Right) << int(Qt::NoModifier) << false;
    QTest::newRow("Home") << int(Qt::Key_Home) << int(Qt::NoModifier) << false;
    QTest::newRow("Delete") << int(Qt::Key_Delete) << int(Qt::NoModifier) << false;
    QTest::newRow("Tab") << int(Qt::Key_Tab) << int(Qt::NoModifier) << false;
    QTest::newRow("F2") << int(Qt::Key_F2) << int(Qt::NoModifier) << false;
    QTest::newRow("Shift alone") << int(Qt::Key_Shift) << int(Qt::ShiftModifier) << false;
}

void TestWindowLayer::keyPressIsForCharacterKeys() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, reported);
    QLineEdit edit;
    int presses = 0;
    OnKeyPress(&edit, [&](QKeyEvent*) { ++presses; });
    QTest::keyClick(&edit, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(presses, reported ? 1 : 0);
}

void TestWindowLayer::keyPressFilterCanDropTheKey() {
    QLineEdit edit;
    OnKeyPressFilter(&edit, [](QKeyEvent* event) { return event->text() == QStringLiteral("x"); });
    QTest::keyClicks(&edit, QStringLiteral("1x2"));
    QCOMPARE(edit.text(), QStringLiteral("12"));
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(edit.text(), QStringLiteral("1"));
}

void TestWindowLayer::failingKeyPressHandlerIsReportedAndDropsTheKey() {
    QLineEdit edit;
    OnKeyPress(&edit, [](QKeyEvent* event) {
        if (event->text() == QStringLiteral("9")) StrToInt(QStringLiteral("9x"));
    });
    ModalAnswerer answers;
    QTest::keyClicks(&edit, QStringLiteral("192"));
    QCOMPARE(edit.text(), QStringLiteral("12"));
    QCOMPARE(answers.messageBoxTexts(),
             QStringList{QStringLiteral("'9x' is not a valid integer value")});
}

void TestWindowLayer::mousePressInEdit() {
    QWidget window;
    auto* edit = new QLineEdit(&window);
    auto* other = new QLineEdit(&window);
    other->move(0, 40);
    int presses = 0;
    OnMousePress(edit, [&] { ++presses; });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::mouseClick(other, Qt::LeftButton);
    QTest::mouseClick(edit, Qt::LeftButton);
    QCOMPARE(presses, 2);
}

namespace {

// Notes the first event each object receives, which for a window is during its construction.
class FirstEventOrder : public QObject {
  public:
    QList<QObject*> order;

  protected:
    bool eventFilter(QObject* watched, QEvent*) override {
        if (!order.contains(watched)) order.append(watched);
        return false;
    }
};

}  // namespace

void TestWindowLayer::sevenWindowsCreatedOnceInOrder() {
    ModalAnswerer answers;  // whatever a window's creation may have to say
    FirstEventOrder seen;
    qApp->installEventFilter(&seen);
    CreateAllForms();
    qApp->removeEventFilter(&seen);
    const QList<QObject*> forms = {Form1, Form2, Form3, Form4, Form5, Form6, Form7};
    QList<qsizetype> positions;
    for (QObject* form : forms) {
        QVERIFY(form);
        positions.append(seen.order.indexOf(form));
    }
    for (int i = 1; i < positions.size(); ++i) {
        QVERIFY2(positions[i - 1] < positions[i],
                 qPrintable(QStringLiteral("Form%1 before Form%2").arg(i).arg(i + 1)));
    }
    QVERIFY(qobject_cast<QMainWindow*>(Form1));
    QCOMPARE(Form6->Respuesta, false);

    CreateAllForms();  // a second call creates nothing new
    QCOMPARE((QList<QObject*>{Form1, Form2, Form3, Form4, Form5, Form6, Form7}), forms);

    DestroyAllForms();
    QVERIFY(!Form1 && !Form2 && !Form3 && !Form4 && !Form5 && !Form6 && !Form7);
}

void TestWindowLayer::dialogFrames_data() {
    QTest::addColumn<int>("form");
    QTest::addColumn<QSize>("size");
    QTest::newRow("Form2 changelog") << 2 << QSize(558, 554);
    // Its pages take the room their controls need in the font they end up with.
    QTest::newRow("Form3 options") << 3 << QSize(620, 626);
    QTest::newRow("Form4 language") << 4 << QSize(464, 174);
    QTest::newRow("Form5 folder chooser") << 5 << QSize(319, 358);
    QTest::newRow("Form6 message box") << 6 << QSize(417, 104);
    QTest::newRow("Form7 about box") << 7 << QSize(309, 331);
}

void TestWindowLayer::dialogFrames() {
    QFETCH(int, form);
    QFETCH(QSize, size);
    ModalAnswerer answers;
    CreateAllForms();
    const QList<QDialog*> dialogs = {Form2, Form3, Form4, Form5, Form6, Form7};
    QDialog* dialog = dialogs[form - 2];
    QCOMPARE(dialog->size(), size);
    QCOMPARE(dialog->minimumSize(), size);
    QCOMPARE(dialog->maximumSize(), size);
    const Qt::WindowFlags flags = dialog->windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(flags & Qt::WindowTitleHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
    QVERIFY(!dialog->windowTitle().isEmpty());
    QVERIFY(!dialog->isVisible());
    DestroyAllForms();
}

void TestWindowLayer::carbonTheme() {
    QVERIFY(!qApp->styleSheet().isEmpty());
    const QPalette palette = QApplication::palette();
    QVERIFY(palette.color(QPalette::Window).lightness() < 80);
    QVERIFY(palette.color(QPalette::Base).lightness() < 80);
    QVERIFY(palette.color(QPalette::WindowText).lightness() > 180);
    QVERIFY(palette.color(QPalette::ButtonText).lightness() > 180);
    QVERIFY(palette.color(QPalette::Disabled, QPalette::WindowText).lightness() <
            palette.color(QPalette::WindowText).lightness());
    QCOMPARE(QApplication::font().pointSize(), 8);
    QVERIFY(!QApplication::windowIcon().isNull());
    // A window made after start-up wears the theme too.
    QDialog dialog;
    QCOMPARE(dialog.palette().color(QPalette::Window), palette.color(QPalette::Window));
}

void TestWindowLayer::pictures_data() {
    QTest::addColumn<QString>("resource");
    QTest::newRow("program icon") << kavenra::resource::ProgramIcon;
    QTest::newRow("information") << kavenra::resource::InformationPicture;
    QTest::newRow("question") << kavenra::resource::QuestionPicture;
    QTest::newRow("search") << kavenra::resource::SearchPicture;
    QTest::newRow("bomb") << kavenra::resource::BombPicture;
    QTest::newRow("compass") << kavenra::resource::CompassPicture;
}

void TestWindowLayer::pictures() {
    QFETCH(QString, resource);
    QSvgRenderer renderer(resource);
    QVERIFY(renderer.isValid());
    const QSize size = renderer.defaultSize();
    QCOMPARE(size.width(), size.height());
    QImage image(48, 48, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    // A round picture: opaque in the middle, transparent in the corners.
    QCOMPARE(qAlpha(image.pixel(24, 24)), 255);
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(47, 47)), 0);
}

void TestWindowLayer::sounds_data() {
    QTest::addColumn<int>("resourceId");
    QTest::addColumn<int>("channels");
    QTest::addColumn<double>("seconds");
    QTest::newRow("100 error") << 100 << 1 << 0.61;
    QTest::newRow("200 information") << 200 << 2 << 0.91;
}

void TestWindowLayer::sounds() {
    QFETCH(int, resourceId);
    QFETCH(int, channels);
    QFETCH(double, seconds);
    WaveFile wave;
    QVERIFY(readWave(kavenra::resource::SoundFile(resourceId), wave));
    QCOMPARE(wave.format, 1);
    QCOMPARE(wave.channels, channels);
    QCOMPARE(wave.sampleRate, 44100);
    QCOMPARE(wave.bitsPerSample, 16);
    const double duration = double(wave.samples.size()) / channels / wave.sampleRate;
    QVERIFY2(qAbs(duration - seconds) < 0.01, qPrintable(QString::number(duration)));
    int peak = 0;
    for (qint16 sample : wave.samples) peak = qMax(peak, qAbs(int(sample)));
    QVERIFY(peak > 8000);   // clearly audible
    QVERIFY(peak < 32767);  // never clipped
    // Starts and ends in silence, so it neither clicks on nor off.
    for (int i = 0; i < channels; ++i) {
        QVERIFY(qAbs(wave.samples[i]) < 300);
        QVERIFY(qAbs(wave.samples[wave.samples.size() - 1 - i]) < 300);
    }
}

// The machine running the tests has no sound device: playing must neither fail nor show
// anything.
void TestWindowLayer::realSoundPlayerNeverFailsWithoutDevice() {
    ModalAnswerer answers;
    PlayResourceSound(kavenra::ErrorSoundId);
    PlayResourceSound(kavenra::InformationSoundId);
    PlayResourceSound(kavenra::InformationSoundId);
    PlayResourceSound(12345);
    // Whatever a missing device does, it does by the time each effect has settled its loading.
    auto* player = dynamic_cast<kavenra::ResourceSoundPlayer*>(&kavenra::CurrentSoundPlayer());
    QVERIFY(player);
    for (const int sound : {kavenra::ErrorSoundId, kavenra::InformationSoundId}) {
        QSoundEffect* effect = player->effect(sound);
        QVERIFY(effect);
        QTRY_VERIFY_WITH_TIMEOUT(
            effect->status() != QSoundEffect::Loading && effect->status() != QSoundEffect::Null,
            30000);
    }
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QVERIFY(answers.messageBoxes().isEmpty());
    QVERIFY(answers.msgBoxes().isEmpty());
}

void TestWindowLayer::desktopOpenerIsReplaceable() {
    kavenra::testing::DesktopOpenerRecorder opener;
    opener.setResult(false);
    QVERIFY(!OpenLocalPathWithDesktop(QStringLiteral("/tmp/fotos/RES/")));
    QVERIFY(!OpenWithDesktop(QUrl(QStringLiteral("http://127.0.0.1/descargas.html"))));
    QCOMPARE(opener.opened(),
             (QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/tmp/fotos/RES/")),
                          QUrl(QStringLiteral("http://127.0.0.1/descargas.html"))}));
}

KAVENRA_WINDOW_TEST_MAIN(TestWindowLayer)

#include "test_window_layer.moc"
