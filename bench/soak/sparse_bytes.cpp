#include "sparse_bytes.h"

namespace zamel::soak {

void SparseBytes::set(std::uint32_t address, std::uint8_t value) {
    auto& page = pages_[address / kPageBytes];
    if (!page) page = std::make_unique<Page>();
    const std::uint32_t offset = address % kPageBytes;
    if (!page->present[offset]) ++count_;
    page->present[offset] = true;
    page->data[offset] = value;
}

std::optional<std::uint8_t> SparseBytes::at(std::uint32_t address) const {
    const auto page = pages_.find(address / kPageBytes);
    const std::uint32_t offset = address % kPageBytes;
    if (page == pages_.end() || !page->second->present[offset]) return std::nullopt;
    return page->second->data[offset];
}

void SparseBytes::forEach(const std::function<void(std::uint32_t, std::uint8_t)>& visit) const {
    for (const auto& [number, page] : pages_)
        for (std::uint32_t offset = 0; offset < kPageBytes; ++offset)
            if (page->present[offset]) visit(number * kPageBytes + offset, page->data[offset]);
}

}  // namespace zamel::soak
