#include "crashreport/ui/form_definition.h"

#include <limits>

#include "base/reporter_case.h"
#include "base/utf16_text.h"

namespace brevant::crashreport {

namespace {

std::u16string ValueText(const StreamValue& value) {
    switch (value.kind) {
        case StreamValue::Kind::Integer:
            return DecimalText(value.integer);
        case StreamValue::Kind::Boolean:
            return value.boolean ? u"1" : u"0";
        case StreamValue::Kind::Text:
            return value.text;
    }
    return {};
}

// Reads one object tree. Every step answers whether reading may go on; the first damage
// (end of data, an unknown type, too deep a nesting) stops it and leaves what was read.
class FormTreeReader {
public:
    FormTreeReader(std::span<const std::uint8_t> bytes, AnsiDecoder decodeAnsi, FormStreamResult& result)
        : reader_(bytes, decodeAnsi), result_(result) {}

    void ReadForm() {
        result_.hasSignature = reader_.ReadSignature();
        if (!result_.hasSignature) return;
        std::u16string className;
        if (!ReadName(className)) return;
        std::u16string objectName;
        if (!ReadName(objectName)) return;
        result_.root.className = std::move(className);
        result_.root.objectName = std::move(objectName);
        ReadObjectBody(result_.root, 1);
    }

private:
    bool ReadName(std::u16string& name) {
        std::string bytes;
        if (!reader_.ReadShortString(bytes)) return false;
        name = FromUtf8(bytes);
        return true;
    }

    bool ReadObjectBody(FormObject& object, std::size_t depth) {
        return ReadProperties(object) && ReadChildren(object, depth);
    }

    // Properties up to an empty name.
    bool ReadProperties(FormObject& object) {
        for (;;) {
            FormProperty property;
            if (!ReadName(property.name)) return false;
            if (property.name.empty()) return true;
            std::uint8_t type = 0;
            if (!reader_.ReadByte(type)) return false;
            StreamValue value;
            const ValueReadResult read = reader_.ReadValue(type, value);
            if (read == ValueReadResult::UnknownTag) result_.invalidType = type;
            if (read != ValueReadResult::Ok) return false;
            property.value = ValueText(value);
            object.properties.push_back(std::move(property));
        }
    }

    // Child objects up to an empty class name.
    bool ReadChildren(FormObject& object, std::size_t depth) {
        for (;;) {
            FormObject child;
            if (!ReadName(child.className)) return false;
            if (child.className.empty()) return true;
            if (depth >= kMaxFormObjectDepth) return false;
            if (!ReadName(child.objectName)) return false;
            object.children.push_back(std::move(child));
            if (!ReadObjectBody(object.children.back(), depth + 1)) return false;
        }
    }

