#pragma once

#include <cstdint>

// A byte's place in a file. Every offset and size above the file layer is one.
using Address = std::int64_t;

// The bytes from begin up to, not including, end.
struct AddressRange {
    Address begin = 0;
    Address end = 0;

    [[nodiscard]] Address size() const { return end - begin; }
    [[nodiscard]] bool empty() const { return end <= begin; }
    [[nodiscard]] bool contains(Address address) const { return address >= begin && address < end; }
    [[nodiscard]] bool overlaps(AddressRange other) const { return begin < other.end && other.begin < end; }

    friend bool operator==(const AddressRange&, const AddressRange&) = default;
};

// How much of a file the program shows, finds in and writes: its first ReachableSize bytes. Files beyond it are
// reached within it, and a patch line beyond it is refused.
inline constexpr Address ReachableSize = 2147483647;
