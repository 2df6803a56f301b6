#pragma once
// What the converter window's tests share: zip archives made with libzip, a picture of a
// folder to compare before and after, message boxes answered and recorded, the proxy setting
// that sends the program's real addresses to the fixture site.
#include <QSettings>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "components/msg_box/msg_box.h"

namespace zenvira::convwin::testing {

struct ZipEntry {
    std::string name;
    std::string content;
    bool stored = false;  // kept uncompressed, so its bytes can be found and damaged
};

// The bytes of a zip archive holding the entries.
std::string makeZip(const std::vector<ZipEntry>& entries);

// Deterministic bytes that look like a program and compress poorly.
std::string encoderBytes(std::size_t size);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// Every file below `folder` (relative name -> content).
std::map<std::string, std::string> folderPicture(const std::string& folder);

bool isExecutable(const std::string& path);

struct Message {
    std::string text;
    int style = 0;
    std::string title;
};

// Records every message box and answers it: with `answer` when given, else OK.
class MessageRecorder {
public:
    explicit MessageRecorder(std::function<int(const Message&)> answer = {});
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    std::vector<Message> messages;

private:
    components::MsgBoxHandler previous_;
};

// Answers Yes to the "Dependancy Download" box and OK to every other.
int answerYesToDownload(const Message& message);

// Sets an environment variable for the scope of the object, and puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);  // an empty value unsets
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    bool had_ = false;
    std::string old_;
};

// A settings store in an INI file of its own.
std::function<std::unique_ptr<QSettings>()> iniSettings(const std::string& path);

}  // namespace zenvira::convwin::testing
