// The dimension settings of the main window, driven as a user drives them: keys typed into the
// fields, clicks on the locks, presets and mode boxes.

#include "support/MainWindowFixture.h"
#include "support/ModalAnswerer.h"
#include "ui/Unit1.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using kavenra::testing::MainWindowFixture;
using kavenra::testing::ModalAnswerer;

namespace {

QRadioButton* lockNamed(const QString& name) {
    if (name == QLatin1String("4:3")) return Form1->RadioButton5;
    if (name == QLatin1String("16:9")) return Form1->RadioButton6;
    return Form1->RadioButton11;
}

QLineEdit* fieldNamed(const QString& name) {
    return name == QLatin1String("Edit1") ? Form1->Edit1 : Form1->Edit2;
}

void click(QWidget* control) {
    QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, control->rect().center());
}

// Clicks into the field and types, as a user does; characters beyond ASCII come as the text of
// a key without a key code, as an input method delivers them.
void typeInto(QLineEdit* field, const QString& keys) {
    click(field);
    for (const QChar character : keys) {
        if (character.unicode() < 128) {
            QTest::keyClick(field, character.toLatin1());
        } else {
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(character),
                                Qt::NoModifier);
        }
    }
}

}  // namespace

class TestMainWindowDimensions : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        fixture_ = std::make_unique<MainWindowFixture>();
        QVERIFY(fixture_->isValid());
    }
    void cleanup() { fixture_.reset(); }

    void lockDerivesTheOtherField_data();
    void lockDerivesTheOtherField();
    void leadingZeroIsKept();
    void typingDigitByDigitFollowsEachValue();
    void choosingALockRecomputesNothing();
    void emptiedFieldChangesNothing();
    void zeroInTheDrivingField_data();
    void zeroInTheDrivingField();
    void nonDigitWarnsAndKeepsTheText_data();
    void nonDigitWarnsAndKeepsTheText();
    void validationRunsWhateverFieldDrives();
    void keysTypedAfterTabbingIn_data();
    void keysTypedAfterTabbingIn();
    void valueBeyond32BitsIsReportedAsConversionError();

    void presetSetsLockAndPair_data();
    void presetSetsLockAndPair();
    void presetAfterTypingInHeightEndsWithThePair();
    void selectedPresetRestoresNothing();
    void lockClickKeepsThePreset();

    void checkBoxCascade_data();
    void checkBoxCascade();
    void longestSideModeKeepsPresetsAndFields();

  private:
    std::unique_ptr<MainWindowFixture> fixture_;
};

void TestMainWindowDimensions::lockDerivesTheOtherField_data() {
    QTest::addColumn<QString>("lock");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("derived");

    QTest::newRow("4:3 width 641") << "4:3"
                                   << "Edit1"
                                   << "641"
                                   << "480";
    QTest::newRow("16:9 width 1000") << "16:9"
                                     << "Edit1"
                                     << "1000"
                                     << "558";
    QTest::newRow("4:3 height 481") << "4:3"
                                    << "Edit2"
                                    << "481"
                                    << "640";
    QTest::newRow("16:9 height 500") << "16:9"
                                     << "Edit2"
                                     << "500"
                                     << "880";
    QTest::newRow("4:3 width 3 gives 0") << "4:3"
                                         << "Edit1"
                                         << "3"
                                         << "0";
    QTest::newRow("manual derives nothing") << "Manual"
                                            << "Edit1"
                                            << "641"
                                            << "";
}

// The derived value must not bounce back: 641 -> 480 -> 640 would overwrite what the user typed.
void TestMainWindowDimensions::lockDerivesTheOtherField() {
    QFETCH(QString, lock);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, derived);
    ModalAnswerer answers;
    click(lockNamed(lock));
    QLineEdit* driving = fieldNamed(field);
    QLineEdit* other = driving == Form1->Edit1 ? Form1->Edit2 : Form1->Edit1;

    typeInto(driving, typed);

    QCOMPARE(driving->text(), typed);
    QCOMPARE(other->text(), derived);
    QVERIFY(answers.msgBoxes().isEmpty());
    QVERIFY(answers.messageBoxes().isEmpty());
}

