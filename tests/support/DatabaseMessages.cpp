#include "support/DatabaseMessages.h"

#include <dirent.h>
#include <unistd.h>

#include <QFile>
#include <cstdio>

namespace kavenra::testing {

MessageRecorder::MessageRecorder() : previous_(&kavenra::CurrentMessageDisplay()) {
    kavenra::SetMessageDisplay(this);
}

MessageRecorder::~MessageRecorder() {
    kavenra::SetMessageDisplay(previous_);
}

void MessageRecorder::showMessage(const std::string& utf8Text) {
    messages_.push_back(utf8Text);
}

QStringList MessageRecorder::messages() const {
    QStringList texts;
    for (const std::string& message : messages_) {
        texts << QString::fromStdString(message);
    }
    return texts;
}

void MessageRecorder::clear() {
    messages_.clear();
}

StandardErrorCapture::StandardErrorCapture() {
    if (!file_.open()) {
        return;
    }
    std::fflush(stderr);
    savedDescriptor_ = ::dup(STDERR_FILENO);
    if (savedDescriptor_ >= 0 && ::dup2(file_.handle(), STDERR_FILENO) < 0) {
        ::close(savedDescriptor_);
        savedDescriptor_ = -1;
    }
}

StandardErrorCapture::~StandardErrorCapture() {
    if (savedDescriptor_ < 0) {
        return;
    }
    std::fflush(stderr);
    ::dup2(savedDescriptor_, STDERR_FILENO);
    ::close(savedDescriptor_);
}

QString StandardErrorCapture::text() {
    std::fflush(stderr);
    QFile reader(file_.fileName());
    if (!reader.open(QIODevice::ReadOnly)) {
        return QString();
    }
    return QString::fromUtf8(reader.readAll());
}

QStringList StandardErrorCapture::lines() {
    return text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

int OpenFileDescriptorCount() {
    DIR* folder = ::opendir("/proc/self/fd");
    if (folder == nullptr) {
        return -1;
    }
    int count = 0;
    while (const dirent* entry = ::readdir(folder)) {
        if (entry->d_name[0] != '.') {
            ++count;
        }
    }
    ::closedir(folder);
    return count;
}

}  // namespace kavenra::testing
