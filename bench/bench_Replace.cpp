// Measures the replace command on a 1 GiB file in the page cache with a match every 64 KiB, against floors run in
// the same process and rounds, since the machine's speed moves from run to run while the ratios stay:
//   search  the program's search for every match, as the window runs it (events let run after every chunk),
//           against one plain pass that reads the file in the search's chunk size and calls memmem on each chunk;
//   writes  the change set of every match made and written by the one checked write (open, identity, a look at
//           every run, the writes, one sync), against pwrite of the same ranges and one fdatasync.
// The search stays within 1.3x its floor, the writes within 2x theirs, and the match list costs at most 8 bytes a
// match.

#include "bench/BenchFile.h"
#include "bench/Median.h"
#include "support/ByteSearch.h"
#include "support/FileHandle.h"
#include "support/__Files.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string Needle = "QUILL!";
const std::string Other = "quill?";
constexpr qint64 MiB = qint64(1) << 20;
constexpr qint64 Every = 64 * 1024;

// Bytes of no pattern, with the needle at the start of every 64 KiB.
void makeFile(const QString& path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QByteArray chunk = noise(64 * MiB);
    for (qsizetype at = 0; at < chunk.size(); at += Every)
        std::memcpy(chunk.data() + at, Needle.data(), Needle.size());
    for (qint64 at = 0; at < size; at += chunk.size())
        file.write(chunk.constData(), std::min<qint64>(chunk.size(), size - at));
}

// The search's floor: every match in chunks read as the search reads them.
std::size_t floorSearch(const std::string& path, const std::string& needle)
{
    FileHandle file = FileHandle::open(path, FileHandle::Mode::Read);
    std::unique_ptr<char[]> buffer(new char[ByteSearch::ChunkSize]);
    std::size_t found = 0;
    for (qint64 at = 0;; at += qint64(ByteSearch::ChunkSize)) {
        const std::size_t got = file.readRange(at, buffer.get(), ByteSearch::ChunkSize);
        for (const char* from = buffer.get();;) {
            const auto* hit = static_cast<const char*>(
                ::memmem(from, std::size_t(buffer.get() + got - from), needle.data(), needle.size()));
            if (!hit)
                break;
            ++found;
            from = hit + needle.size();
        }
        if (got < ByteSearch::ChunkSize)
            return found;
    }
}

// The writes' floor.
void floorWrites(const std::string& path, const std::vector<std::int64_t>& offsets, const std::string& bytes)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    for (const std::int64_t offset : offsets)
        if (::pwrite(fd, bytes.data(), bytes.size(), offset) != qint64(bytes.size()))
            qFatal("pwrite failed");
    ::fdatasync(fd);
    ::close(fd);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/bench_Replace-XXXXXX"));
    const QString name = dir.filePath(QStringLiteral("f"));
    const std::string path = name.toStdString();
    const qint64 size = 1024 * MiB;
    makeFile(name, size);
    const FileIdentity identity = FileHandle::open(path, FileHandle::Mode::Read).identity();

    const int rounds = argc > 1 ? std::atoi(argv[1]) : 7;
    const ByteSearch::Query query { { ByteSearch::Pattern::exactly(Needle) }, {} };
    std::vector<double> search, searchFloor, writes, writesFloor;
    double bytesPerMatch = 0;
    for (int round = 0; round <= rounds; ++round) {
        // Each round replaces the needle by the other bytes and the floor writes the needle back.
        ByteSearch::Matches matches;
        const double searchMs = timedMs([&] {
            FileHandle file = FileHandle::open(path, FileHandle::Mode::Read);
            matches = ByteSearch::findAll(file, std::min(file.size(), ReachableSize), query, [] {
                QCoreApplication::processEvents();
                return true;
            });
        });
        std::size_t floorFound = 0;
        const double searchFloorMs = timedMs([&] { floorFound = floorSearch(path, Needle); });
        if (matches.offsets.size() != floorFound || floorFound != std::size_t(size / Every))
            qFatal("the search found %zu matches, the floor %zu", matches.offsets.size(), floorFound);
        CheckedWrite done;
        const double writesMs = timedMs([&] {
            ByteChanges changes;
            changes.reserve(matches.offsets.size(), matches.offsets.size() * Needle.size());
            for (const Address offset : matches.offsets)
                changes.add(offset, Needle, Other);
            done = writeIfUnchanged(path, identity, changes);
        });
        if (done.outcome != CheckedWrite::Outcome::Written)
            qFatal("the replace was not written");
        const double writesFloorMs = timedMs([&] { floorWrites(path, matches.offsets, Needle); });
        bytesPerMatch = double(matches.offsets.capacity() * sizeof(std::int64_t) + matches.patterns.capacity())
            / double(matches.offsets.size());
        // The first round fills the page cache and is not counted.
        if (round > 0) {
            search.push_back(searchMs);
            searchFloor.push_back(searchFloorMs);
            writes.push_back(writesMs);
            writesFloor.push_back(writesFloorMs);
        }
    }

    std::printf(
        "Replace in 1 GiB, a match every 64 KiB (%lld matches), medians of %d rounds (ms)\n", size / Every, rounds);
    std::printf("%-8s %9s %9s %8s\n", "", "replace", "floor", "ratio");
    std::printf("%-8s %9.1f %9.1f %7.2fx\n", "search", median(search), median(searchFloor),
        median(search) / median(searchFloor));
    std::printf("%-8s %9.1f %9.1f %7.2fx\n", "writes", median(writes), median(writesFloor),
        median(writes) / median(writesFloor));
    std::printf("match list: %.1f bytes a match\n", bytesPerMatch);
    return 0;
}
