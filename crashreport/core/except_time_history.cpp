#include "crashreport/core/except_time_history.h"

#include <algorithm>

#include "base/little_endian.h"

namespace brevant::crashreport {

void ExceptTimeHistory::Record(std::int64_t now) {
    for (std::size_t i = kEntries - 1; i > 0; --i) times_[i] = times_[i - 1];
    times_[0] = now;
}

std::array<std::uint8_t, ExceptTimeHistory::kBytes> ExceptTimeHistory::ToBytes() const {
    std::array<std::uint8_t, kBytes> bytes{};
    for (std::size_t i = 0; i < kEntries; ++i) WriteU64(&bytes[i * 8], static_cast<std::uint64_t>(times_[i]));
    return bytes;
}

ExceptTimeHistory ExceptTimeHistory::FromBytes(const std::uint8_t* bytes) {
    ExceptTimeHistory history;
    for (std::size_t i = 0; i < kEntries; ++i)
        history.times_[i] = static_cast<std::int64_t>(ReadU64(bytes + i * 8));
    return history;
}

bool BurstRuleHolds(std::int32_t setting, const ExceptTimeHistory& history, std::int64_t now) {
    if (setting <= 0) return false;
    if (setting == 1) return true;
    for (std::int64_t time : history.Times())
        if (time == 0 || now - time > setting) return false;
    return true;
}

std::array<std::uint8_t, RestartHandOff::kBytes> RestartHandOff::ToBytes() const {
    std::array<std::uint8_t, kBytes> bytes{};
    WriteU32(&bytes[0], oldProcessId);
    WriteU32(&bytes[4], duplicatedHandle);
    auto times = history.ToBytes();
    std::copy(times.begin(), times.end(), bytes.begin() + 8);
    return bytes;
}

RestartHandOff RestartHandOff::FromBytes(const std::uint8_t* bytes) {
    RestartHandOff handOff;
    handOff.oldProcessId = ReadU32(bytes);
    handOff.duplicatedHandle = ReadU32(bytes + 4);
    handOff.history = ExceptTimeHistory::FromBytes(bytes + 8);
    return handOff;
}

}  // namespace brevant::crashreport
