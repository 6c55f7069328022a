#pragma once

// What a conversion test stands in: "in" and "out" folders in a fresh temporary folder, and the
// options every conversion takes, which the test may change between conversions. A test class
// derives from it, opens it in init() and closes it in cleanup().

#include "engine/base/ConversionJob.h"
#include "engine/base/OptionsFromCodes.h"
#include "engine/isolation/ImageWorker.h"
#include "engine/run/RunConversions.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace kavenra::test {

// A conversion made through the worker's own call, with how that call ended.
struct WorkerConversion {
    bool committed = false;
    FailureReason failure = FailureReason::None;
    ImageJobReport report;
};

// The worker's conversion call on the intake lane, committed when it prepared an output: for
// tests of the isolation itself, which read how the call ended.
WorkerConversion ConvertInWorker(const ConversionJob& job);
WorkerConversion ConvertInWorker(const QString& source, const QString& destination, int keepAspect,
                                 int height, int widthOrLongest,
                                 const ConversionOptions& options = {});

class ConversionWorkspace {
  protected:
    // Fresh folders and default options; false when the folders cannot be made.
    bool openWorkspace();
    void closeWorkspace();

    QString in(const QString& name) const { return work->filePath("in/" + name); }
    QString out(const QString& name) const { return work->filePath("out/" + name); }
    QString outFolder() const { return work->filePath("out"); }

    // The job of the entry point's arguments with the workspace's options as they are now.
    ConversionJob job(const QString& source, const QString& destination, int keepAspect = 1,
                      int height = 0, int widthOrLongest = 40) const;

    // ConvertImage, the path a run's file takes, with the entry point's arguments: true exactly
    // when the output was saved.
    bool convert(const QString& source, const QString& destination, int keepAspect = 1,
                 int height = 0, int widthOrLongest = 40) const;
    // The same, with the whole outcome.
    FileOutcome convertOutcome(const QString& source, const QString& destination,
                               int keepAspect = 1, int height = 0, int widthOrLongest = 40) const;

    // ConvertInWorker with the workspace's options.
    WorkerConversion convertInWorker(const QString& source, const QString& destination,
                                     int keepAspect = 1, int height = 0,
                                     int widthOrLongest = 40) const;

    std::unique_ptr<QTemporaryDir> work;
    ConversionOptions options;
};

}  // namespace kavenra::test
