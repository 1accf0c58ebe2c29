#include "crashreport/ui/progress_areas.h"

#include <algorithm>

namespace brevant::crashreport {

void ProgressAreas::AddArea(std::int64_t weight, const std::u16string& text) {
    Area area{sum_, std::max<std::int64_t>(weight, 0), text};
    if (area.text.empty() && !areas_.empty()) area.text = areas_.back().text;
    sum_ += area.weight;
    areas_.push_back(std::move(area));
}

void ProgressAreas::Clear() {
    areas_.clear();
    sum_ = 0;
    current_ = 0;
    position_ = 0;
}

bool ProgressAreas::SetCurrentArea(std::int32_t n) {
    if (n == current_ || n < 0 || n > Count()) return false;
    current_ = n;
    position_ = n == Count() ? 1000 : 0;
    return true;
}

std::u16string ProgressAreas::CurrentText() const {
    if (areas_.empty()) return {};
    return areas_[std::min<std::size_t>(current_, areas_.size() - 1)].text;
}

std::vector<std::u16string> ProgressAreas::TextsFromCurrent() const {
    std::vector<std::u16string> texts;
    for (std::size_t i = std::min<std::size_t>(current_, areas_.size()); i < areas_.size(); ++i)
        texts.push_back(areas_[i].text);
    if (texts.empty() && !areas_.empty()) texts.push_back(areas_.back().text);
    return texts;
}

std::int32_t ProgressAreas::BarPosition() const {
    if (areas_.empty() || sum_ <= 0) return 0;
    const Area& area = areas_[std::min<std::size_t>(current_, areas_.size() - 1)];
    const std::int64_t done = area.start + area.weight * position_ / 1000;
    return static_cast<std::int32_t>(done * 1000 / sum_);
}

}  // namespace brevant::crashreport
