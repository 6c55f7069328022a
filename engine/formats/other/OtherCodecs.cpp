#include "engine/formats/Codecs.h"

namespace kavenra {
namespace {

Codec Other(ImageFormat format, const char* name, FREE_IMAGE_FORMAT freeImage) {
    Codec codec;
    codec.format = format;
    codec.name = name;
    codec.freeImage = freeImage;
    return codec;
}

}  // namespace

// The formats FreeImage reads that the program does not offer: its plug-ins load and (where they
// can) write them with their defaults; a run fails them as not supported before that.
std::vector<Codec> OtherCodecs() {
    return {
        Other(ImageFormat::Ico, "ICO", FIF_ICO),       Other(ImageFormat::Jng, "JNG", FIF_JNG),
        Other(ImageFormat::Koala, "KOALA", FIF_KOALA), Other(ImageFormat::Iff, "IFF", FIF_LBM),
        Other(ImageFormat::Mng, "MNG", FIF_MNG),       Other(ImageFormat::Pbm, "PBM", FIF_PBM),
        Other(ImageFormat::PbmRaw, "PBM", FIF_PBMRAW), Other(ImageFormat::Pcd, "PCD", FIF_PCD),
        Other(ImageFormat::Pcx, "PCX", FIF_PCX),       Other(ImageFormat::Pgm, "PGM", FIF_PGM),
        Other(ImageFormat::PgmRaw, "PGM", FIF_PGMRAW), Other(ImageFormat::Ppm, "PPM", FIF_PPM),
        Other(ImageFormat::PpmRaw, "PPM", FIF_PPMRAW), Other(ImageFormat::Ras, "RAS", FIF_RAS),
        Other(ImageFormat::Wbmp, "WBMP", FIF_WBMP),    Other(ImageFormat::Psd, "PSD", FIF_PSD),
        Other(ImageFormat::Cut, "CUT", FIF_CUT),       Other(ImageFormat::Xbm, "XBM", FIF_XBM),
        Other(ImageFormat::Xpm, "XPM", FIF_XPM),       Other(ImageFormat::Dds, "DDS", FIF_DDS),
        Other(ImageFormat::Gif, "GIF", FIF_GIF),       Other(ImageFormat::Hdr, "HDR", FIF_HDR),
        Other(ImageFormat::FaxG3, "G3", FIF_FAXG3),    Other(ImageFormat::Sgi, "SGI", FIF_SGI),
        Other(ImageFormat::Exr, "EXR", FIF_EXR),       Other(ImageFormat::J2k, "J2K", FIF_J2K),
        Other(ImageFormat::Jp2, "JP2", FIF_JP2),       Other(ImageFormat::Pfm, "PFM", FIF_PFM),
        Other(ImageFormat::Pict, "PICT", FIF_PICT),    Other(ImageFormat::Jxr, "JXR", FIF_JXR),
    };
}

}  // namespace kavenra
