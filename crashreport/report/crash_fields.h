#pragma once
// An ordered, lockable list of (name, content) texts: the report header, the report
// sections, the extra mail fields of the settings and the form cache are each one of these.
// Names are unique under the crash reporter's case folding.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/reference_counted.h"

namespace brevant::crashreport {

// Operations in slot order; several threads use one list (the exception box reads while the
// report is completed), so every operation locks and Lock/Unlock make a batch of them atomic.
class ICrashFields : public IReferenceCounted {
public:
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    virtual int GetItemCount() = 0;
    // The name at index; empty text when index is out of range.
    virtual std::u16string GetItem(int index) = 0;
    // Renames the item at index when the name differs in any character.
    virtual void SetItem(int index, std::u16string_view name) = 0;
    // Index of the name, or -1.
    virtual int FindItem(std::u16string_view name) = 0;
    // Content of the name, or empty text.
    virtual std::u16string GetContent(std::u16string_view name) = 0;
    // Stores the trimmed content; empty content deletes the name.
    virtual void SetContent(std::u16string_view name, std::u16string_view content) = 0;
    // The same as SetContent.
    virtual void Add(std::u16string_view name, std::u16string_view content) = 0;
    virtual void Insert(int index, std::u16string_view name, std::u16string_view content) = 0;
    virtual void Delete(int index) = 0;
    virtual void Delete(std::u16string_view name) = 0;
    // A new list without owners that accepts data and holds copies of all pairs.
    virtual RefPtr<ICrashFields> Clone() = 0;

protected:
    ~ICrashFields() = default;
};

// Holds a list's lock for a batch of operations.
class CrashFieldsBatch {
public:
    explicit CrashFieldsBatch(ICrashFields& fields) : fields_(fields) { fields_.Lock(); }
    ~CrashFieldsBatch() { fields_.Unlock(); }
    CrashFieldsBatch(const CrashFieldsBatch&) = delete;
    CrashFieldsBatch& operator=(const CrashFieldsBatch&) = delete;

private:
    ICrashFields& fields_;
};

// The second face of a list: what its owners and builders use.
class ICrashFieldsControl : public IReferenceCounted {
public:
    virtual void ClearExcParent() = 0;
    virtual void ClearMesParent() = 0;
    // Where names not yet present go; 0 or less appends them.
    virtual void SetAddIndex(int index) = 0;
    // Until this is called, SetContent, Add and Insert do nothing.
    virtual void AcceptData() = 0;

protected:
    ~ICrashFieldsControl() = default;
};

inline constexpr InterfaceId kCrashFieldsId = {
    0x3418E961, 0xDB3D, 0x4486, {0x91, 0x91, 0xB2, 0x4A, 0x6A, 0x87, 0x3E, 0x8C}};
inline constexpr InterfaceId kCrashFieldsControlId = {
    0x4555C7F9, 0xAE31, 0x47C5, {0x9C, 0xB7, 0xD9, 0x0E, 0xEA, 0xF5, 0x41, 0xE1}};

// The exception that owns its header and section lists. A batch of changes is bracketed by
// BeginUpdate/EndUpdate so that the exception announces it once, at the end.
class ExceptionFieldsOwner {
public:
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;
    virtual void SetModified() = 0;

protected:
    ~ExceptionFieldsOwner() = default;
};

// The settings object that owns the extra mail fields; their list lives in its "AddFields"
// text, so every effective change hands over the whole list in that form.
class SettingsFieldsOwner {
public:
    virtual void WriteAddFields(std::u16string_view addFieldsText) = 0;

protected:
    ~SettingsFieldsOwner() = default;
};

struct CrashField {
    std::u16string name;
    std::u16string content;
};

class CrashFields final : public ICrashFields, public ICrashFieldsControl {
public:
    // The owners must clear themselves (ClearExcParent, ClearMesParent) before they go.
    static RefPtr<CrashFields> Create(ExceptionFieldsOwner* exceptionOwner = nullptr,
                                      SettingsFieldsOwner* settingsOwner = nullptr);
    // The settings' list, built from an "AddFields" text and accepting data; only changes
    // made after building are written back to the owner.
    static RefPtr<CrashFields> FromAddFields(std::u16string_view addFieldsText, SettingsFieldsOwner* settingsOwner);

    std::int32_t QueryInterface(const InterfaceId& id, void** object) override;
    std::uint32_t AddRef() override;
    std::uint32_t Release() override;

    void Lock() override;
    void Unlock() override;
    int GetItemCount() override;
    std::u16string GetItem(int index) override;
    void SetItem(int index, std::u16string_view name) override;
    int FindItem(std::u16string_view name) override;
    std::u16string GetContent(std::u16string_view name) override;
    void SetContent(std::u16string_view name, std::u16string_view content) override;
    void Add(std::u16string_view name, std::u16string_view content) override;
    void Insert(int index, std::u16string_view name, std::u16string_view content) override;
    void Delete(int index) override;
    void Delete(std::u16string_view name) override;
    RefPtr<ICrashFields> Clone() override;

    void ClearExcParent() override;
    void ClearMesParent() override;
    void SetAddIndex(int index) override;
    void AcceptData() override;

    // Room for pairs before the array grows: 16 at first, then half as much again each time.
    std::size_t Capacity();

private:
    CrashFields(ExceptionFieldsOwner* exceptionOwner, SettingsFieldsOwner* settingsOwner);
    ~CrashFields() = default;

    int Count() const { return static_cast<int>(items_.size()); }
    int IndexOf(std::u16string_view name) const;
    void GrowFor(std::size_t count);
    void InsertAt(int position, std::u16string_view name, std::u16string content);
    void RemoveAt(int position);
    void Modified();
    std::u16string AddFieldsText() const;

    std::atomic<std::uint32_t> references_{1};
    std::recursive_mutex section_;
    std::atomic<ExceptionFieldsOwner*> exceptionOwner_;
    SettingsFieldsOwner* settingsOwner_;
    std::vector<CrashField> items_;
    std::size_t capacity_ = 0;
    int addIndex_ = 0;
    bool accepting_ = false;
};

// Fills a list from the "AddFields" syntax: entries separated by "|", each a name, "=" and a
// value (the value may hold further "="). Names are trimmed like contents; an entry without
// "=" or with an empty name names nothing and is skipped. The list must accept data.
void FillFromAddFields(ICrashFields& fields, std::u16string_view addFieldsText);

}  // namespace brevant::crashreport
