#pragma once

#include <string>

// The plain message display that database errors are shown with. The window layer installs one
// that shows a box; the default writes to standard error so that tools and tests without windows
// still see every message.

namespace kavenra {

class MessageDisplay {
  public:
    virtual ~MessageDisplay() = default;
    virtual void showMessage(const std::string& utf8Text) = 0;
};

// nullptr restores the standard-error display. The display must outlive its installation.
void SetMessageDisplay(MessageDisplay* display);
MessageDisplay& CurrentMessageDisplay();

}  // namespace kavenra
