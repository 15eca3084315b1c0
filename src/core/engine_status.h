#pragma once

#include <string>

namespace tessaly {

// Error numbers of the record engine, as callers test them.
enum EngineError : int {
    kNoError = 0,
    kFileNotFound = 2,
    kAccessDenied = 5,
    kFileLocked = 32,
    kNoMoreRecords = 33,
    kRecordNotFound = 35,
    kFileNotOpen = 37,
    kDuplicateKey = 40,
    kKeyFileInvalid = 46,
    kInvalidRecordDeclaration = 47,
    kAlreadyOpen = 52,
    kOperatingSystemError = 90,
};

// The outcome of an engine operation: the engine's number and text, and for
// error 90 the operating system's own number and text.
struct EngineStatus {
    int code = kNoError;
    std::string text;
    int systemCode = 0;
    std::string systemText;

    bool ok() const { return code == kNoError; }
    static EngineStatus error(int code);
    static EngineStatus systemError(int errnoValue);
};

// The engine's text for one of its error numbers ("File Not Found").
std::string engineErrorText(int code);

} // namespace tessaly
