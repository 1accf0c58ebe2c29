#include "tools/property_stream_compiler/property_stream_writer.h"

#include <algorithm>

#include "crashreport/core/property_stream.h"

namespace brevant::tools {

using crashreport::ValueTag;

namespace {

bool IsAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

void PropertyStreamWriter::Bytes(std::string_view bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

void PropertyStreamWriter::Tag(std::uint8_t tag) {
    bytes_.push_back(tag);
}

void PropertyStreamWriter::Uint32(std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PropertyStreamWriter::Signature() {
    Bytes(crashreport::kPropertyStreamSignature);
}

void PropertyStreamWriter::ShortString(std::string_view bytes) {
    bytes_.push_back(static_cast<std::uint8_t>(bytes.size()));
    Bytes(bytes);
}

void PropertyStreamWriter::EndOfList() {
    bytes_.push_back(0);
}

void PropertyStreamWriter::Integer(std::int32_t value) {
    Tag(static_cast<std::uint8_t>(ValueTag::Int32));
    Uint32(static_cast<std::uint32_t>(value));
}

void PropertyStreamWriter::Boolean(bool value) {
    Tag(static_cast<std::uint8_t>(value ? ValueTag::True : ValueTag::False));
}

void PropertyStreamWriter::Identifier(std::string_view name) {
    Tag(static_cast<std::uint8_t>(ValueTag::AnsiShortString));
    ShortString(name);
}

void PropertyStreamWriter::String(std::string_view utf8) {
    Tag(static_cast<std::uint8_t>(IsAscii(utf8) ? ValueTag::AnsiLongString : ValueTag::Utf8LongString));
    Uint32(static_cast<std::uint32_t>(utf8.size()));
    Bytes(utf8);
}

}  // namespace brevant::tools
