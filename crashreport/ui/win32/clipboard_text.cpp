#include "crashreport/ui/win32/clipboard_text.h"

#include <cstring>

#include "crashreport/ui/win32/gui_functions.h"

namespace brevant::crashreport {

bool PutOnClipboard(const std::u16string& text) {
    const GuiFunctions& gui = Gui();
    if (!gui.OpenClipboard(nullptr)) return false;
    gui.EmptyClipboard();
    bool done = false;
    const std::size_t bytes = (text.size() + 1) * sizeof(char16_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* target = GlobalLock(memory)) {
            std::memcpy(target, text.c_str(), bytes);
            GlobalUnlock(memory);
            done = gui.SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        }
        if (!done) GlobalFree(memory);
    }
    gui.CloseClipboard();
    return done;
}

}  // namespace brevant::crashreport
