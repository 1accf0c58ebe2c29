#include "tools/property_stream_compiler/property_text_lexer.h"

#include <cstdint>

#include "base/utf16_text.h"

namespace brevant::tools {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr char32_t kLastCodePoint = 0x10FFFF;

bool IsIdentifierStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsIdentifierPart(char c) {
    return IsIdentifierStart(c) || IsDigit(c);
}

// Length of the well-formed UTF-8 sequence at the start of bytes (no overlong forms, no
// surrogates, nothing past U+10FFFF), or 0.
std::size_t Utf8SequenceLength(std::string_view bytes) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    const std::uint8_t lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    char32_t code = 0;
    char32_t smallest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F, smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F, smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07, smallest = 0x10000;
    } else {
        return 0;
    }
    if (bytes.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i) & 0x3F);
    }
    if (code < smallest || code > kLastCodePoint || IsHighSurrogate(code) || IsLowSurrogate(code)) return 0;
    return length;
}

bool IsUtf8(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t length = Utf8SequenceLength(bytes);
        if (length == 0) return false;
        bytes.remove_prefix(length);
    }
    return true;
}

}  // namespace

std::string DescribeCharacter(char character) {
    const auto byte = static_cast<unsigned char>(character);
    if (byte >= 0x21 && byte < 0x7F) return std::string("'") + character + "'";
    static const char digits[] = "0123456789ABCDEF";
    return std::string("byte 0x") + digits[byte >> 4] + digits[byte & 15];
}

PropertyTextLexer::PropertyTextLexer(std::string_view text) : text_(text) {
    if (text_.starts_with(kByteOrderMark)) position_ = kByteOrderMark.size();
}

void PropertyTextLexer::Fail(const std::string& message) const {
    throw PropertyTextError{line_, message};
}

const Token& PropertyTextLexer::Peek() {
    if (!peeked_) peeked_ = Scan();
    return *peeked_;
}

Token PropertyTextLexer::Next() {
    if (peeked_) {
        Token token = std::move(*peeked_);
        peeked_.reset();
        return token;
    }
    return Scan();
}

void PropertyTextLexer::SkipBlanks() {
    while (position_ < text_.size()) {
        const char c = text_[position_];
        if (c == '\n') {
            ++line_;
        } else if (c != ' ' && c != '\t' && c != '\r') {
            return;
        }
        ++position_;
    }
}

Token PropertyTextLexer::Scan() {
    SkipBlanks();
    if (position_ >= text_.size()) return Token{TokenKind::EndOfText, {}, line_};
    const char c = text_[position_];
    if (IsIdentifierStart(c)) return ScanIdentifier();
    if (IsDigit(c) || c == '-') return ScanInteger();
    if (c == '\'' || c == '#') return ScanString();
    const auto symbol = [&](TokenKind kind) {
        ++position_;
        return Token{kind, std::string(1, c), line_};
    };
    if (c == ':') return symbol(TokenKind::Colon);
    if (c == '=') return symbol(TokenKind::Equals);
    if (c == '+') return symbol(TokenKind::Plus);
    Fail("unexpected " + DescribeCharacter(c));
}

Token PropertyTextLexer::ScanIdentifier() {
    const std::size_t start = position_;
    for (;;) {
        while (position_ < text_.size() && IsIdentifierPart(text_[position_])) ++position_;
        // Dotted names (Font.Name) are one identifier.
        if (position_ + 1 < text_.size() && text_[position_] == '.' && IsIdentifierStart(text_[position_ + 1])) {
            ++position_;
            continue;
        }
        break;
    }
    return Token{TokenKind::Identifier, std::string(text_.substr(start, position_ - start)), line_};
}

Token PropertyTextLexer::ScanInteger() {
    const std::size_t start = position_;
    if (text_[position_] == '-') ++position_;
    if (position_ >= text_.size() || !IsDigit(text_[position_])) Fail("'-' must be followed by decimal digits");
    while (position_ < text_.size() && IsDigit(text_[position_])) ++position_;
    if (position_ < text_.size() && (IsIdentifierPart(text_[position_]) || text_[position_] == '.')) {
        Fail("malformed number: only decimal integers are allowed");
    }
    return Token{TokenKind::Integer, std::string(text_.substr(start, position_ - start)), line_};
}

Token PropertyTextLexer::ScanString() {
    Token token{TokenKind::String, {}, line_};
    while (position_ < text_.size()) {
        if (text_[position_] == '\'') {
            AppendQuotedPiece(token.text);
        } else if (text_[position_] == '#') {
            AppendCharacterCodes(token.text);
        } else {
            break;
        }
    }
    return token;
}

void PropertyTextLexer::AppendQuotedPiece(std::string& value) {
    ++position_;  // opening quote
    std::string piece;
    for (;;) {
        if (position_ >= text_.size() || text_[position_] == '\n' || text_[position_] == '\r') {
            Fail("unterminated string: the closing quote is missing on this line");
        }
        const char c = text_[position_++];
        if (c != '\'') {
            piece += c;
        } else if (position_ < text_.size() && text_[position_] == '\'') {
            piece += '\'';
            ++position_;
        } else {
            break;
        }
    }
    if (!IsUtf8(piece)) Fail("string holds bytes that are not UTF-8");
    value += piece;
}

char32_t PropertyTextLexer::ScanCharacterCode() {
    ++position_;  // '#'
    if (position_ >= text_.size() || !IsDigit(text_[position_]))
        Fail("'#' must be followed by a decimal character code");
    char32_t code = 0;
    while (position_ < text_.size() && IsDigit(text_[position_])) {
        code = code * 10 + static_cast<char32_t>(text_[position_++] - '0');
        if (code > kLastCodePoint) Fail("character code beyond U+10FFFF");
    }
    return code;
}

void PropertyTextLexer::AppendCharacterCodes(std::string& value) {
    char32_t code = ScanCharacterCode();
    // A character outside the basic plane may be written as its two UTF-16 halves.
    if (IsHighSurrogate(code)) {
        if (position_ >= text_.size() || text_[position_] != '#')
            Fail("a high surrogate code must be followed by a low one");
        const char32_t low = ScanCharacterCode();
        if (!IsLowSurrogate(low)) Fail("a high surrogate code must be followed by a low one");
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    } else if (IsLowSurrogate(code)) {
        Fail("a low surrogate code without a high one before it");
    }
    AppendUtf8(value, code);
}

}  // namespace brevant::tools
