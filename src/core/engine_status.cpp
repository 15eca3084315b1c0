#include "core/engine_status.h"

#include <cstring>

namespace tessaly {

std::string engineErrorText(int code)
{
    switch (code) {
    case kNoError:
        return {};
    case kFileNotFound:
        return "File Not Found";
    case kAccessDenied:
        return "Access Denied";
    case kFileLocked:
        return "File Is Locked";
    case kNoMoreRecords:
        return "Record Not Available";
    case kRecordNotFound:
        return "Record Not Found";
    case kFileNotOpen:
        return "File Not Open";
    case kDuplicateKey:
        return "Creates Duplicate Key";
    case kKeyFileInvalid:
        return "Invalid Key File";
    case kInvalidRecordDeclaration:
        return "Invalid Record Declaration";
    case kAlreadyOpen:
        return "File Already Open";
    case kOperatingSystemError:
        return "File System Error";
    default:
        return "Error " + std::to_string(code);
    }
}

EngineStatus EngineStatus::error(int code)
{
    return {code, engineErrorText(code), 0, {}};
}

EngineStatus EngineStatus::systemError(int errnoValue)
{
    return {kOperatingSystemError, engineErrorText(kOperatingSystemError), errnoValue,
            std::strerror(errnoValue)};
}

} // namespace tessaly
