#include "media/media_file/media_module.h"
#include "tests/media/flv_clip.h"

#include <QTemporaryDir>

#include <fstream>

#include <gtest/gtest.h>

namespace zenvira::components {
namespace {

constexpr std::string_view kUnloaded = "FFmpeg's libraries could not be loaded: ";

TEST(MediaModule, WhatCannotBeLoadedIsRefusedWithTheSystemsReason) {
    QTemporaryDir dir;
    const std::string missing = dir.filePath("zenvira-media.so").toStdString();
    std::string error;
    EXPECT_EQ(media_module::load({missing}, error), nullptr);
    EXPECT_TRUE(error.starts_with(kUnloaded)) << error;
    EXPECT_NE(error.find(missing), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;

    const std::string notAModule = dir.filePath("text.so").toStdString();
    std::ofstream(notAModule) << "not a shared object\n";
    error.clear();
    EXPECT_EQ(media_module::load({notAModule}, error), nullptr);
    EXPECT_TRUE(error.starts_with(kUnloaded)) << error;

    error.clear();
    EXPECT_EQ(media_module::load({}, error), nullptr);
    EXPECT_TRUE(error.starts_with(kUnloaded)) << error;
}

TEST(MediaModule, TheFirstPlaceHoldingTheModuleIsUsedAndItReadsMedia) {
    QTemporaryDir dir;
    const QString clip = dir.filePath("clip.flv");
    ASSERT_TRUE(testmedia::makeFlvClip(clip, 320, 240, 1));
    std::ifstream in(clip.toStdString(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    std::string error;
    const auto* module = media_module::load({dir.filePath("absent.so").toStdString(), ZENVIRA_MEDIA_MODULE_IN_BUILD}, error);
    ASSERT_NE(module, nullptr) << error;
    const MediaFacts facts = module->probe(bytes);
    EXPECT_TRUE(facts.recognised);
    EXPECT_EQ(facts.container, "flv");
    EXPECT_EQ(facts.height, 240);
    EXPECT_TRUE(facts.error.empty());
}

}  // namespace
}  // namespace zenvira::components
