#pragma once
// Unicode text on the clipboard, which is emptied first.

#include <string>

namespace brevant::crashreport {

// False when the clipboard could not be had or the text not be put on it.
bool PutOnClipboard(const std::u16string& text);

}  // namespace brevant::crashreport
