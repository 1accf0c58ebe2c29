#include "crashreport/report/crash_fields.h"

#include <algorithm>

#include "base/reporter_case.h"
#include "base/utf16_text.h"

namespace brevant::crashreport {

CrashFields::CrashFields(ExceptionFieldsOwner* exceptionOwner, SettingsFieldsOwner* settingsOwner)
    : exceptionOwner_(exceptionOwner), settingsOwner_(settingsOwner) {}

RefPtr<CrashFields> CrashFields::Create(ExceptionFieldsOwner* exceptionOwner, SettingsFieldsOwner* settingsOwner) {
    return RefPtr<CrashFields>::Adopt(new CrashFields(exceptionOwner, settingsOwner));
}

RefPtr<CrashFields> CrashFields::FromAddFields(std::u16string_view addFieldsText, SettingsFieldsOwner* settingsOwner) {
    RefPtr<CrashFields> fields = Create();
    fields->AcceptData();
    FillFromAddFields(*fields, addFieldsText);
    std::lock_guard guard(fields->section_);
    fields->settingsOwner_ = settingsOwner;
    return fields;
}

std::int32_t CrashFields::QueryInterface(const InterfaceId& id, void** object) {
    if (id == kReferenceCountedId || id == kCrashFieldsId) {
        *object = static_cast<ICrashFields*>(this);
    } else if (id == kCrashFieldsControlId) {
        *object = static_cast<ICrashFieldsControl*>(this);
    } else {
        *object = nullptr;
        return kInterfaceMissing;
    }
    AddRef();
    return kInterfaceFound;
}

std::uint32_t CrashFields::AddRef() {
    return references_.fetch_add(1, std::memory_order_relaxed) + 1;
}

std::uint32_t CrashFields::Release() {
    const std::uint32_t left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

// The owner's update bracket comes first, so that the owner never waits for this list
// while it holds its own lock.
void CrashFields::Lock() {
    if (ExceptionFieldsOwner* owner = exceptionOwner_.load()) owner->BeginUpdate();
    section_.lock();
}

void CrashFields::Unlock() {
    section_.unlock();
    if (ExceptionFieldsOwner* owner = exceptionOwner_.load()) owner->EndUpdate();
}

int CrashFields::GetItemCount() {
    CrashFieldsBatch batch(*this);
    return Count();
}

std::u16string CrashFields::GetItem(int index) {
    CrashFieldsBatch batch(*this);
    if (index < 0 || index >= Count()) return {};
    return items_[index].name;
}

void CrashFields::SetItem(int index, std::u16string_view name) {
    CrashFieldsBatch batch(*this);
    if (index < 0 || index >= Count() || items_[index].name == name) return;
    // Renaming onto another item's name would make two items answer to one name.
    const int holder = IndexOf(name);
    if (holder >= 0 && holder != index) return;
    items_[index].name = name;
    Modified();
}

int CrashFields::FindItem(std::u16string_view name) {
    CrashFieldsBatch batch(*this);
    return IndexOf(name);
}

std::u16string CrashFields::GetContent(std::u16string_view name) {
    CrashFieldsBatch batch(*this);
    const int index = IndexOf(name);
    return index < 0 ? std::u16string() : items_[index].content;
}

void CrashFields::SetContent(std::u16string_view name, std::u16string_view content) {
    CrashFieldsBatch batch(*this);
    if (!accepting_) return;
    const std::u16string_view trimmed = TrimControlsAndBlanks(content);
    const int index = IndexOf(name);
    if (trimmed.empty()) {
        if (index >= 0) Delete(index);
        return;
    }
    if (index >= 0) {
        CrashField& field = items_[index];
        if (field.content == trimmed && field.name == name) return;
        field.name = name;
        field.content = trimmed;
        Modified();
        return;
    }
    InsertAt(addIndex_ >= 1 ? std::min(addIndex_, Count()) : Count(), name, std::u16string(trimmed));
    Modified();
}

void CrashFields::Add(std::u16string_view name, std::u16string_view content) {
    SetContent(name, content);
}

void CrashFields::Insert(int index, std::u16string_view name, std::u16string_view content) {
    CrashFieldsBatch batch(*this);
    const std::u16string_view trimmed = TrimControlsAndBlanks(content);
    if (!accepting_ || trimmed.empty()) return;
    int position = std::clamp(index, 0, Count());
    const int existing = IndexOf(name);
    if (existing >= 0) {
        if (existing == position && items_[existing].content == trimmed) return;
        RemoveAt(existing);
        if (existing < position) --position;
    }
    InsertAt(position, name, std::u16string(trimmed));
    Modified();
}

void CrashFields::Delete(int index) {
    CrashFieldsBatch batch(*this);
    if (index < 0 || index >= Count()) return;
    RemoveAt(index);
    Modified();
}

void CrashFields::Delete(std::u16string_view name) {
    CrashFieldsBatch batch(*this);
    const int index = IndexOf(name);
    if (index >= 0) Delete(index);
}

RefPtr<ICrashFields> CrashFields::Clone() {
    CrashFieldsBatch batch(*this);
    RefPtr<CrashFields> copy = Create();
    copy->accepting_ = true;
    copy->GrowFor(items_.size());
    copy->items_ = items_;
    return copy;
}

// No update bracket here: the owner calls these while it is going away.
void CrashFields::ClearExcParent() {
    std::lock_guard guard(section_);
    exceptionOwner_.store(nullptr);
}

void CrashFields::ClearMesParent() {
    std::lock_guard guard(section_);
    settingsOwner_ = nullptr;
}

void CrashFields::SetAddIndex(int index) {
    CrashFieldsBatch batch(*this);
    addIndex_ = index;
}

void CrashFields::AcceptData() {
    CrashFieldsBatch batch(*this);
    accepting_ = true;
}

std::size_t CrashFields::Capacity() {
    std::lock_guard guard(section_);
    return capacity_;
}

int CrashFields::IndexOf(std::u16string_view name) const {
    for (int index = 0; index < Count(); ++index) {
        if (SameReporterText(items_[index].name, name)) return index;
    }
    return -1;
}

void CrashFields::GrowFor(std::size_t count) {
    while (capacity_ < count) capacity_ = capacity_ == 0 ? 16 : capacity_ + capacity_ / 2;
    items_.reserve(capacity_);
}

// An add index at or after the new pair keeps pointing behind the pairs placed there, so
// that fields added later keep their order.
void CrashFields::InsertAt(int position, std::u16string_view name, std::u16string content) {
    GrowFor(items_.size() + 1);
    items_.insert(items_.begin() + position, CrashField{std::u16string(name), std::move(content)});
    if (addIndex_ >= 1 && addIndex_ >= position) ++addIndex_;
}

void CrashFields::RemoveAt(int position) {
    items_.erase(items_.begin() + position);
    if (addIndex_ >= 1 && position < addIndex_) --addIndex_;
}

void CrashFields::Modified() {
    if (settingsOwner_) settingsOwner_->WriteAddFields(AddFieldsText());
    if (ExceptionFieldsOwner* owner = exceptionOwner_.load()) owner->SetModified();
}

std::u16string CrashFields::AddFieldsText() const {
    std::u16string text;
    for (const CrashField& field : items_) {
        if (&field != &items_.front()) text += u'|';
        text += field.name;
        text += u'=';
        text += field.content;
    }
    return text;
}

void FillFromAddFields(ICrashFields& fields, std::u16string_view addFieldsText) {
    CrashFieldsBatch batch(fields);
    std::size_t start = 0;
    while (start <= addFieldsText.size()) {
        const std::size_t end = std::min(addFieldsText.find(u'|', start), addFieldsText.size());
        const std::u16string_view entry = addFieldsText.substr(start, end - start);
        const std::size_t equals = entry.find(u'=');
        if (equals != std::u16string_view::npos) {
            const std::u16string_view name = TrimControlsAndBlanks(entry.substr(0, equals));
            if (!name.empty()) fields.Add(name, entry.substr(equals + 1));
        }
        start = end + 1;
    }
}

}  // namespace brevant::crashreport
