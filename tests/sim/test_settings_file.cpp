// SPDX-License-Identifier: MIT
// Loading the camera's EEPROM from a settings file.
#include "SimPeer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace r8::sim::test {
namespace {

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(SettingsFile, RecordsOverwriteTheirWordsOnly) {
    EepromImage image = FactoryEeprom({});
    const EepromImage factory = image;
    std::string text = "210C0000BEEF000000000000000000\r\n"
                       "210c03fe0a0b000000000000000000\r\n" // lower case digits
                       "210C0005123400000000000000000\n"    // too short
                       "F1000000000000000000000000000000\r\n";
    EXPECT_NE(ApplySettingsText(text, image), "");
    image = factory;
    text = "210C0000BEEF000000000000000000\r\n"
           "210c03fe0a0b000000000000000000\n"
           "F10000000000000000000000000000\r\n";
    EXPECT_EQ(ApplySettingsText(text, image), "");
    EXPECT_EQ(image[0], 0xBEEF);
    EXPECT_EQ(image[0x3FE], 0x0A0B);
    image[0] = factory[0];
    image[0x3FE] = factory[0x3FE];
    EXPECT_EQ(image, factory);
}

TEST(SettingsFile, BadRecordsAreReportedWithTheirLine) {
    EepromImage image{};
    EXPECT_NE(ApplySettingsText("210C04000000000000000000000000\r\n", image), "");
    std::string error = ApplySettingsText(
        "210C00000001000000000000000000\r\n310C00000000000000000000000000\r\n", image);
    EXPECT_NE(error, "");
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    EXPECT_NE(ApplySettingsText("210C00G00000000000000000000000\r\n", image), "");
}

TEST(SettingsFile, WhatTheCopyWritesLoadsBackUnchanged) {
    EepromImage image = FactoryEeprom({});
    for (size_t a = 0; a < image.size(); ++a)
        image[a] = static_cast<uint16_t>(a * 37 + 11);
    std::string text = SettingsText(image);
    ASSERT_EQ(text.size(), 1024u * 32u);
    EXPECT_EQ(text.substr(0, 32), "210C0000000B000000000000000000\r\n");
    EXPECT_EQ(text.substr(text.size() - 32), "F10000000000000000000000000000\r\n");
    EepromImage loaded = FactoryEeprom({});
    const uint16_t word1023 = loaded[1023]; // the copy does not carry word 1023
    ASSERT_EQ(ApplySettingsText(text, loaded), "");
    image[1023] = word1023;
    EXPECT_EQ(loaded, image);
}

TEST(SettingsFile, TheCameraStartsFromTheFile) {
    TempDir dir;
    const std::string path = dir.File("camera.dat");
    // Word 0x0020 (register 0x20) and word 0x0161 (SENS).
    WriteFile(path, "210C00201357000000000000000000\r\n"
                    "210C01610006000000000000000000\r\n"
                    "F10000000000000000000000000000\r\n");
    SimOptions o;
    o.eepromFile = path;
    CameraSim sim(o);
    sim.WithModel([](CameraModel& m) {
        EXPECT_EQ(m.EepromWord(0x20), 0x1357);
        EXPECT_EQ(m.Register(0x20), 0x1357);
        EXPECT_EQ(m.Get(Setting::Sens), 6);
    });

    WriteFile(path, "this is not a settings file\r\n");
    EXPECT_THROW(CameraSim{o}, std::runtime_error);
    o.eepromFile = dir.File("missing.dat");
    EXPECT_THROW(CameraSim{o}, std::runtime_error);
}

} // namespace
} // namespace r8::sim::test
