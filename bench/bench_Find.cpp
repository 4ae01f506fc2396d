// Measures the find command's search through files in the page cache, against two references run in the same
// process and the same rounds, since the machine's speed moves from run to run while the ratios stay:
//   floor   one plain pass that reads the file in the search's chunk size and calls memmem on each chunk;
//   grep    `grep -c -F NEEDLE FILE`.
// A 6-byte needle at the very end of a 256 MiB, a 1 GiB and a sparse 2 GiB file is found by the program's search
// as the window runs it (events let run after every chunk) at most 1.3x the floor and no slower than grep. Per GB
// the three files stay within 15% of each other.

#include "bench/BenchFile.h"
#include "bench/Median.h"
#include "support/ByteSearch.h"
#include "support/FileHandle.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string Needle = "QUILL!";
constexpr qint64 MiB = qint64(1) << 20;

// Bytes of no pattern (a needle of six given letters turns up by chance once in 2^48 places) with the needle at
// the end; a sparse file holds zeros but for the needle at its end.
void makeFile(const QString& path, qint64 size, bool sparse)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    if (sparse) {
        file.resize(size);
    } else {
        const QByteArray chunk = noise(64 * MiB);
        for (qint64 at = 0; at < size; at += chunk.size())
            file.write(chunk.constData(), std::min<qint64>(chunk.size(), size - at));
    }
    file.seek(size - qint64(Needle.size()));
    file.write(Needle.data(), qint64(Needle.size()));
}

// The floor: chunks read as the search reads them, memmem on each; the first match.
qint64 floorPass(const std::string& path)
{
    FileHandle file = FileHandle::open(path, FileHandle::Mode::Read);
    std::unique_ptr<char[]> buffer(new char[ByteSearch::ChunkSize]);
    for (qint64 at = 0;; at += qint64(ByteSearch::ChunkSize)) {
        const std::size_t got = file.readRange(at, buffer.get(), ByteSearch::ChunkSize);
        if (const auto* hit = static_cast<const char*>(::memmem(buffer.get(), got, Needle.data(), Needle.size())))
            return at + (hit - buffer.get());
        if (got < ByteSearch::ChunkSize)
            return -1;
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

struct Case {
    const char* name;
    QString path;
    qint64 size;
    std::vector<double> ours, floor, grep;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/bench_Find-XXXXXX"));
    std::vector<Case> cases = {
        { "needle at the end, 256 MiB", dir.filePath("a"), 256 * MiB, {}, {}, {} },
        { "needle at the end, 1 GiB", dir.filePath("b"), 1024 * MiB, {}, {}, {} },
        { "needle at the end, sparse 2 GiB", dir.filePath("c"), 2048 * MiB - 1, {}, {}, {} },
    };
    makeFile(cases[0].path, cases[0].size, false);
    makeFile(cases[1].path, cases[1].size, false);
    makeFile(cases[2].path, cases[2].size, true);

    const int rounds = argc > 1 ? std::atoi(argv[1]) : 7;
    for (int round = 0; round <= rounds; ++round) {
        for (Case& c : cases) {
            const std::string path = c.path.toStdString();
            qint64 ours = -1, floor = -2;
            // As the window searches: the file opened once, events let run after every chunk.
            const double oursMs = timedMs([&] {
                FileHandle file = FileHandle::open(path, FileHandle::Mode::Read);
                ours = ByteSearch::find(file, std::min<qint64>(file.size(), INT32_MAX), Needle, 0, true, [] {
                    QCoreApplication::processEvents();
                    return true;
                }).found.value_or(-1);
            });
            const double floorMs = timedMs([&] { floor = floorPass(path); });
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
        std::printf("%-34s time per GB against the 1 GiB file: %+.1f%%\n", "",
            (ours / (double(c.size) / 1e9) / perGb1 - 1) * 100);
    }
    return 0;
}
