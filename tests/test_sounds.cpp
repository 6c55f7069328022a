// The real sound player, not the recorder the window tests install: both WAVE resources load
// from the program's resources to a playable effect, whether or not the machine has an audio
// device, and a sound is loaded once however often it plays.

#include "support/ModalAnswerer.h"
#include "support/Recorders.h"

#include "ui/Resources.h"
#include "ui/Sounds.h"

#include <QCoreApplication>
#include <QFile>
#include <QSoundEffect>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {

// Loading is asynchronous: the status settles in the event loop, not within a fixed time.
constexpr int loadingLimitMs = 30000;

QList<QSoundEffect*> soundEffects() {
    return QCoreApplication::instance()->findChildren<QSoundEffect*>(Qt::FindDirectChildrenOnly);
}

kavenra::ResourceSoundPlayer* realPlayer() {
    return dynamic_cast<kavenra::ResourceSoundPlayer*>(&kavenra::CurrentSoundPlayer());
}

}  // namespace

class TestSounds : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void realPlayerUnlessReplaced();
    void resourceLoadsReady_data();
    void resourceLoadsReady();
    void unknownNumberPlaysNothing();
    void wrongSourceIsAnError_data();
    void wrongSourceIsAnError();
};

void TestSounds::initTestCase() {
    InitialiseKavenraResources();
}

void TestSounds::realPlayerUnlessReplaced() {
    QVERIFY(realPlayer());
    {
        kavenra::testing::SoundRecorder recorder;
        QCOMPARE(&kavenra::CurrentSoundPlayer(), static_cast<kavenra::SoundPlayer*>(&recorder));
        PlayResourceSound(kavenra::ErrorSoundId);
        QCOMPARE(recorder.played(), QList<int>{kavenra::ErrorSoundId});
    }
    QVERIFY(realPlayer());
}

void TestSounds::resourceLoadsReady_data() {
    QTest::addColumn<int>("resourceId");
    QTest::newRow("100 error") << kavenra::ErrorSoundId;
    QTest::newRow("200 information") << kavenra::InformationSoundId;
}

void TestSounds::resourceLoadsReady() {
    QFETCH(int, resourceId);
    kavenra::ResourceSoundPlayer* player = realPlayer();
    QVERIFY(player);

    // Played the way the message box plays it, through the installed player.
    const qsizetype effectsBefore = soundEffects().size();
    PlayResourceSound(resourceId);
    QCOMPARE(soundEffects().size(), effectsBefore + 1);
    QSoundEffect* sound = player->effect(resourceId);
    QVERIFY(sound);
    QVERIFY(soundEffects().contains(sound));
    QTRY_VERIFY_WITH_TIMEOUT(
        sound->status() != QSoundEffect::Loading && sound->status() != QSoundEffect::Null,
        loadingLimitMs);
    QCOMPARE(sound->status(), QSoundEffect::Ready);
    QVERIFY(sound->isLoaded());
    // Each number plays its own file.
    QCOMPARE(sound->source(),
             QUrl(QStringLiteral("qrc") + kavenra::resource::SoundFile(resourceId)));

    // Later messages play the loaded effect again rather than loading the file anew.
    PlayResourceSound(resourceId);
    PlayResourceSound(resourceId);
    QCOMPARE(player->effect(resourceId), sound);
    QCOMPARE(soundEffects().size(), effectsBefore + 1);
    QCOMPARE(sound->status(), QSoundEffect::Ready);
}

void TestSounds::unknownNumberPlaysNothing() {
    kavenra::ResourceSoundPlayer* player = realPlayer();
    QVERIFY(player);
    const qsizetype effectsBefore = soundEffects().size();
    kavenra::testing::ModalAnswerer answers;
    PlayResourceSound(300);
    PlayResourceSound(-1);
    QVERIFY(!player->effect(300));
    QCOMPARE(soundEffects().size(), effectsBefore);
    QVERIFY(answers.messageBoxes().isEmpty());
    QVERIFY(answers.msgBoxes().isEmpty());
}

// What a broken sound would look like: the effect ends in Error, not Ready, so the test above
// tells a sound that will play from one that never can.
void TestSounds::wrongSourceIsAnError_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("missing file") << QByteArray();
    QTest::newRow("not a WAVE file") << QByteArray("RIFF\x10\0\0\0TEXTjust some words", 24);
}

void TestSounds::wrongSourceIsAnError() {
    QFETCH(QByteArray, content);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("100.wav"));
    if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), content.size());
    }
    QSoundEffect sound;
    sound.setSource(QUrl::fromLocalFile(path));
    QTRY_VERIFY_WITH_TIMEOUT(
        sound.status() != QSoundEffect::Loading && sound.status() != QSoundEffect::Null,
        loadingLimitMs);
    QCOMPARE(sound.status(), QSoundEffect::Error);
    QVERIFY(!sound.isLoaded());
}

KAVENRA_WINDOW_TEST_MAIN(TestSounds)

#include "test_sounds.moc"
