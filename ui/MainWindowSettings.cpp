#include "ui/MainWindowSettings.h"

#include <QAbstractButton>

namespace kavenra {

MainWindowConversionSettings::MainWindowConversionSettings(const QAbstractButton& keepRawDimensions)
    : keepRawDimensions_(keepRawDimensions) {}

void MainWindowConversionSettings::SetFormatCodeProvider(const ConversionSettingsSource* codes) {
    codes_ = codes;
}

int MainWindowConversionSettings::filterCode() const {
    return codes_ ? codes_->filterCode() : initialCodes_.filtro_redimension;
}

int MainWindowConversionSettings::jpegCode() const {
    return codes_ ? codes_->jpegCode() : initialCodes_.jpeg;
}

int MainWindowConversionSettings::pngCode() const {
    return codes_ ? codes_->pngCode() : initialCodes_.png;
}

int MainWindowConversionSettings::bmpCode() const {
    return codes_ ? codes_->bmpCode() : initialCodes_.bmp;
}

int MainWindowConversionSettings::tgaCode() const {
    return codes_ ? codes_->tgaCode() : initialCodes_.tga;
}

int MainWindowConversionSettings::tifCode() const {
    return codes_ ? codes_->tifCode() : initialCodes_.tif;
}

bool MainWindowConversionSettings::keepDimensions() const {
    return keepRawDimensions_.isChecked();
}

}  // namespace kavenra
