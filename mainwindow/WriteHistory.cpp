#include "mainwindow/WriteHistory.h"

#include <algorithm>
#include <limits>

std::size_t WriteHistory::runsEnd(std::size_t step) const
{
    return step + 1 < m_steps.size() ? m_steps[step + 1].firstRun : m_offsets.size();
}

ByteChanges WriteHistory::changesOf(std::size_t step) const
{
    ByteChanges changes;
    const std::size_t first = m_steps[step].firstRun;
    const std::size_t last = runsEnd(step);
    changes.reserve(last - first, poolEnd(last) - poolEnd(first));
    for (std::size_t run = first; run < last; ++run) {
        const std::size_t from = poolEnd(run);
        const std::size_t length = m_ends[run] - from;
        changes.add(m_offsets[run], std::string_view(m_before).substr(from, length),
            std::string_view(m_after).substr(from, length));
    }
    return changes;
}

bool WriteHistory::hasRoomFor(const ByteChanges& changes) const
{
    const std::size_t kept = poolEnd(m_done == 0 ? 0 : runsEnd(m_done - 1));
    return changes.byteCount() <= std::numeric_limits<std::uint32_t>::max() - kept;
}

void WriteHistory::record(const WrittenStep& step)
{
    const std::size_t runs = m_done == m_steps.size() ? m_offsets.size() : m_steps[m_done].firstRun;
    m_steps.resize(m_done);
    m_offsets.resize(runs);
    m_ends.resize(runs);
    m_before.resize(poolEnd(runs));
    m_after.resize(m_before.size());
    const auto known = std::find_if(m_files.begin(), m_files.end(),
        [&](const File& file) { return file.identity == step.identity && file.path == step.path; });
    const auto file = static_cast<std::uint32_t>(known - m_files.begin());
    if (known == m_files.end())
        m_files.push_back({ step.path, step.identity });
    m_steps.push_back({ step.startByte, static_cast<std::uint32_t>(runs), file, static_cast<std::uint32_t>(step.col) });
    for (std::size_t i = 0; i < step.changes.size(); ++i) {
        const ByteChanges::Run run = step.changes[i];
        m_offsets.push_back(run.offset);
        m_before += run.before;
        m_after += run.after;
        m_ends.push_back(static_cast<std::uint32_t>(m_before.size()));
    }
    m_done = m_steps.size();
}

std::optional<WrittenStep> WriteHistory::next(Direction direction) const
{
    const bool back = direction == Direction::Back;
    if (back ? m_done == 0 : m_done == m_steps.size())
        return std::nullopt;
    const std::size_t at = back ? m_done - 1 : m_done;
    const Step& step = m_steps[at];
    const File& file = m_files[step.file];
    return WrittenStep { file.path, file.identity, changesOf(at), step.startByte, static_cast<std::int32_t>(step.col) };
}

void WriteHistory::step(Direction direction)
{
    if (direction == Direction::Back)
        --m_done;
    else
        ++m_done;
}

template <typename Keep> void WriteHistory::keepSteps(Keep keep)
{
    WriteHistory kept;
    std::size_t done = 0;
    for (std::size_t s = 0; s < m_steps.size(); ++s) {
        if (!keep(s))
            continue;
        if (s < m_done)
            ++done;
        const std::size_t first = m_steps[s].firstRun;
        kept.m_steps.push_back(m_steps[s]);
        kept.m_steps.back().firstRun = static_cast<std::uint32_t>(kept.m_offsets.size());
        for (std::size_t run = first; run < runsEnd(s); ++run) {
            const std::size_t from = poolEnd(run);
            kept.m_offsets.push_back(m_offsets[run]);
            kept.m_before.append(m_before, from, m_ends[run] - from);
            kept.m_after.append(m_after, from, m_ends[run] - from);
            kept.m_ends.push_back(static_cast<std::uint32_t>(kept.m_before.size()));
        }
    }
    kept.m_done = done;
    kept.m_files = std::move(m_files);
    kept.m_settled = std::move(m_settled);
    *this = std::move(kept);
}

