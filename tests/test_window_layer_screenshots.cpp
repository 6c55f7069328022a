// Renders the seven windows offscreen in the Carbon theme and saves them as PNG files, so the
// look of the whole program can be judged: <build>/screenshots/window-Form<N>.png (or the folder
// named by KAVENRA_SCREENSHOT_DIR). Checks that each window wears the theme's dark background.

#include "support/DatabaseFixture.h"
#include "support/ModalAnswerer.h"
#include "support/ScreenshotPixels.h"

#include "ui/Form2_changelog.h"
#include "ui/Form3_opcionesdeformato.h"
#include "ui/Form4_seleccionlenguaje.h"
#include "ui/Form5_seleccioncarpeta.h"
#include "ui/Form6_msgbox.h"
#include "ui/Form7_acercade.h"
#include "ui/Forms.h"
#include "ui/Unit1.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <QTest>

class TestWindowLayerScreenshots : public QObject {
    Q_OBJECT

  private slots:
    void windows();
    void themeSample();
};

void TestWindowLayerScreenshots::windows() {
    kavenra::testing::DatabaseFolder databases;
    QString error;
    if (!databases.copyShippedDatabases(&error)) QSKIP(qPrintable(error));
    QVERIFY(QDir().mkpath(kavenra::testing::ScreenshotFolder()));
    kavenra::testing::ModalAnswerer answers;
    CreateAllForms();
    const QList<QWidget*> windows = {Form1, Form2, Form3, Form4, Form5, Form6, Form7};
    const QColor background = QApplication::palette().color(QPalette::Window);
    for (int i = 0; i < windows.size(); ++i) {
        QWidget* window = windows[i];
        const QImage shot = window->grab().toImage();
        QVERIFY(!shot.isNull());
        const QString path = QDir(kavenra::testing::ScreenshotFolder())
                                 .absoluteFilePath(QStringLiteral("window-Form%1.png").arg(i + 1));
        QVERIFY2(shot.save(path), qPrintable(path));
        qInfo("saved %s", qPrintable(path));
        // The bottom-right corner of every window is plain window background.
        const QColor corner = shot.pixelColor(shot.width() - 2, shot.height() - 2);
        QVERIFY2(qAbs(corner.lightness() - background.lightness()) < 24,
                 qPrintable(QStringLiteral("Form%1 corner %2").arg(i + 1).arg(corner.name())));
    }
    // The options dialog's second page, as a new user's settings fill it.
    Form3->OptionPages->setCurrentWidget(Form3->MoreOptionsPage);
    const QString more = QDir(kavenra::testing::ScreenshotFolder())
                             .absoluteFilePath(QStringLiteral("window-Form3-more.png"));
    QVERIFY(Form3->grab().toImage().save(more));
    qInfo("saved %s", qPrintable(more));
    QVERIFY(Form3->noEnlargeBox->isChecked() && Form3->fitWithinBox->isChecked());
    DestroyAllForms();
}

// The common controls side by side; the checked box must show its check mark (the picture is an
// SVG resource, drawn through Qt's SVG image plug-in).
void TestWindowLayerScreenshots::themeSample() {
    QWidget sample;
    sample.setFixedSize(300, 150);
    auto* group = new QGroupBox(QStringLiteral("Dimensiones"), &sample);
    group->setGeometry(8, 8, 284, 134);
    auto* checked = new QCheckBox(QStringLiteral("Mantener Relación de Aspecto"), group);
    checked->setGeometry(12, 22, 200, 17);
    checked->setChecked(true);
    auto* unchecked = new QCheckBox(QStringLiteral("Sin marcar"), group);
    unchecked->setGeometry(12, 42, 120, 17);
    auto* disabled = new QCheckBox(QStringLiteral("Desactivada"), group);
    disabled->setGeometry(140, 42, 120, 17);
    disabled->setEnabled(false);
    auto* radio = new QRadioButton(QStringLiteral("4:3"), group);
    radio->setGeometry(12, 62, 60, 17);
    radio->setChecked(true);
    auto* otherRadio = new QRadioButton(QStringLiteral("16:9"), group);
    otherRadio->setGeometry(80, 62, 60, 17);
    auto* edit = new QLineEdit(QStringLiteral("1024"), group);
    edit->setGeometry(12, 86, 70, 21);
    auto* button = new QPushButton(QStringLiteral("Comenzar"), group);
    button->setGeometry(100, 84, 75, 25);

    const QImage shot = sample.grab().toImage();
    QVERIFY(shot.save(QDir(kavenra::testing::ScreenshotFolder())
                          .absoluteFilePath(QStringLiteral("theme-sample.png"))));
    const qreal ratio = shot.devicePixelRatio();
    QStyleOptionButton option;
    option.initFrom(checked);
    option.state |= QStyle::State_On;
    QRect indicator =
        checked->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, checked);
    indicator.translate(checked->mapTo(&sample, QPoint(0, 0)));
    int white = 0;
    int blue = 0;
    for (int y = indicator.top(); y <= indicator.bottom(); ++y) {
        for (int x = indicator.left(); x <= indicator.right(); ++x) {
            const QColor pixel = shot.pixelColor(QPoint(x, y) * ratio);
            if (pixel.lightness() > 200) ++white;
            if (pixel.blue() > 180 && pixel.red() < 120) ++blue;
        }
    }
    QVERIFY2(white > 4, qPrintable(QString::number(white)));
    QVERIFY2(blue > 20, qPrintable(QString::number(blue)));
}

KAVENRA_WINDOW_TEST_MAIN(TestWindowLayerScreenshots)

#include "test_window_layer_screenshots.moc"
