#pragma once

// What a conversion test stands in: "in" and "out" folders in a fresh temporary folder, and the
// settings every conversion takes, which the test may change between conversions. A test class
// derives from it, opens it in init() and closes it in cleanup().

#include "engine/ConversionSettings.h"

#include <QString>
#include <QTemporaryDir>

#include <atomic>
#include <memory>

namespace kavenra::test {

class ConversionWorkspace {
  protected:
    // Fresh folders and default settings, handed to the engine; false when the folders cannot be
    // made.
    bool openWorkspace();
    // The engine stops taking these settings; the folders go.
    void closeWorkspace();

    QString in(const QString& name) const { return work->filePath("in/" + name); }
    QString out(const QString& name) const { return work->filePath("out/" + name); }
    QString outFolder() const { return work->filePath("out"); }
    // How often the engine has taken the settings since the workspace was opened.
    int settingsTaken() const { return taken_; }

    // ConvertImage with the entry point's arguments.
    static bool convert(const QString& source, const QString& destination, int keepAspect = 1,
                        int height = 0, int widthOrLongest = 40);

    std::unique_ptr<QTemporaryDir> work;
    ConversionSettings settings;

  private:
    std::atomic<int> taken_{0};
};

}  // namespace kavenra::test