void TestMainWindowDimensions::leadingZeroIsKept() {
    ModalAnswerer answers;
    click(Form1->RadioButton5);
    typeInto(Form1->Edit1, QStringLiteral("640"));
    QTest::keyClick(Form1->Edit1, Qt::Key_Home);

    QTest::keyClicks(Form1->Edit1, QStringLiteral("0"));

    QCOMPARE(Form1->Edit1->text(), QStringLiteral("0640"));
    QCOMPARE(Form1->Edit2->text(), QStringLiteral("480"));
    QVERIFY(answers.messageBoxes().isEmpty());
}

void TestMainWindowDimensions::typingDigitByDigitFollowsEachValue() {
    ModalAnswerer answers;
    click(Form1->RadioButton5);
    QSignalSpy heights(Form1->Edit2, &QLineEdit::textChanged);

    typeInto(Form1->Edit1, QStringLiteral("1000"));

    QStringList values;
    for (const QList<QVariant>& change : heights) values << change.at(0).toString();
    QCOMPARE(values, (QStringList{"0", "6", "75", "750"}));
    QVERIFY(answers.messageBoxes().isEmpty());
}

void TestMainWindowDimensions::choosingALockRecomputesNothing() {
    typeInto(Form1->Edit1, QStringLiteral("800"));
    QCOMPARE(Form1->Edit2->text(), QString());

    click(Form1->RadioButton5);
    QCOMPARE(Form1->Edit2->text(), QString());

    QTest::keyClick(Form1->Edit1, Qt::Key_Backspace);
    QTest::keyClicks(Form1->Edit1, QStringLiteral("0"));
    QCOMPARE(Form1->Edit2->text(), QStringLiteral("600"));
}

void TestMainWindowDimensions::emptiedFieldChangesNothing() {
    ModalAnswerer answers;
    click(Form1->RadioButton5);
    typeInto(Form1->Edit1, QStringLiteral("64"));
    QCOMPARE(Form1->Edit2->text(), QStringLiteral("48"));

    QTest::keyClick(Form1->Edit1, Qt::Key_Backspace);
    QTest::keyClick(Form1->Edit1, Qt::Key_Backspace);

    QCOMPARE(Form1->Edit1->text(), QString());
    QCOMPARE(Form1->Edit2->text(), QStringLiteral("3"));  // from the 6 left after one backspace
    QVERIFY(answers.msgBoxes().isEmpty());
    QVERIFY(answers.messageBoxes().isEmpty());
}

void TestMainWindowDimensions::zeroInTheDrivingField_data() {
    QTest::addColumn<QString>("lock");
    QTest::addColumn<QString>("field");
    QTest::newRow("width under 4:3") << "4:3"
                                     << "Edit1";
    QTest::newRow("height under 16:9") << "16:9"
                                       << "Edit2";
    QTest::newRow("width under manual") << "Manual"
                                        << "Edit1";
}

void TestMainWindowDimensions::zeroInTheDrivingField() {
    QFETCH(QString, lock);
    QFETCH(QString, field);
    ModalAnswerer answers;
    QLineEdit* driving = fieldNamed(field);
    QLineEdit* other = driving == Form1->Edit1 ? Form1->Edit2 : Form1->Edit1;
    other->setText(QStringLiteral("123"));
    click(lockNamed(lock));

    typeInto(driving, QStringLiteral("00"));

    // One notice per change that leaves a zero value: "0" and "00".
    QCOMPARE(answers.messageBoxTexts(),
             (QStringList{MainWindowFixture::Text(1, "Texto_no_puedo"),
                          MainWindowFixture::Text(1, "Texto_no_puedo")}));
    QCOMPARE(answers.messageBoxes().first().icon, QMessageBox::NoIcon);
    QCOMPARE(other->text(), QStringLiteral("123"));
    QVERIFY(answers.msgBoxes().isEmpty());
}

void TestMainWindowDimensions::nonDigitWarnsAndKeepsTheText_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("warnings");
    QTest::newRow("letter in the width") << "Edit1"
                                         << "6a4" << 2;
    QTest::newRow("sign in the height") << "Edit2"
                                        << "-5" << 2;
    QTest::newRow("blank in the longest side") << "Edit4"
                                               << "1 0" << 2;
    QTest::newRow("other script's digit") << "Edit1" << QString::fromUtf8("٣") << 1;
}

