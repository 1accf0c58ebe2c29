#pragma once
// When the last ten exceptions happened, newest first, so that a burst of exceptions can close
// or restart the program; it survives a restart through the restart hand-off.

#include <array>
#include <cstdint>

namespace brevant::crashreport {

class ExceptTimeHistory {
public:
    static constexpr std::size_t kEntries = 10;
    static constexpr std::size_t kBytes = kEntries * 8;

    // Whole seconds since 1601-01-01 UTC; 0 where not yet set.
    using Entries = std::array<std::int64_t, kEntries>;

    // Moves every entry one place back (the oldest drops out) and puts now in front.
    void Record(std::int64_t now);
    const Entries& Times() const { return times_; }

    // The 80 bytes of the hand-off: ten little-endian 64-bit values.
    std::array<std::uint8_t, kBytes> ToBytes() const;
    static ExceptTimeHistory FromBytes(const std::uint8_t* bytes);

private:
    Entries times_{};
};

// The rule of AutoClose and AutoRestart: 0 never, 1 always; a value of 2 or more holds when
// ten exceptions, the current one included, happened within that many seconds.
bool BurstRuleHolds(std::int32_t setting, const ExceptTimeHistory& history, std::int64_t now);

// The restart hand-off block "QuarrexRestart$<pid>": 88 bytes.
struct RestartHandOff {
    static constexpr std::size_t kBytes = 88;
    std::uint32_t oldProcessId = 0;
    // The block's handle as duplicated into the new process (handles fit in 32 bits).
    std::uint32_t duplicatedHandle = 0;
    ExceptTimeHistory history;

    std::array<std::uint8_t, kBytes> ToBytes() const;
    static RestartHandOff FromBytes(const std::uint8_t* bytes);
};

}  // namespace brevant::crashreport
