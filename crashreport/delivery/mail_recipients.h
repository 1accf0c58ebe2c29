#pragma once
// The support address list as the mail channels take it: items separated by "," (a ";"
// counts as one), each either a bare address or "name <address>".

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace brevant::crashreport {

struct RecipientList {
    std::u16string text;    // items joined by "," without blanks around them
    std::size_t count = 0;  // number of items in text
};

// Every ";" becomes ","; blanks and controls around each item go, and so do empty items
// ("a@x,,b@y" has two), so that no recipient without an address reaches the mail client.
RecipientList NormalizeRecipientList(std::u16string_view list);

struct MapiRecipient {
    std::u16string name;
    std::u16string address;  // with the "SMTP:" prefix
};

// One recipient per item of the normalised list. "name <address>" gives the name without
// its trailing blanks and the text between "<" and ">" (or the end); a bare address, or one
// with nothing in front of "<", serves as its own name.
std::vector<MapiRecipient> MapiRecipients(std::u16string_view list);

}  // namespace brevant::crashreport
