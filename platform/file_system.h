#pragma once
// What a folder's file system allows, marks kept with a file, and a small file written so
// that a crash leaves either its old or its new content.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace zenvira::platform {

// The longest file name, in bytes of UTF-8, that `folder` takes (255 on most file systems).
std::size_t fileNameLimit(const std::string& folder);

// Bytes a program of this user may still write on the file system that holds `folder`;
// nothing when the system cannot tell.
std::optional<std::int64_t> freeDiskBytes(const std::string& folder);

// A named mark kept with a file where the file system allows it: an extended attribute
// ("user.xdg.origin.url", as browsers and wget write it) on POSIX, an alternate data stream
// on Windows. False when the file system keeps no such marks.
bool setFileMark(const std::string& path, const std::string& name, const std::string& value);
std::optional<std::string> fileMark(const std::string& path, const std::string& name);

// Writes `text` to `path + ".new"`, puts it on the disk, then renames it onto `path`.
bool replaceFileDurably(const std::string& path, const std::string& text, std::string& error);

}  // namespace zenvira::platform