void TestMainWindowDimensions::nonDigitWarnsAndKeepsTheText() {
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(int, warnings);
    ModalAnswerer answers;
    click(Form1->RadioButton5);
    QLineEdit* edit = field == QLatin1String("Edit4") ? Form1->Edit4 : fieldNamed(field);
    if (edit == Form1->Edit4) click(Form1->CheckBox1);

    typeInto(edit, typed);

    QCOMPARE(edit->text(), typed);
    QCOMPARE(answers.msgBoxes().size(), warnings);
    for (const auto& warning : answers.msgBoxes()) {
        QCOMPARE(warning.caption, MainWindowFixture::Text(5, "MsgBox_Carpeta2"));
        QCOMPARE(warning.text, MainWindowFixture::Text(1, "Texto_caracter_no_valido"));
        QCOMPARE(warning.shownKind, 3);
    }
    // A text that failed the test never reaches the lock, whose conversion would raise.
    QVERIFY(answers.messageBoxes().isEmpty());
}

void TestMainWindowDimensions::validationRunsWhateverFieldDrives() {
    ModalAnswerer answers;
    typeInto(Form1->Edit1, QStringLiteral("5"));
    QCOMPARE(Form1->DrivingEdit, 1);

    Form1->Edit2->setText(QStringLiteral("x"));

    QCOMPARE(answers.msgBoxes().size(), 1);
    QCOMPARE(Form1->Edit2->text(), QStringLiteral("x"));
}

void TestMainWindowDimensions::keysTypedAfterTabbingIn_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("from");  // where the focus starts
    QTest::addColumn<bool>("backwards");
    QTest::addColumn<int>("drivingEdit");
    QTest::addColumn<QString>("other");  // the field a lock would derive
    QTest::addColumn<QString>("derived");
    // Under 4:3 the digit typed first derives the other field; the letter after it only warns.
    QTest::newRow("Edit1, Shift+Tab") << "Edit1"
                                      << "CheckBox1" << true << 1 << "Edit2"
                                      << "3";
    QTest::newRow("Edit2, Tab") << "Edit2"
                                << "Edit1" << false << 2 << "Edit1"
                                << "8";
    QTest::newRow("Edit4, Tab") << "Edit4"
                                << "CheckBox1" << false << 0 << "Edit1"
                                << "";
}

// The key press names the driving field, so a user who never clicks still drives the lock; the
// digit rule does not depend on how the focus came.
void TestMainWindowDimensions::keysTypedAfterTabbingIn() {
    QFETCH(QString, field);
    QFETCH(QString, from);
    QFETCH(bool, backwards);
    QFETCH(int, drivingEdit);
    QFETCH(QString, other);
    QFETCH(QString, derived);
    ModalAnswerer answers;
    click(Form1->RadioButton5);
    if (field == QLatin1String("Edit4")) click(Form1->CheckBox1);
    auto* target = Form1->findChild<QLineEdit*>(field);
    Form1->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(Form1));
    Form1->findChild<QWidget*>(from)->setFocus(Qt::OtherFocusReason);
    for (int presses = 0; presses < 30 && Form1->focusWidget() != target; ++presses)
        QTest::keyClick(Form1->focusWidget(), backwards ? Qt::Key_Backtab : Qt::Key_Tab);
    QCOMPARE(Form1->focusWidget(), target);
    QCOMPARE(Form1->DrivingEdit, 0);

    QTest::keyClicks(Form1->focusWidget(), QStringLiteral("6a"));

    QCOMPARE(target->text(), QStringLiteral("6a"));
    QCOMPARE(Form1->DrivingEdit, drivingEdit);
    QCOMPARE(Form1->findChild<QLineEdit*>(other)->text(), derived);
    QCOMPARE(answers.msgBoxes().size(), 1);
    QCOMPARE(answers.msgBoxes()[0].caption, MainWindowFixture::Text(5, "MsgBox_Carpeta2"));
    QCOMPARE(answers.msgBoxes()[0].text, MainWindowFixture::Text(1, "Texto_caracter_no_valido"));
    QCOMPARE(answers.msgBoxes()[0].shownKind, 3);
    QVERIFY(answers.messageBoxes().isEmpty());
}

