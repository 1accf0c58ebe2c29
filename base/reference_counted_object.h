#pragma once
// The one implementation of the basic reference-counted interface for objects that offer a
// single interface: the object answers to that interface's identifier and to the basic one,
// and deletes itself when its last reference goes.

#include <atomic>

#include "base/reference_counted.h"

namespace brevant {

template <typename Interface, const InterfaceId& kId>
class ReferenceCountedObject : public Interface {
public:
    std::int32_t QueryInterface(const InterfaceId& id, void** object) override {
        if (id != kId && id != kReferenceCountedId) {
            *object = nullptr;
            return kInterfaceMissing;
        }
        *object = static_cast<Interface*>(this);
        AddRef();
        return kInterfaceFound;
    }
    std::uint32_t AddRef() override { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }
    std::uint32_t Release() override {
        const std::uint32_t left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) delete this;
        return left;
    }

protected:
    ReferenceCountedObject() = default;
    virtual ~ReferenceCountedObject() = default;

private:
    std::atomic<std::uint32_t> references_{0};
};

}  // namespace brevant
