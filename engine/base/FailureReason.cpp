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
        // A path through something that is no folder: the destination names a file.
        case ENOTDIR:
            return FailureReason::DestinationNotFolder;
        // The output's name is held by something a save does not replace (ReplacingSave).
        case EEXIST:
        case EISDIR:
            return FailureReason::OutputNameTaken;
        case ENAMETOOLONG:
            return FailureReason::PathTooLong;
        default:
            return FailureReason::None;
    }
}

}  // namespace kavenra
