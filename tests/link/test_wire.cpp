// SPDX-License-Identifier: MIT
// Reference vectors for the CRC, the frame layouts and the hexadecimal helpers.
#include "Crc.h"
#include "Frames.h"
#include "HexBytes.h"
#include "HexText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace r8;

namespace {

using test::Bytes;

struct CrcVector {
    std::string text;
    uint16_t crc;
};

} // namespace

TEST(Crc, ReferenceVectors) {
    const CrcVector vectors[] = {{"123456789", 0xBB3D}, {"abc", 0x9738}, {"", 0x0000}};
    for (const auto& v : vectors) {
        SCOPED_TRACE(v.text);
        EXPECT_EQ(FrameCrc(reinterpret_cast<const uint8_t*>(v.text.data()), v.text.size()), v.crc);
    }
}

TEST(Crc, RegisterStepsAndFlush) {
    // The register result after the two flush bytes stays below 0x10000.
    const auto data = Bytes("21 20 00 00 00 00 00 00 00 00 00 00 00 00 00 03");
    uint32_t reg = CalcCrc(0, data.data(), data.size());
    static const uint8_t zeros[2] = {0, 0};
    EXPECT_EQ(CalcCrc(reg, zeros, 2), 0x51B8u);
    EXPECT_EQ(CalcCrc(0, zeros, 2), 0u);
}

TEST(Frames, CommandFrameLayout) {
    const uint8_t payload[] = {0x21, 0x20};
    auto f = MakeStxFrame(payload, 2);
    EXPECT_EQ(std::vector<uint8_t>(f.begin(), f.end()),
              Bytes("02 21 20 00 00 00 00 00 00 00 00 00 00 00 00 00 03 51 B8"));
}

TEST(Frames, BlockKindLengths) {
    EXPECT_EQ(BlockDataLength(0x73), 1024u);
    EXPECT_EQ(BlockDataLength(0x74), 1536u);
    EXPECT_EQ(BlockDataLength(0x75), 2048u);
    EXPECT_EQ(BlockDataLength(0x00), 2048u);
}

TEST(HexText, Formatting) {
    EXPECT_EQ(HexByte(0x0A), "0A");
    EXPECT_EQ(HexByte(255), "FF");
    EXPECT_EQ(HexWord(0x12345), "2345");
    EXPECT_EQ(HexWord(0), "0000");
    EXPECT_EQ(HexWord(-1), "FFFF");
    char buf[3] = {'x', 'x', 'x'};
    HexByteToBuf(0xC3, buf);
    EXPECT_EQ(std::string(buf, 3), "C3x");
    const uint8_t bytes[] = {0x00, 0x7F, 0xFE};
    EXPECT_EQ(HexBytes(bytes, 3), "007FFE");
}

TEST(HexText, Parsing) {
    EXPECT_EQ(HexDigitValue('7'), 7);
    EXPECT_EQ(HexDigitValue('b'), 11);
    EXPECT_EQ(HexDigitValue('F'), 15);
    EXPECT_EQ(HexDigitValue('g'), -1);
    EXPECT_EQ(HexDigitValue(' '), -1);

    EXPECT_EQ(ParseHex("1f"), 31);
    EXPECT_EQ(ParseHex(""), 0);
    EXPECT_EQ(ParseHex("1G"), -1);
    EXPECT_EQ(ParseHex(" 1F"), -1);
    EXPECT_EQ(ParseHex("0x10"), -1);
    EXPECT_EQ(ParseHex("FFFFFFFF"), -1);
    EXPECT_EQ(ParseHex("123456789"), 0x23456789); // only the last eight digits count

    EXPECT_EQ(ParseHexByte("1FF"), 255);
    EXPECT_EQ(ParseHexByte("100"), 0);
    EXPECT_EQ(ParseHexByte("x"), -1);
    EXPECT_EQ(ParseHexByte("-1"), -1);

    EXPECT_EQ(ParsePairAt("7E"), 126);
    EXPECT_EQ(ParsePairAt("7 "), -1);
    EXPECT_EQ(ParsePairAt("e7zz"), 0xE7);
}

TEST(HexText, LowestBitMask) {
    EXPECT_EQ(LowestBitMask(0x0C), 0x04);
    EXPECT_EQ(LowestBitMask(0x8000), 0x8000);
    EXPECT_EQ(LowestBitMask(0), 0);
    EXPECT_EQ(LowestBitMask(0xFFFF), 1);
}
