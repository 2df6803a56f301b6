#include "player/association/text_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace zenvira::player {

namespace fs = std::filesystem;

namespace {

fs::path pathFromUtf8(const std::string& path) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(path.data()), path.size()));
}

// The file a symbolic link leads to, or the path itself.
fs::path resolvedTarget(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_symlink(path, ec)) return path;
    const fs::path target = fs::read_symlink(path, ec);
    if (ec) return path;
    return target.is_absolute() ? target : path.parent_path() / target;
}

}  // namespace

TextFileRead readTextFile(const std::string& path, std::string& text, std::string& error) {
    const fs::path file = pathFromUtf8(path);
    std::error_code ec;
    if (!fs::exists(file, ec)) {
        if (!ec) return TextFileRead::Missing;
        error = path + ": " + ec.message();
        return TextFileRead::Failed;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return TextFileRead::Failed;
    }
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = path + ": cannot be read";
        return TextFileRead::Failed;
    }
    return TextFileRead::Read;
}

bool writeTextFile(const std::string& path, const std::string& text, bool& changed, std::string& error) {
    changed = false;
    std::string current;
    std::string readError;
    if (readTextFile(path, current, readError) == TextFileRead::Read && current == text) return true;

    const fs::path target = resolvedTarget(pathFromUtf8(path));
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    if (ec) {
        error = target.parent_path().string() + ": " + ec.message();
        return false;
    }
    fs::path neighbour = target;
    neighbour += ".new";
    {
        std::ofstream out(neighbour, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            error = neighbour.string() + ": cannot be written";
            fs::remove(neighbour, ec);
            return false;
        }
    }
    fs::rename(neighbour, target, ec);
    if (ec) {
        error = target.string() + ": " + ec.message();
        fs::remove(neighbour, ec);
        return false;
    }
    changed = true;
    return true;
}

}  // namespace zenvira::player
