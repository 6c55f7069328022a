#include "ui/Sounds.h"

#include "ui/Resources.h"

#include <QCoreApplication>
#include <QFile>
#include <QSoundEffect>
#include <QUrl>

namespace {

kavenra::SoundPlayer* installedPlayer = nullptr;

}  // namespace

namespace kavenra {

void ResourceSoundPlayer::play(int resourceId) {
    if (QSoundEffect* sound = effect(resourceId)) sound->play();
}

QSoundEffect* ResourceSoundPlayer::effect(int resourceId) {
    QPointer<QSoundEffect>& sound = effects_[resourceId];
    if (sound) return sound;
    const QString file = resource::SoundFile(resourceId);
    QCoreApplication* application = QCoreApplication::instance();
    if (!application || !QFile::exists(file)) return nullptr;
    sound = new QSoundEffect(application);
    sound->setSource(QUrl(QStringLiteral("qrc") + file));
    return sound;
}

void SetSoundPlayer(SoundPlayer* player) {
    installedPlayer = player;
}

SoundPlayer& CurrentSoundPlayer() {
    static ResourceSoundPlayer resourcePlayer;
    return installedPlayer ? *installedPlayer : resourcePlayer;
}

}  // namespace kavenra

void PlayResourceSound(int resourceId) {
    kavenra::CurrentSoundPlayer().play(resourceId);
}
