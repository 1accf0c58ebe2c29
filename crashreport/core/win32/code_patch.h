#pragma once
// Redirections made in loaded code, recorded so that each can be undone, and undone only when
// its bytes are still ours (somebody may have patched the place again since).

namespace brevant::crashreport {

struct CallSite;

// Makes the routine's first instructions jump to the replacement. A routine that is itself a
// jump through an import slot is followed to the routine the slot points to. False when the
// routine is missing or its code cannot be written.
bool RedirectRoutine(void* routine, const void* replacement);

// Makes the call instruction at the site call the replacement (through a jump placed near
// the site when the replacement lies too far for a 32-bit distance). False when the bytes
// cannot be written.
bool RedirectCallSite(const CallSite& site, const void* replacement);

// Reverts every recorded patch whose bytes are still the ones written.
void UndoAllPatches();

}  // namespace brevant::crashreport
