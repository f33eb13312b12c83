#include "platform/error/error.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;

struct MessageText {
    DWORD code;
    const char* zh;  // GBK (the sources are compiled to GBK literals)
    const char* en;
};

// The texts the system formatter gives for the codes this platform produces.
const MessageText kMessages[] = {
    {ERROR_SUCCESS, "操作成功完成。", "The operation completed successfully."},
    {ERROR_INVALID_FUNCTION, "函数不正确。", "Incorrect function."},
    {ERROR_FILE_NOT_FOUND, "系统找不到指定的文件。", "The system cannot find the file specified."},
    {ERROR_PATH_NOT_FOUND, "系统找不到指定的路径。", "The system cannot find the path specified."},
    {ERROR_TOO_MANY_OPEN_FILES, "系统无法打开文件。", "The system cannot open the file."},
    {ERROR_ACCESS_DENIED, "拒绝访问。", "Access is denied."},
    {ERROR_INVALID_HANDLE, "句柄无效。", "The handle is invalid."},
    {ERROR_NOT_ENOUGH_MEMORY, "存储空间不足，无法处理此命令。",
     "Not enough memory resources are available to process this command."},
    {ERROR_INVALID_DRIVE, "系统找不到指定的驱动器。",
     "The system cannot find the drive specified."},
    {ERROR_NO_MORE_FILES, "没有更多文件。", "There are no more files."},
    {ERROR_WRITE_PROTECT, "介质受写入保护。", "The media is write protected."},
    {ERROR_NOT_READY, "设备未就绪。", "The device is not ready."},
    {ERROR_SHARING_VIOLATION, "另一个程序正在使用此文件，进程无法访问。",
     "The process cannot access the file because it is being used by another process."},
    {ERROR_LOCK_VIOLATION, "另一个程序已锁定文件的一部分，进程无法访问。",
     "The process cannot access the file because another process has locked a portion of the "
     "file."},
    {ERROR_HANDLE_EOF, "已到文件结尾。", "Reached the end of the file."},
    {ERROR_HANDLE_DISK_FULL, "磁盘已满。", "The disk is full."},
    {ERROR_NOT_SUPPORTED, "不支持该请求。", "The request is not supported."},
    {ERROR_FILE_EXISTS, "文件存在。", "The file exists."},
    {ERROR_INVALID_PARAMETER, "参数错误。", "The parameter is incorrect."},
    {ERROR_BROKEN_PIPE, "管道已结束。", "The pipe has been ended."},
    {ERROR_DISK_FULL, "磁盘空间不足。", "There is not enough space on the disk."},
    {ERROR_INSUFFICIENT_BUFFER, "传递给系统调用的数据区域太小。",
     "The data area passed to a system call is too small."},
    {ERROR_INVALID_NAME, "文件名、目录名或卷标语法不正确。",
     "The filename, directory name, or volume label syntax is incorrect."},
    {ERROR_DIR_NOT_EMPTY, "目录不是空的。", "The directory is not empty."},
    {ERROR_BAD_PATHNAME, "指定的路径无效。", "The specified path is invalid."},
    {ERROR_BUSY, "所要求的资源在使用中。", "The requested resource is in use."},
    {ERROR_ALREADY_EXISTS, "当文件已存在时，无法创建该文件。",
     "Cannot create a file when that file already exists."},
    {ERROR_BAD_EXE_FORMAT, "不是有效的应用程序。", "The file is not a valid application."},
    {ERROR_FILENAME_EXCED_RANGE, "文件名或扩展名太长。", "The filename or extension is too long."},
    {ERROR_MORE_DATA, "有更多数据可用。", "More data is available."},
    {WAIT_TIMEOUT, "等待的操作过时。", "The wait operation timed out."},
    {ERROR_DIRECTORY, "目录名称无效。", "The directory name is invalid."},
    {ERROR_BADDB, "配置注册表数据库损坏。", "The configuration registry database is corrupt."},
    {ERROR_BADKEY, "配置注册表项无效。", "The configuration registry key is invalid."},
    {ERROR_CANTOPEN, "无法打开配置注册表项。",
     "The configuration registry key could not be opened."},
    {ERROR_CANTREAD, "无法读取配置注册表项。", "The configuration registry key could not be read."},
    {ERROR_CANTWRITE, "无法写入配置注册表项。",
     "The configuration registry key could not be written."},
    {ERROR_REGISTRY_CORRUPT, "注册表已损坏。", "The registry is corrupted."},
    {ERROR_KEY_DELETED, "试图在标记为删除的注册表项上进行不合法的操作。",
     "Illegal operation attempted on a registry key that has been marked for deletion."},
    {ERROR_TIMEOUT, "此操作返回，因为超时时间已过。",
     "This operation returned because the timeout period expired."},
    {ERROR_INTERNET_TIMEOUT, "操作超时。", "The operation timed out."},
    {ERROR_INTERNET_NAME_NOT_RESOLVED, "无法解析服务器名称或地址。",
     "The server name or address could not be resolved."},
    {ERROR_INTERNET_CANNOT_CONNECT, "无法与服务器建立连接。",
     "A connection with the server could not be established."},
    {ERROR_INTERNET_CONNECTION_ABORTED, "与服务器的连接已终止。",
     "The connection with the server was terminated abnormally."},
    {ERROR_INTERNET_INTERNAL_ERROR, "出现了内部错误。", "An internal error occurred."},
    {ERROR_INTERNET_INVALID_URL, "URL 无效。", "The URL is invalid."},
    {ERROR_INTERNET_OPERATION_CANCELLED, "操作已取消。", "The operation was canceled."},
    {ERROR_INTERNET_INCORRECT_HANDLE_TYPE, "提供的句柄类型对此操作不正确。",
     "The type of handle supplied is incorrect for this operation."},
    {ERROR_INTERNET_INCORRECT_HANDLE_STATE, "提供的句柄状态不正确，无法执行所请求的操作。",
     "The requested operation cannot be carried out because the handle supplied is not in the "
     "correct state."},
    {ERROR_HTTP_HEADER_NOT_FOUND, "找不到请求的标头。", "The requested header was not found."},
    {ERROR_HTTP_INVALID_SERVER_RESPONSE, "无法分析服务器的响应。",
     "The server response could not be parsed."},
};

