#include "crashreport/delivery/win32/attachment_collection.h"

#include "base/utf16_text.h"
#include "base/win32/wide_text.h"
#include "crashreport/delivery/attachment_plan.h"
#include "crashreport/delivery/win32/dib_bitmap.h"
#include "crashreport/delivery/win32/reporter_temp_folder.h"
#include "crashreport/delivery/zip_writer.h"
#include "crashreport/report/report_file.h"

namespace brevant::crashreport {

namespace {

// The file's bytes and its time in the archive's form; false when it cannot be read.
bool ReadZipEntry(const std::u16string& path, ZipEntry& entry) {
    HANDLE file = CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool read = GetFileSizeEx(file, &size) && size.QuadPart < 0x7FFFFFFF;
    if (read) {
        entry.data.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD got = 0;
        read = entry.data.empty() ||
               (ReadFile(file, entry.data.data(), static_cast<DWORD>(entry.data.size()), &got, nullptr) &&
                got == entry.data.size());
        FILETIME written, local;
        if (read && GetFileTime(file, nullptr, nullptr, &written) && FileTimeToLocalFileTime(&written, &local)) {
            WORD date = 0, time = 0;
            if (FileTimeToDosDateTime(&local, &date, &time)) {
                entry.dosDate = date;
                entry.dosTime = time;
            }
        }
    }
    CloseHandle(file);
    return read;
}

bool WriteArchive(const PlannedAttachment& archive) {
    std::vector<ZipEntry> entries;
    for (const ArchiveMember& member : archive.members) {
        ZipEntry entry;
        entry.utf8Name = ToUtf8(member.sendAs);
        if (!ReadZipEntry(member.file, entry)) return false;
        entries.push_back(std::move(entry));
    }
    const std::string bytes = ZipArchiveBytes(entries);
    return !bytes.empty() && WriteWholeFile(archive.file, bytes);
}

}  // namespace

bool IsExistingFile(std::u16string_view path) {
    const DWORD attributes = GetFileAttributesW(Wide(std::u16string(path)));
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

CollectedAttachments CollectAttachments(CrashException& settings, const CrashAttachments& attachments,
                                        bool inBackground, bool silent, HWND parentWindow) {
    CollectedAttachments collected;
    collected.progress = CreateProgressAlert(settings.GetSendBoxTitle(), reinterpret_cast<HMODULE>(settings.Module()),
                                             u"QRXSEND");
    collected.progress->AddArea(100, settings.GetPrepareAttachMsg());
    if (!silent || settings.GetAutoSendPrgrBox()) {
        if (inBackground) collected.progress->Show(nullptr, false);
        else collected.progress->Show(parentWindow, true);
    }

    const std::u16string programPath = ModulePath(nullptr);
    const std::vector<PlannedAttachment> plan = PlanAttachments(
        attachments, [&programPath](std::u16string_view file) { return AbsolutePath(file, programPath); },
        IsExistingFile, ReporterTempFolder());
    for (const PlannedAttachment& item : plan) {
        if (!item.members.empty() && !WriteArchive(item)) continue;
        collected.files.push_back(item.file);
        collected.sendAsNames.push_back(item.sendAs);
        collected.fieldNames.push_back(item.fieldName);
    }
    return collected;
}

}  // namespace brevant::crashreport
