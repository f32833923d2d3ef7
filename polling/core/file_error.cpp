#include "polling/core/file_error.h"

#include <cerrno>
#include <cstdlib>

namespace tallivo {

WriteStatus ClassifyFileError(int errorNumber) {
    return errorNumber == EACCES || errorNumber == EPERM ? WriteStatus::Busy : WriteStatus::Failed;
}

WriteStatus ClassifyLastFileError() {
#ifdef _WIN32
    // The C runtime folds these into EACCES, but keep to the system's own word on it.
    constexpr unsigned long kAccessDenied = 5;
    constexpr unsigned long kSharingViolation = 32;
    constexpr unsigned long kLockViolation = 33;
    const unsigned long systemError = _doserrno;
    if (systemError == kAccessDenied || systemError == kSharingViolation || systemError == kLockViolation) {
        return WriteStatus::Busy;
    }
#endif
    return ClassifyFileError(errno);
}

}  // namespace tallivo
