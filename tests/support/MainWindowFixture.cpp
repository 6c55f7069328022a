#include "support/MainWindowFixture.h"

#include "support/ImageCameraRaw.h"
#include "support/ImageFactory.h"
#include "ui/Forms.h"
#include "ui/Startup.h"
#include "ui/TranslateAllForms.h"
#include "ui/Unit1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QTimer>

namespace kavenra::testing {

MainWindowFixture::MainWindowFixture(Texts texts, const QStringList& storedSettings) {
    kavenra::test::InitialiseFreeImageOnce();
    if (!databases_.isValid() || !images_.isValid()) return;
    if (texts == Texts::Shipped) {
        if (!databases_.copyShippedDatabases()) return;
    } else {
        if (!databases_.writeSettings(
                {{QStringLiteral("Prueba"), QStringLiteral("prueba.db"), true}}))
            return;
        if (!databases_.writeCompleteLanguage(QStringLiteral("prueba.db"), QStringLiteral("T")))
            return;
    }
    if (!storedSettings.isEmpty() &&
        !RunSql(databases_.filePath(QStringLiteral("KVConfig.db")),
                QStringLiteral("UPDATE configuracion SET ") + storedSettings.join(QLatin1Char(',')))
             .isEmpty()) {
        return;
    }
    // The start-up checks belong to the program's first showing; here they would translate the
    // windows and look for updates on the network.
    StartupChecksRun = true;
    CreateAllForms();
    if (texts == Texts::Shipped) TranslateAllForms();
    Form1->show();
    valid_ = QTest::qWaitForWindowExposed(Form1);
}

MainWindowFixture::~MainWindowFixture() {
    DestroyAllForms();
}

QString MainWindowFixture::Text(int form, const char* key) {
    return QStringLiteral("T%1:%2").arg(form).arg(QString::fromUtf8(key));
}

QString MainWindowFixture::FailureQuestion(const QString& fileName, const char* reasonKey) {
    // The fixture's text holds its place after the key.
    QString question = Text(1, "Texto_fallo1") + QLatin1Char(' ') + fileName;
    if (reasonKey) question += QLatin1Char('\n') + Text(1, reasonKey);
    return question + QStringLiteral("\n\n") + Text(1, "Texto_fallo2");
}

QString MainWindowFixture::prepare(const QString& name) const {
    const QString path = images_.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    return path;
}

QString MainWindowFixture::writeJpeg(const QString& name, int width, int height,
                                     unsigned seed) const {
    const QString path = prepare(name);
    const bool written = kavenra::test::WriteImageFile(QFile::encodeName(path).toStdString(),
                                                       FIF_JPEG, width, height, seed);
    return written ? path : QString();
}

QString MainWindowFixture::writePng(const QString& name, int width, int height,
                                    unsigned seed) const {
    const QString path = prepare(name);
    const bool written = kavenra::test::WriteImageFile(QFile::encodeName(path).toStdString(),
                                                       FIF_PNG, width, height, seed);
    return written ? path : QString();
}

QString MainWindowFixture::writeCameraRaw(const QString& name, unsigned seed) const {
    const QString path = prepare(name);
    kavenra::test::CameraRawSpec camera;
    camera.seed = seed;
    return kavenra::test::WriteMinimalDng(QFile::encodeName(path).toStdString(), camera)
               ? path
               : QString();
}

QString MainWindowFixture::writeText(const QString& name, const QByteArray& content) const {
    QFile file(prepare(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) return {};
    return file.fileName();
}

bool MainWindowFixture::WaitForCountingPass() {
    return QTest::qWaitFor([] { return !Form1->Timer2->isActive(); }, 10000);
}

}  // namespace kavenra::testing