void TestMainWindowDimensions::valueBeyond32BitsIsReportedAsConversionError() {
    ModalAnswerer answers;
    click(Form1->RadioButton5);

    typeInto(Form1->Edit1, QStringLiteral("3000000000"));

    QCOMPARE(answers.messageBoxTexts(), QStringList{"'3000000000' is not a valid integer value"});
    QCOMPARE(answers.messageBoxes().first().icon, QMessageBox::Critical);
    QCOMPARE(Form1->Edit1->text(), QStringLiteral("3000000000"));
    QCOMPARE(Form1->Edit2->text(), QStringLiteral("225000000"));  // from 300000000
    QVERIFY(answers.msgBoxes().isEmpty());
}

void TestMainWindowDimensions::presetSetsLockAndPair_data() {
    QTest::addColumn<QString>("preset");
    QTest::addColumn<QString>("lock");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::newRow("320 x 240") << "RadioButton1"
                               << "4:3"
                               << "320"
                               << "240";
    QTest::newRow("640 x 480") << "RadioButton2"
                               << "4:3"
                               << "640"
                               << "480";
    QTest::newRow("800 x 600") << "RadioButton3"
                               << "4:3"
                               << "800"
                               << "600";
    QTest::newRow("1024 x 768") << "RadioButton4"
                                << "4:3"
                                << "1024"
                                << "768";
    QTest::newRow("320 x 180") << "RadioButton7"
                               << "16:9"
                               << "320"
                               << "180";
    QTest::newRow("640 x 360") << "RadioButton8"
                               << "16:9"
                               << "640"
                               << "360";
    QTest::newRow("800 x 450") << "RadioButton9"
                               << "16:9"
                               << "800"
                               << "450";
    QTest::newRow("1024 x 576") << "RadioButton10"
                                << "16:9"
                                << "1024"
                                << "576";
}

// Whichever field drove last, the fields end holding the preset's pair.
void TestMainWindowDimensions::presetSetsLockAndPair() {
    QFETCH(QString, preset);
    QFETCH(QString, lock);
    QFETCH(QString, width);
    QFETCH(QString, height);
    for (const QString& drivenLast :
         {QString(), QStringLiteral("Edit1"), QStringLiteral("Edit2")}) {
        fixture_.reset();
        fixture_ = std::make_unique<MainWindowFixture>();
        QVERIFY(fixture_->isValid());
        auto* button = Form1->findChild<QRadioButton*>(preset);
        QVERIFY(button);
        Form1->Edit1->setText(QStringLiteral("7"));
        Form1->Edit2->setText(QStringLiteral("9"));
        if (!drivenLast.isEmpty()) typeInto(fieldNamed(drivenLast), QStringLiteral("1"));

        click(button);

        QVERIFY2(lockNamed(lock)->isChecked(), qPrintable(drivenLast));
        QCOMPARE(Form1->Edit1->text(), width);
        QCOMPARE(Form1->Edit2->text(), height);
    }
}

void TestMainWindowDimensions::presetAfterTypingInHeightEndsWithThePair() {
    typeInto(Form1->Edit2, QStringLiteral("123"));
    QCOMPARE(Form1->DrivingEdit, 2);

    click(Form1->RadioButton4);

    QCOMPARE(Form1->Edit1->text(), QStringLiteral("1024"));
    QCOMPARE(Form1->Edit2->text(), QStringLiteral("768"));
}

