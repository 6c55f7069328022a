#include <FreeImage.h>

#include "engine/formats/jpeg/JpegDamage.h"

namespace kavenra {
namespace {

thread_local bool t_listening = false;
thread_local bool t_heard = false;

// FreeImage calls its handler on the thread whose load sent the message.
void HearMessage(FREE_IMAGE_FORMAT format, const char*) {
    if (t_listening && format == FIF_JPEG) t_heard = true;
}

}  // namespace

JpegMessageWatch::JpegMessageWatch() {
    static const bool installed = [] {
        FreeImage_SetOutputMessage(HearMessage);
        return true;
    }();
    (void)installed;
    t_heard = false;
    t_listening = true;
}

JpegMessageWatch::~JpegMessageWatch() {
    t_listening = false;
}

bool JpegMessageWatch::heardAny() const {
    return t_heard;
}

}  // namespace kavenra
