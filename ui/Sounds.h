#pragma once

// The two sounds of the message box, compiled into the program's resources and addressed by
// number: 100 accompanies errors, 200 information messages and questions. Playing never blocks
// and never fails: without a sound device the program stays silent.

#include <QPointer>

#include <map>

class QSoundEffect;

namespace kavenra {

constexpr int ErrorSoundId = 100;
constexpr int InformationSoundId = 200;

class SoundPlayer {
  public:
    virtual ~SoundPlayer() = default;
    // Starts the sound resource and returns at once.
    virtual void play(int resourceId) = 0;
};

// Plays the compiled-in WAVE files with QSoundEffect. One effect per sound, created on first use
// and owned by the application object, so that a sound keeps playing after the call returns and
// the effects go away with the application. Without an audio device QSoundEffect stays silent.
class ResourceSoundPlayer final : public SoundPlayer {
  public:
    void play(int resourceId) override;

    // The effect that plays a sound, created (and its file set loading) on first use; nullptr
    // for a number that names no sound, or before the application object exists.
    QSoundEffect* effect(int resourceId);

  private:
    std::map<int, QPointer<QSoundEffect>> effects_;
};

// Replaces the player (tests install a recorder); nullptr restores the real one. The player must
// outlive its installation.
void SetSoundPlayer(SoundPlayer* player);

// The player that sounds go to now: the installed one, else the program's ResourceSoundPlayer.
SoundPlayer& CurrentSoundPlayer();

}  // namespace kavenra

// Plays one of the compiled-in sounds asynchronously; an unknown number plays nothing.
void PlayResourceSound(int resourceId);
