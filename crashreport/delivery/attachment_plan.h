#pragma once
// Which files a bug report mail carries, in which order and under which names: attachments
// that share a zip name travel together in one archive in the reporter's temporary folder.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "crashreport/report/crash_attachments.h"

namespace brevant::crashreport {

struct ArchiveMember {
    std::u16string file;    // absolute path
    std::u16string sendAs;  // name inside the archive
};

struct PlannedAttachment {
    std::u16string file;  // absolute path of the file, or of the archive still to be written
    std::u16string sendAs;
    std::u16string fieldName;
    std::vector<ArchiveMember> members;  // empty for a file sent as it is

    bool IsArchive() const { return !members.empty(); }
};

using AbsolutePathOf = std::function<std::u16string(std::u16string_view name)>;
using FileExists = std::function<bool(std::u16string_view absolutePath)>;

// In list order; files that do not exist are left out. The first existing attachment with a
// zip name not seen before (letter case ignored) stands for the archive of that name, which
// takes it and every later existing attachment of that name, named by the zip name.
std::vector<PlannedAttachment> PlanAttachments(const CrashAttachments& attachments, const AbsolutePathOf& absolutePath,
                                               const FileExists& exists, std::u16string_view temporaryFolder);

}  // namespace brevant::crashreport
