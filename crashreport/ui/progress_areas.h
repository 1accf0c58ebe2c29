#pragma once
// The stages of a progress window: weighted areas one after the other, and where the bar
// stands for a position within the current one.

#include <cstdint>
#include <string>
#include <vector>

namespace brevant::crashreport {

class ProgressAreas {
public:
    struct Area {
        std::int64_t start = 0;  // sum of the weights before it
        std::int64_t weight = 0;
        std::u16string text;
    };

    // An empty text repeats the previous area's text.
    void AddArea(std::int64_t weight, const std::u16string& text);
    void Clear();
    // n = Count() means every area is done: the last area at its end. False for an n out of
    // range or the current one.
    bool SetCurrentArea(std::int32_t n);
    void SetPosition(std::int32_t value) { position_ = value < 0 ? 0 : value > 1000 ? 1000 : value; }

    std::int32_t CurrentArea() const { return current_; }
    std::int32_t Position() const { return position_; }
    std::int32_t Count() const { return static_cast<std::int32_t>(areas_.size()); }
    bool Empty() const { return areas_.empty(); }
    // The current area's text (the last one's when all are done).
    std::u16string CurrentText() const;
    // The texts of the current and all following areas, for measuring the label.
    std::vector<std::u16string> TextsFromCurrent() const;
    // 0..1000 over all areas.
    std::int32_t BarPosition() const;

private:
    std::vector<Area> areas_;
    std::int64_t sum_ = 0;
    std::int32_t current_ = 0;
    std::int32_t position_ = 0;
};

}  // namespace brevant::crashreport