bool UserWantsChinese() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(name);
        if (v && *v)
            return std::strncmp(v, "zh", 2) == 0;
    }
    return false;
}

}  // namespace

DWORD GetLastError() {
    return t_lastError;
}
void SetLastError(DWORD code) {
    t_lastError = code;
}

DWORD ErrorFromErrno(int err) {
    switch (err) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR:
            return ERROR_ACCESS_DENIED;
        case EROFS:
            return ERROR_WRITE_PROTECT;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case ENOSPC:
        case EDQUOT:
            return ERROR_DISK_FULL;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case EBUSY:
        case ETXTBSY:
            return ERROR_BUSY;
        case EAGAIN:
            return ERROR_SHARING_VIOLATION;
        case ELOOP:
            return ERROR_BAD_PATHNAME;
        case EPIPE:
            return ERROR_BROKEN_PIPE;
        case ETIMEDOUT:
            return ERROR_TIMEOUT;
        case ENOEXEC:
            return ERROR_BAD_EXE_FORMAT;
        case ENOTSUP:
            return ERROR_NOT_SUPPORTED;
        case EIO:
        case ENXIO:
        case ENODEV:
        case ENOMEDIUM:
            return ERROR_NOT_READY;
        default:
            return ERROR_INVALID_FUNCTION;
    }
}

void SetLastErrorFromErrno(int err) {
    SetLastError(ErrorFromErrno(err));
}

std::string FormatSystemMessage(DWORD code) {
    bool zh = UserWantsChinese();
    for (const MessageText& m : kMessages)
        if (m.code == code)
            return std::string(zh ? m.zh : m.en) + "\r\n";
    std::string n = std::to_string(code);
    return zh ? "未知错误 (" + n + ")。\r\n" : "Unknown error (" + n + ").\r\n";
}

CFrameworkError::CFrameworkError(const std::string& what, DWORD code)
    : std::runtime_error(what), m_dwCode(code) {
    SetLastError(code);
}
