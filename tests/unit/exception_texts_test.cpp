// The texts made for exceptions: operating-system exception messages, cleaned messages with
// their final full stop, and the number forms they use.
#include <gtest/gtest.h>

#include "base/number_text.h"
#include "crashreport/core/exception_texts.h"
#include "crashreport/core/os_exception_message.h"

namespace brevant::crashreport {
namespace {

std::optional<std::u16string> BrevantBetween4And5Mb(std::uint64_t address) {
    if (address >= 0x400000 && address < 0x500000) return u"Brevant.exe";
    return std::nullopt;
}

TEST(OsExceptionMessageTest, EveryCodeOfTheTableAndTheFallBack) {
    const std::pair<std::uint32_t, const char16_t*> table[] = {
        {0xC000008C, u"Range check error"},
        {0xC000008D, u"Floating point underflow"},
        {0xC0000093, u"Floating point underflow"},
        {0xC000008E, u"Floating point division by zero"},
        {0xC000008F, u"Invalid floating point operation"},
        {0xC0000090, u"Invalid floating point operation"},
        {0xC0000092, u"Invalid floating point operation"},
        {0xC0000091, u"Floating point overflow"},
        {0xC0000094, u"Division by zero"},
        {0xC0000095, u"Integer overflow"},
        {0xC0000096, u"Privileged instruction"},
        {0xC00000FD, u"Stack overflow"},
        {0xC000013A, u"Control-C hit"},
        {0xC000001D, u"External exception C000001D"},
        {0x80000003, u"External exception 80000003"},
        {0x0000ABC0, u"External exception ABC0"},
        {0, u"External exception 0"},
    };
    for (auto [code, text] : table) EXPECT_EQ(OsExceptionMessage({code, 0x401000}, BrevantBetween4And5Mb), text);
}

TEST(OsExceptionMessageTest, AccessViolationNamesModuleKindAndAddressesOnlyInsideAModule) {
    EXPECT_EQ(OsExceptionMessage({0xC0000005, 0x4a1b2c, 0, 0}, BrevantBetween4And5Mb),
              u"Access violation at address $4a1b2c in module 'Brevant.exe'. Read of address $0");
    EXPECT_EQ(OsExceptionMessage({0xC0000005, 0x4a1b2c, 1, 0xDEADBEEF}, BrevantBetween4And5Mb),
              u"Access violation at address $4a1b2c in module 'Brevant.exe'. Write of address $deadbeef");
    EXPECT_EQ(OsExceptionMessage({0xC0000005, 0x12345678, 1, 8}, BrevantBetween4And5Mb), u"Access Violation");
    EXPECT_EQ(OsExceptionMessage({0xC0000005, 0x401000, 0, 8}, nullptr), u"Access Violation");
}

TEST(OsExceptionMessageTest, AModuleNameWithPlaceholderCharactersIsInsertedAsItIs) {
    auto oddModule = [](std::uint64_t) { return std::optional<std::u16string>(u"a%p%s.dll"); };
    EXPECT_EQ(OsExceptionMessage({0xC0000005, 0x10, 0, 0x20}, oddModule),
              u"Access violation at address $10 in module 'a%p%s.dll'. Read of address $20");
}

TEST(ExceptionTextsTest, MessagesLoseControlCharactersAndOuterBlanksButKeepLineBreaks) {
    EXPECT_EQ(CleanedMessageText(u"  File\tnot\x01 found \r\n"), u"Filenot found");
    EXPECT_EQ(CleanedMessageText(u"first line\r\nsecond line"), u"first line\r\nsecond line");
    EXPECT_EQ(CleanedMessageText(u" \x02\x1f "), u"Unknown");
    EXPECT_EQ(CleanedMessageText(u""), u"Unknown");
    EXPECT_EQ(CleanedMessageText(u"\u00e9t\u00e9 \u4e2d"), u"\u00e9t\u00e9 \u4e2d");
}

TEST(ExceptionTextsTest, ExactlyOneFinalFullStop) {
    EXPECT_EQ(WithFinalFullStop(u"Division by zero"), u"Division by zero.");
    EXPECT_EQ(WithFinalFullStop(u"Stop!!.!"), u"Stop.");
    EXPECT_EQ(WithFinalFullStop(u"v1.2 failed"), u"v1.2 failed.");
    EXPECT_EQ(WithFinalFullStop(u"..."), u".");
}

TEST(NumberTextTest, DollarAddressAndUpperCaseForms) {
    EXPECT_EQ(DollarHex(0), u"$0");
    EXPECT_EQ(DollarHex(6700), u"$1a2c");
    EXPECT_EQ(DollarHex(0xFFFFFFFFFFFFFFFFull), u"$ffffffffffffffff");
    EXPECT_EQ(AddressHex(0x401000), u"00401000");
    EXPECT_EQ(AddressHex(0x7ff6a0401000, 16), u"00007ff6a0401000");
    EXPECT_EQ(AddressHex(0x1234567890), u"1234567890") << "an address never loses digits";
    EXPECT_EQ(UpperHex(0xc0000005), u"C0000005");
}

}  // namespace
}  // namespace brevant::crashreport
