#pragma once

// The two sounds of the message box, compiled into the program's resources and addressed by
// number: 100 accompanies errors, 200 information messages and questions. Playing never blocks
// and never fails: without a sound device the program stays silent.

namespace kavenra {

constexpr int ErrorSoundId = 100;
constexpr int InformationSoundId = 200;

class SoundPlayer {
  public:
    virtual ~SoundPlayer() = default;
    // Starts the sound resource and returns at once.
    virtual void play(int resourceId) = 0;
};

// Replaces the player (tests install a recorder); nullptr restores the real one. The player must
// outlive its installation.
void SetSoundPlayer(SoundPlayer* player);

}  // namespace kavenra

// Plays one of the compiled-in sounds asynchronously; an unknown number plays nothing.
void PlayResourceSound(int resourceId);
