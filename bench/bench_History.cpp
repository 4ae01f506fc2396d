// Measures the history of a run of 100,000 one-byte writes of one file at distinct random offsets below 1 GiB, as
// typing over a large file leaves it:
//   memory       the heap the history holds once they are recorded, per write. Target: at most the 39.2 bytes a
//                write that the history of separate offsets and bytes held before it kept change sets (measured
//                at a853e28 with the same writes);
//   net changes  the patch that Ctrl+Shift+S saves, made from the history, against the same net change worked out
//                byte by byte in a std::map in the same process and rounds. Target: no slower than the map.

#include "bench/HeapCount.h"
#include "bench/Median.h"
#include "mainwindow/WriteHistory.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <unordered_set>
#include <vector>

namespace {

constexpr int Writes = 100000;
// A typical path of 40 characters.
const std::string Path = "/home/alice/projects/firmware/dump-1.bin";

// The floor: the net change of the writes, byte by byte through an ordered map, joined into runs.
ByteChanges netByMap(const std::vector<WrittenStep>& steps)
{
    std::map<Address, std::pair<char, char>> bytes;
    for (const WrittenStep& step : steps) {
        for (std::size_t r = 0; r < step.changes.size(); ++r) {
            const ByteChanges::Run run = step.changes[r];
            for (std::size_t i = 0; i < run.before.size(); ++i) {
                const auto [it, first] = bytes.try_emplace(run.offset + Address(i), run.before[i], '\0');
                it->second.second = run.after[i];
            }
        }
    }
    ByteChanges net;
    Address start = 0;
    std::string before, after;
    for (const auto& [offset, change] : bytes) {
        if (change.first == change.second)
            continue;
        if (start + Address(before.size()) != offset) {
            net.add(start, before, after);
            start = offset;
            before.clear();
            after.clear();
        }
        before += change.first;
        after += change.second;
    }
    net.add(start, before, after);
    return net;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    std::vector<WrittenStep> steps;
    {
        std::mt19937_64 random(20240611);
        std::uniform_int_distribution<Address> below(0, (Address(1) << 30) - 1);
        std::unordered_set<Address> seen;
        while (int(steps.size()) < Writes) {
            const Address offset = below(random);
            if (!seen.insert(offset).second)
                continue;
            const char old = static_cast<char>((offset * 37 + 11) & 0xFF);
            const char now = static_cast<char>(~old);
            steps.push_back(
                { Path, FileIdentity {}, ByteChanges(offset, { &old, 1 }, { &now, 1 }), offset / 8192 * 8192, 1 });
        }
    }

    const std::size_t before = g_live;
    auto* history = new WriteHistory;
    for (const WrittenStep& step : steps)
        history->record(step);
    const double held = double(g_live - before);
    std::printf("history of %d one-byte writes: %.2f MB held, %.1f bytes a write (target: at most 39.2)\n", Writes,
        held / 1e6, held / Writes);

    const int rounds = argc > 1 ? std::atoi(argv[1]) : 7;
    std::vector<double> ours, floor;
    std::size_t peak = 0;
    for (int round = 0; round <= rounds; ++round) {
        ByteChanges net, byMap;
        g_peak = g_live;
        const std::size_t at = g_live;
        const double oursMs = timedMs([&] { net = history->netChanges(Path, FileIdentity {}); });
        peak = std::max(peak, g_peak - at);
        const double floorMs = timedMs([&] { byMap = netByMap(steps); });
        if (!(net == byMap))
            qFatal("the net changes differ from the map's");
        if (round > 0) {
            ours.push_back(oursMs);
            floor.push_back(floorMs);
        }
    }
    std::printf("net changes, medians of %d rounds (ms): %.1f, byte map %.1f, %.2fx; %.2f MB at the peak\n", rounds,
        median(ours), median(floor), median(ours) / median(floor), double(peak) / 1e6);
    delete history;
    return 0;
}
