#include "crashreport/ui/form_definition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/utf16_text.h"

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

void ExpectMainButtonsUntouched(const FormDescription& form) {
    const std::u16string names[] = {u"ContinueBtn", u"SkipBtn", u"CancelBtn"};
    const std::u16string captions[] = {u"Next >", u"Skip", u"Cancel"};
    for (std::size_t i = 0; i < 3; ++i) {
        const FormItemDescription& button = form.mainButtons[i];
        EXPECT_EQ(button.kind, FormItemKind::Button);
        EXPECT_EQ(button.name, names[i]);
        EXPECT_EQ(button.caption, captions[i]);
        EXPECT_TRUE(button.enabled);
        EXPECT_FALSE(button.invisible);
        EXPECT_FALSE(button.noOwnerDraw);
    }
}

TEST(FormDescriptionTest, DataWithoutDefinitionGivesTheMainButtonsOnly) {
    StreamBuilder wrongSignature;
    wrongSignature.Raw("TPF1").Object("TForm", "Form").Text("Message", "m").End();
    wrongSignature.Object("INVButton", "ContinueBtn").Text("Caption", "Go").End().End().End();
    for (const FormDescription& form : {Describe(StreamBuilder()), Describe(wrongSignature), EmptyFormDescription()}) {
        ExpectMainButtonsUntouched(form);
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

    EXPECT_EQ(form.mainButtons[kContinueButton].caption, u"Continue");
    EXPECT_TRUE(form.mainButtons[kContinueButton].noOwnerDraw);
    EXPECT_EQ(form.mainButtons[kSkipButton].caption, u"Skip");
    EXPECT_TRUE(form.mainButtons[kSkipButton].invisible);
    EXPECT_FALSE(form.mainButtons[kSkipButton].enabled);
    EXPECT_EQ(form.mainButtons[kCancelButton].name, u"CancelBtn");
    EXPECT_EQ(form.mainButtons[kCancelButton].caption, u"Stop");
    EXPECT_EQ(form.mainButtons[kCancelButton].minWidth, 90);

    // Names that differ in letter case are buttons of their own, with an empty caption.
    ASSERT_EQ(form.items.size(), 2u);
    EXPECT_EQ(form.items[0].kind, FormItemKind::Button);
    EXPECT_EQ(form.items[0].name, u"continueBtn");
    EXPECT_EQ(form.items[0].caption, u"");
    EXPECT_EQ(form.items[0].minWidth, 80);
    EXPECT_EQ(form.items[1].name, u"Extra");
}

TEST(FormDescriptionTest, ItemKindsComeFromTheClassNameAfterItsFirstLetter) {
    StreamBuilder stream;
    stream.Signature().Object("TRoot", "Root").End();
    const struct {
        const char* className;
        std::optional<FormItemKind> kind;
    } cases[] = {
        {"INVButton", FormItemKind::Button},
        {"TNVLabel", FormItemKind::Label},
        {"INVEdit", FormItemKind::Edit},
        {"QNVCheckBox", FormItemKind::CheckBox},
        {"INVImage", FormItemKind::Image},
        {"INVlabel", std::nullopt},
        {"NVLabel", std::nullopt},
        {"INVPanel", std::nullopt},
        {"I", std::nullopt},
    };
    for (const auto& test : cases) stream.Object(test.className, test.className).End().End();
    stream.End();
    const FormDescription form = Describe(stream);

    std::vector<std::u16string> expectedNames;
    std::vector<FormItemKind> expectedKinds;
    for (const auto& test : cases) {
        if (!test.kind) continue;
        expectedNames.push_back(FromUtf8(test.className));
        expectedKinds.push_back(*test.kind);
    }
    std::vector<std::u16string> names;
    std::vector<FormItemKind> kinds;
    for (const FormItemDescription& item : form.items) {
        names.push_back(item.name);
        kinds.push_back(item.kind);
    }
    EXPECT_EQ(names, expectedNames);
    EXPECT_EQ(kinds, expectedKinds);
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

    EXPECT_EQ(form.name, u"Panel");
    EXPECT_EQ(form.message, u"Second");
    EXPECT_EQ(form.minWidth, 400);
    EXPECT_EQ(form.activeControl, u"Edit");
    EXPECT_EQ(form.timer, 250);
    EXPECT_EQ(form.onAction, u"Unit1.Go");
    EXPECT_EQ(form.handler.kind, FormHandlerKind::PublicSymbol);
    ASSERT_EQ(form.items.size(), 2u);
    EXPECT_EQ(form.items[0].name, u"RootLabel");
    EXPECT_EQ(form.items[1].name, u"Edit");
}

// Applies one property to a fresh item of a kind and returns the item.
FormItemDescription ItemWith(std::string_view className, std::string_view property, std::uint8_t type,
                             std::string_view raw) {
    StreamBuilder stream;
    stream.Signature().Object("TForm", "Form").End();
    stream.Object(className, "Item").Property(property, type, raw).End().End();
    stream.End();
    const FormDescription form = Describe(stream);
    EXPECT_EQ(form.items.size(), 1u);
    return form.items.empty() ? FormItemDescription{} : form.items[0];
}

TEST(FormDescriptionTest, ItemsReadTheirClassPropertiesAndIgnoreOthers) {
    using Check = bool (*)(const FormItemDescription&);
    const struct {
        const char* className;
        const char* property;
        std::uint8_t type;
        std::string raw;
        Check check;
    } cases[] = {
        // Every kind.
        {"INVImage", "Spacing", 2, "\xFB", [](const FormItemDescription& i) { return i.spacing == -5; }},
        {"INVLabel", "Enabled", 8, "", [](const FormItemDescription& i) { return !i.enabled; }},
        {"INVCheckBox", "OutputName", 7, "\x02on", [](const FormItemDescription& i) { return i.outputName == u"on"; }},
        {"INVButton", "OutputType", 6, "\x0DnvoOwnSection",
         [](const FormItemDescription& i) { return i.outputType == TOutputType::otOwnSection; }},
        // Buttons.
        {"INVButton", "MinWidth", 3, Le16(120), [](const FormItemDescription& i) { return i.minWidth == 120; }},
        {"INVButton", "Caption", 7, "\x02Go", [](const FormItemDescription& i) { return i.caption == u"Go"; }},
        {"INVButton", "NoOwnerDraw", 9, "", [](const FormItemDescription& i) { return i.noOwnerDraw; }},
        {"INVButton", "Visible", 8, "", [](const FormItemDescription& i) { return i.invisible; }},
        {"INVButton", "Visible", 9, "", [](const FormItemDescription& i) { return !i.invisible; }},
        {"INVButton", "Text", 7, "\x02Go", [](const FormItemDescription& i) { return i.caption.empty(); }},
        {"INVButton", "Checked", 9, "", [](const FormItemDescription& i) { return !i.checked; }},
        // Labels.
        {"INVLabel", "Caption", 7,
         "\x02"
         "ab",
         [](const FormItemDescription& i) { return i.caption == u"ab"; }},
        {"INVLabel", "Text", 7,
         "\x02"
         "ab",
         [](const FormItemDescription& i) { return i.caption.empty(); }},
        {"INVLabel", "MinWidth", 2, "\x01", [](const FormItemDescription& i) { return i.minWidth == 0; }},
        // Edits.
        {"INVEdit", "Text", 7,
         "\x02"
         "ab",
         [](const FormItemDescription& i) { return i.text == u"ab"; }},
        {"INVEdit", "Caption", 7,
         "\x02"
         "ab",
         [](const FormItemDescription& i) { return i.caption.empty() && i.text.empty(); }},
        {"INVEdit", "Lines", 2, "\x09", [](const FormItemDescription& i) { return i.lines == 9; }},
        {"INVEdit", "Optional", 9, "", [](const FormItemDescription& i) { return i.optional; }},
        {"INVEdit", "Colored", 8, "", [](const FormItemDescription& i) { return i.notColored; }},
        {"INVEdit", "Colored", 9, "", [](const FormItemDescription& i) { return !i.notColored; }},
        {"INVEdit", "Valid", 8, "", [](const FormItemDescription& i) { return i.notValid; }},
        {"INVEdit", "Valid", 9, "", [](const FormItemDescription& i) { return !i.notValid; }},
        {"INVEdit", "Visible", 8, "", [](const FormItemDescription& i) { return !i.invisible; }},
        // Check boxes.
        {"INVCheckBox", "Caption", 7,
         "\x01"
         "c",
         [](const FormItemDescription& i) { return i.caption == u"c"; }},
        {"INVCheckBox", "Text", 7,
         "\x01"
         "c",
         [](const FormItemDescription& i) { return i.caption == u"c"; }},
        {"INVCheckBox", "Checked", 9, "", [](const FormItemDescription& i) { return i.checked; }},
        {"INVCheckBox", "Lines", 2, "\x05", [](const FormItemDescription& i) { return i.lines == 1; }},
        // Images.
        {"INVImage", "Width", 3, Le16(640), [](const FormItemDescription& i) { return i.width == 640; }},
        {"INVImage", "Height", 4, Le32(480), [](const FormItemDescription& i) { return i.height == 480; }},
        {"INVImage", "File", 20, Le32(5) + "a.bmp", [](const FormItemDescription& i) { return i.file == u"a.bmp"; }},
        {"INVImage", "Clickable", 9, "", [](const FormItemDescription& i) { return i.clickable; }},
        {"INVImage", "Border", 9, "", [](const FormItemDescription& i) { return i.border; }},
        {"INVImage", "Caption", 7,
         "\x01"
         "c",
         [](const FormItemDescription& i) { return i.caption.empty(); }},
        // Names compare exactly.
        {"INVLabel", "caption", 7,
         "\x01"
         "c",
         [](const FormItemDescription& i) { return i.caption.empty(); }},
        {"INVEdit", "LINES", 2, "\x05", [](const FormItemDescription& i) { return i.lines == 1; }},
        // Numbers given as text.
        {"INVEdit", "Lines", 7,
         "\x02"
         "12",
         [](const FormItemDescription& i) { return i.lines == 12; }},
        {"INVEdit", "Lines", 7, "\x02-3", [](const FormItemDescription& i) { return i.lines == -3; }},
        {"INVEdit", "Lines", 7, "\x02x1", [](const FormItemDescription& i) { return i.lines == 0; }},
        {"INVEdit", "Optional", 7,
         "\x01"
         "1",
         [](const FormItemDescription& i) { return i.optional; }},
        {"INVEdit", "Optional", 7,
         "\x01"
         "0",
         [](const FormItemDescription& i) { return !i.optional; }},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(testing::Message() << test.className << "." << test.property << " type " << int{test.type});
        EXPECT_TRUE(test.check(ItemWith(test.className, test.property, test.type, test.raw)));
    }
}

TEST(FormDescriptionTest, OutputTypeMeansOwnSectionWhenItContainsTheWordInAnyCase) {
    const struct {
        std::string value;
        TOutputType expected;
    } cases[] = {
        {"nvoOwnSection", TOutputType::otOwnSection}, {"OWNSECTION", TOutputType::otOwnSection},
        {"myownsectionX", TOutputType::otOwnSection}, {"nvoHeader", TOutputType::otHeader},
        {"own Section", TOutputType::otHeader},       {"", TOutputType::otHeader},
    };
    for (const auto& test : cases) {
        const std::string raw = std::string(1, static_cast<char>(test.value.size())) + test.value;
        EXPECT_EQ(ItemWith("INVEdit", "OutputType", 6, raw).outputType, test.expected) << test.value;
    }
}

TEST(FormDescriptionTest, EditTextTurnsLineMarkersIntoLineBreaks) {
    const struct {
        std::string value;
        std::u16string expected;
    } cases[] = {
        {"a%lf%b", u"a\r\nb"}, {"%lf%%lf%", u"\r\n\r\n"}, {"x%lf%lf%", u"x\r\nlf%"}, {"%LF%", u"%LF%"}, {"%lf", u"%lf"},
    };
    for (const auto& test : cases) {
        const std::string raw = std::string(1, static_cast<char>(test.value.size())) + test.value;
        EXPECT_EQ(ItemWith("INVEdit", "Text", 7, raw).text, test.expected) << test.value;
        // Check boxes take Text as their caption unchanged.
        EXPECT_EQ(ItemWith("INVCheckBox", "Text", 7, raw).caption, FromUtf8(test.value)) << test.value;
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
        {u"MyUnit.MyHandler", FormHandlerKind::PublicSymbol, u"MyUnit", u"MyHandler"},
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
    const FormDescription form = Describe(stream);
    EXPECT_EQ(form.onAction, u"quarrex.handlescreenshotform");
    EXPECT_EQ(form.handler.kind, FormHandlerKind::ScreenshotForm);
}

}  // namespace
}  // namespace brevant::crashreport
