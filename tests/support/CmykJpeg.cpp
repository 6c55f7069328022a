#include "support/CmykJpeg.h"

#include <lcms2.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace kavenra::test {
namespace {

void Append(Bytes& out, std::initializer_list<unsigned> bytes) {
    for (unsigned byte : bytes) out.push_back(static_cast<unsigned char>(byte));
}

void AppendMarker(Bytes& out, unsigned marker, const Bytes& body) {
    const std::size_t length = body.size() + 2;
    Append(out, {0xFF, marker, unsigned(length >> 8), unsigned(length & 0xFF)});
    out.insert(out.end(), body.begin(), body.end());
}

// Entropy-coded bits, most significant first, with a 0x00 stuffed after every 0xFF byte.
class BitWriter {
  public:
    explicit BitWriter(Bytes& out) : out_(out) {}
    void put(unsigned value, int bits) {
        for (int bit = bits - 1; bit >= 0; --bit) {
            current_ = static_cast<unsigned char>(current_ << 1 | ((value >> bit) & 1));
            if (++filled_ == 8) emit();
        }
    }
    void finish() {
        while (filled_ != 0) put(1, 1);
    }

  private:
    void emit() {
        out_.push_back(current_);
        if (current_ == 0xFF) out_.push_back(0);
        current_ = 0;
        filled_ = 0;
    }
    Bytes& out_;
    unsigned char current_ = 0;
    int filled_ = 0;
};

// The DC difference's category (its bit count) and its bits.
int Category(int value) {
    int magnitude = std::abs(value);
    int bits = 0;
    while (magnitude > 0) {
        ++bits;
        magnitude >>= 1;
    }
    return bits;
}

struct ProfileCloser {
    void operator()(void* profile) const noexcept { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

// CMYK (0..1 as LittleCMS hands them over in 0..65535) to Lab through the plain formula read as
// linear light in sRGB's primaries.
struct LabCargo {
    cmsHTRANSFORM linearToLab;
};

int SampleCmyk(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
    const double k = in[3] / 65535.0;
    double rgb[3];
    for (int i = 0; i < 3; ++i) rgb[i] = (1 - in[i] / 65535.0) * (1 - k);
    cmsCIELab lab{};
    cmsDoTransform(static_cast<LabCargo*>(cargo)->linearToLab, rgb, &lab, 1);
    cmsFloat2LabEncoded(out, &lab);
    return TRUE;
}

Bytes SaveProfile(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    if (!cmsSaveProfileToMem(profile, nullptr, &size)) return {};
    Bytes bytes(size);
    if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) return {};
    return bytes;
}

}  // namespace

Bytes MakeCmykJpeg(const CmykJpegLayout& layout) {
    const int width = layout.blocksWide * 8;
    const int height = layout.blocksHigh * 8;
    Bytes out;
    Append(out, {0xFF, 0xD8});
    if (layout.adobe) {
        // "Adobe", version 100, no flags, transform 0: the samples are the inks, inverted.
        out.insert(out.end(), std::size_t(layout.fillBytesBeforeAdobe), 0xFF);
        AppendMarker(out, 0xEE, {'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, 0});
    }
    if (!layout.iccProfile.empty()) {
        Bytes body{'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, 1, 1};
        body.insert(body.end(), layout.iccProfile.begin(), layout.iccProfile.end());
        AppendMarker(out, 0xE2, body);
    }
    Bytes quantisation{0};
    quantisation.insert(quantisation.end(), 64, 1);
    AppendMarker(out, 0xDB, quantisation);
    Bytes frame;
    Append(frame, {8, unsigned(height) >> 8, unsigned(height) & 0xFF, unsigned(width) >> 8,
                   unsigned(width) & 0xFF, 4});
    for (unsigned id = 1; id <= 4; ++id) Append(frame, {id, 0x11, 0});
    AppendMarker(out, 0xC0, frame);
    // DC: categories 0 to 11, each a 4-bit code equal to the category. AC: end of block alone,
    // the 1-bit code 0.
    Bytes dcTable{0x00, 0, 0, 0, 12};
    dcTable.insert(dcTable.end(), 12, 0);
    for (unsigned char category = 0; category < 12; ++category) dcTable.push_back(category);
    AppendMarker(out, 0xC4, dcTable);
    Bytes acTable{0x10, 1};
    acTable.insert(acTable.end(), 15, 0);
    acTable.push_back(0x00);
    AppendMarker(out, 0xC4, acTable);
    Bytes scan{4};
    for (unsigned id = 1; id <= 4; ++id) Append(scan, {id, 0x00});
    Append(scan, {0, 63, 0});
    AppendMarker(out, 0xDA, scan);

    BitWriter bits(out);
    std::array<int, 4> previous{};
    for (const Cmyk& inks : layout.blocks) {
        for (int c = 0; c < 4; ++c) {
            const int sample = layout.adobe ? 255 - inks[c] : inks[c];
            // A flat block's DC coefficient: 8 times its level-shifted sample.
            const int dc = 8 * (sample - 128);
            const int difference = dc - previous[c];
            previous[c] = dc;
            const int category = Category(difference);
            bits.put(unsigned(category), 4);
            if (category > 0) {
                const int value = difference < 0 ? difference + (1 << category) - 1 : difference;
                bits.put(unsigned(value), category);
            }
            bits.put(0, 1);  // end of block
        }
    }
    bits.finish();
    Append(out, {0xFF, 0xD9});
    return out;
}

Bytes MakeCmykProfile() {
    // Linear light in sRGB's primaries, to Lab.
    cmsCIExyY white{};
    cmsWhitePointFromTemp(&white, 6504);
    const cmsCIExyYTRIPLE primaries = {
        {0.6400, 0.3300, 1.0}, {0.3000, 0.6000, 1.0}, {0.1500, 0.0600, 1.0}};
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    cmsToneCurve* curves[3] = {linear, linear, linear};
    const Profile linearRgb(cmsCreateRGBProfile(&white, &primaries, curves));
    cmsFreeToneCurve(linear);
    const Profile lab(cmsCreateLab4Profile(nullptr));
    LabCargo cargo{cmsCreateTransform(linearRgb.get(), TYPE_RGB_DBL, lab.get(), TYPE_Lab_DBL,
                                      INTENT_RELATIVE_COLORIMETRIC, 0)};
    if (cargo.linearToLab == nullptr) return {};

    const Profile cmyk(cmsCreateProfilePlaceholder(nullptr));
    cmsSetProfileVersion(cmyk.get(), 4.3);
    cmsSetDeviceClass(cmyk.get(), cmsSigOutputClass);
    cmsSetColorSpace(cmyk.get(), cmsSigCmykData);
    cmsSetPCS(cmyk.get(), cmsSigLabData);
    cmsSetHeaderRenderingIntent(cmyk.get(), INTENT_PERCEPTUAL);
    cmsPipeline* toLab = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage* table = cmsStageAllocCLut16bit(nullptr, 9, 4, 3, nullptr);
    const bool sampled = cmsStageSampleCLut16bit(table, SampleCmyk, &cargo, 0);
    // A version 4 table from device to PCS wants curves on both sides of its grid.
    cmsPipelineInsertStage(toLab, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, nullptr));
    cmsPipelineInsertStage(toLab, cmsAT_END, table);
    cmsPipelineInsertStage(toLab, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsDeleteTransform(cargo.linearToLab);
    cmsMLU* description = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(description, "en", "US", "Test CMYK, inks as linear light");
    const bool tagged = sampled && cmsWriteTag(cmyk.get(), cmsSigAToB0Tag, toLab) &&
                        cmsWriteTag(cmyk.get(), cmsSigProfileDescriptionTag, description) &&
                        cmsWriteTag(cmyk.get(), cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsMLUfree(description);
    cmsPipelineFree(toLab);
    return tagged ? SaveProfile(cmyk.get()) : Bytes{};
}

std::array<std::uint8_t, 3> CmykToSrgb(const Bytes& profile, const Cmyk& inks) {
    std::array<std::uint8_t, 3> rgb{};
    const Profile cmyk(cmsOpenProfileFromMem(profile.data(), cmsUInt32Number(profile.size())));
    const Profile srgb(cmsCreate_sRGBProfile());
    if (!cmyk || !srgb) return rgb;
    const cmsHTRANSFORM transform =
        cmsCreateTransform(cmyk.get(), TYPE_CMYK_8, srgb.get(), TYPE_RGB_8,
                           cmsGetHeaderRenderingIntent(cmyk.get()), 0);
    if (transform == nullptr) return rgb;
    cmsDoTransform(transform, inks.data(), rgb.data(), 1);
    cmsDeleteTransform(transform);
    return rgb;
}

std::string ProfileColourSpace(const Bytes& profile) {
    if (profile.size() < 20) return {};
    return std::string(profile.begin() + 16, profile.begin() + 20);
}

std::string ProfileDescription(const Bytes& profile) {
    const Profile opened(cmsOpenProfileFromMem(profile.data(), cmsUInt32Number(profile.size())));
    if (!opened) return {};
    const auto* description =
        static_cast<const cmsMLU*>(cmsReadTag(opened.get(), cmsSigProfileDescriptionTag));
    char text[256] = {};
    if (description == nullptr || cmsMLUgetASCII(description, "en", "US", text, sizeof text) == 0) {
        return {};
    }
    return text;
}

}  // namespace kavenra::test