void WriteHistory::dropRefused(Direction direction)
{
    const bool back = direction == Direction::Back;
    const std::uint32_t file = m_steps[back ? m_done - 1 : m_done].file;
    const FileIdentity identity = m_files[file].identity;
    const auto ofThatFile = [&](std::size_t s) { return m_files[m_steps[s].file].identity == identity; };
    if (back) {
        // What they wrote stays on disk, and among the run's changes of their file.
        for (std::size_t s = 0; s < m_done; ++s) {
            if (!ofThatFile(s))
                continue;
            const auto settled = std::find_if(
                m_settled.begin(), m_settled.end(), [&](const auto& entry) { return entry.first == m_steps[s].file; });
            if (settled == m_settled.end())
                m_settled.emplace_back(std::uint32_t(m_steps[s].file), changesOf(s));
            else
                settled->second = settled->second.followedBy(changesOf(s));
        }
        keepSteps([&](std::size_t s) { return s >= m_done || !ofThatFile(s); });
    } else {
        keepSteps([&](std::size_t s) { return s < m_done || !ofThatFile(s); });
    }
}

ByteChanges WriteHistory::netChanges(const std::string& path, FileIdentity identity) const
{
    const auto ofFile
        = [&](std::uint32_t file) { return m_files[file].path == path && m_files[file].identity == identity; };
    // The file's runs by offset; their indices are their order in time.
    std::vector<std::uint32_t> runs;
    for (std::size_t s = 0; s < m_done; ++s) {
        if (ofFile(m_steps[s].file)) {
            for (std::size_t run = m_steps[s].firstRun; run < runsEnd(s); ++run)
                runs.push_back(static_cast<std::uint32_t>(run));
        }
    }
    std::stable_sort(
        runs.begin(), runs.end(), [&](std::uint32_t a, std::uint32_t b) { return m_offsets[a] < m_offsets[b]; });
    const auto bytesOf = [&](const std::string& pool, std::uint32_t run) {
        const std::size_t from = poolEnd(run);
        return std::string_view(pool).substr(from, m_ends[run] - from);
    };
    const auto endOf = [&](std::uint32_t run) { return m_offsets[run] + Address(bytesOf(m_before, run).size()); };
    ByteChanges net;
    std::string before, after;
    for (std::size_t first = 0; first < runs.size();) {
        // The runs that overlap, one after another: written one over the other, each byte holds what it held before
        // the first of them and what the last one left.
        std::size_t last = first + 1;
        Address end = endOf(runs[first]);
        for (; last < runs.size() && m_offsets[runs[last]] < end; ++last)
            end = std::max(end, endOf(runs[last]));
        const Address start = m_offsets[runs[first]];
        if (last == first + 1) {
            net.addChanged(start, bytesOf(m_before, runs[first]), bytesOf(m_after, runs[first]));
        } else {
            std::sort(runs.begin() + std::ptrdiff_t(first), runs.begin() + std::ptrdiff_t(last));
            before.assign(std::size_t(end - start), '\0');
            after.assign(before.size(), '\0');
            std::vector<bool> touched(before.size());
            for (std::size_t r = first; r < last; ++r) {
                const std::string_view was = bytesOf(m_before, runs[r]);
                const std::string_view now = bytesOf(m_after, runs[r]);
                for (std::size_t i = 0, at = std::size_t(m_offsets[runs[r]] - start); i < was.size(); ++i, ++at) {
                    if (!touched[at])
                        before[at] = was[i];
                    touched[at] = true;
                    after[at] = now[i];
                }
            }
            net.addChanged(start, before, after);
        }
        first = last;
    }
    // The settled writes of a file all came before its steps still on the list.
    for (const auto& [file, settled] : m_settled) {
        if (ofFile(file))
            return settled.followedBy(net);
    }
    return net;
}
