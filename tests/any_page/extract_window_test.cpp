// The main window's Extract on pages of today's shapes, offscreen, through the real page
// fetch and resolvers: the buttons of the heights each page offers, and none for a page
// without video.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdlib>

#include "app/window/frmMain.h"
#include "base/quality.h"
#include "components/msg_box/msg_box.h"
#include "tests/any_page/today_site.h"
#include "tests/support/test_application.h"

using namespace zenvira;

TEST(ExtractOnAnyPage, EnablesTheButtonsOfTheHeightsEachPageOffers) {
    testApplication();
    ASSERT_TRUE(testsite::prepareTodayMedia(testsite::todayMediaFolder()));
    site::FixtureSite site;
    testsite::serveToday(site, testsite::todayMediaFolder());
    setenv("http_proxy", site.proxyAddress().c_str(), 1);
    std::vector<std::string> messages;
    const auto previous = components::setMsgBoxHandler([&](const std::string& text, int, const std::string&) {
        messages.push_back(text);
        return 1;
    });
    QTemporaryDir home;
    window::FrmMainSetup setup;
    setup.applicationFolder = home.path();
    window::frmMain w(setup);
    w.show();

    auto cases = testsite::todayCases();
    cases.push_back({"no video", testsite::kNoVideoAddress, "", {}, 0, "", 0});
    for (const auto& page : cases) {
        w.findChild<QLineEdit*>("txturl")->setText(QString::fromStdString(page.address));
        w.findChild<QPushButton*>("PushButton2")->click();
        std::vector<int> enabled;
        for (std::size_t k = 0; k < base::kQualities.size(); ++k)
            if (w.findChild<QPushButton*>(QStringLiteral("PushButton1_%1").arg(k))->isEnabled())
                enabled.push_back(base::kQualities[k].height);
        EXPECT_EQ(enabled, page.buttons) << page.name;
    }
    EXPECT_TRUE(messages.empty()) << messages.front();
    components::setMsgBoxHandler(previous);
    unsetenv("http_proxy");
}
