#include "base/exception.h"

#include "base/utf16_text.h"

namespace brevant {

Exception::Exception(std::u16string message) : message_(std::move(message)), utf8Message_(ToUtf8(message_)) {}

EInOutError::EInOutError(int errorCode)
    : Exception(FormatText(u"I/O error %d", {TextArgument(errorCode)})), errorCode_(errorCode) {}

}  // namespace brevant
