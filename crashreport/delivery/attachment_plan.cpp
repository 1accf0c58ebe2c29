#include "crashreport/delivery/attachment_plan.h"

#include "base/reporter_case.h"

namespace brevant::crashreport {
namespace {

struct ExistingAttachment {
    const CrashAttachment* attachment;
    std::u16string file;  // absolute
};

std::vector<ExistingAttachment> ExistingAttachments(const CrashAttachments& attachments,
                                                    const AbsolutePathOf& absolutePath, const FileExists& exists) {
    std::vector<ExistingAttachment> existing;
    for (const CrashAttachment& attachment : attachments.Items()) {
        std::u16string file = absolutePath(attachment.file);
        if (exists(file)) existing.push_back({&attachment, std::move(file)});
    }
    return existing;
}

PlannedAttachment ArchiveOf(const std::vector<ExistingAttachment>& existing, std::size_t first,
                            std::u16string_view temporaryFolder) {
    const std::u16string& zipName = existing[first].attachment->zipName;
    PlannedAttachment archive{std::u16string(temporaryFolder) + zipName, zipName, zipName, {}};
    for (std::size_t i = first; i < existing.size(); ++i) {
        if (SameReporterText(existing[i].attachment->zipName, zipName))
            archive.members.push_back({existing[i].file, existing[i].attachment->sendAs});
    }
    return archive;
}

bool ArchiveAlreadyPlanned(const std::vector<PlannedAttachment>& plan, std::u16string_view zipName) {
    for (const PlannedAttachment& item : plan) {
        if (item.IsArchive() && SameReporterText(item.sendAs, zipName)) return true;
    }
    return false;
}

}  // namespace

std::vector<PlannedAttachment> PlanAttachments(const CrashAttachments& attachments, const AbsolutePathOf& absolutePath,
                                               const FileExists& exists, std::u16string_view temporaryFolder) {
    const std::vector<ExistingAttachment> existing = ExistingAttachments(attachments, absolutePath, exists);
    std::vector<PlannedAttachment> plan;
    for (std::size_t i = 0; i < existing.size(); ++i) {
        const CrashAttachment& attachment = *existing[i].attachment;
        if (attachment.zipName.empty()) {
            plan.push_back({existing[i].file, attachment.sendAs, attachment.fieldName, {}});
        } else if (!ArchiveAlreadyPlanned(plan, attachment.zipName)) {
            plan.push_back(ArchiveOf(existing, i, temporaryFolder));
        }
    }
    return plan;
}

}  // namespace brevant::crashreport
