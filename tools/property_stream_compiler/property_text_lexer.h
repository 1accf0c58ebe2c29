#pragma once
// Splits object text into tokens. A string token is a run of directly adjacent pieces,
// quoted ('' for a quote) or character codes (#13), already joined into UTF-8.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace brevant::tools {

// A fault in the text; the compiler turns it into "line N: message".
struct PropertyTextError {
    std::size_t line = 0;
    std::string message;
};

enum class TokenKind { Identifier, Integer, String, Colon, Equals, Plus, EndOfText };

struct Token {
    TokenKind kind = TokenKind::EndOfText;
    std::string text;  // identifier spelling, decimal digits with sign, or the string's UTF-8 bytes
    std::size_t line = 1;
};

class PropertyTextLexer {
public:
    explicit PropertyTextLexer(std::string_view text);

    // Both throw PropertyTextError on text that forms no token.
    Token Next();
    const Token& Peek();

    std::size_t Line() const { return line_; }

private:
    Token Scan();
    void SkipBlanks();
    Token ScanIdentifier();
    Token ScanInteger();
    Token ScanString();
    void AppendQuotedPiece(std::string& value);
    void AppendCharacterCodes(std::string& value);
    char32_t ScanCharacterCode();
    [[noreturn]] void Fail(const std::string& message) const;

    std::string_view text_;
    std::size_t position_ = 0;
    std::size_t line_ = 1;
    std::optional<Token> peeked_;
};

// "'x'" for a printable ASCII character, "byte 0xNN" otherwise.
std::string DescribeCharacter(char character);

}  // namespace brevant::tools
