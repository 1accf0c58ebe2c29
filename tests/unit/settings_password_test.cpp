#include "crashreport/core/settings_password.h"

#include <gtest/gtest.h>

#include <string>

namespace brevant::crashreport {
namespace {

struct PasswordCase {
    std::u16string plain, server, account;
};

const PasswordCase kPasswords[] = {
    {u"secret", u"smtp.example.com", u"alice"},
    {u"", u"smtp.example.com", u"alice"},
    {u"p\u00e4ss \u20ac\U0001F511", u"h\u00f6st", u"\u0431\u043e\u0431"},
    {u"a long password that needs more than one block of the keystream", u"", u""},
    {std::u16string(1, u'\0') + u"x", u"s", u"a"},
};

TEST(SettingsPasswordTest, DecipheringGivesBackThePlainText) {
    for (const PasswordCase& password : kPasswords) {
        const std::u16string stored = EncipherSettingsPassword(password.plain, password.server, password.account);
        EXPECT_EQ(stored.size(), password.plain.size() * 4);
        EXPECT_EQ(stored.find_first_not_of(u"0123456789abcdef"), std::u16string::npos);
        if (!password.plain.empty()) EXPECT_NE(stored, password.plain);
        EXPECT_EQ(DecipherSettingsPassword(stored, password.server, password.account), password.plain);
    }
}

TEST(SettingsPasswordTest, AnotherServerOrAccountGivesAnotherText) {
    const std::u16string plain = u"secret";
    const std::u16string stored = EncipherSettingsPassword(plain, u"smtp.example.com", u"alice");
    const std::pair<std::u16string, std::u16string> otherKeys[] = {
        {u"smtp.example.org", u"alice"},
        {u"smtp.example.com", u"alicf"},
        {u"alice", u"smtp.example.com"},
        {u"smtp.example.coma", u"lice"},
    };
    for (const auto& [server, account] : otherKeys) {
        EXPECT_NE(EncipherSettingsPassword(plain, server, account), stored);
        EXPECT_NE(DecipherSettingsPassword(stored, server, account), plain);
    }
}

TEST(SettingsPasswordTest, RepeatedUnitsDoNotRepeatInTheStoredText) {
    const std::u16string stored = EncipherSettingsPassword(u"aaaaaaaa", u"server", u"account");
    for (std::size_t at = 4; at < stored.size(); at += 4) EXPECT_NE(stored.substr(at, 4), stored.substr(0, 4));
}

TEST(SettingsPasswordTest, TextNotInTheStoredFormIsKept) {
    const std::u16string notEnciphered[] = {u"secret", u"abc", u"abcde", u"12g4", u"0x12", u"12 34", u"abcd\u0661234"};
    for (const std::u16string& stored : notEnciphered) {
        EXPECT_EQ(DecipherSettingsPassword(stored, u"server", u"account"), stored);
    }
}

TEST(SettingsPasswordTest, UpperCaseDigitsAreAccepted) {
    std::u16string stored = EncipherSettingsPassword(u"Secret", u"server", u"account");
    for (char16_t& digit : stored) {
        if (digit >= u'a' && digit <= u'f') digit = static_cast<char16_t>(digit - u'a' + u'A');
    }
    EXPECT_EQ(DecipherSettingsPassword(stored, u"server", u"account"), u"Secret");
}

}  // namespace
}  // namespace brevant::crashreport
