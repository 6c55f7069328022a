#include "ui/Sounds.h"

#include "ui/Resources.h"

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QSoundEffect>
#include <QUrl>

#include <map>

namespace {

// Plays the compiled-in WAVE files with QSoundEffect. One effect per sound, created on first use
// and owned by the application object, so that a sound keeps playing after the call returns and
// the effects go away with the application. Without an audio device QSoundEffect stays silent.
class ResourceSoundPlayer final : public kavenra::SoundPlayer {
  public:
    void play(int resourceId) override {
        QSoundEffect* effect = effectFor(resourceId);
        if (effect) effect->play();
    }

  private:
    QSoundEffect* effectFor(int resourceId) {
        QPointer<QSoundEffect>& effect = effects_[resourceId];
        if (effect) return effect;
        const QString file = kavenra::resource::SoundFile(resourceId);
        QCoreApplication* application = QCoreApplication::instance();
        if (!application || !QFile::exists(file)) return nullptr;
        effect = new QSoundEffect(application);
        effect->setSource(QUrl(QStringLiteral("qrc") + file));
        return effect;
    }

    std::map<int, QPointer<QSoundEffect>> effects_;
};

kavenra::SoundPlayer* installedPlayer = nullptr;

kavenra::SoundPlayer& currentPlayer() {
    static ResourceSoundPlayer resourcePlayer;
    return installedPlayer ? *installedPlayer : resourcePlayer;
}

}  // namespace

namespace kavenra {

void SetSoundPlayer(SoundPlayer* player) {
    installedPlayer = player;
}

}  // namespace kavenra

void PlayResourceSound(int resourceId) {
    currentPlayer().play(resourceId);
}
