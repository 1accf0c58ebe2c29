#pragma once
// Form definitions of the assistants: the "TPF0" object tree read into plain data, and the
// object rules that turn that tree into the form's properties, main buttons and items the
// dialog toolkit builds its windows from. Damaged data never fails a form: reading stops
// where the damage starts and what was read before it stays.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "crashreport/core/property_stream.h"

namespace brevant::crashreport {

// ---- The object tree as it stands in the stream ----

struct FormProperty {
    std::u16string name;
    std::u16string value;  // integers in decimal, booleans "0"/"1", strings as they are
};

struct FormObject {
    std::u16string className;
    std::u16string objectName;
    std::vector<FormProperty> properties;
    std::vector<FormObject> children;
};

struct FormStreamResult {
    bool hasSignature = false;
    FormObject root;
    std::optional<std::uint8_t> invalidType;  // reading stopped at this type byte
};

// Objects nested deeper than this count as damage, so that a hostile stream cannot
// exhaust the stack of the thread that shows the assistant.
inline constexpr std::size_t kMaxFormObjectDepth = 64;

FormStreamResult ReadFormStream(std::span<const std::uint8_t> bytes, AnsiDecoder decodeAnsi);

// "Internal error: Invalid assistant resource (10)." for type 10
std::u16string InvalidAssistantResourceMessage(std::uint8_t type);

// ---- The form the toolkit builds ----

enum class TOutputType { otHeader, otOwnSection };

enum class FormItemKind { Button, Label, Edit, CheckBox, Image };

// One item with every field the definitions can set; each kind reads only its own
// properties, so the fields of other kinds keep their defaults.
struct FormItemDescription {
    FormItemKind kind = FormItemKind::Button;
    std::u16string name;

    // Every kind.
    std::int32_t spacing = 0;  // pixels after the item; 0 = automatic
    bool enabled = true;
    TOutputType outputType = TOutputType::otHeader;
    std::u16string outputName;  // empty: the item stays out of the report

    // Buttons, labels and check boxes.
    std::u16string caption;

    // Buttons.
    std::int32_t minWidth = 0;
    bool noOwnerDraw = false;
    bool invisible = false;

    // Edits.
    std::u16string text;
    std::int32_t lines = 1;
    bool optional = false;
    bool notColored = false;
    bool notValid = false;

    // Check boxes.
    bool checked = false;

    // Images.
    std::int32_t width = 0;  // 0: the bitmap's own size
    std::int32_t height = 0;
    std::u16string file;
    bool clickable = false;
    bool border = false;
};

enum class FormHandlerKind {
    None,            // no OnAction
    ContactForm,     // the built-in contact form handler
    ScreenshotForm,  // the built-in screenshot form handler
    PublicSymbol,    // a function looked up by unit and name in the symbol store
};

struct FormHandlerReference {
    FormHandlerKind kind = FormHandlerKind::None;
    std::u16string unitName;
    std::u16string functionName;
};

inline constexpr std::u16string_view kContactFormHandlerName = u"Quarrex.HandleContactForm";
inline constexpr std::u16string_view kScreenshotFormHandlerName = u"Quarrex.HandleScreenshotForm";

FormHandlerReference ClassifyFormHandler(std::u16string_view onAction);

enum MainButton : std::size_t { kContinueButton = 0, kSkipButton = 1, kCancelButton = 2 };

struct FormDescription {
    std::u16string name;  // the first object that creates no item
    std::int32_t minWidth = 0;
    std::u16string message;
    std::u16string activeControl;
    std::int32_t timer = 0;  // milliseconds; 0 = no timer
    std::u16string onAction;
    FormHandlerReference handler;
    // Continue, Skip and Cancel, always present, in that order.
    std::array<FormItemDescription, 3> mainButtons;
    // The definition's other items in stream order.
    std::vector<FormItemDescription> items;
};

// The three main buttons with their default captions and nothing else: what a form
// without a definition shows.
FormDescription EmptyFormDescription();

FormDescription DescribeForm(const FormStreamResult& stream);

}  // namespace brevant::crashreport
