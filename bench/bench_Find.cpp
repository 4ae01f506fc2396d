// Measures the find command's search through files in the page cache, against two references run in the same
// process and the same rounds, since the machine's speed moves from run to run while the ratios stay:
//   floor   one plain pass that reads the file in the search's chunk size and calls memmem on each chunk;
//   grep    `grep -c -F NEEDLE FILE`.
// A 6-byte needle at the very end of a 256 MiB, a 1 GiB and a sparse 2 GiB file is found by the program's search
// as the window runs it (the hourglass, events let run after every chunk) at most 1.3x the floor and no slower
// than grep; a needle found every 4 KiB of the 1 GiB file is counted by the same scan at most 1.3x a floor that
// counts with memmem the same way. Per GB the three files stay within 15% of each other.

#include "bench/Median.h"
#include "mainwindow/BlockSink.h"
#include "mainwindow/ShownBlock.h"
#include "support/ByteSearch.h"
#include "support/FileHandle.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string Needle = "QUILL!";
constexpr qint64 MiB = qint64(1) << 20;

// As the window lets events run during a search.
class EventsSink : public BlockSink {
public:
    void clearRows() override { }
    void setBusy(bool) override { }
    void showRows(std::int32_t, std::int64_t, std::span<const std::uint8_t>) override { }
    void showValue(std::int32_t, std::uint8_t) override { }
    void processEvents() override { QCoreApplication::processEvents(); }
};

// Bytes of no pattern (a needle of six given letters turns up by chance once in 2^48 places), the needle written
// at every `every` bytes, or only at the end; a sparse file holds zeros but for the needle at its end.
void makeFile(const QString& path, qint64 size, bool sparse, qint64 every = 0)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    if (sparse) {
        file.resize(size);
    } else {
        QByteArray chunk(64 * MiB, Qt::Uninitialized);
        std::uint64_t state = 0x9E3779B97F4A7C15u;
        for (qsizetype i = 0; i + 8 <= chunk.size(); i += 8) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            std::memcpy(chunk.data() + i, &state, 8);
        }
        if (every > 0)
            for (qsizetype at = 0; at + qsizetype(Needle.size()) <= chunk.size(); at += every)
                std::memcpy(chunk.data() + at, Needle.data(), Needle.size());
        for (qint64 at = 0; at < size; at += chunk.size())
            file.write(chunk.constData(), std::min<qint64>(chunk.size(), size - at));
    }
    if (every == 0) {
        file.seek(size - qint64(Needle.size()));
        file.write(Needle.data(), qint64(Needle.size()));
    }
}

// The floor: chunks read as the search reads them, memmem on each; the first match, or the count of all.
qint64 floorPass(const std::string& path, bool count)
{
    FileHandle file;
    if (file.open(path, FileHandle::Mode::Read) != 0)
        qFatal("cannot open %s", path.c_str());
    std::unique_ptr<char[]> buffer(new char[ByteSearch::ChunkSize]);
    qint64 matches = 0;
    for (qint64 at = 0;; at += qint64(ByteSearch::ChunkSize)) {
        int failure = 0;
        const std::size_t got = file.readAt(at, buffer.get(), ByteSearch::ChunkSize, failure);
        for (const char* from = buffer.get();;) {
            const auto* hit = static_cast<const char*>(
                ::memmem(from, std::size_t(buffer.get() + got - from), Needle.data(), Needle.size()));
            if (!hit)
                break;
            if (!count)
                return at + (hit - buffer.get());
            ++matches;
            from = hit + 1;
        }
        if (got < ByteSearch::ChunkSize)
            return matches;
    }
}

double grepMs(const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    QProcess grep;
    grep.start(
        QStringLiteral("grep"), { QStringLiteral("-c"), QStringLiteral("-F"), QString::fromStdString(Needle), path });
    grep.waitForFinished(-1);
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

double timedMs(const std::function<void()>& run)
{
    QElapsedTimer timer;
    timer.start();
    run();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

struct Case {
    const char* name;
    QString path;
    qint64 size;
    bool dense;
    std::vector<double> ours, floor, grep;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/bench_Find-XXXXXX"));
    std::vector<Case> cases = {
        { "needle at the end, 256 MiB", dir.filePath("a"), 256 * MiB, false, {}, {}, {} },
        { "needle at the end, 1 GiB", dir.filePath("b"), 1024 * MiB, false, {}, {}, {} },
        { "needle at the end, sparse 2 GiB", dir.filePath("c"), 2048 * MiB - 1, false, {}, {}, {} },
        { "needle every 4 KiB, 1 GiB", dir.filePath("d"), 1024 * MiB, true, {}, {}, {} },
    };
    makeFile(cases[0].path, cases[0].size, false);
    makeFile(cases[1].path, cases[1].size, false);
    makeFile(cases[2].path, cases[2].size, true);
    makeFile(cases[3].path, cases[3].size, false, 4096);

    EventsSink sink;
    ShownBlock block(sink);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 7;
    for (int round = 0; round <= rounds; ++round) {
        for (Case& c : cases) {
            const std::string path = c.path.toStdString();
            qint64 ours = -1, floor = -2;
            const double oursMs = timedMs([&] {
                if (c.dense) {
                    FileHandle file;
                    (void)file.open(path, FileHandle::Mode::Read);
                    ours = 0;
                    ByteSearch::forEachMatch(
                        file, Needle, 0, c.size, [&ours](std::int64_t) { return ++ours, true; },
                        [&sink] { return sink.processEvents(), true; });
                } else {
                    ours = block.find(path, Needle, 0, true, [] { return false; })->found.value_or(-1);
                }
            });
            const double floorMs = timedMs([&] { floor = floorPass(path, c.dense); });
            const double grep = grepMs(c.path);
            if (ours != floor)
                qFatal("%s: the search found %lld, the floor %lld", c.name, ours, floor);
            // The first round fills the page cache and is not counted.
            if (round > 0) {
                c.ours.push_back(oursMs);
                c.floor.push_back(floorMs);
                c.grep.push_back(grep);
            }
        }
    }

    std::printf("Find, medians of %d rounds (ms); ratios are the search's time over the other's\n", rounds);
    std::printf("%-34s %9s %9s %9s %8s %8s %8s\n", "", "search", "floor", "grep", "/floor", "/grep", "GB/s");
    const double perGb1 = median(cases[1].ours) / (double(cases[1].size) / 1e9);
    for (const Case& c : cases) {
        const double ours = median(c.ours);
        std::printf("%-34s %9.1f %9.1f %9.1f %7.2fx %7.2fx %8.2f\n", c.name, ours, median(c.floor), median(c.grep),
            ours / median(c.floor), ours / median(c.grep), double(c.size) / 1e6 / ours);
        if (!c.dense)
            std::printf("%-34s time per GB against the 1 GiB file: %+.1f%%\n", "",
                (ours / (double(c.size) / 1e9) / perGb1 - 1) * 100);
    }
    return 0;
}
