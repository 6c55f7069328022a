#include "engine/ConversionSettings.h"

namespace kavenra {
namespace {

// The options dialog's initial selection and an unchecked RAW switch.
class InitialSettings final : public ConversionSettingsSource {
  public:
    int filterCode() const override { return defaults.filtro_redimension; }
    int jpegCode() const override { return defaults.jpeg; }
    int pngCode() const override { return defaults.png; }
    int bmpCode() const override { return defaults.bmp; }
    int tgaCode() const override { return defaults.tga; }
    int tifCode() const override { return defaults.tif; }
    bool keepDimensions() const override { return false; }

  private:
    FormatOptions defaults;
};

const InitialSettings initialSettings;
const ConversionSettingsSource* installedSource = nullptr;

}  // namespace

void SetConversionSettingsSource(const ConversionSettingsSource* source) {
    installedSource = source;
}

const ConversionSettingsSource& CurrentConversionSettings() {
    return installedSource ? *installedSource : initialSettings;
}

}  // namespace kavenra
