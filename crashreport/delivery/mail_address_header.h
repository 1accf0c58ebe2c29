#pragma once
// A mail address as a "From:" or "To:" header carries it.

#include <string>
#include <string_view>

namespace brevant::crashreport {

// "address" becomes "<address>"; "name <address>" keeps "<address>" and, with withName, the
// name in front: as it is when every character fits into 8 bits, else as a UTF-8 encoded
// word. The text is 8-bit (Latin-1); characters beyond it in the address part become "?".
std::string MailAddressHeader(std::u16string_view address, bool withName);

}  // namespace brevant::crashreport
