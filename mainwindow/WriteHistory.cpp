#include "mainwindow/WriteHistory.h"

#include <algorithm>
#include <map>

void WriteHistory::record(const WrittenRange& write)
{
    m_entries.resize(m_done);
    m_bytes.resize(m_entries.empty() ? 0 : m_entries.back().at + 2 * std::size_t(m_entries.back().length));
    m_offsets.resize(m_entries.empty() ? 0 : m_entries.back().firstOffset + m_entries.back().ranges);
    const auto known = std::find_if(m_files.begin(), m_files.end(),
        [&](const File& file) { return file.identity == write.identity && file.path == write.path; });
    const auto file = static_cast<std::uint32_t>(known - m_files.begin());
    if (known == m_files.end())
        m_files.push_back({ write.path, write.identity });
    m_entries.push_back({ file, static_cast<std::uint32_t>(m_offsets.size()),
        static_cast<std::uint32_t>(write.offsets.size()), write.startByte, static_cast<std::uint32_t>(m_bytes.size()),
        static_cast<std::uint32_t>(write.before.size()), static_cast<std::uint32_t>(write.col) });
    m_offsets.insert(m_offsets.end(), write.offsets.begin(), write.offsets.end());
    m_bytes += write.before;
    m_bytes += write.after;
    m_done = m_entries.size();
}

std::optional<WrittenRange> WriteHistory::next(Direction direction) const
{
    const bool back = direction == Direction::Back;
    if (back ? m_done == 0 : m_done == m_entries.size())
        return std::nullopt;
    const Entry& entry = m_entries[back ? m_done - 1 : m_done];
    const File& file = m_files[entry.file];
    const auto offsets = m_offsets.begin() + std::ptrdiff_t(entry.firstOffset);
    return WrittenRange { file.path, file.identity, { offsets, offsets + std::ptrdiff_t(entry.ranges) },
        m_bytes.substr(entry.at, entry.length), m_bytes.substr(entry.at + entry.length, entry.length), entry.startByte,
        static_cast<std::int32_t>(entry.col) };
}

void WriteHistory::step(Direction direction)
{
    if (direction == Direction::Back)
        --m_done;
    else
        ++m_done;
}

void WriteHistory::dropRefused(Direction direction)
{
    const bool back = direction == Direction::Back;
    const FileIdentity identity = m_files[m_entries[back ? m_done - 1 : m_done].file].identity;
    const auto ofThatFile = [&](const Entry& entry) { return m_files[entry.file].identity == identity; };
    const auto done = m_entries.begin() + static_cast<std::ptrdiff_t>(m_done);
    if (back) {
        for (auto entry = m_entries.begin(); entry != done; ++entry) {
            if (!ofThatFile(*entry))
                continue;
            Entry settled = *entry;
            settled.firstOffset = static_cast<std::uint32_t>(m_settledOffsets.size());
            settled.at = static_cast<std::uint32_t>(m_settledBytes.size());
            const auto offsets = m_offsets.begin() + std::ptrdiff_t(entry->firstOffset);
            m_settledOffsets.insert(m_settledOffsets.end(), offsets, offsets + std::ptrdiff_t(entry->ranges));
            m_settledBytes += std::string_view(m_bytes).substr(entry->at, 2 * std::size_t(entry->length));
            m_settled.push_back(settled);
        }
        const auto kept = std::remove_if(m_entries.begin(), done, ofThatFile);
        m_done = static_cast<std::size_t>(kept - m_entries.begin());
        m_entries.erase(kept, done);
    } else {
        m_entries.erase(std::remove_if(done, m_entries.end(), ofThatFile), m_entries.end());
    }
}

PatchFile::Patch WriteHistory::netChanges(const std::string& path, FileIdentity identity) const
{
    std::map<std::int64_t, std::pair<char, char>> bytes;
    const auto take = [&](const Entry& entry, const std::string& pool, const std::vector<std::int32_t>& offsets) {
        if (m_files[entry.file].path != path || m_files[entry.file].identity != identity)
            return;
        for (std::uint32_t range = 0; range < entry.ranges; ++range) {
            const std::int64_t offset = offsets[entry.firstOffset + range];
            for (std::uint32_t i = 0; i < entry.length; ++i) {
                const auto [it, first] = bytes.try_emplace(offset + i, pool[entry.at + i], '\0');
                it->second.second = pool[entry.at + entry.length + i];
            }
        }
    };
    // The settled writes of a file all came before its entries still on the list.
    for (const Entry& entry : m_settled)
        take(entry, m_settledBytes, m_settledOffsets);
    for (std::size_t e = 0; e < m_done; ++e)
        take(m_entries[e], m_bytes, m_offsets);
    PatchFile::Patch patch;
    std::int64_t lineStart = 0;
    std::string before, after;
    for (const auto& [offset, change] : bytes) {
        if (change.first == change.second)
            continue;
        if (lineStart + std::int64_t(before.size()) != offset) {
            if (!before.empty())
                patch.add(lineStart, before, after);
            lineStart = offset;
            before.clear();
            after.clear();
        }
        before += change.first;
        after += change.second;
    }
    if (!before.empty())
        patch.add(lineStart, before, after);
    return patch;
}
