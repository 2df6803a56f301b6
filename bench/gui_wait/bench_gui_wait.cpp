// CPU the GUI process spends while a download job waits: the main window downloads a
// stream limited to 1 MB/s from a fixture site in a separate process, and the window's own
// process time is read over ten seconds of that wait.
//
//   bench_gui_wait [seconds]     (QT_QPA_PLATFORM=offscreen, or under Xvfb)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/window/frmMain.h"
#include "components/msg_box/msg_box.h"
#include "tests/site/fixture_site.h"

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The site runs in a child so its work is not counted; it lives until the pipe closes.
pid_t startSite(std::string& proxy, int& keepAlive) {
    int portPipe[2], stayPipe[2];
    if (pipe(portPipe) != 0 || pipe(stayPipe) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(portPipe[0]);
        close(stayPipe[1]);
        zenvira::site::FixtureSite site;
        site.addStream("slowclip", {.size = 400ull << 20, .bytesPerSecond = 1 << 20});
        site.addWatchPage("benchClip01", {"Bench clip", {{"34", "640x360", zenvira::site::streamAddress("slowclip")}}});
        const std::uint16_t port = site.port();
        if (write(portPipe[1], &port, sizeof port) != sizeof port) _exit(1);
        char byte;
        while (read(stayPipe[0], &byte, 1) > 0) {
        }
        _exit(0);
    }
    close(portPipe[1]);
    close(stayPipe[0]);
    std::uint16_t port = 0;
    if (read(portPipe[0], &port, sizeof port) != sizeof port) return -1;
    proxy = "http://127.0.0.1:" + std::to_string(port);
    keepAlive = stayPipe[1];
    return pid;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    std::string proxy;
    int keepAlive = -1;
    const pid_t site = startSite(proxy, keepAlive);
    if (site < 0) return 1;
    setenv("http_proxy", proxy.c_str(), 1);
    QTemporaryDir drive;
    setenv("ZENVIRA_DRIVE_C", drive.path().toUtf8().constData(), 1);

    QApplication app(argc, argv);
    zenvira::components::setMsgBoxHandler([](const std::string& text, int, const std::string& title) {
        std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
        return 1;
    });
    zenvira::window::frmMain window;
    if (!window.Form_Load()) return 1;
    window.show();

    double cpuAtStart = 0;
    QTimer::singleShot(1000, [&] { cpuAtStart = cpuSeconds(); });
    QTimer::singleShot(1000 + seconds * 1000, [&] {
        const double used = cpuSeconds() - cpuAtStart;
        std::printf("GUI process while a download waits: %.3f s CPU in %d s = %.2f %% of one core\n", used, seconds,
                    100.0 * used / seconds);
        std::fflush(stdout);
        window.workflow().Stop();
    });
    QTimer::singleShot(0, [&] {
        window.workflow().Extract("http://www.youtube.com/watch?v=benchClip01");
        window.PushButton1_Click(4);  // the one quality lands on the last button; returns once stopped
        window.close();
    });
    const int status = QApplication::exec();
    close(keepAlive);
    waitpid(site, nullptr, 0);
    return status;
}
