#include "crashreport/ui/form_definition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/utf16_text.h"
#include "tools/property_stream_compiler/property_text.h"

namespace brevant::crashreport {

// Found by argument lookup, so the standard containers compare trees with them too.
bool operator==(const FormProperty& a, const FormProperty& b) {
    return a.name == b.name && a.value == b.value;
}

bool operator==(const FormObject& a, const FormObject& b) {
    return a.className == b.className && a.objectName == b.objectName && a.properties == b.properties &&
           a.children == b.children;
}

void PrintTo(const FormProperty& property, std::ostream* out) {
    *out << ToUtf8(property.name) << "=" << ToUtf8(property.value);
}

void PrintTo(const FormObject& object, std::ostream* out) {
    *out << "{" << ToUtf8(object.className) << " " << ToUtf8(object.objectName);
    for (const FormProperty& property : object.properties) {
        *out << " ";
        PrintTo(property, out);
    }
    for (const FormObject& child : object.children) {
        *out << " ";
        PrintTo(child, out);
    }
    *out << "}";
}

namespace {

// Builds property streams byte by byte, so tests can also cut and damage them.
class StreamBuilder {
public:
    StreamBuilder& Signature() { return Raw("TPF0"); }
    StreamBuilder& Byte(std::uint8_t value) {
        bytes_.push_back(value);
        return *this;
    }
    StreamBuilder& Raw(std::string_view raw) {
        bytes_.insert(bytes_.end(), raw.begin(), raw.end());
        return *this;
    }
    StreamBuilder& Uint32(std::uint32_t value) {
        for (int i = 0; i < 4; ++i) Byte(static_cast<std::uint8_t>(value >> (8 * i)));
        return *this;
    }
    StreamBuilder& Short(std::string_view text) { return Byte(static_cast<std::uint8_t>(text.size())).Raw(text); }
    StreamBuilder& Object(std::string_view className, std::string_view objectName) {
        return Short(className).Short(objectName);
    }
    StreamBuilder& End() { return Byte(0); }
    StreamBuilder& Property(std::string_view name, std::uint8_t type, std::string_view raw = {}) {
        return Short(name).Byte(type).Raw(raw);
    }
    StreamBuilder& Text(std::string_view name, std::string_view utf8) { return Short(name).Byte(7).Short(utf8); }
    StreamBuilder& Integer(std::string_view name, std::int32_t value) {
        return Short(name).Byte(4).Uint32(static_cast<std::uint32_t>(value));
    }
    StreamBuilder& Boolean(std::string_view name, bool value) { return Short(name).Byte(value ? 9 : 8); }

    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

// Marks what went through the ANSI decoder.
std::u16string MarkedAnsi(std::string_view bytes) {
    return u"<" + DecodeLatin1(bytes) + u">";
}

FormStreamResult Read(const StreamBuilder& stream) {
    return ReadFormStream(stream.Bytes(), MarkedAnsi);
}

std::string Le16(std::uint16_t value) {
    return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

std::string Le32(std::uint32_t value) {
    return Le16(static_cast<std::uint16_t>(value)) + Le16(static_cast<std::uint16_t>(value >> 16));
}

TEST(FormStreamTest, EveryValueTypeBecomesText) {
    const struct {
        std::uint8_t type;
        std::string raw;
        std::u16string expected;
    } cases[] = {
        {2, "\x85", u"-123"},
        {2, "\x7F", u"127"},
        {3, Le16(0xFB2E), u"-1234"},
        {3, Le16(0x8000), u"-32768"},
        {3, Le16(0x7FFF), u"32767"},
        {4, Le32(0xFFFFFFFE), u"-2"},
        {4, Le32(0x80000000), u"-2147483648"},
        {4, Le32(0x00123456), u"1193046"},
        {6,
         "\x04"
         "Ab\xE9z",
         u"<Ab\u00E9z>"},
        {7,
         "\x05"
         "\xC3\xA9\xE2\x82\xAC",
         u"\u00E9\u20AC"},
        {7, std::string(1, '\0'), u""},
        {8, "", u"0"},
        {9, "", u"1"},
        {12, Le32(3) + "x\xFCy", u"<x\u00FCy>"},
        {18, Le32(3) + Le16(0x0041) + Le16(0xD83D) + Le16(0xDE00), u"A\U0001F600"},
        {20, Le32(4) + "\xF0\x9F\x98\x80", u"\U0001F600"},
        {20, Le32(0), u""},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(testing::Message() << "type " << int{test.type} << " expecting " << ToUtf8(test.expected));
        StreamBuilder stream;
        stream.Signature().Object("TForm", "Form").Property("Value", test.type, test.raw).Text("After", "x");
        stream.End().End();
        const FormStreamResult result = Read(stream);
        EXPECT_TRUE(result.hasSignature);
        EXPECT_FALSE(result.invalidType.has_value());
        const std::vector<FormProperty> expected = {{u"Value", test.expected}, {u"After", u"x"}};
        EXPECT_EQ(result.root.properties, expected);
    }
}

TEST(FormStreamTest, ReadsTheObjectTree) {
    StreamBuilder stream;
    stream.Signature().Object("TContactForm", "Contact\xC3\xA9").Text("Message", "Hi").End();
    stream.Object("INVLabel", "Label1").Text("Caption", "a").End().End();
    stream.Object("TPanel", "Panel").End();
    stream.Object("INVEdit", "Inner").Integer("Lines", 2).End().End();
    stream.End();
    stream.Object("INVButton", "Last").End().End();
    stream.End();  // end of the root's children

    FormObject inner{u"INVEdit", u"Inner", {{u"Lines", u"2"}}, {}};
    FormObject panel{u"TPanel", u"Panel", {}, {inner}};
    FormObject expected{u"TContactForm",
                        u"Contact\u00E9",
                        {{u"Message", u"Hi"}},
                        {{u"INVLabel", u"Label1", {{u"Caption", u"a"}}, {}}, panel, {u"INVButton", u"Last", {}, {}}}};
    const FormStreamResult result = Read(stream);
    EXPECT_TRUE(result.hasSignature);
    EXPECT_FALSE(result.invalidType.has_value());
    EXPECT_EQ(result.root, expected);
}

TEST(FormStreamTest, WithoutSignatureNothingIsRead) {
    for (std::string_view start : {"", "TPF", "TPF1", "tpf0", "XTPF0"}) {
        StreamBuilder stream;
        stream.Raw(start).Object("TForm", "Form").Text("Message", "m").End().End();
        const FormStreamResult result = Read(stream);
        EXPECT_FALSE(result.hasSignature) << start;
        EXPECT_EQ(result.root, FormObject{}) << start;
    }
}

TEST(FormStreamTest, UnknownTypeStopsReadingAndKeepsWhatWasRead) {
    for (std::uint8_t type : {0, 1, 5, 10, 11, 13, 14, 17, 19, 21, 255}) {
        SCOPED_TRACE(int{type});
        StreamBuilder stream;
        stream.Signature().Object("TForm", "Form").Text("Message", "m").End();
        stream.Object("INVEdit", "Edit").Integer("Lines", 3).Property("Bad", type, "\x01\x02").Text("Text", "t");
        stream.End().End();
        stream.Object("INVLabel", "Later").End().End();
        stream.End();

        const FormStreamResult result = Read(stream);
        EXPECT_EQ(result.invalidType, std::optional<std::uint8_t>(type));
        FormObject expected{u"TForm", u"Form", {{u"Message", u"m"}}, {{u"INVEdit", u"Edit", {{u"Lines", u"3"}}, {}}}};
        EXPECT_EQ(result.root, expected);

        // The form is still built from what was read.
        const FormDescription form = DescribeForm(result);
        EXPECT_EQ(form.name, u"Form");
        ASSERT_EQ(form.items.size(), 1u);
        EXPECT_EQ(form.items[0].lines, 3);
        EXPECT_EQ(form.mainButtons[kCancelButton].caption, u"Cancel");
    }
}

TEST(FormStreamTest, InvalidResourceMessageNamesTheTypeInDecimal) {
    EXPECT_EQ(InvalidAssistantResourceMessage(10), u"Internal error: Invalid assistant resource (10).");
    EXPECT_EQ(InvalidAssistantResourceMessage(0), u"Internal error: Invalid assistant resource (0).");
    EXPECT_EQ(InvalidAssistantResourceMessage(255), u"Internal error: Invalid assistant resource (255).");
}

// True when partial holds a leading part of full: equal objects, then at most one partly read
// object at the end of each list.
bool IsLeadingPart(const FormObject& partial, const FormObject& full) {
    if (partial.className != full.className || partial.objectName != full.objectName) return false;
    if (partial.properties.size() > full.properties.size()) return false;
    if (!std::equal(partial.properties.begin(), partial.properties.end(), full.properties.begin())) return false;
    if (partial.children.empty()) return true;
    if (partial.properties.size() != full.properties.size()) return false;
    if (partial.children.size() > full.children.size()) return false;
    const std::size_t last = partial.children.size() - 1;
    for (std::size_t i = 0; i < last; ++i) {
        if (!(partial.children[i] == full.children[i])) return false;
    }
    return IsLeadingPart(partial.children[last], full.children[last]);
}

std::size_t CountParts(const FormObject& object) {
    std::size_t count = 1 + object.properties.size();
    for (const FormObject& child : object.children) count += CountParts(child);
    return count;
}

TEST(FormStreamTest, TruncationAtEveryByteKeepsTheLeadingPart) {
    StreamBuilder stream;
    stream.Signature().Object("TForm", "Form").Text("Message", "Hello").Integer("Timer", -250).End();
    stream.Object("INVEdit", "Edit").Property("Lines", 2, "\x09").Boolean("Optional", true);
    stream.Property("Text", 18, Le32(2) + Le16('o') + Le16('k')).Property("File", 12, Le32(1) + "f").End().End();
    stream.Object("INVLabel", "Label").Property("Caption", 6, "\x01L").Property("Spacing", 3, Le16(7)).End().End();
    stream.End();
    const std::vector<std::uint8_t>& bytes = stream.Bytes();
    const FormObject full = ReadFormStream(bytes, MarkedAnsi).root;
    ASSERT_EQ(CountParts(full), 11u);

    std::size_t previousParts = 0;
    for (std::size_t length = 0; length <= bytes.size(); ++length) {
        SCOPED_TRACE(length);
        // A copy of exactly that length, so the sanitizer sees any read past it.
        const std::vector<std::uint8_t> prefix(bytes.begin(), bytes.begin() + length);
        const FormStreamResult result = ReadFormStream(prefix, MarkedAnsi);
        EXPECT_EQ(result.hasSignature, length >= 4);
        EXPECT_FALSE(result.invalidType.has_value());
        if (result.root.className.empty()) {
            EXPECT_EQ(result.root, FormObject{});
            continue;
        }
        EXPECT_TRUE(IsLeadingPart(result.root, full));
        const std::size_t parts = CountParts(result.root);
        EXPECT_GE(parts, previousParts);
        previousParts = parts;
    }
    EXPECT_EQ(previousParts, CountParts(full));
}

TEST(FormStreamTest, LengthsBeyondTheDataStopReading) {
    const struct {
        std::uint8_t type;
        std::string raw;
    } cases[] = {
        {7,
         "\x0A"
         "abc"},
        {12, Le32(0xFFFFFFFF) + "abc"},
        {18, Le32(0x80000000) + "ab"},
        {18, Le32(3) + "abcde"},  // one byte short of three units
        {20, Le32(4) + "abc"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(int{test.type});
        StreamBuilder stream;
        // The value runs past the end of the data.
        stream.Signature().Object("TForm", "Form").Text("First", "1").Property("Long", test.type, test.raw);
        const FormStreamResult result = Read(stream);
        EXPECT_FALSE(result.invalidType.has_value());
        EXPECT_EQ(result.root.properties, (std::vector<FormProperty>{{u"First", u"1"}}));
    }
}

std::size_t Depth(const FormObject& object) {
    std::size_t deepest = 0;
    for (const FormObject& child : object.children) deepest = std::max(deepest, Depth(child));
    return 1 + deepest;
}

StreamBuilder NestedObjects(std::size_t depth) {
    StreamBuilder stream;
    stream.Signature();
    for (std::size_t level = 0; level < depth; ++level) {
        stream.Object("INVLabel", "L" + std::to_string(level)).Integer("Spacing", static_cast<std::int32_t>(level));
        stream.End();
    }
    for (std::size_t level = 0; level < depth; ++level) stream.End();
    return stream;
}

TEST(FormStreamTest, NestingIsCapped) {
    const FormStreamResult atLimit = Read(NestedObjects(kMaxFormObjectDepth));
    EXPECT_EQ(Depth(atLimit.root), kMaxFormObjectDepth);
    EXPECT_EQ(DescribeForm(atLimit).items.size(), kMaxFormObjectDepth);

    for (std::size_t depth : {kMaxFormObjectDepth + 1, std::size_t{100000}}) {
        const FormStreamResult result = Read(NestedObjects(depth));
        EXPECT_FALSE(result.invalidType.has_value());
        EXPECT_EQ(Depth(result.root), kMaxFormObjectDepth) << depth;
        // Everything above the cut stays, properties of the deepest kept object included.
        const FormDescription form = DescribeForm(result);
        ASSERT_EQ(form.items.size(), kMaxFormObjectDepth);
        EXPECT_EQ(form.items.back().name, u"L63");
        EXPECT_EQ(form.items.back().spacing, 63);
    }
}

// ---- Object rules ----

FormDescription Describe(const StreamBuilder& stream) {
    return DescribeForm(Read(stream));
}

std::string KindName(FormItemKind kind) {
    const char* names[] = {"button", "label", "edit", "check box", "image"};
    return names[static_cast<int>(kind)];
}

// Every field as "name=value", so a mismatch names the field.
std::vector<std::string> Fields(const FormItemDescription& item) {
    auto number = [](std::int32_t value) { return std::to_string(value); };
    auto flag = [](bool value) { return std::string(value ? "true" : "false"); };
    return {"name=" + ToUtf8(item.name),
            "kind=" + KindName(item.kind),
            "spacing=" + number(item.spacing),
            "enabled=" + flag(item.enabled),
            "ownSection=" + flag(item.outputType == TOutputType::otOwnSection),
            "outputName=" + ToUtf8(item.outputName),
            "caption=" + ToUtf8(item.caption),
            "minWidth=" + number(item.minWidth),
            "noOwnerDraw=" + flag(item.noOwnerDraw),
            "invisible=" + flag(item.invisible),
            "text=" + ToUtf8(item.text),
            "lines=" + number(item.lines),
            "optional=" + flag(item.optional),
            "notColored=" + flag(item.notColored),
            "notValid=" + flag(item.notValid),
            "checked=" + flag(item.checked),
            "width=" + number(item.width),
            "height=" + number(item.height),
            "file=" + ToUtf8(item.file),
            "clickable=" + flag(item.clickable),
            "border=" + flag(item.border)};
}

std::vector<std::string> Fields(const FormDescription& form) {
    std::vector<std::string> fields = {
        "name=" + ToUtf8(form.name),
        "minWidth=" + std::to_string(form.minWidth),
        "message=" + ToUtf8(form.message),
        "activeControl=" + ToUtf8(form.activeControl),
        "timer=" + std::to_string(form.timer),
        "onAction=" + ToUtf8(form.onAction),
        "handler=" + std::to_string(static_cast<int>(form.handler.kind)),
    };
    for (const FormItemDescription& button : form.mainButtons) {
        for (std::string& field : Fields(button)) fields.push_back(std::move(field));
    }
    for (const FormItemDescription& item : form.items) {
        for (std::string& field : Fields(item)) fields.push_back(std::move(field));
    }
    return fields;
}

// The fields in which an item differs from a fresh item of its kind and name.
std::vector<std::string> ChangedFields(const FormItemDescription& item) {
    FormItemDescription fresh;
    fresh.kind = item.kind;
    fresh.name = item.name;
    const std::vector<std::string> fields = Fields(item);
    const std::vector<std::string> freshFields = Fields(fresh);
    std::vector<std::string> changed;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i] != freshFields[i]) changed.push_back(fields[i]);
    }
    return changed;
}

using Changes = std::vector<std::string>;

TEST(FormDescriptionTest, DataWithoutDefinitionGivesTheMainButtonsOnly) {
    StreamBuilder wrongSignature;
    wrongSignature.Raw("TPF1").Object("TForm", "Form").Text("Message", "m").End();
    wrongSignature.Object("INVButton", "ContinueBtn").Text("Caption", "Go").End().End().End();
    for (const FormDescription& form : {Describe(StreamBuilder()), Describe(wrongSignature), EmptyFormDescription()}) {
        EXPECT_EQ(form.mainButtons[kContinueButton].name, u"ContinueBtn");
        EXPECT_EQ(form.mainButtons[kSkipButton].name, u"SkipBtn");
        EXPECT_EQ(form.mainButtons[kCancelButton].name, u"CancelBtn");
        EXPECT_EQ(ChangedFields(form.mainButtons[kContinueButton]), Changes{"caption=Next >"});
        EXPECT_EQ(ChangedFields(form.mainButtons[kSkipButton]), Changes{"caption=Skip"});
        EXPECT_EQ(ChangedFields(form.mainButtons[kCancelButton]), Changes{"caption=Cancel"});
        EXPECT_EQ(form.name, u"");
        EXPECT_EQ(form.message, u"");
        EXPECT_TRUE(form.items.empty());
        EXPECT_EQ(form.handler.kind, FormHandlerKind::None);
    }
}

TEST(FormDescriptionTest, ButtonObjectsConfigureTheMainButtonsByExactName) {
    StreamBuilder stream;
    stream.Signature().Object("TForm", "Form").End();
    stream.Object("INVButton", "ContinueBtn").Text("Caption", "Continue").Boolean("NoOwnerDraw", true).End().End();
    stream.Object("XNVButton", "SkipBtn").Boolean("Visible", false).Boolean("Enabled", false).End().End();
    stream.Object("INVButton", "AbortBtn").Text("Caption", "Stop").Integer("MinWidth", 90).End().End();
    stream.Object("INVButton", "continueBtn").Integer("MinWidth", 80).End().End();
    stream.Object("INVButton", "Extra").End().End();
    stream.End();
    const FormDescription form = Describe(stream);

    EXPECT_EQ(ChangedFields(form.mainButtons[kContinueButton]), (Changes{"caption=Continue", "noOwnerDraw=true"}));
    EXPECT_EQ(ChangedFields(form.mainButtons[kSkipButton]),
              (Changes{"enabled=false", "caption=Skip", "invisible=true"}));
    EXPECT_EQ(form.mainButtons[kCancelButton].name, u"CancelBtn");
    EXPECT_EQ(ChangedFields(form.mainButtons[kCancelButton]), (Changes{"caption=Stop", "minWidth=90"}));
    // Names that differ in letter case are buttons of their own, with an empty caption.
    ASSERT_EQ(form.items.size(), 2u);
    EXPECT_EQ(Fields(form.items[0])[0], "name=continueBtn");
    EXPECT_EQ(ChangedFields(form.items[0]), Changes{"minWidth=80"});
    EXPECT_EQ(Fields(form.items[1])[0], "name=Extra");
    EXPECT_EQ(ChangedFields(form.items[1]), Changes{});
}

TEST(FormDescriptionTest, ItemKindsComeFromTheClassNameAfterItsFirstLetter) {
    StreamBuilder stream;
    stream.Signature().Object("TRoot", "Root").End();
    for (const char* className :
         {"INVButton", "TNVLabel", "INVEdit", "QNVCheckBox", "INVImage", "INVlabel", "NVLabel", "INVPanel", "I"}) {
        stream.Object(className, className).End().End();
    }
    stream.End();
    const FormDescription form = Describe(stream);

    std::vector<std::string> items;
    for (const FormItemDescription& item : form.items) items.push_back(ToUtf8(item.name) + " " + KindName(item.kind));
    EXPECT_EQ(items, (std::vector<std::string>{"INVButton button", "TNVLabel label", "INVEdit edit",
                                               "QNVCheckBox check box", "INVImage image"}));
    EXPECT_EQ(form.name, u"Root");
}

TEST(FormDescriptionTest, FirstObjectWithoutItemNamesTheFormAndEveryOneSetsFormProperties) {
    StreamBuilder stream;
    stream.Signature().Object("INVLabel", "RootLabel").Text("Message", "not a form property").End();
    stream.Object("INVEdit", "Edit").End().End();
    stream.Object("TPanel", "Panel").Text("Message", "First").Integer("MinWidth", 400).End();
    stream.Object("TPanel", "Inner").Text("Message", "Second").Text("ActiveControl", "Edit").End().End();
    stream.End();
    stream.Object("TOther", "Other").Integer("Timer", 250).Text("OnAction", "Unit1.Go").Text("message", "x").End();
    stream.End();
    stream.End();
    const FormDescription form = Describe(stream);

    const std::vector<std::string> fields = Fields(form);
    EXPECT_EQ(std::vector<std::string>(fields.begin(), fields.begin() + 7),
              (std::vector<std::string>{"name=Panel", "minWidth=400", "message=Second", "activeControl=Edit",
                                        "timer=250", "onAction=Unit1.Go", "handler=3"}));
    ASSERT_EQ(form.items.size(), 2u);
    EXPECT_EQ(form.items[0].name, u"RootLabel");
    EXPECT_EQ(form.items[1].name, u"Edit");
}

// One property on a fresh item of a class: the fields it changed.
Changes ChangesOf(std::string_view className, std::string_view property, std::uint8_t type, std::string_view raw) {
    StreamBuilder stream;
    stream.Signature().Object("TForm", "Form").End();
    stream.Object(className, "Item").Property(property, type, raw).End().End();
    stream.End();
    const FormDescription form = Describe(stream);
    EXPECT_EQ(form.items.size(), 1u);
    return form.items.empty() ? Changes{"no item"} : ChangedFields(form.items[0]);
}

TEST(FormDescriptionTest, ItemsReadTheirClassPropertiesAndIgnoreOthers) {
    const struct {
        const char* className;
        const char* property;
        std::uint8_t type;
        std::string raw;
        const char* change;  // empty: the property is ignored
    } cases[] = {
        // Every kind.
        {"INVImage", "Spacing", 2, "\xFB", "spacing=-5"},
        {"INVLabel", "Enabled", 8, "", "enabled=false"},
        {"INVCheckBox", "OutputName", 7, "\x02on", "outputName=on"},
        {"INVButton", "OutputType", 6, "\x0DnvoOwnSection", "ownSection=true"},
        {"INVEdit", "OutputType", 7, "\x0AOWNSECTION", "ownSection=true"},
        {"INVEdit", "OutputType", 7, "\x0Emyownsectionxy", "ownSection=true"},
        {"INVEdit", "OutputType", 6, "\x09nvoHeader", ""},
        {"INVEdit", "OutputType", 7, "\x0Bown Section", ""},
        // Buttons.
        {"INVButton", "MinWidth", 3, Le16(120), "minWidth=120"},
        {"INVButton", "Caption", 7, "\x02Go", "caption=Go"},
        {"INVButton", "NoOwnerDraw", 9, "", "noOwnerDraw=true"},
        {"INVButton", "Visible", 8, "", "invisible=true"},
        {"INVButton", "Visible", 9, "", ""},
        {"INVButton", "Text", 7, "\x02Go", ""},
        {"INVButton", "Checked", 9, "", ""},
        // Labels.
        {"INVLabel", "Caption", 7,
         "\x02"
         "ab",
         "caption=ab"},
        {"INVLabel", "Text", 7,
         "\x02"
         "ab",
         ""},
        {"INVLabel", "MinWidth", 2, "\x01", ""},
        // Edits; line markers become line breaks, exactly as written.
        {"INVEdit", "Text", 7,
         "\x02"
         "ab",
         "text=ab"},
        {"INVEdit", "Text", 7,
         "\x06"
         "a%lf%b",
         "text=a\r\nb"},
        {"INVEdit", "Text", 7, "\x08%lf%%lf%", "text=\r\n\r\n"},
        {"INVEdit", "Text", 7, "\x08x%lf%lf%", "text=x\r\nlf%"},
        {"INVEdit", "Text", 7, "\x04%LF%", "text=%LF%"},
        {"INVEdit", "Caption", 7,
         "\x02"
         "ab",
         ""},
        {"INVEdit", "Lines", 2, "\x09", "lines=9"},
        {"INVEdit", "Optional", 9, "", "optional=true"},
        {"INVEdit", "Colored", 8, "", "notColored=true"},
        {"INVEdit", "Colored", 9, "", ""},
        {"INVEdit", "Valid", 8, "", "notValid=true"},
        {"INVEdit", "Valid", 9, "", ""},
        {"INVEdit", "Visible", 8, "", ""},
        // Check boxes; Text is a caption there, line markers and all.
        {"INVCheckBox", "Caption", 7,
         "\x01"
         "c",
         "caption=c"},
        {"INVCheckBox", "Text", 7,
         "\x06"
         "a%lf%b",
         "caption=a%lf%b"},
        {"INVCheckBox", "Checked", 9, "", "checked=true"},
        {"INVCheckBox", "Lines", 2, "\x05", ""},
        // Images.
        {"INVImage", "Width", 3, Le16(640), "width=640"},
        {"INVImage", "Height", 4, Le32(480), "height=480"},
        {"INVImage", "File", 20, Le32(5) + "a.bmp", "file=a.bmp"},
        {"INVImage", "Clickable", 9, "", "clickable=true"},
        {"INVImage", "Border", 9, "", "border=true"},
        {"INVImage", "Caption", 7,
         "\x01"
         "c",
         ""},
        // Names compare exactly.
        {"INVLabel", "caption", 7,
         "\x01"
         "c",
         ""},
        {"INVEdit", "LINES", 2, "\x05", ""},
        // Numbers and booleans given as text.
        {"INVEdit", "Lines", 7,
         "\x02"
         "12",
         "lines=12"},
        {"INVEdit", "Lines", 7, "\x02-3", "lines=-3"},
        {"INVEdit", "Lines", 7, "\x02x1", "lines=0"},
        {"INVEdit", "Optional", 7,
         "\x01"
         "1",
         "optional=true"},
        {"INVEdit", "Optional", 7,
         "\x01"
         "0",
         ""},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(testing::Message() << test.className << "." << test.property << " type " << int{test.type});
        const Changes expected = *test.change ? Changes{test.change} : Changes{};
        EXPECT_EQ(ChangesOf(test.className, test.property, test.type, test.raw), expected);
    }
}

TEST(FormDescriptionTest, OnActionSelectsTheHandler) {
    const struct {
        std::u16string onAction;
        FormHandlerKind kind;
        std::u16string unitName;
        std::u16string functionName;
    } cases[] = {
        {u"", FormHandlerKind::None, u"", u""},
        {u"Quarrex.HandleContactForm", FormHandlerKind::ContactForm, u"", u""},
        {u"QUARREX.handlecontactform", FormHandlerKind::ContactForm, u"", u""},
        {u"quarrex.HandleScreenshotForm", FormHandlerKind::ScreenshotForm, u"", u""},
        {u"Quarrex.HandleContactForm ", FormHandlerKind::PublicSymbol, u"Quarrex", u"HandleContactForm "},
        {u"Quarrex.HandleOtherForm", FormHandlerKind::PublicSymbol, u"Quarrex", u"HandleOtherForm"},
        {u"MyHandler", FormHandlerKind::PublicSymbol, u"", u"MyHandler"},
        {u"Unit.TForm.Handler", FormHandlerKind::PublicSymbol, u"Unit", u"TForm.Handler"},
        {u".Handler", FormHandlerKind::PublicSymbol, u"", u"Handler"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(ToUtf8(test.onAction));
        const FormHandlerReference handler = ClassifyFormHandler(test.onAction);
        EXPECT_EQ(handler.kind, test.kind);
        EXPECT_EQ(handler.unitName, test.unitName);
        EXPECT_EQ(handler.functionName, test.functionName);
    }

    StreamBuilder stream;
    stream.Signature().Object("TForm", "Form").Text("OnAction", "quarrex.handlescreenshotform").End().End();
    EXPECT_EQ(Describe(stream).handler.kind, FormHandlerKind::ScreenshotForm);
}

// ---- The three forms the program ships ----

FormItemDescription Label(std::u16string name, std::u16string caption) {
    return {.kind = FormItemKind::Label, .name = std::move(name), .caption = std::move(caption)};
}

FormItemDescription Edit(std::u16string name, std::int32_t lines, bool optional, std::u16string outputName,
                         TOutputType outputType) {
    return {.kind = FormItemKind::Edit,
            .name = std::move(name),
            .outputType = outputType,
            .outputName = std::move(outputName),
            .lines = lines,
            .optional = optional};
}

FormItemDescription CheckBox(std::u16string name, std::u16string caption, bool checked) {
    return {.kind = FormItemKind::CheckBox, .name = std::move(name), .caption = std::move(caption), .checked = checked};
}

// The shipped forms caption their buttons alike; some disable Skip.
FormDescription ShippedForm(std::u16string name, std::u16string message, bool skipEnabled) {
    FormDescription form;
    form.name = std::move(name);
    form.message = std::move(message);
    form.mainButtons = {
        FormItemDescription{.kind = FormItemKind::Button, .name = u"ContinueBtn", .caption = u"Continue"},
        FormItemDescription{
            .kind = FormItemKind::Button, .name = u"SkipBtn", .enabled = skipEnabled, .caption = u"Skip"},
        FormItemDescription{.kind = FormItemKind::Button, .name = u"CancelBtn", .caption = u"Cancel"},
    };
    return form;
}

FormDescription ExpectedContactForm() {
    FormDescription form = ShippedForm(u"ContactForm", u"Contact Information", false);
    form.onAction = u"Quarrex.HandleContactForm";
    form.handler.kind = FormHandlerKind::ContactForm;
    form.items = {
        Label(u"Label1", u"your name:"),
        Edit(u"NameEdit", 1, true, u"contact name", TOutputType::otHeader),
        Label(u"Label2", u"your email:"),
        Edit(u"EmailEdit", 1, false, u"contact email", TOutputType::otHeader),
        CheckBox(u"MemCheck", u"remember me", false),
    };
    return form;
}

FormDescription ExpectedDetailsForm() {
    FormDescription form = ShippedForm(u"DetailsForm", u"Error Details", true);
    form.items = {
        Label(u"Label1", u"what were you doing when the error occurred?"),
        Edit(u"DetailsMemo", 9, false, u"error details", TOutputType::otOwnSection),
    };
    return form;
}

FormDescription ExpectedScreenshotForm() {
    FormDescription form = ShippedForm(u"ScrShotForm", u"Screenshot Configuration", false);
    form.activeControl = u"ContinueBtn";
    form.onAction = u"Quarrex.HandleScreenshotForm";
    form.handler.kind = FormHandlerKind::ScreenshotForm;
    form.timer = 250;
    form.items = {
        CheckBox(u"AttachCheck", u"attach a screenshot to the bug report", true),
        {.kind = FormItemKind::Image, .name = u"ScrShotImg", .clickable = true, .border = true},
        Label(u"Label1", u"(click to edit image)"),
    };
    return form;
}

std::string ReadShippedForm(const char* fileName) {
    const std::filesystem::path path =
        std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "resources" / "forms" / fileName;
    std::ifstream file(path, std::ios::binary);
    EXPECT_TRUE(file) << path;
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(FormDescriptionTest, ShippedFormsCarryEveryPropertyTheyAreDefinedWith) {
    const struct {
        const char* fileName;
        FormDescription expected;
    } cases[] = {
        {"contact_form.txt", ExpectedContactForm()},
        {"details_form.txt", ExpectedDetailsForm()},
        {"scrshot_form.txt", ExpectedScreenshotForm()},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.fileName);
        const tools::PropertyTextResult compiled = tools::CompilePropertyText(ReadShippedForm(test.fileName));
        ASSERT_EQ(compiled.error, "");
        const FormStreamResult stream = ReadFormStream(compiled.stream, DecodeLatin1);
        EXPECT_TRUE(stream.hasSignature);
        EXPECT_FALSE(stream.invalidType.has_value());
        EXPECT_EQ(Fields(DescribeForm(stream)), Fields(test.expected));
    }
}

}  // namespace
}  // namespace brevant::crashreport