    PropertyStreamReader reader_;
    FormStreamResult& result_;
};

}  // namespace

FormStreamResult ReadFormStream(std::span<const std::uint8_t> bytes, AnsiDecoder decodeAnsi) {
    FormStreamResult result;
    FormTreeReader(bytes, decodeAnsi, result).ReadForm();
    return result;
}

std::u16string InvalidAssistantResourceMessage(std::uint8_t type) {
    return u"Internal error: Invalid assistant resource (" + DecimalText(type) + u").";
}

namespace {

// Decimal text as the definitions hold it; anything else reads as 0.
std::int32_t IntegerValue(std::u16string_view text) {
    std::size_t position = 0;
    const bool negative = !text.empty() && text[0] == u'-';
    if (!text.empty() && (text[0] == u'-' || text[0] == u'+')) position = 1;
    if (position == text.size()) return 0;
    std::int64_t magnitude = 0;
    for (; position < text.size(); ++position) {
        const char16_t unit = text[position];
        if (unit < u'0' || unit > u'9') return 0;
        magnitude = magnitude * 10 + (unit - u'0');
        if (magnitude > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return 0;
    }
    const std::int64_t number = negative ? -magnitude : magnitude;
    if (number > std::numeric_limits<std::int32_t>::max()) return 0;
    return static_cast<std::int32_t>(number);
}

bool BooleanValue(std::u16string_view text) {
    return IntegerValue(text) != 0;
}

// Edit texts keep their line breaks as "%lf%" so that they fit in one string.
std::u16string WithLineBreaks(std::u16string text) {
    constexpr std::u16string_view kMarker = u"%lf%";
    for (std::size_t at = text.find(kMarker); at != std::u16string::npos; at = text.find(kMarker, at + 2)) {
        text.replace(at, kMarker.size(), u"\r\n");
    }
    return text;
}

constexpr unsigned KindBit(FormItemKind kind) {
    return 1u << static_cast<unsigned>(kind);
}

constexpr unsigned kButton = KindBit(FormItemKind::Button);
constexpr unsigned kLabel = KindBit(FormItemKind::Label);
constexpr unsigned kEdit = KindBit(FormItemKind::Edit);
constexpr unsigned kCheckBox = KindBit(FormItemKind::CheckBox);
constexpr unsigned kImage = KindBit(FormItemKind::Image);
constexpr unsigned kEveryKind = kButton | kLabel | kEdit | kCheckBox | kImage;

struct ItemPropertyRule {
    std::u16string_view name;
    unsigned kinds;
    void (*apply)(FormItemDescription& item, const std::u16string& value);
};

using Item = FormItemDescription;
using Value = const std::u16string&;

const ItemPropertyRule kItemPropertyRules[] = {
    {u"Spacing", kEveryKind, [](Item& item, Value value) { item.spacing = IntegerValue(value); }},
    {u"Enabled", kEveryKind, [](Item& item, Value value) { item.enabled = BooleanValue(value); }},
    {u"OutputType", kEveryKind,
     [](Item& item, Value value) {
         const bool ownSection = FindReporterText(value, u"ownSection") != std::u16string_view::npos;
         item.outputType = ownSection ? TOutputType::otOwnSection : TOutputType::otHeader;
     }},
    {u"OutputName", kEveryKind, [](Item& item, Value value) { item.outputName = value; }},
    {u"Caption", kButton | kLabel | kCheckBox, [](Item& item, Value value) { item.caption = value; }},
    {u"MinWidth", kButton, [](Item& item, Value value) { item.minWidth = IntegerValue(value); }},
    {u"NoOwnerDraw", kButton, [](Item& item, Value value) { item.noOwnerDraw = BooleanValue(value); }},
    {u"Visible", kButton, [](Item& item, Value value) { item.invisible = !BooleanValue(value); }},
    {u"Text", kEdit, [](Item& item, Value value) { item.text = WithLineBreaks(value); }},
    {u"Lines", kEdit, [](Item& item, Value value) { item.lines = IntegerValue(value); }},
    {u"Optional", kEdit, [](Item& item, Value value) { item.optional = BooleanValue(value); }},
    {u"Colored", kEdit, [](Item& item, Value value) { item.notColored = !BooleanValue(value); }},
    {u"Valid", kEdit, [](Item& item, Value value) { item.notValid = !BooleanValue(value); }},
    {u"Text", kCheckBox, [](Item& item, Value value) { item.caption = value; }},
    {u"Checked", kCheckBox, [](Item& item, Value value) { item.checked = BooleanValue(value); }},
    {u"Width", kImage, [](Item& item, Value value) { item.width = IntegerValue(value); }},
    {u"Height", kImage, [](Item& item, Value value) { item.height = IntegerValue(value); }},
    {u"File", kImage, [](Item& item, Value value) { item.file = value; }},
    {u"Clickable", kImage, [](Item& item, Value value) { item.clickable = BooleanValue(value); }},
    {u"Border", kImage, [](Item& item, Value value) { item.border = BooleanValue(value); }},
};

void ApplyItemProperty(FormItemDescription& item, const FormProperty& property) {
    for (const ItemPropertyRule& rule : kItemPropertyRules) {
        if ((rule.kinds & KindBit(item.kind)) != 0 && rule.name == property.name) {
            rule.apply(item, property.value);
            return;
        }
    }
}

void ApplyFormProperty(FormDescription& form, const FormProperty& property) {
    if (property.name == u"MinWidth") form.minWidth = IntegerValue(property.value);
    if (property.name == u"Message") form.message = property.value;
    if (property.name == u"ActiveControl") form.activeControl = property.value;
    if (property.name == u"Timer") form.timer = IntegerValue(property.value);
    if (property.name == u"OnAction") form.onAction = property.value;
}

FormItemDescription NewItem(FormItemKind kind, std::u16string name, std::u16string caption = {}) {
    FormItemDescription item;
    item.kind = kind;
    item.name = std::move(name);
    item.caption = std::move(caption);
    return item;
}

// Definitions were written against interface names ("INVButton"); the items are the classes.
std::u16string ItemClassName(std::u16string className) {
    if (!className.empty()) className[0] = u'T';
    return className;
}

std::optional<FormItemKind> ItemKindOfClass(std::u16string_view className) {
    if (className == u"TNVButton") return FormItemKind::Button;
    if (className == u"TNVLabel") return FormItemKind::Label;
    if (className == u"TNVEdit") return FormItemKind::Edit;
    if (className == u"TNVCheckBox") return FormItemKind::CheckBox;
    if (className == u"TNVImage") return FormItemKind::Image;
    return std::nullopt;
}

class FormDescriber {
public:
    explicit FormDescriber(FormDescription& form) : form_(form) {}

    void Describe(const FormObject& object) {
        const std::u16string name = object.objectName == u"AbortBtn" ? u"CancelBtn" : object.objectName;
        if (FormItemDescription* item = ItemFor(ItemClassName(object.className), name)) {
            for (const FormProperty& property : object.properties) ApplyItemProperty(*item, property);
        } else {
            if (!named_) form_.name = name;
            named_ = true;
            for (const FormProperty& property : object.properties) ApplyFormProperty(form_, property);
        }
        for (const FormObject& child : object.children) Describe(child);
    }

private:
    // The item the object configures, or null when it creates none.
    FormItemDescription* ItemFor(const std::u16string& className, const std::u16string& name) {
        const std::optional<FormItemKind> kind = ItemKindOfClass(className);
        if (!kind) return nullptr;
        if (*kind == FormItemKind::Button) {
            for (FormItemDescription& button : form_.mainButtons) {
                if (button.name == name) return &button;
            }
        }
        form_.items.push_back(NewItem(*kind, name));
        return &form_.items.back();
    }

    FormDescription& form_;
    bool named_ = false;
};

}  // namespace

FormHandlerReference ClassifyFormHandler(std::u16string_view onAction) {
    FormHandlerReference handler;
    if (onAction.empty()) return handler;
    if (SameReporterText(onAction, kContactFormHandlerName)) {
        handler.kind = FormHandlerKind::ContactForm;
    } else if (SameReporterText(onAction, kScreenshotFormHandlerName)) {
        handler.kind = FormHandlerKind::ScreenshotForm;
    } else {
        handler.kind = FormHandlerKind::PublicSymbol;
        const std::size_t dot = onAction.find(u'.');
        if (dot == std::u16string_view::npos) {
            handler.functionName = onAction;
        } else {
            handler.unitName = onAction.substr(0, dot);
            handler.functionName = onAction.substr(dot + 1);
        }
    }
    return handler;
}

FormDescription EmptyFormDescription() {
    FormDescription form;
    form.mainButtons = {
        NewItem(FormItemKind::Button, u"ContinueBtn", u"Next >"),
        NewItem(FormItemKind::Button, u"SkipBtn", u"Skip"),
        NewItem(FormItemKind::Button, u"CancelBtn", u"Cancel"),
    };
    return form;
}

FormDescription DescribeForm(const FormStreamResult& stream) {
    FormDescription form = EmptyFormDescription();
    if (!stream.hasSignature) return form;
    FormDescriber(form).Describe(stream.root);
    form.handler = ClassifyFormHandler(form.onAction);
    return form;
}

}  // namespace brevant::crashreport
