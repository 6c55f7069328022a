#include "support/ConversionWorkspace.h"

#include "engine/Procesosimagen.h"
#include "support/ImageFiles.h"

#include <QDir>

#include <cstdint>

namespace kavenra::test {

bool ConversionWorkspace::openWorkspace() {
    work = std::make_unique<QTemporaryDir>();
    settings = ConversionSettings{};
    taken_ = 0;
    SetConversionSettingsProvider([this] {
        ++taken_;
        return settings;
    });
    return work->isValid() && QDir(work->path()).mkpath("in") && QDir(work->path()).mkpath("out");
}

void ConversionWorkspace::closeWorkspace() {
    SetConversionSettingsProvider({});
    work.reset();
}

bool ConversionWorkspace::convert(const QString& source, const QString& destination, int keepAspect,
                                  int height, int widthOrLongest) {
    return ConvertImage(NativePath(source), NativePath(destination),
                        static_cast<std::uint8_t>(keepAspect), height, widthOrLongest);
}

}  // namespace kavenra::test
