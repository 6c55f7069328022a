#include "Recorders.h"

namespace kavenra::testing {

SoundRecorder::SoundRecorder() {
    kavenra::SetSoundPlayer(this);
}

SoundRecorder::~SoundRecorder() {
    kavenra::SetSoundPlayer(nullptr);
}

void SoundRecorder::play(int resourceId) {
    played_.append(resourceId);
}

DesktopOpenerRecorder::DesktopOpenerRecorder() {
    kavenra::SetDesktopOpener(this);
}

DesktopOpenerRecorder::~DesktopOpenerRecorder() {
    kavenra::SetDesktopOpener(nullptr);
}

bool DesktopOpenerRecorder::openUrl(const QUrl& url) {
    opened_.append(url);
    return result_;
}

}  // namespace kavenra::testing
