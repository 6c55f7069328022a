#pragma once

// What a conversion reads from the windows while it runs. The window layer supplies the live
// source (the options dialog's selection and the main window's RAW switch); until it does, the
// options dialog's initial selection holds and the switch is off.

namespace kavenra {

// The options dialog's six codes, named like the columns of `configuracion`.
struct FormatOptions {
    int filtro_redimension = 5;  // 1..6
    int jpeg = 5;                // 1..5
    int png = 3;                 // 1..4
    int bmp = 2;                 // 1..2
    int tga = 2;                 // 1..2
    int tif = 4;                 // 1..4
};

class ConversionSettingsSource {
  public:
    virtual ~ConversionSettingsSource() = default;
    // Each is read at the moment the conversion needs it, never copied ahead of time.
    virtual int filterCode() const = 0;
    virtual int jpegCode() const = 0;
    virtual int pngCode() const = 0;
    virtual int bmpCode() const = 0;
    virtual int tgaCode() const = 0;
    virtual int tifCode() const = 0;
    // The main window's "keep RAW dimensions" check box.
    virtual bool keepDimensions() const = 0;
};

// nullptr restores the built-in defaults. The source must outlive its installation.
void SetConversionSettingsSource(const ConversionSettingsSource* source);
const ConversionSettingsSource& CurrentConversionSettings();

}  // namespace kavenra
