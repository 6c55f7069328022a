#include <cerrno>

#include "engine/base/ConversionJob.h"

namespace kavenra {

FailureReason FailureReasonForErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
            return FailureReason::NotWritable;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return FailureReason::DiskFull;
        case ENOENT:
            return FailureReason::SourceGone;
        default:
            return FailureReason::None;
    }
}

}  // namespace kavenra
