// The browser extension's native host: its answers to each kind of message in process, then
// the real zenvira-cli native-host fed framed messages on standard input, as a browser does.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli/native_host.h"
#include "queue/queue_store.h"

namespace {

using namespace zenvira::cli;

std::string framed(const std::string& message) {
    const auto length = static_cast<std::uint32_t>(message.size());
    std::string bytes(4, '\0');
    std::memcpy(bytes.data(), &length, 4);
    return bytes + message;
}

// The answers in a host's output, unframed.
std::vector<QJsonObject> answersIn(const std::string& output) {
    std::vector<QJsonObject> answers;
    for (std::size_t at = 0; at + 4 <= output.size();) {
        std::uint32_t length = 0;
        std::memcpy(&length, output.data() + at, 4);
        answers.push_back(QJsonDocument::fromJson(QByteArray::fromStdString(output.substr(at + 4, length))).object());
        at += 4 + length;
    }
    return answers;
}

struct Recorder {
    std::vector<BrowserAddition> added;
    AddFromBrowser add() {
        return [this](const BrowserAddition& addition) {
            added.push_back(addition);
            return AdditionResult{static_cast<std::int64_t>(added.size()), {}};
        };
    }
};

TEST(NativeHost, AnswersEveryMessageAndAddsOnlyWebAddresses) {
    struct Case {
        std::string message;
        std::string error;  // empty: added
    };
    for (const Case& c : std::vector<Case>{
             {R"m({"action":"add","url":"https://www.youtube.com/watch?v=zv2DemoSea1"})m", ""},
             {R"m({"action":"add","url":"HTTP://127.0.0.1:8080/a.m3u8","page":null,"title":null})m", ""},
             {R"m({"action":"add","url":"http://[::1]:80/v.mp4","page":"https://example.com/"})m", ""},
             {R"m({"action":"add","url":"file:///etc/passwd"})m", "Only http and https addresses can be downloaded."},
             {R"m({"action":"add","url":"javascript:alert(1)"})m", "Only http and https addresses can be downloaded."},
             {R"m({"action":"add","url":"http:///nohost"})m", "Only http and https addresses can be downloaded."},
             {R"m({"action":"add","url":"http://host/a b"})m", "Only http and https addresses can be downloaded."},
             {R"m({"action":"add","url":"http://host/\n$(reboot)"})m",
              "Only http and https addresses can be downloaded."},
             {R"m({"action":"add"})m", "The message holds no address to add."},
             {R"m({"action":"add","url":7})m", "The message holds no address to add."},
             {R"m({"action":"add","url":"http://h/","title":["x"]})m", "The \"title\" of the message is not text."},
             {R"m({"action":"remove","url":"http://h/"})m", "The action \"remove\" is not known."},
             {R"m({"url":"http://h/"})m", "The message names no action."},
             {R"(["add"])", "The message is not a JSON object."},
             {"add http://h/", "The message is not JSON."},
             {"", "The message is not JSON."},
         }) {
        Recorder recorder;
        const auto answer =
            QJsonDocument::fromJson(QByteArray::fromStdString(answerNativeMessage(c.message, recorder.add())));
        ASSERT_TRUE(answer.isObject()) << c.message;
        if (c.error.empty()) {
            EXPECT_EQ(answer.object().value("ok"), true) << c.message;
            EXPECT_EQ(answer.object().value("id"), 1) << c.message;
            EXPECT_EQ(recorder.added.size(), 1u);
        } else {
            EXPECT_EQ(answer.object().value("ok"), false) << c.message;
            EXPECT_EQ(answer.object().value("error").toString().toStdString(), c.error) << c.message;
            EXPECT_TRUE(recorder.added.empty()) << c.message;
        }
    }
    // What is added: a page that is no web page is dropped, a title made one line.
    Recorder recorder;
    answerNativeMessage(
        R"({"action":"add","url":"https://a/v.mp4","page":"file:///home/me/x.html","title":"  Sea\n\tand\u0007sky  "})",
        recorder.add());
    ASSERT_EQ(recorder.added.size(), 1u);
    EXPECT_EQ(recorder.added[0].page, "");
    EXPECT_EQ(recorder.added[0].title, "Sea and sky");
    // A sink that cannot add says why, as the answer's sentence.
    const auto refused = answerNativeMessage(R"({"action":"add","url":"https://a/"})", [](const BrowserAddition&) {
        return AdditionResult{std::nullopt, "The queue is locked."};
    });
    EXPECT_EQ(refused, R"({"error":"The queue is locked.","ok":false})");
}

TEST(NativeHost, FramesStayInStepAndAnOversizedOrCutMessageEndsTheHost) {
    Recorder recorder;
    std::istringstream two(framed(R"({"action":"add","url":"https://a/1"})") + framed("{") +
                           framed(R"({"action":"add","url":"https://a/2"})"));
    std::ostringstream out;
    EXPECT_EQ(serveNativeMessages(two, out, recorder.add()), 0);
    const auto answers = answersIn(out.str());
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_EQ(answers[0].value("id"), 1);
    EXPECT_EQ(answers[1].value("ok"), false);
    EXPECT_EQ(answers[2].value("id"), 2);

    // Only the length is read of a message over 1 MiB: the bytes after it are never looked at.
    std::string header(4, '\0');
    const std::uint32_t tooLong = kMostNativeMessageBytes + 1;
    std::memcpy(header.data(), &tooLong, 4);
    std::istringstream oversized(header + "{\"action\":\"add\",\"url\":\"https://a/3\"}");
    std::ostringstream refused;
    EXPECT_EQ(serveNativeMessages(oversized, refused, recorder.add()), 1);
    ASSERT_EQ(answersIn(refused.str()).size(), 1u);
    EXPECT_EQ(answersIn(refused.str())[0].value("error").toString(), "The message is larger than 1 MiB.");
    EXPECT_EQ(oversized.tellg(), 4);

    for (const std::string& cut :
         {std::string("\x10\x00", 2), framed(R"({"action":"add","url":"https://a/4"})").substr(0, 12)}) {
        std::istringstream in(cut);
        std::ostringstream answer;
        EXPECT_EQ(serveNativeMessages(in, answer, recorder.add()), 1);
        ASSERT_EQ(answersIn(answer.str()).size(), 1u);
        EXPECT_EQ(answersIn(answer.str())[0].value("ok"), false);
    }
    EXPECT_EQ(recorder.added.size(), 2u);
}

struct HostRun {
    int status = -1;
    std::vector<QJsonObject> answers;
    std::string err;
};

HostRun runHost(const QStringList& arguments, const std::string& input, const QString& queueVariable = {}) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (queueVariable.isEmpty())
        env.remove("ZENVIRA_QUEUE");
    else
        env.insert("ZENVIRA_QUEUE", queueVariable);
    env.insert("ZENVIRA_NO_GUI_START", "1");  // the program's start is the window tests' case
    process.setProcessEnvironment(env);
    process.start(ZENVIRA_CLI, QStringList{"native-host"} + arguments);
    process.write(input.data(), static_cast<qint64>(input.size()));
    process.closeWriteChannel();
    process.waitForFinished(30000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            answersIn(process.readAllStandardOutput().toStdString()), process.readAllStandardError().toStdString()};
}

TEST(NativeHost, TheProgramAddsToTheQueueItIsToldOf) {
    static int argc = 1;
    static char name[] = "native_host_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    QTemporaryDir home;
    const QString named = home.filePath("named.queue"), variable = home.filePath("variable.queue");

    const auto run =
        runHost({"chrome-extension://abcdefghijklmnopabcdefghijklmnop/", "--queue", named},
                framed(R"({"action":"add","url":"https://www.youtube.com/watch?v=zv2DemoSea1","title":"Sea"})") +
                    framed(R"({"action":"add","url":"file:///etc/passwd"})") + framed("not json"),
                variable);
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.answers.size(), 3u);
    EXPECT_EQ(run.answers[0].value("ok"), true);
    EXPECT_EQ(run.answers[1].value("error"), "Only http and https addresses can be downloaded.");
    EXPECT_EQ(run.answers[2].value("error"), "The message is not JSON.");
    {
        auto opened = zenvira::queue::QueueStore::open(named.toStdString());
        ASSERT_TRUE(opened.store) << opened.error;
        const auto entries = opened.store->list();
        ASSERT_EQ(entries.size(), 1u) << "only the web address is added";
        EXPECT_EQ(entries[0].address, "https://www.youtube.com/watch?v=zv2DemoSea1");
        EXPECT_EQ(entries[0].title, "Sea");
        EXPECT_EQ(run.answers[0].value("id").toInteger(), static_cast<qint64>(entries[0].id));
    }
    EXPECT_FALSE(QFile::exists(variable)) << "--queue wins over ZENVIRA_QUEUE";

    // Without --queue the variable names the queue; a message over 1 MiB is answered and ends it.
    std::string oversized(4, '\0');
    const std::uint32_t length = kMostNativeMessageBytes + 1;
    std::memcpy(oversized.data(), &length, 4);
    const auto second =
        runHost({}, framed(R"({"action":"add","url":"http://127.0.0.1/a.m3u8"})") + oversized, variable);
    EXPECT_EQ(second.status, 1);
    ASSERT_EQ(second.answers.size(), 2u);
    EXPECT_EQ(second.answers[0].value("ok"), true);
    EXPECT_EQ(second.answers[1].value("error"), "The message is larger than 1 MiB.");
    EXPECT_TRUE(QFile::exists(variable));
}

}  // namespace
