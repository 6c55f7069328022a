#include "engine/convert/ResampleFilter.h"

#include "engine/base/OptionsFromCodes.h"

namespace kavenra {

FREE_IMAGE_FILTER FreeImageFilterOf(ResizeFilter filter) {
    switch (filter) {
        case ResizeFilter::Box:
            return FILTER_BOX;
        case ResizeFilter::Bilinear:
            return FILTER_BILINEAR;
        case ResizeFilter::BSpline:
            return FILTER_BSPLINE;
        case ResizeFilter::Bicubic:
            return FILTER_BICUBIC;
        case ResizeFilter::CatmullRom:
            return FILTER_CATMULLROM;
        case ResizeFilter::Lanczos3:
            break;
    }
    return FILTER_LANCZOS3;
}

FREE_IMAGE_FILTER FilterForCode(int filterCode) {
    return FreeImageFilterOf(FilterOfCode(filterCode));
}

}  // namespace kavenra
