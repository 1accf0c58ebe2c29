// The mailto command line from arbitrary command, addresses, subject and body: it never
// passes the system's limit, its cut never splits an escape, the escapes decode to the texts'
// UTF-8, and it is the plain construction, cut. The body and command also go through the ZIP
// writer and must inflate back unchanged.
// The input is four parts separated by 0x01 bytes. An input starting with FF gives UTF-16 LE
// units (lone surrogates and NUL included), anything else UTF-8.

#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/little_endian.h"
#include "base/reporter_case.h"
#include "base/utf16_text.h"
#include "crashreport/delivery/mail_recipients.h"
#include "crashreport/delivery/mailto_command.h"
#include "crashreport/delivery/zip_writer.h"

namespace {

using namespace brevant;
using namespace brevant::crashreport;

void Require(bool condition) {
    if (!condition) std::abort();
}

std::u16string ToText(std::string_view bytes, bool asUnits) {
    if (!asUnits) return FromUtf8(bytes);
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return text;
}

std::vector<std::string_view> Parts(std::string_view input) {
    std::vector<std::string_view> parts;
    while (parts.size() < 3) {
        const std::size_t end = input.find('\x01');
        if (end == input.npos) break;
        parts.push_back(input.substr(0, end));
        input.remove_prefix(end + 1);
    }
    parts.push_back(input);
    parts.resize(4);
    return parts;
}

int HexValue(char16_t unit) {
    if (unit >= u'0' && unit <= u'9') return unit - u'0';
    if (unit >= u'A' && unit <= u'F') return unit - u'A' + 10;
    return -1;  // lower case is not what we write
}

bool Allowed(char16_t unit) {
    return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z') || (unit >= u'0' && unit <= u'9') ||
           unit == u'.' || unit == u'@';
}

// Every unit allowed or a complete escape, and the escapes give back the text's UTF-8.
void CheckEscaped(std::u16string_view text) {
    const std::u16string escaped = PercentEscapeForMailto(text);
    std::string decoded;
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != u'%') {
            Require(Allowed(escaped[i]));
            decoded += static_cast<char>(escaped[i]);
            continue;
        }
        Require(i + 2 < escaped.size() && HexValue(escaped[i + 1]) >= 0 && HexValue(escaped[i + 2]) >= 0);
        const int byte = HexValue(escaped[i + 1]) * 16 + HexValue(escaped[i + 2]);
        Require(!Allowed(static_cast<char16_t>(byte)));
        decoded += static_cast<char>(byte);
        i += 2;
    }
    Require(decoded == ToUtf8(text));
}

std::size_t Occurrences(std::u16string_view text, std::u16string_view what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != text.npos; at = text.find(what, at + what.size())) ++count;
    return count;
}

// The command line before any cut, built the plain way.
std::u16string UncutLine(std::u16string command, const std::u16string& url) {
    std::u16string line;
    std::size_t start = 0;
    for (std::size_t at = command.find(u"%1"); at != command.npos; at = command.find(u"%1", start)) {
        line += command.substr(start, at - start) + url;
        start = at + 2;
    }
    if (start == 0) return command + (!command.empty() && command.back() == u' ' ? u"" : u" ") + url;
    return line + command.substr(start);
}

void CheckCommandLine(const std::u16string& command, const std::u16string& addresses, const std::u16string& subject,
                      const std::u16string& body) {
    const std::u16string line = MailtoCommandLine(command, addresses, subject, body);
    Require(line.size() <= kMaxCommandLineLength);
    if (command.empty()) {
        Require(line.empty());
        return;
    }
    // Without escapes of its own in the command, every "%" on the line starts a whole escape.
    if (command.find(u'%') == command.npos) {
        for (std::size_t i = 0; i < line.size(); ++i)
            if (line[i] == u'%')
                Require(i + 2 < line.size() && HexValue(line[i + 1]) >= 0 && HexValue(line[i + 2]) >= 0);
    }
    std::u16string list = NormalizeRecipientList(addresses).text;
    if (FindReporterText(command, u"outlook") != std::u16string::npos)
        std::replace(list.begin(), list.end(), u',', u';');
    const std::u16string url = MailtoUrl(list, subject, body);
    Require(url.rfind(u"mailto:", 0) == 0);
    const std::size_t places = Occurrences(command, u"%1");
    if ((places + 1) * url.size() > (1u << 22)) return;  // keep the plain construction cheap
    const std::u16string uncut = UncutLine(command, url);
    Require(uncut.compare(0, line.size(), line) == 0);
    if (uncut.size() <= kMaxCommandLineLength) {
        Require(line == uncut);
        return;
    }
    const std::size_t limit = kMaxCommandLineLength;
    if (uncut[limit - 1] == u'%') {
        Require(line.size() == limit - 1);
    } else if (uncut[limit - 2] == u'%') {
        Require(line.size() == limit - 2);
    } else {
        Require(line.size() == limit);
    }
}

std::string Inflated(std::string_view deflated, std::size_t size) {
    std::string out(size + 1, '\0');
    z_stream stream{};
    Require(inflateInit2(&stream, -15) == Z_OK);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
    stream.avail_in = static_cast<uInt>(deflated.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    Require(inflate(&stream, Z_FINISH) == Z_STREAM_END);
    out.resize(out.size() - stream.avail_out);
    inflateEnd(&stream);
    return out;
}

// Each entry found again through the central directory and its local header.
void CheckArchive(const std::vector<ZipEntry>& entries) {
    const std::string zip = ZipArchiveBytes(entries);
    const auto at = [&](std::size_t offset) { return reinterpret_cast<const std::uint8_t*>(zip.data() + offset); };
    Require(zip.size() >= 22);
    const std::size_t end = zip.size() - 22;
    Require(ReadU32(at(end)) == 0x06054B50 && ReadU16(at(end + 10)) == entries.size());
    std::size_t central = ReadU32(at(end + 16));
    for (const ZipEntry& entry : entries) {
        Require(central + 46 <= end && ReadU32(at(central)) == 0x02014B50);
        const std::size_t compressed = ReadU32(at(central + 20));
        const std::size_t nameLength = ReadU16(at(central + 28));
        const std::size_t local = ReadU32(at(central + 42));
        Require(zip.compare(central + 46, nameLength, entry.utf8Name) == 0);
        Require(local + 30 + nameLength + compressed <= zip.size() && ReadU32(at(local)) == 0x04034B50);
        Require(Inflated(std::string_view(zip).substr(local + 30 + nameLength, compressed), entry.data.size()) ==
                entry.data);
        Require(ReadU32(at(central + 16)) ==
                crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()), static_cast<uInt>(entry.data.size())));
        central += 46 + nameLength;
    }
    Require(central == end);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const bool asUnits = size > 0 && data[0] == 0xFF;
    const std::vector<std::string_view> parts = Parts(asUnits ? input.substr(1) : input);
    const std::u16string command = ToText(parts[0], asUnits);
    const std::u16string addresses = ToText(parts[1], asUnits);
    const std::u16string subject = ToText(parts[2], asUnits);
    const std::u16string body = ToText(parts[3], asUnits);

    for (const std::u16string* text : {&command, &addresses, &subject, &body}) CheckEscaped(*text);
    CheckCommandLine(command, addresses, subject, body);

    CheckArchive({{std::string(parts[1]), std::string(parts[3]), 1, 2}, {"command", std::string(parts[0])}});
    return 0;
}
