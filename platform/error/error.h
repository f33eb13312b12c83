// Per-thread last error with Win32 codes, the system's text for a code, and
// the one base class of framework errors.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/error/win_types.h"

enum : DWORD {
    ERROR_SUCCESS = 0,
    ERROR_INVALID_FUNCTION = 1,
    ERROR_FILE_NOT_FOUND = 2,
    ERROR_PATH_NOT_FOUND = 3,
    ERROR_TOO_MANY_OPEN_FILES = 4,
    ERROR_ACCESS_DENIED = 5,
    ERROR_INVALID_HANDLE = 6,
    ERROR_NOT_ENOUGH_MEMORY = 8,
    ERROR_INVALID_DRIVE = 15,
    ERROR_NO_MORE_FILES = 18,
    ERROR_WRITE_PROTECT = 19,
    ERROR_NOT_READY = 21,
    ERROR_SHARING_VIOLATION = 32,
    ERROR_LOCK_VIOLATION = 33,
    ERROR_HANDLE_EOF = 38,
    ERROR_HANDLE_DISK_FULL = 39,
    ERROR_NOT_SUPPORTED = 50,
    ERROR_FILE_EXISTS = 80,
    ERROR_INVALID_PARAMETER = 87,
    ERROR_BROKEN_PIPE = 109,
    ERROR_DISK_FULL = 112,
    ERROR_INSUFFICIENT_BUFFER = 122,
    ERROR_INVALID_NAME = 123,
    ERROR_DIR_NOT_EMPTY = 145,
    ERROR_BAD_PATHNAME = 161,
    ERROR_BUSY = 170,
    ERROR_ALREADY_EXISTS = 183,
    ERROR_FILENAME_EXCED_RANGE = 206,
    ERROR_MORE_DATA = 234,
    WAIT_TIMEOUT = 258,
    ERROR_DIRECTORY = 267,
    ERROR_BADDB = 1009,
    ERROR_BADKEY = 1010,
    ERROR_CANTOPEN = 1011,
    ERROR_CANTREAD = 1012,
    ERROR_CANTWRITE = 1013,
    ERROR_REGISTRY_CORRUPT = 1015,
    ERROR_KEY_DELETED = 1018,
    ERROR_BAD_EXE_FORMAT = 193,
    ERROR_TIMEOUT = 1460,
    ERROR_INTERNET_TIMEOUT = 12002,
    ERROR_INTERNET_NAME_NOT_RESOLVED = 12007,
    ERROR_INTERNET_CANNOT_CONNECT = 12029,
    ERROR_INTERNET_CONNECTION_ABORTED = 12030,
    ERROR_INTERNET_INTERNAL_ERROR = 12004,
    ERROR_INTERNET_INVALID_URL = 12005,
    ERROR_INTERNET_OPERATION_CANCELLED = 12017,
    ERROR_INTERNET_INCORRECT_HANDLE_TYPE = 12018,
    ERROR_INTERNET_INCORRECT_HANDLE_STATE = 12019,
    ERROR_HTTP_HEADER_NOT_FOUND = 12150,
    ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152,
};

DWORD GetLastError();
void SetLastError(DWORD code);

// The Win32 code for an errno value (unknown values map to ERROR_INVALID_FUNCTION
// only when nothing closer exists).
DWORD ErrorFromErrno(int err);
// SetLastError(ErrorFromErrno(err)).
void SetLastErrorFromErrno(int err);

// The system's text for a code, as GBK, in the user's language (Chinese when
// LC_ALL / LC_MESSAGES / LANG names a zh locale, English otherwise). Ends with
// CR LF, as the system formatter's texts do. Unknown codes get a generic text
// that names the number.
std::string FormatSystemMessage(DWORD code);

// Base class of every framework error: the unexpected failures that message
// handlers and thread start routines catch and show with the system's text.
// Constructing one records its code as the thread's last error, so the
// handler that shows the last error shows this one.
class CFrameworkError : public std::runtime_error {
public:
    explicit CFrameworkError(const std::string& what, DWORD code = ERROR_INVALID_FUNCTION);
    DWORD Code() const { return m_dwCode; }

private:
    DWORD m_dwCode;
};

// Out of memory, file errors and the like: thin subclasses so that handlers
// can tell them apart if they need to.
class CFileError : public CFrameworkError {
public:
    using CFrameworkError::CFrameworkError;
};
class CMemoryError : public CFrameworkError {
public:
    using CFrameworkError::CFrameworkError;
};
