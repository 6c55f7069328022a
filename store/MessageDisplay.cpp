#include "store/MessageDisplay.h"

#include <cstdio>

namespace kavenra {
namespace {

class StandardErrorDisplay final : public MessageDisplay {
  public:
    void showMessage(const std::string& utf8Text) override {
        std::fprintf(stderr, "%s\n", utf8Text.c_str());
        std::fflush(stderr);
    }
};

StandardErrorDisplay standardErrorDisplay;
MessageDisplay* installedDisplay = nullptr;

}  // namespace

void SetMessageDisplay(MessageDisplay* display) {
    installedDisplay = display;
}

MessageDisplay& CurrentMessageDisplay() {
    return installedDisplay ? *installedDisplay : standardErrorDisplay;
}

}  // namespace kavenra
