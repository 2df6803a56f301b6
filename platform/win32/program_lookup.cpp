#include "platform/program_lookup.h"

#include "platform/win32/utf16.h"

namespace zenvira::platform {

namespace {

std::wstring environmentValue(const wchar_t* name) {
    std::wstring value(256, L'\0');
    for (;;) {
        const DWORD length = ::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        if (length == 0) return {};
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        value.resize(length);
    }
}

bool isFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A name on PATH, ".exe" added when it has no extension.
std::string searchPath(const std::wstring& name) {
    const std::wstring path = environmentValue(L"PATH");
    std::size_t start = 0;
    while (start <= path.size()) {
        auto end = path.find(L';', start);
        if (end == std::wstring::npos) end = path.size();
        std::wstring folder = path.substr(start, end - start);
        if (folder.size() > 1 && folder.front() == L'"' && folder.back() == L'"') folder = folder.substr(1, folder.size() - 2);
        if (!folder.empty()) {
            if (folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
            for (const wchar_t* suffix : {L"", L".exe"}) {
                const std::wstring candidate = folder + name + suffix;
                if (isFile(candidate)) return win32::narrow(candidate);
            }
        }
        start = end + 1;
    }
    return {};
}

bool hasFolder(const std::wstring& name) { return name.find_first_of(L"\\/:") != std::wstring::npos; }

// A name with a folder is a path; a bare name is looked up on PATH.
std::string resolve(const std::wstring& nameOrPath) {
    if (!hasFolder(nameOrPath)) return searchPath(nameOrPath);
    if (isFile(nameOrPath)) return win32::narrow(nameOrPath);
    if (isFile(nameOrPath + L".exe")) return win32::narrow(nameOrPath + L".exe");
    return {};
}

}  // namespace

std::string findFfmpeg(std::string& error) {
    const std::wstring chosen = environmentValue(L"ZENVIRA_FFMPEG");
    if (!chosen.empty()) {
        std::string found = resolve(chosen);
        if (found.empty()) error = "ZENVIRA_FFMPEG names no program that can be run: " + win32::narrow(chosen);
        return found;
    }
    std::string found = searchPath(L"ffmpeg");
    if (found.empty()) error = "ffmpeg is not installed (not found on PATH; or set ZENVIRA_FFMPEG)";
    return found;
}

std::string findFfprobe(const std::string& ffmpeg, std::string& error) {
    const std::wstring path = win32::wide(ffmpeg);
    const auto separator = path.find_last_of(L"\\/");
    if (separator != std::wstring::npos) {
        const std::wstring beside = path.substr(0, separator + 1) + L"ffprobe.exe";
        if (isFile(beside)) return win32::narrow(beside);
    }
    std::string found = searchPath(L"ffprobe");
    if (found.empty()) error = "ffprobe is not installed (needed to read the source's streams)";
    return found;
}

std::string findProgram(const std::string& nameOrPath) {
    return nameOrPath.empty() ? std::string() : resolve(win32::wide(nameOrPath));
}

}  // namespace zenvira::platform
