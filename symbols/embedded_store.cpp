#include "symbols/embedded_store.h"

#include "symbols/pe_image.h"
#include "symbols/store_packing.h"

namespace brevant::symbols {

std::optional<SymbolStore> OpenPackedStore(std::span<const std::uint8_t> packed) {
    auto store = UnpackStore(packed);
    if (!store) return std::nullopt;
    return SymbolStore::Open(std::move(*store));
}

std::optional<EmbeddedStore> ReadEmbeddedStore(std::span<const std::uint8_t> file) {
    const auto image = PeImage::Parse(file);
    if (!image) return std::nullopt;
    const auto packed = image->FindResource(kStoreResourceType, kStoreResourceName);
    if (!packed) return std::nullopt;
    auto store = OpenPackedStore(*packed);
    if (!store) return std::nullopt;
    return EmbeddedStore{std::move(*store), image->ImageBase(), packed->size()};
}

}  // namespace brevant::symbols
