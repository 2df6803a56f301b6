#include "app/cli/convert_command.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "app/cli/shell_quote.h"
#include "app/message_lines.h"
#include "convert/conversion_job.h"
#include "convert/convert_flv.h"
#include "convert/output_profiles.h"
#include "platform/terminal.h"
#include "platform/windows_command_line.h"

namespace zenvira::cli {

namespace {

int usage() {
    std::cerr << "usage: zenvira-cli convert [--print] FILE PROFILE   (zenvira-cli profiles lists them)\n";
    return 2;
}

// Message boxes become lines on standard error.
struct MessagesToTerminal : app::MessageLines {
    MessagesToTerminal()
        : MessageLines([](const std::string& title, const std::string& text) {
              std::cerr << title << ": " << text << "\n";
          }) {}
};

// Converting has no measure of progress: a spinner redrawn in place on a terminal, a dot per
// tick elsewhere.
class ProgressLine {
public:
    ProgressLine() : isTerminal_(platform::isTerminal(stderr)) {}
    void tick() {
        static constexpr char kSpinner[] = {'|', '/', '-', '\\'};
        if (isTerminal_)
            std::fprintf(stderr, "\rConverting %c %us\033[K", kSpinner[ticks_ % 4], (ticks_ * 3) / 10);
        else
            std::fputc('.', stderr);
        ++ticks_;
        std::fflush(stderr);
    }
    void finish() {
        if (ticks_ > 0) std::fputc('\n', stderr);
        ticks_ = 0;
    }

private:
    bool isTerminal_;
    unsigned ticks_ = 0;
};

std::string absolutePath(const std::string& path) {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

int printCommandLine(const std::string& source, const std::string& profile) {
    QTimer timer;
    convert::AVC job(&timer);
    if (!convert::assignConversion(job, profile, source)) return 1;
    const convert::CommandLinePreview preview = job.PreviewCommandLine(true);
    if (!preview.ok) {
        std::cerr << "Error! " << preview.error << "\n";
        return 1;
    }
#ifdef _WIN32
    std::cout << preview.commandLine << "\n";
#else
    // The words the encoder is started with, quoted so that a POSIX shell reads them back
    // unchanged: a file name holding $(...) or backticks stays a name.
    std::vector<std::string> words{preview.program};
    for (auto& word : platform::splitWindowsArguments(preview.arguments)) words.push_back(std::move(word));
    std::cout << posixCommandLine(words) << "\n";
#endif
    return 0;
}

// Tells whether the run that has just completed made its file.
int reportRun(const convert::AVC& job, const std::string& output) {
    if (platform::interruptRequested()) {
        std::cerr << "Conversion cancelled\n";
        return 1;
    }
    const platform::ExitStatus status = job.LastExitStatus();
    if (!status.success()) {
        std::cerr << "The encoder failed (" << status.describe() << ")\n";
        return 1;
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(output, error)) {
        std::cerr << "The encoder wrote no file " << output << "\n";
        return 1;
    }
    std::cout << "Saved " << output << "\n";
    return 0;
}

int convertFile(const std::string& source, const std::string& profile) {
    const convert::OutputProfile* chosen = convert::findProfile(profile);
    if (chosen && !std::filesystem::exists(source)) {
        std::cerr << "Cannot find " << source << "\n";
        return 1;
    }
    QTimer timer;
    convert::AVC job(&timer);
    ProgressLine progress;
    QObject::connect(&job, &convert::AVC::Converting, [&] { progress.tick(); });
    QObject::connect(&job, &convert::AVC::Complete, [&] {
        progress.finish();
        QCoreApplication::exit(0);
    });
    bool refused = false;
    QObject::connect(&job, &convert::AVC::ErrorEvent, [&](const std::string& message) {
        progress.finish();
        std::cerr << "Error! " << message << "\n";
        refused = true;
        QCoreApplication::exit(1);  // a run that failed ends here; a refusal has no loop yet
    });
    convert::ConvertFLV(job, profile, source);
    if (!chosen || refused) return 1;
    if (!job.IsRunning()) {
        std::cerr << "The encoder could not be started: " << job.LastStartFailure() << "\n";
        return 1;
    }
    // Ctrl-C ends the encoder; the run then ends with the cancelled error.
    platform::catchInterrupts();
    QTimer interruptWatch;
    QObject::connect(&interruptWatch, &QTimer::timeout, [&] {
        if (platform::interruptRequested()) job.CancelConvert();
    });
    interruptWatch.start(100);
    QCoreApplication::exec();
    if (refused) return 1;  // the encoder's reason, or the cancel, is on screen
    return reportRun(job, convert::outputPathFor(source, chosen->extension));
}

}  // namespace

int runConvert(const std::vector<std::string>& words) {
    const bool print = !words.empty() && words[0] == "--print";
    if (words.size() != (print ? 3u : 2u)) return usage();
    MessagesToTerminal messages;
    const std::string source = absolutePath(words[print ? 1 : 0]);
    const std::string& profile = words[print ? 2 : 1];
    return print ? printCommandLine(source, profile) : convertFile(source, profile);
}

int runProfiles() {
    for (const auto& profile : convert::outputProfiles()) std::cout << profile.name << "\n";
    return 0;
}

}  // namespace zenvira::cli