void TestMainWindowDimensions::selectedPresetRestoresNothing() {
    click(Form1->RadioButton2);
    click(Form1->Edit1);
    QTest::keyClick(Form1->Edit1, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(Form1->Edit1, QStringLiteral("700"));
    QCOMPARE(Form1->Edit2->text(), QStringLiteral("525"));

    click(Form1->RadioButton2);
    QCOMPARE(Form1->Edit1->text(), QStringLiteral("700"));
    QCOMPARE(Form1->Edit2->text(), QStringLiteral("525"));

    click(Form1->RadioButton3);
    click(Form1->RadioButton2);
    QCOMPARE(Form1->Edit1->text(), QStringLiteral("640"));
    QCOMPARE(Form1->Edit2->text(), QStringLiteral("480"));
}

void TestMainWindowDimensions::lockClickKeepsThePreset() {
    click(Form1->RadioButton8);
    QVERIFY(Form1->RadioButton6->isChecked());

    click(Form1->RadioButton11);

    QVERIFY(Form1->RadioButton8->isChecked());
    QVERIFY(Form1->RadioButton11->isChecked());
    QVERIFY(!Form1->RadioButton6->isChecked());
}

void TestMainWindowDimensions::checkBoxCascade_data() {
    QTest::addColumn<bool>("longestBefore");
    QTest::addColumn<bool>("rawBefore");
    QTest::addColumn<bool>("rawEnabled");
    QTest::addColumn<QString>("clicked");
    QTest::addColumn<bool>("longestAfter");
    QTest::addColumn<bool>("rawAfter");

    // After: Panel2 and a disabled preset group exactly when the longest side is checked.
    QTest::newRow("check longest side") << false << false << false << "CheckBox1" << true << false;
    QTest::newRow("uncheck longest side")
        << true << false << false << "CheckBox1" << false << false;
    QTest::newRow("check RAW") << false << false << true << "CheckBox2" << false << true;
    QTest::newRow("RAW over longest side") << true << false << true << "CheckBox2" << false << true;
    QTest::newRow("longest side undone by RAW")
        << false << true << true << "CheckBox1" << false << true;
    QTest::newRow("longest side undone by disabled RAW")
        << false << true << false << "CheckBox1" << false << true;
    QTest::newRow("uncheck RAW") << false << true << true << "CheckBox2" << false << false;
}

void TestMainWindowDimensions::checkBoxCascade() {
    QFETCH(bool, longestBefore);
    QFETCH(bool, rawBefore);
    QFETCH(bool, rawEnabled);
    QFETCH(QString, clicked);
    QFETCH(bool, longestAfter);
    QFETCH(bool, rawAfter);
    Form1->CheckBox2->setEnabled(true);
    Form1->CheckBox2->setChecked(rawBefore);
    Form1->CheckBox1->setChecked(longestBefore);
    Form1->CheckBox2->setEnabled(rawEnabled);
    QCOMPARE(Form1->CheckBox1->isChecked(), longestBefore);
    QCOMPARE(Form1->CheckBox2->isChecked(), rawBefore);

    QSignalSpy longestChanges(Form1->CheckBox1, &QCheckBox::toggled);
    click(clicked == QLatin1String("CheckBox1") ? Form1->CheckBox1 : Form1->CheckBox2);

    QCOMPARE(Form1->CheckBox1->isChecked(), longestAfter);
    QCOMPARE(Form1->CheckBox2->isChecked(), rawAfter);
    QCOMPARE(Form1->Panel1->isVisible(), !longestAfter);
    QCOMPARE(Form1->Panel2->isVisible(), longestAfter);
    QCOMPARE(Form1->GroupBox2->isEnabled(), !longestAfter);
    QCOMPARE(Form1->CheckBox2->isEnabled(), rawEnabled);
    QVERIFY(longestChanges.size() <= 2);  // each box changes at most twice
}

void TestMainWindowDimensions::longestSideModeKeepsPresetsAndFields() {
    click(Form1->RadioButton3);
    click(Form1->CheckBox1);

    QVERIFY(!Form1->GroupBox2->isEnabled());
    QVERIFY(Form1->RadioButton3->isChecked());
    click(Form1->RadioButton1);  // disabled: no effect
    QVERIFY(Form1->RadioButton3->isChecked());
    typeInto(Form1->Edit4, QStringLiteral("1200"));

    click(Form1->CheckBox1);
    QCOMPARE(Form1->Edit1->text(), QStringLiteral("800"));
    QCOMPARE(Form1->Edit2->text(), QStringLiteral("600"));
    QCOMPARE(Form1->Edit4->text(), QStringLiteral("1200"));
    QVERIFY(Form1->RadioButton3->isChecked());
}

KAVENRA_WINDOW_TEST_MAIN(TestMainWindowDimensions)
#include "test_mainwindow_dimensions.moc"
