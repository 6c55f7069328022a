#pragma once

// The source a conversion reads its settings from while the main window exists: the RAW switch
// is the main window's check box itself, read at the moment the conversion asks; the six format
// codes come from a provider that the options dialog installs, and are the dialog's initial
// selection until it does.

#include "engine/ConversionSettings.h"

class QAbstractButton;

namespace kavenra {

class MainWindowConversionSettings final : public ConversionSettingsSource {
  public:
    explicit MainWindowConversionSettings(const QAbstractButton& keepRawDimensions);

    // Only the six codes of `codes` are read, each at the moment it is needed; its
    // keepDimensions() is ignored. nullptr restores the initial selection. The provider must
    // outlive its installation.
    void SetFormatCodeProvider(const ConversionSettingsSource* codes);

    int filterCode() const override;
    int jpegCode() const override;
    int pngCode() const override;
    int bmpCode() const override;
    int tgaCode() const override;
    int tifCode() const override;
    bool keepDimensions() const override;

  private:
    const QAbstractButton& keepRawDimensions_;
    const ConversionSettingsSource* codes_ = nullptr;
    FormatOptions initialCodes_;
};

}  // namespace kavenra
