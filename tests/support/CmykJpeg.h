#pragma once

// CMYK JPEG files, which FreeImage cannot write: flat 8 x 8 blocks coded by hand (a block's one
// DC coefficient, quantised by 1, decodes to its exact samples), and a CMYK colour profile made
// with LittleCMS whose colours differ far from the plain CMYK formula.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "support/ImageFactory.h"

namespace kavenra::test {

using Cmyk = std::array<std::uint8_t, 4>;  // ink amounts, 0 none to 255 full

struct CmykJpegLayout {
    int blocksWide = 8;
    int blocksHigh = 8;
    // The ink of each 8 x 8 block, row by row from the top: blocksWide x blocksHigh entries.
    std::vector<Cmyk> blocks;
    // Stored the way Adobe's programs do, each ink inverted, with their APP14 marker; else as
    // ink amounts with no such marker.
    bool adobe = true;
    // 0xFF fill bytes before the APP14 marker, which a JPEG may have before any marker.
    int fillBytesBeforeAdobe = 0;
    Bytes iccProfile;  // embedded in an APP2 marker when not empty
};

Bytes MakeCmykJpeg(const CmykJpegLayout& layout);

// A CMYK output profile whose device-to-Lab table takes the inks' plain formula, (1 - C)(1 - K)
// and so on, as linear light: middle tones come out far lighter than the formula's sRGB values.
Bytes MakeCmykProfile();

// What LittleCMS makes of `inks` through `profile` in sRGB (8 bits, the profile's intent).
std::array<std::uint8_t, 3> CmykToSrgb(const Bytes& profile, const Cmyk& inks);

// The ICC profile's colour space signature ("RGB ", "CMYK"...) and its English description;
// empty when LittleCMS cannot read it.
std::string ProfileColourSpace(const Bytes& profile);
std::string ProfileDescription(const Bytes& profile);

}  // namespace kavenra::test
