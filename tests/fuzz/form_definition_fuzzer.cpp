// Arbitrary bytes as a form definition: the object tree must read without faulting, stay within
// the nesting cap, read a leading part of itself from any cut of the data, and describe a form
// that always has its three main buttons and a handler that matches its OnAction text.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "crashreport/core/property_stream.h"
#include "crashreport/ui/form_definition.h"

namespace {

using namespace brevant::crashreport;

void Require(bool condition) {
    if (!condition) std::abort();
}

std::size_t Depth(const FormObject& object) {
    std::size_t deepest = 0;
    for (const FormObject& child : object.children) deepest = std::max(deepest, Depth(child));
    return 1 + deepest;
}

std::size_t CountObjects(const FormObject& object) {
    std::size_t count = 1;
    for (const FormObject& child : object.children) count += CountObjects(child);
    return count;
}

bool SameProperty(const FormProperty& a, const FormProperty& b) {
    return a.name == b.name && a.value == b.value;
}

bool SameObject(const FormObject& a, const FormObject& b) {
    return a.className == b.className && a.objectName == b.objectName &&
           std::equal(a.properties.begin(), a.properties.end(), b.properties.begin(), b.properties.end(),
                      SameProperty) &&
           std::equal(a.children.begin(), a.children.end(), b.children.begin(), b.children.end(), SameObject);
}

// Every list of partial equals the start of full's, only its last object may be cut short.
bool IsLeadingPart(const FormObject& partial, const FormObject& full) {
    if (partial.className != full.className || partial.objectName != full.objectName) return false;
    if (partial.properties.size() > full.properties.size() || partial.children.size() > full.children.size()) {
        return false;
    }
    if (!std::equal(partial.properties.begin(), partial.properties.end(), full.properties.begin(), SameProperty)) {
        return false;
    }
    if (partial.children.empty()) return true;
    const std::size_t last = partial.children.size() - 1;
    for (std::size_t i = 0; i < last; ++i) {
        if (!SameObject(partial.children[i], full.children[i])) return false;
    }
    return IsLeadingPart(partial.children[last], full.children[last]);
}

bool IsKnownType(std::uint8_t type) {
    for (std::uint8_t known : {2, 3, 4, 6, 7, 8, 9, 12, 18, 20}) {
        if (type == known) return true;
    }
    return false;
}

void CheckDescription(const FormStreamResult& stream) {
    const FormDescription form = DescribeForm(stream);
    Require(form.mainButtons[kContinueButton].name == u"ContinueBtn");
    Require(form.mainButtons[kSkipButton].name == u"SkipBtn");
    Require(form.mainButtons[kCancelButton].name == u"CancelBtn");
    if (stream.hasSignature) Require(form.items.size() <= CountObjects(stream.root));
    for (const FormItemDescription& item : form.items) Require(item.name != u"AbortBtn");

    const FormHandlerReference handler = form.handler;
    Require((handler.kind == FormHandlerKind::None) == form.onAction.empty());
    if (handler.kind == FormHandlerKind::PublicSymbol) {
        const bool split = form.onAction == handler.unitName + u"." + handler.functionName;
        Require(split || (handler.unitName.empty() && form.onAction == handler.functionName));
        Require(handler.unitName.find(u'.') == std::u16string::npos);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const FormStreamResult result = ReadFormStream(bytes, DecodeLatin1);
    Require(result.hasSignature == (size >= 4 && std::memcmp(data, "TPF0", 4) == 0));
    Require(Depth(result.root) <= kMaxFormObjectDepth);
    if (result.invalidType) Require(!IsKnownType(*result.invalidType));

    // A cut of the data reads a leading part of what the whole data gives.
    const FormStreamResult cut = ReadFormStream(bytes.first(size / 2), DecodeLatin1);
    const bool cutHeaderRead = !cut.root.className.empty() || !cut.root.objectName.empty();
    if (cutHeaderRead) Require(IsLeadingPart(cut.root, result.root));

    CheckDescription(result);
    return 0;
}
