#pragma once

// Stand-ins for the two things that leave the process: the sound service and the desktop opener.
// Each installs itself on construction and restores the real service on destruction.
//
//   kavenra::testing::SoundRecorder sounds;
//   Form6->MsgBox("caption", "text", 3);
//   QCOMPARE(sounds.played(), QList<int>{100});
//
//   kavenra::testing::DesktopOpenerRecorder opener;   // opener.setResult(false) to fail
//   ... QCOMPARE(opener.opened(), QList<QUrl>{QUrl::fromLocalFile("/tmp/x/RES/")});

#include "ui/DesktopOpener.h"
#include "ui/Sounds.h"

#include <QList>
#include <QUrl>

namespace kavenra::testing {

class SoundRecorder final : public kavenra::SoundPlayer {
  public:
    SoundRecorder();
    ~SoundRecorder() override;
    SoundRecorder(const SoundRecorder&) = delete;
    SoundRecorder& operator=(const SoundRecorder&) = delete;

    void play(int resourceId) override;

    // Resource numbers in the order they were started.
    QList<int> played() const { return played_; }
    void clear() { played_.clear(); }

  private:
    QList<int> played_;
};

class DesktopOpenerRecorder final : public kavenra::DesktopOpener {
  public:
    DesktopOpenerRecorder();
    ~DesktopOpenerRecorder() override;
    DesktopOpenerRecorder(const DesktopOpenerRecorder&) = delete;
    DesktopOpenerRecorder& operator=(const DesktopOpenerRecorder&) = delete;

    bool openUrl(const QUrl& url) override;

    // Addresses in the order they were asked for.
    QList<QUrl> opened() const { return opened_; }
    void clear() { opened_.clear(); }
    // What openUrl reports (true unless changed).
    void setResult(bool result) { result_ = result; }

  private:
    QList<QUrl> opened_;
    bool result_ = true;
};

}  // namespace kavenra::testing
