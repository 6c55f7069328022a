#pragma once

#include <QStringList>
#include <QTemporaryFile>
#include <string>
#include <vector>

#include "store/MessageDisplay.h"

namespace kavenra::testing {

// Records the plain messages of the store, in order, instead of showing them. Installs itself
// on construction and puts the previous display back on destruction.
class MessageRecorder final : public kavenra::MessageDisplay {
  public:
    MessageRecorder();
    ~MessageRecorder() override;
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    void showMessage(const std::string& utf8Text) override;

    // The messages shown so far, decoded from UTF-8.
    QStringList messages() const;
    void clear();

  private:
    kavenra::MessageDisplay* previous_;
    std::vector<std::string> messages_;
};

// Captures what the process writes to its standard error stream (file descriptor 2) while the
// object lives. Qt's own warnings land here too, so compare lines, not the whole text.
class StandardErrorCapture {
  public:
    StandardErrorCapture();
    ~StandardErrorCapture();
    StandardErrorCapture(const StandardErrorCapture&) = delete;
    StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;

    bool isActive() const { return savedDescriptor_ >= 0; }
    // Everything written since construction, as UTF-8.
    QString text();
    QStringList lines();

  private:
    QTemporaryFile file_;
    int savedDescriptor_ = -1;
};

// Number of file descriptors the process holds open: equal before and after a call means the
// call closed every database file it opened.
int OpenFileDescriptorCount();

}  // namespace kavenra::testing
