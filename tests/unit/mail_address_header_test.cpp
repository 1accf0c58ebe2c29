#include "crashreport/delivery/mail_address_header.h"

#include <gtest/gtest.h>

#include "base/utf16_text.h"
#include "crashreport/delivery/base64_text.h"

namespace brevant::crashreport {
namespace {

TEST(Base64Test, StandardAlphabetAndPadding) {
    // The vectors of RFC 4648, and bytes that use the last two alphabet characters.
    const struct {
        std::string bytes, text;
    } cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"\xFB\xFF\xBF", "+/+/"},
        {std::string("\0\0", 2), "AAA="},
    };
    for (const auto& c : cases) EXPECT_EQ(Base64(c.bytes), c.text) << c.bytes;
}

TEST(MailAddressHeaderTest, EveryForm) {
    const struct {
        std::u16string address;
        bool withName;
        std::string header;
    } cases[] = {
        {u"support@brevant.example", false, "<support@brevant.example>"},
        {u"support@brevant.example", true, "<support@brevant.example>"},
        {u"Brevant Support <support@brevant.example>", false, "<support@brevant.example>"},
        {u"Brevant Support   <support@brevant.example>", true, "Brevant Support <support@brevant.example>"},
        {u"<support@brevant.example>", true, "<support@brevant.example>"},
        {u"   <support@brevant.example>", true, "<support@brevant.example>"},
        // Latin-1 names go as 8-bit bytes, anything beyond as an encoded word.
        {u"J\u00F6rg <j@x.org>", true, "J\xF6rg <j@x.org>"},
        {u"\u0418\u0432\u0430\u043D <i@x.org>", true, "=?UTF-8?B?0JjQstCw0L0=?= <i@x.org>"},
        {u"J\u00F6rg \u2603 <j@x.org>", true, "=?UTF-8?B?SsO2cmcg4piD?= <j@x.org>"},
        {u"\u0418\u0432\u0430\u043D <i@x.org>", false, "<i@x.org>"},
        {u"", false, "<>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.address) + (c.withName ? " with name" : ""));
        EXPECT_EQ(MailAddressHeader(c.address, c.withName), c.header);
    }
}

}  // namespace
}  // namespace brevant::crashreport
