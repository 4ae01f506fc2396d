#include "support/ByteChanges.h"

#include <algorithm>
#include <cassert>
#include <limits>
#include <utility>

void ByteChanges::add(Address offset, std::string_view before, std::string_view after)
{
    assert(before.size() == after.size() && (empty() || offset >= back().end()));
    // A run of no bytes changes nothing.
    if (before.empty())
        return;
    m_offsets.push_back(offset);
    m_before.append(before);
    m_after.append(after);
    m_ends.push_back(m_before.size());
}

void ByteChanges::reserve(std::size_t runs, std::size_t bytes)
{
    m_offsets.reserve(runs);
    m_ends.reserve(runs);
    m_before.reserve(bytes);
    m_after.reserve(bytes);
}

ByteChanges::Run ByteChanges::operator[](std::size_t i) const
{
    const std::size_t from = i == 0 ? 0 : m_ends[i - 1];
    const std::size_t length = m_ends[i] - from;
    return { m_offsets[i], std::string_view(m_before).substr(from, length),
        std::string_view(m_after).substr(from, length), from };
}

AddressRange ByteChanges::span() const
{
    return empty() ? AddressRange {} : AddressRange { m_offsets.front(), back().end() };
}

void ByteChanges::addChanged(Address offset, std::string_view before, std::string_view after)
{
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i] == after[i])
            continue;
        const Address at = offset + Address(i);
        if (!empty() && back().end() == at) {
            m_before += before[i];
            m_after += after[i];
            m_ends.back() = m_before.size();
        } else {
            add(at, before.substr(i, 1), after.substr(i, 1));
        }
    }
}

ByteChanges ByteChanges::followedBy(const ByteChanges& later) const
{
    constexpr Address None = std::numeric_limits<Address>::max();
    ByteChanges net;
    std::size_t i = 0; // this change's run at or after pos
    std::size_t j = 0; // later's
    Address pos = std::numeric_limits<Address>::min();
    while (i < size() || j < later.size()) {
        const Run a = i < size() ? (*this)[i] : Run { None, {}, {}, 0 };
        const Run b = j < later.size() ? later[j] : Run { None, {}, {}, 0 };
        pos = std::max(pos, std::min(a.offset, b.offset));
        const bool inA = a.offset <= pos && pos < a.end();
        const bool inB = b.offset <= pos && pos < b.end();
        // The bytes from pos on that the same runs cover.
        const Address until = std::min(inA ? a.end() : a.offset, inB ? b.end() : b.offset);
        // What the bytes held before the first change to touch them, and what the last one left.
        const auto slice = [&](const Run& run, std::string_view bytes) {
            return bytes.substr(std::size_t(pos - run.offset), std::size_t(until - pos));
        };
        net.addChanged(pos, inA ? slice(a, a.before) : slice(b, b.before), inB ? slice(b, b.after) : slice(a, a.after));
        pos = until;
        if (inA && pos == a.end())
            ++i;
        if (inB && pos == b.end())
            ++j;
    }
    return net;
}

ByteChanges ByteChanges::inverse() const&
{
    return ByteChanges(*this).inverse();
}

ByteChanges ByteChanges::inverse() &&
{
    std::swap(m_before, m_after);
    return std::move(*this);
}
