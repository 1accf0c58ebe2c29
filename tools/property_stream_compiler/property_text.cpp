#include "tools/property_stream_compiler/property_text.h"

#include <charconv>
#include <limits>

#include "tools/property_stream_compiler/property_stream_writer.h"
#include "tools/property_stream_compiler/property_text_lexer.h"

namespace brevant::tools {

namespace {

// Keywords and True/False ignore letter case, as the form-text readers of Pascal tools do.
bool IsKeyword(const Token& token, std::string_view keyword) {
    if (token.kind != TokenKind::Identifier || token.text.size() != keyword.size()) return false;
    for (std::size_t i = 0; i < keyword.size(); ++i) {
        char c = token.text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != keyword[i]) return false;
    }
    return true;
}

std::string Describe(const Token& token) {
    switch (token.kind) {
        case TokenKind::Identifier:
            return "'" + token.text + "'";
        case TokenKind::Integer:
            return "the number " + token.text;
        case TokenKind::String:
            return "a string";
        case TokenKind::EndOfText:
            return "the end of the text";
        default:
            return "'" + token.text + "'";
    }
}

[[noreturn]] void Fail(std::size_t line, const std::string& message) {
    throw PropertyTextError{line, message};
}

struct OpenObject {
    std::string name;
    std::size_t line = 0;
    bool propertiesEnded = false;
};

class PropertyTextCompiler {
public:
    explicit PropertyTextCompiler(std::string_view text) : lexer_(text) {}

    std::vector<std::uint8_t> Compile();

private:
    void BeginObject(const Token& keyword);
    void EndProperties();
    void EndObject();
    void Property(const Token& name);
    void Value(const Token& name);
    std::string StringValue(const Token& first);
    Token ExpectName(const std::string& what);

    PropertyTextLexer lexer_;
    PropertyStreamWriter writer_;
    std::vector<OpenObject> open_;
};

std::vector<std::uint8_t> PropertyTextCompiler::Compile() {
    writer_.Signature();
    const Token first = lexer_.Next();
    if (!IsKeyword(first, "object")) Fail(first.line, "the text must start with 'object <Name>: <Class>'");
    BeginObject(first);
    while (!open_.empty()) {
        const Token token = lexer_.Next();
        if (IsKeyword(token, "object")) {
            EndProperties();
            BeginObject(token);
        } else if (IsKeyword(token, "end")) {
            EndObject();
        } else if (token.kind == TokenKind::Identifier) {
            Property(token);
        } else if (token.kind == TokenKind::EndOfText) {
            Fail(token.line, "the text ends inside object '" + open_.back().name + "' (opened on line " +
                                 std::to_string(open_.back().line) + "): 'end' missing");
        } else {
            Fail(token.line, "property name, 'object' or 'end' expected, found " + Describe(token));
        }
    }
    const Token rest = lexer_.Next();
    if (rest.kind != TokenKind::EndOfText) Fail(rest.line, "text after the 'end' of the root object");
    return writer_.Take();
}

Token PropertyTextCompiler::ExpectName(const std::string& what) {
    Token token = lexer_.Next();
    if (token.kind != TokenKind::Identifier || IsKeyword(token, "end") || IsKeyword(token, "object")) {
        Fail(token.line, what + " expected, found " + Describe(token));
    }
    if (token.text.size() > kLongestShortString) Fail(token.line, what + " longer than 255 characters");
    return token;
}

// "object Name: Class"; the stream holds the class name first.
void PropertyTextCompiler::BeginObject(const Token& keyword) {
    const Token name = ExpectName("object name after 'object'");
    const Token colon = lexer_.Next();
    if (colon.kind != TokenKind::Colon) {
        Fail(colon.line, "':' expected after object name '" + name.text + "', found " + Describe(colon));
    }
    const Token className = ExpectName("class name of object '" + name.text + "'");
    writer_.ShortString(className.text);
    writer_.ShortString(name.text);
    open_.push_back(OpenObject{name.text, keyword.line, false});
}

void PropertyTextCompiler::EndProperties() {
    if (open_.back().propertiesEnded) return;
    writer_.EndOfList();
    open_.back().propertiesEnded = true;
}

void PropertyTextCompiler::EndObject() {
    EndProperties();
    writer_.EndOfList();
    open_.pop_back();
}

void PropertyTextCompiler::Property(const Token& name) {
    if (open_.back().propertiesEnded) {
        Fail(name.line, "property '" + name.text + "' after a child object; properties come before child objects");
    }
    if (name.text.size() > kLongestShortString) Fail(name.line, "property name longer than 255 characters");
    const Token equals = lexer_.Next();
    if (equals.kind != TokenKind::Equals) {
        Fail(equals.line, "'=' expected after property name '" + name.text + "', found " + Describe(equals));
    }
    writer_.ShortString(name.text);
    Value(name);
}

void PropertyTextCompiler::Value(const Token& name) {
    const Token value = lexer_.Next();
    if (value.kind == TokenKind::Integer) {
        std::int64_t number = 0;
        const char* end = value.text.data() + value.text.size();
        const auto [stop, error] = std::from_chars(value.text.data(), end, number);
        if (error != std::errc() || stop != end || number < std::numeric_limits<std::int32_t>::min() ||
            number > std::numeric_limits<std::int32_t>::max()) {
            Fail(value.line, "integer " + value.text + " is outside the 32-bit range");
        }
        writer_.Integer(static_cast<std::int32_t>(number));
    } else if (IsKeyword(value, "true") || IsKeyword(value, "false")) {
        writer_.Boolean(IsKeyword(value, "true"));
    } else if (value.kind == TokenKind::Identifier && !IsKeyword(value, "end") && !IsKeyword(value, "object")) {
        if (value.text.size() > kLongestShortString) Fail(value.line, "identifier longer than 255 characters");
        writer_.Identifier(value.text);
    } else if (value.kind == TokenKind::String) {
        writer_.String(StringValue(value));
    } else {
        Fail(value.line, "value expected for property '" + name.text + "', found " + Describe(value));
    }
}

// Strings joined with '+', which may end a line and continue the string on the next.
std::string PropertyTextCompiler::StringValue(const Token& first) {
    std::string text = first.text;
    while (lexer_.Peek().kind == TokenKind::Plus) {
        lexer_.Next();
        const Token piece = lexer_.Next();
        if (piece.kind != TokenKind::String) Fail(piece.line, "a string must follow '+', found " + Describe(piece));
        text += piece.text;
    }
    return text;
}

}  // namespace

PropertyTextResult CompilePropertyText(std::string_view text) {
    try {
        return PropertyTextResult{PropertyTextCompiler(text).Compile(), {}};
    } catch (const PropertyTextError& error) {
        return PropertyTextResult{{}, "line " + std::to_string(error.line) + ": " + error.message};
    }
}

}  // namespace brevant::tools
