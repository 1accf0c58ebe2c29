#pragma once
// The basic reference-counted interface the crash reporter's objects are built on, and a
// pointer that holds one reference. The three operations take the first three virtual slots,
// so interfaces derived from it list their own operations from slot 3 on, as a COM-style
// interface does; that is also why no interface has a virtual destructor.

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace brevant {

// Laid out like the system's GUID.
struct InterfaceId {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];

    friend bool operator==(const InterfaceId&, const InterfaceId&) = default;
};

inline constexpr std::int32_t kInterfaceFound = 0;                                         // S_OK
inline constexpr std::int32_t kInterfaceMissing = static_cast<std::int32_t>(0x80004002u);  // E_NOINTERFACE

// The identifier of IUnknown, so that every interface answers to it as COM expects.
inline constexpr InterfaceId kReferenceCountedId = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class IReferenceCounted {
public:
    // On success stores the interface with one added reference; otherwise stores null.
    virtual std::int32_t QueryInterface(const InterfaceId& id, void** object) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;

protected:
    ~IReferenceCounted() = default;
};

// Holds one reference to T for as long as it lives.
template <typename T>
class RefPtr {
public:
    RefPtr() = default;
    RefPtr(std::nullptr_t) {}
    // Adds a reference of its own.
    explicit RefPtr(T* object) : object_(object) {
        if (object_) object_->AddRef();
    }
    // Takes over a reference the caller already holds, as a creating function hands one out.
    static RefPtr Adopt(T* object) {
        RefPtr adopted;
        adopted.object_ = object;
        return adopted;
    }

    RefPtr(const RefPtr& other) : RefPtr(other.object_) {}
    RefPtr(RefPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    template <typename U>
    requires std::convertible_to<U*, T*> RefPtr(const RefPtr<U>& other) : RefPtr(static_cast<T*>(other.get())) {}
    template <typename U>
    requires std::convertible_to<U*, T*> RefPtr(RefPtr<U>&& other)
    noexcept : object_(other.Detach()) {}

    RefPtr& operator=(RefPtr other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    ~RefPtr() {
        if (object_) object_->Release();
    }

    T* get() const { return object_; }
    T* operator->() const { return object_; }
    T& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }

    // Hands the reference to the caller, who must release it.
    T* Detach() { return std::exchange(object_, nullptr); }

private:
    T* object_ = nullptr;
};

}  // namespace brevant
