// Reading the settings block: the header, every value tag, and damaged data.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crashreport/core/settings_stream.h"

namespace brevant::crashreport {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

const std::string kHeader("TPF0\x08TQuarrex\x07Quarrex", 21);

SettingsStreamResult Read(const std::string& records) {
    return ReadSettingsStream(Bytes(kHeader + records), DecodeLatin1);
}

TEST(SettingsStream, EveryTagLoadsAsItsType) {
    const std::string records = std::string("\x02I8\x02\xFE", 5) + std::string("\x03I16\x03\x00\x80", 7) +
                                std::string("\x03I32\x04\x78\x56\x34\x12", 9) +
                                std::string(
                                    "\x01"
                                    "A\x06\x02\xE4x",
                                    6) +
                                std::string("\x01U\x07\x02\xC3\xA4", 6) +
                                std::string(
                                    "\x01"
                                    "F\x08",
                                    3) +
                                std::string("\x01T\x09", 3) +
                                std::string(
                                    "\x01L\x0C\x03\x00\x00\x00"
                                    "abc",
                                    10) +
                                std::string("\x01W\x12\x01\x00\x00\x00\x3A\x04", 9) +
                                std::string("\x02U8\x14\x02\x00\x00\x00\xC3\xA9", 11) + std::string("\x00\x00", 2);
    const SettingsStreamResult result = Read(records);
    ASSERT_TRUE(result.headerMatched);
    EXPECT_FALSE(result.unknownTag);
    ASSERT_EQ(result.properties.size(), 10u);
    const auto& p = result.properties;
    EXPECT_EQ(p[0].vInt, -2);
    EXPECT_EQ(p[1].vInt, -32768);
    EXPECT_EQ(p[2].vInt, 0x12345678);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(p[i].typ, TPropertyType::ptInteger);
    EXPECT_EQ(p[3].vStr, u"\u00e4x") << "system code page (Latin-1 here)";
    EXPECT_EQ(p[4].vStr, u"\u00e4") << "UTF-8";
    EXPECT_EQ(p[5].typ, TPropertyType::ptBoolean);
    EXPECT_FALSE(p[5].vBool);
    EXPECT_TRUE(p[6].vBool);
    EXPECT_EQ(p[6].vInt, 0) << "fields of other types stay zero";
    EXPECT_EQ(p[7].vStr, u"abc");
    EXPECT_EQ(p[8].vStr, u"\u043a");
    EXPECT_EQ(p[9].vStr, u"\u00e9");
    EXPECT_EQ(p[9].typ, TPropertyType::ptString);
    EXPECT_EQ(p[2].name, "I32");
}

TEST(SettingsStream, AHeaderThatDiffersInAnyByteGivesNoProperties) {
    for (std::size_t at = 0; at < kHeader.size(); ++at) {
        std::string header = kHeader;
        header[at] = header[at] >= 'a' ? header[at] - 32 : (header[at] >= 'A' ? header[at] + 32 : header[at] + 1);
        const SettingsStreamResult result = ReadSettingsStream(Bytes(header + "\x01"
                                                                              "A\x09\x00"),
                                                               DecodeLatin1);
        EXPECT_FALSE(result.headerMatched) << at;
        EXPECT_TRUE(result.properties.empty()) << at;
    }
    EXPECT_FALSE(ReadSettingsStream({}, DecodeLatin1).headerMatched);
}

TEST(SettingsStream, AnUnknownTagStopsReadingAndKeepsWhatCameBefore) {
    const SettingsStreamResult result =
        Read(std::string("\x01"
                         "A\x09\x01"
                         "B\x0A\x01"
                         "C\x09\x00",
                         10));
    ASSERT_EQ(result.properties.size(), 1u);
    EXPECT_EQ(result.properties[0].name, "A");
    ASSERT_TRUE(result.unknownTag);
    EXPECT_EQ(*result.unknownTag, 10);
    EXPECT_EQ(InvalidSettingsResourceMessage(10), u"Internal error: Invalid settings resource ($a).");
    EXPECT_EQ(InvalidSettingsResourceMessage(0xC3), u"Internal error: Invalid settings resource ($c3).");
    EXPECT_EQ(InvalidSettingsResourceMessage(1), u"Internal error: Invalid settings resource ($1).");
}

TEST(SettingsStream, DataCutAnywhereKeepsTheCompleteRecordsBeforeTheCut) {
    const std::string records = std::string(
                                    "\x04"
                                    "Port\x04\x19\x00\x00\x00",
                                    10) +
                                std::string(
                                    "\x04Mail\x0C\x05\x00\x00\x00"
                                    "a@b.c",
                                    15) +
                                std::string("\x00\x00", 2);
    for (std::size_t cut = 0; cut <= records.size(); ++cut) {
        const SettingsStreamResult result = Read(records.substr(0, cut));
        const std::size_t expected = cut >= 25 ? 2 : (cut >= 10 ? 1 : 0);
        EXPECT_EQ(result.properties.size(), expected) << "cut at " << cut;
        EXPECT_FALSE(result.unknownTag);
    }
    // A length far beyond the data must not be trusted.
    const SettingsStreamResult huge =
        Read(std::string("\x01"
                         "X\x0C\xFF\xFF\xFF\x7F"
                         "abc",
                         10));
    EXPECT_TRUE(huge.properties.empty());
}

}  // namespace
}  // namespace brevant::crashreport
