#include "tests/converter_window/convwin_support.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zenvira::convwin::testing {

namespace fs = std::filesystem;

std::string makeZip(const std::vector<ZipEntry>& entries) {
    const fs::path path = fs::temp_directory_path() / ("zv-convwin-" + std::to_string(::getpid()) + ".zip");
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive) throw std::runtime_error("zip_open failed");
    for (const auto& entry : entries) {
        zip_source_t* source = zip_source_buffer(archive, entry.content.data(), entry.content.size(), 0);
        const zip_int64_t index = zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) throw std::runtime_error("zip_file_add failed");
        if (entry.stored) zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    if (zip_close(archive) != 0) throw std::runtime_error("zip_close failed");
    std::string bytes = readFile(path.string());
    fs::remove(path);
    return bytes;
}

std::string encoderBytes(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t state = 2463534242u;
    for (auto& byte : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<char>(state & 0xff);
    }
    return bytes;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::map<std::string, std::string> folderPicture(const std::string& folder) {
    std::map<std::string, std::string> picture;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        picture[fs::relative(entry.path(), folder).string()] = entry.is_regular_file() ? readFile(entry.path().string()) : "<folder>";
    return picture;
}

bool isExecutable(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IXUSR);
}

MessageRecorder::MessageRecorder(std::function<int(const Message&)> answer) {
    previous_ = components::setMsgBoxHandler(
        [this, answer = std::move(answer)](const std::string& text, int style, const std::string& title) {
            messages.push_back({text, style, title});
            return answer ? answer(messages.back()) : components::MsgBoxResult::Ok;
        });
}

MessageRecorder::~MessageRecorder() { components::setMsgBoxHandler(previous_); }

int answerYesToDownload(const Message& message) {
    constexpr int yes = 6;
    return message.title == "Dependancy Download" ? yes : components::MsgBoxResult::Ok;
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) {
        had_ = true;
        old_ = old;
    }
    if (value.empty()) ::unsetenv(name);
    else ::setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (had_) ::setenv(name_.c_str(), old_.c_str(), 1);
    else ::unsetenv(name_.c_str());
}

std::function<std::unique_ptr<QSettings>()> iniSettings(const std::string& path) {
    return [path] { return std::make_unique<QSettings>(QString::fromStdString(path), QSettings::IniFormat); };
}

}  // namespace zenvira::convwin::testing
