#include "encoder/staged_output.h"

#include <filesystem>
#include <system_error>

namespace zenvira::encoder {
namespace fs = std::filesystem;

namespace {

fs::path pathOf(const std::string& utf8) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string utf8Of(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

// FFmpeg's own protocols and standard output are not files in a folder.
bool plainFilePath(const std::string& output) {
    if (output.empty() || output == "-") return false;
    if (output.starts_with("pipe:") || output.starts_with("file:")) return false;
    return output.find("://") == std::string::npos;
}

}  // namespace

std::string stagingPathFor(const std::string& output) {
    if (!plainFilePath(output)) return {};
    const fs::path path = pathOf(output);
    if (!path.has_filename()) return {};
    const std::string name = "." + utf8Of(path.stem()) + ".part" + utf8Of(path.extension());
    return utf8Of(path.parent_path() / pathOf(name));
}

StagedOutput::StagedOutput(std::string output) : output_(std::move(output)), staging_(stagingPathFor(output_)) {
    std::error_code ignored;
    if (!staging_.empty()) fs::remove(pathOf(staging_), ignored);
}

StagedOutput::~StagedOutput() {
    std::error_code ignored;
    if (!committed_ && !staging_.empty()) fs::remove(pathOf(staging_), ignored);
}

bool StagedOutput::commit(std::string& error) {
    committed_ = true;
    if (staging_.empty()) return true;
    std::error_code failure;
    if (!fs::exists(pathOf(staging_), failure)) return true;
    fs::rename(pathOf(staging_), pathOf(output_), failure);
    if (!failure) return true;
    error = "cannot put the finished file in place of " + output_ + ": " + failure.message();
    committed_ = false;  // the temporary file goes; the earlier output stays as it was
    return false;
}

bool outputExists(const std::string& output) {
    std::error_code ignored;
    return plainFilePath(output) && fs::exists(pathOf(output), ignored);
}

}  // namespace zenvira::encoder
