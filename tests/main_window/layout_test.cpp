// The arithmetic behind the window's geometry and caption, without a display.
#include <gtest/gtest.h>

#include "base/product_site.h"
#include "app/window/main_layout.h"
#include "app/window/window_caption.h"
#include "ui/window_size.h"

using namespace zenvira::window;
using namespace zenvira::ui;

TEST(WindowSize, ClientIsTheOuterSizeLessTheFrame) {
    // Without a frame the client is the laid-out area: 11640 x 6570 twips.
    EXPECT_EQ(fixedClientSize({15, 15}, {0, 0}), (PixelSize{776, 438}));
    EXPECT_EQ(fixedClientSize({12, 12}, {0, 0}), (PixelSize{970, 548}));
    // With a frame the outer size is 11670 x 7080 twips, 778 x 472 pixels at 15.
    EXPECT_EQ(fixedClientSize({15, 15}, {2, 31}), (PixelSize{776, 441}));
    EXPECT_EQ(fixedClientSize({15, 15}, {8, 38}), (PixelSize{770, 434}));
    // A frame that would swallow the window is not believed.
    EXPECT_EQ(fixedClientSize({15, 15}, {700, 400}), (PixelSize{776, 438}));
}

TEST(ControlTable, EveryControlFitsTheClientArea) {
    for (const auto& control : mainWindowControls()) {
        SCOPED_TRACE(std::string(control.name));
        EXPECT_GE(control.place.left, 0);
        EXPECT_LE(control.place.left + control.place.width, kClientWidthTwips);
        EXPECT_LE(control.place.top + control.place.height, kClientHeightTwips);
    }
    EXPECT_EQ(qualityButtonName(4), "PushButton1_4");
    EXPECT_THROW(controlEntry("List3"), std::out_of_range);  // hidden data has no widget
    EXPECT_NE(zenvira::base::ownershipNotice().find(zenvira::base::productSiteHost()), std::string::npos);
}

TEST(WindowCaption, VersionWithTheLocalesSeparator) {
    EXPECT_EQ(loadedCaption('.'), "Zenvira 2.5");
    EXPECT_EQ(loadedCaption(','), "Zenvira 2,5");
}
