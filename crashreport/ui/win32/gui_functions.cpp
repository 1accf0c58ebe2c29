#include "crashreport/ui/win32/gui_functions.h"

#include <stdexcept>

namespace brevant::crashreport {

namespace {

template <typename Functions>
struct Loaded {
    Functions functions;
    bool complete = true;
};

FARPROC Entry(const wchar_t* library, const char* name) {
    // Loaded for good: windows and dialogs made later still run its code.
    const HMODULE module = LoadLibraryW(library);
    return module ? GetProcAddress(module, name) : nullptr;
}

template <typename Functions>
const Functions& Checked(const Loaded<Functions>& loaded) {
    if (!loaded.complete) throw std::runtime_error("the system's window libraries are not available");
    return loaded.functions;
}

#define BREVANT_GUI_LOAD(library, name)                                                                        \
    loaded.functions.name = reinterpret_cast<decltype(&::name)>(reinterpret_cast<void*>(Entry(L## #library, #name))); \
    loaded.complete = loaded.complete && loaded.functions.name != nullptr;

template <typename Functions>
Loaded<Functions> Load();

template <>
Loaded<GuiFunctions> Load() {
    Loaded<GuiFunctions> loaded;
    BREVANT_GUI_FUNCTIONS(BREVANT_GUI_LOAD)
    return loaded;
}

template <>
Loaded<DialogFunctions> Load() {
    Loaded<DialogFunctions> loaded;
    BREVANT_DIALOG_FUNCTIONS(BREVANT_GUI_LOAD)
    return loaded;
}

template <>
Loaded<ControlFunctions> Load() {
    Loaded<ControlFunctions> loaded;
    BREVANT_CONTROL_FUNCTIONS(BREVANT_GUI_LOAD)
    return loaded;
}

#undef BREVANT_GUI_LOAD

}  // namespace

const GuiFunctions& Gui() {
    static const Loaded<GuiFunctions> loaded = Load<GuiFunctions>();
    return Checked(loaded);
}

const DialogFunctions& Dialogs() {
    static const Loaded<DialogFunctions> loaded = Load<DialogFunctions>();
    return Checked(loaded);
}

const ControlFunctions& Controls() {
    static const Loaded<ControlFunctions> loaded = Load<ControlFunctions>();
    return Checked(loaded);
}

}  // namespace brevant::crashreport
