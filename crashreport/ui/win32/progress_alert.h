#pragma once
// The small progress window: the please-wait box while a report is built and the progress box
// of a mail being sent. The object exists before its window; Show makes the window, Close
// removes it, and it can be shown again.

#include <windows.h>

#include <string>

#include "base/reference_counted_object.h"
#include "crashreport/ui/progress_areas.h"

namespace brevant::crashreport {

class IProgressAlert : public IReferenceCounted {
public:
    virtual std::u16string GetTitle() = 0;
    virtual void SetTitle(const std::u16string& value) = 0;
    virtual std::int32_t GetPosition() = 0;
    // 0..1000 within the current area; from another thread the bar is updated by a posted message.
    virtual void SetPosition(std::int32_t value) = 0;
    virtual void AddArea(std::int64_t weight, const std::u16string& text) = 0;
    virtual void ClearAreas() = 0;
    virtual void AreaDone() = 0;
    virtual std::int32_t GetCurrentArea() = 0;
    virtual void SetCurrentArea(std::int32_t value) = 0;
    virtual void ProcessMessages() = 0;
    // With activate: centred, in front and active; without: in a free slot of the bottom right
    // corner of the work area, not activated. The parent is disabled while the window is shown.
    virtual void Show(HWND parentWindow, bool activate) = 0;
    virtual void Close() = 0;
    virtual HWND Window() = 0;

protected:
    ~IProgressAlert() = default;
};

inline constexpr InterfaceId kProgressAlertId = {
    0x7D41C2E5, 0x19A8, 0x4B0C, {0xB3, 0x6F, 0x52, 0x0E, 0x94, 0xD7, 0x21, 0x8A}};

// bmpName names a 32 × 32 image resource of bmpModule; without one the window has no icon.
RefPtr<IProgressAlert> CreateProgressAlert(const std::u16string& title, HMODULE bmpModule,
                                           const std::u16string& bmpName);

}  // namespace brevant::crashreport
