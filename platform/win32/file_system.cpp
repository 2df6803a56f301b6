#include "platform/file_system.h"

#include "platform/random_access_file.h"
#include "platform/win32/utf16.h"

namespace zenvira::platform {

std::size_t fileNameLimit(const std::string&) {
    // 255 UTF-16 units; counting UTF-8 bytes instead never lets a name grow past it.
    return 255;
}

std::optional<std::int64_t> freeDiskBytes(const std::string& folder) {
    ULARGE_INTEGER available{};  // what this user may write, quotas counted
    if (!GetDiskFreeSpaceExW(win32::wide(folder).c_str(), &available, nullptr, nullptr)) return std::nullopt;
    return static_cast<std::int64_t>(available.QuadPart);
}

bool setFileMark(const std::string& path, const std::string& name, const std::string& value) {
    const HANDLE stream = CreateFileW(win32::wide(path + ":" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (stream == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(stream, value.data(), static_cast<DWORD>(value.size()), &written, nullptr) &&
                    written == value.size();
    CloseHandle(stream);
    return ok;
}

std::optional<std::string> fileMark(const std::string& path, const std::string& name) {
    const HANDLE stream = CreateFileW(win32::wide(path + ":" + name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (stream == INVALID_HANDLE_VALUE) return std::nullopt;
    char buffer[4096];
    DWORD got = 0;
    const bool ok = ReadFile(stream, buffer, sizeof buffer, &got, nullptr);
    CloseHandle(stream);
    if (!ok) return std::nullopt;
    return std::string(buffer, got);
}

bool replaceFileDurably(const std::string& path, const std::string& text, std::string& error) {
    const std::wstring temporary = win32::wide(path + ".new");
    const HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = win32::systemReason(GetLastError());
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
              written == text.size() && FlushFileBuffers(file);
    DWORD code = GetLastError();
    CloseHandle(file);
    if (ok && MoveFileExW(temporary.c_str(), win32::wide(path).c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    if (ok) code = GetLastError();
    error = win32::systemReason(code);
    DeleteFileW(temporary.c_str());
    return false;
}

}  // namespace zenvira::platform
