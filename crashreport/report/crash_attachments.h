#pragma once
// The files that travel with a mailed bug report, each with the name the recipient sees,
// the zip archive it is packed into (or none) and the form field an upload puts it in.

#include <string>
#include <string_view>
#include <vector>

namespace brevant::crashreport {

struct CrashAttachment {
    std::u16string file;       // full path
    std::u16string sendAs;     // name shown to the recipient
    std::u16string zipName;    // archive to pack the file into; empty sends it as it is
    std::u16string fieldName;  // form field of an upload
};

class CrashAttachments {
public:
    // Arguments in the order an "AddAttachs" entry lists them.
    void Add(std::u16string_view file, std::u16string_view sendAs, std::u16string_view zipName,
             std::u16string_view fieldName);

    const std::vector<CrashAttachment>& Items() const { return items_; }
    std::size_t Count() const { return items_.size(); }

private:
    std::vector<CrashAttachment> items_;
};

// Adds the entries of an "AddAttachs" text: entries separated by "|", each
// "file>sendAs>zipName>fieldName", missing trailing fields empty and anything after a
// fourth field ignored. An entry without a file names nothing to send and is skipped.
void FillFromAddAttachs(CrashAttachments& attachments, std::u16string_view addAttachsText);

}  // namespace brevant::crashreport
