#include "support/ConversionWorkspace.h"

#include "engine/output/ReplacingSave.h"
#include "engine/run/ImageFileOperations.h"
#include "support/ImageFiles.h"

#include <QDir>

#include <cstdint>

namespace kavenra::test {

bool ConversionWorkspace::openWorkspace() {
    work = std::make_unique<QTemporaryDir>();
    options = ConversionOptions{};
    return work->isValid() && QDir(work->path()).mkpath("in") && QDir(work->path()).mkpath("out");
}

void ConversionWorkspace::closeWorkspace() {
    work.reset();
}

ConversionJob ConversionWorkspace::job(const QString& source, const QString& destination,
                                       int keepAspect, int height, int widthOrLongest) const {
    return {
        RequestFromEntryArguments(NativePath(source), NativePath(destination),
                                  static_cast<std::uint8_t>(keepAspect), height, widthOrLongest),
        options};
}

bool ConversionWorkspace::convert(const QString& source, const QString& destination, int keepAspect,
                                  int height, int widthOrLongest) const {
    return ConvertImage(NativePath(source), NativePath(destination),
                        static_cast<std::uint8_t>(keepAspect), height, widthOrLongest, options);
}

FileOutcome ConversionWorkspace::convertOutcome(const QString& source, const QString& destination,
                                                int keepAspect, int height,
                                                int widthOrLongest) const {
    return ConvertImage(job(source, destination, keepAspect, height, widthOrLongest));
}

WorkerConversion ConversionWorkspace::convertInWorker(const QString& source,
                                                      const QString& destination, int keepAspect,
                                                      int height, int widthOrLongest) const {
    return ConvertInWorker(job(source, destination, keepAspect, height, widthOrLongest));
}

WorkerConversion ConvertInWorker(const ConversionJob& job) {
    const IsolatedConversion isolated = PrepareConversionIsolated(job, WorkerLane::Intake);
    WorkerConversion result;
    result.failure = isolated.failure;
    result.report = isolated.report;
    result.committed = isolated.prepared && CommitPreparedOutput(*isolated.prepared);
    return result;
}

WorkerConversion ConvertInWorker(const QString& source, const QString& destination, int keepAspect,
                                 int height, int widthOrLongest, const ConversionOptions& options) {
    return ConvertInWorker(
        {RequestFromEntryArguments(NativePath(source), NativePath(destination),
                                   static_cast<std::uint8_t>(keepAspect), height, widthOrLongest),
         options});
}

}  // namespace kavenra::test
