#pragma once
// Where exceptions that nothing else handles are caught: the unhandled-exception filter, the
// C++ terminate routine, the C runtime's failure paths (abort, assert, invalid parameters,
// pure virtual calls), and the raise and end of every C++ exception.

#include <cstdint>

namespace brevant::crashreport {

void InstallInterception();
void RemoveInterception();

// Thread procedures run inside this frame: an exception that escapes them is reported with
// the thread-frame source and ends only that thread.
std::uint32_t RunThreadFrame(std::uint32_t (*procedure)(void*), void* parameter, bool isWorkItem);

// For a thread that completes a report while the handling thread waits for it: a fault in it
// (in a report plug-in, say) ends the thread, and the report stays partial, rather than being
// handed to the handling thread that waits for this one.
void MarkAsReportCompletionThread();

}  // namespace brevant::crashreport
