// Measures comparing two 1 GiB files of random bytes in the page cache against the same reads done plainly in the
// same process and rounds. The floor reads both files a chunk at a time with pread and compares every byte with
// memcmp, a page at a time (one memcmp a chunk would stop at the chunk's first difference and leave most bytes
// unread by it); the reads alone are shown too.
//   count   the comparison Ctrl+K runs, over files that differ in 100,000 runs; target at most 1.3x the floor;
//   F6      a step from the start to the one difference, at the last byte; target within the same 1.3x;
//   --diff  the patch of the 100,000 runs written to a file, against the floor plus writing the same text;
//           target at most 1.5x;
//   cmp     GNU cmp -s over files that differ in their last byte, against counting them; target 5x slower;
//   marks   a block command with the comparison's marks against one without; target at most 1 ms more;
// and the heap that counting and --diff hold at their peak, which must not grow with the differences.

#include "bench/BenchFile.h"
#include "bench/HeapCount.h"
#include "bench/Median.h"
#include "mainwindow/BlockView.h"
#include "mainwindow/Comparison.h"
#include "mainwindow/PatchCommand.h"
#include "mainwindow/ShownBlock.h"
#include "support/Exception.h"
#include "support/FileCompare.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

constexpr qint64 MiB = qint64(1) << 20;
constexpr qint64 Size = 1024 * MiB;
constexpr int DifferingRuns = 100000;

// A window that shows nothing, for the block commands.
class NoView : public BlockView {
public:
    std::string path;
    void showFile(const std::string&) override { }
    void showFileSize(Address) override { }
    std::string currentFile() const override { return path; }
    std::string typedText(std::int32_t, Address) const override { return {}; }
    void showNotice(Notice) override { }
    void showError(const Exception&) override { }
    void showRecovery(const WriteJournal::Recovery&) override { }
    void setBusy(bool) override { }
    void processEvents() override { QCoreApplication::processEvents(); }
};

void writeFile(const std::string& path, const QByteArray& chunk)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", path.c_str());
    for (qint64 at = 0; at < Size; at += chunk.size())
        file.write(chunk);
}

void changeBytes(const std::string& path, const std::vector<qint64>& offsets, int length)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    for (const qint64 offset : offsets) {
        char bytes[4];
        if (::pread(fd, bytes, std::size_t(length), offset) != length)
            qFatal("pread failed");
        for (int i = 0; i < length; ++i)
            bytes[i] = char(~bytes[i]);
        if (::pwrite(fd, bytes, std::size_t(length), offset) != length)
            qFatal("pwrite failed");
    }
    ::close(fd);
}

// The plain pass: both files read in the comparison's chunks, and every byte compared; or read only.
int floorPass(int ours, int theirs, bool compare = true)
{
    static std::unique_ptr<char[]> a(new char[FileCompare::ChunkSize]);
    static std::unique_ptr<char[]> b(new char[FileCompare::ChunkSize]);
    int differing = 0;
    for (qint64 at = 0; at < Size; at += qint64(FileCompare::ChunkSize)) {
        if (::pread(ours, a.get(), FileCompare::ChunkSize, at) <= 0
            || ::pread(theirs, b.get(), FileCompare::ChunkSize, at) <= 0)
            qFatal("pread failed");
        constexpr std::size_t Page = 4096;
        for (std::size_t i = 0; compare && i < FileCompare::ChunkSize; i += Page)
            differing += std::memcmp(a.get() + i, b.get() + i, Page) != 0;
    }
    return differing;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/bench_Compare-XXXXXX"));
    const auto pathOf = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)).toStdString(); };
    const std::string ours = pathOf("ours");
    const std::string theirs = pathOf("theirs");
    const std::string last = pathOf("last");
    const QByteArray chunk = noise(64 * MiB);
    for (const std::string& path : { ours, theirs, last })
        writeFile(path, chunk);
    std::vector<qint64> offsets;
    QRandomGenerator random(7);
    for (int i = 0; i < DifferingRuns; ++i)
        offsets.push_back(qint64(random.bounded(quint64(Size / 8 - 1))) * 8);
    std::sort(offsets.begin(), offsets.end());
    offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
    changeBytes(theirs, offsets, 4);
    changeBytes(last, { Size - 1 }, 1);

    const int oursFd = ::open(ours.c_str(), O_RDONLY | O_CLOEXEC);
    const int theirsFd = ::open(theirs.c_str(), O_RDONLY | O_CLOEXEC);
    const int lastFd = ::open(last.c_str(), O_RDONLY | O_CLOEXEC);
    FileHandle oursFile = FileHandle::open(ours, FileHandle::Mode::Read);
    FileHandle theirsFile = FileHandle::open(theirs, FileHandle::Mode::Read);
    FileHandle lastFile = FileHandle::open(last, FileHandle::Mode::Read);
    const FileCompare::GoOn goOn = [] {
        QCoreApplication::processEvents();
        return true;
    };
    std::string patchText;
    PatchCommand::Answer diffed
        = PatchCommand::diff(ours, theirs, [&](std::string_view text) { patchText.append(text); });
    const std::string patchPath = pathOf("d.patch");

    std::vector<double> reads, floor, count, step, diff, floorAndText;
    for (int round = 0; round <= rounds; ++round) {
        const double readsMs = timedMs([&] { floorPass(oursFd, theirsFd, false); });
        const double floorMs = timedMs([&] { floorPass(oursFd, theirsFd); });
        FileCompare::Counts counts;
        const double countMs = timedMs([&] { counts = FileCompare::count({ oursFile, theirsFile, Size }, goOn); });
        if (counts.runs != Address(offsets.size()))
            qFatal("counted %lld runs of %zu", static_cast<long long>(counts.runs), offsets.size());
        FileCompare::Step found;
        const double stepMs = timedMs([&] { found = FileCompare::step({ oursFile, lastFile, Size }, 0, true, goOn); });
        if (!found.run || found.run->begin != Size - 1)
            qFatal("F6 did not find the last byte");
        const double diffMs = timedMs([&] {
            std::FILE* out = std::fopen(patchPath.c_str(), "wb");
            diffed = PatchCommand::diff(
                ours, theirs, [out](std::string_view text) { std::fwrite(text.data(), 1, text.size(), out); });
            std::fclose(out);
        });
        const double floorTextMs = timedMs([&] {
            floorPass(oursFd, lastFd);
            std::FILE* out = std::fopen(patchPath.c_str(), "wb");
            std::fwrite(patchText.data(), 1, patchText.size(), out);
            std::fclose(out);
        });
        if (round > 0) {
            reads.push_back(readsMs);
            floor.push_back(floorMs);
            count.push_back(countMs);
            step.push_back(stepMs);
            diff.push_back(diffMs);
            floorAndText.push_back(floorTextMs);
        }
    }
    std::printf("two 1 GiB files, %zu differing runs, medians of %d rounds (ms): floor %.1f\n", offsets.size(), rounds,
        median(floor));
    std::printf("  count %.1f (%.2fx), F6 to the last byte %.1f (%.2fx)\n", median(count),
        median(count) / median(floor), median(step), median(step) / median(floor));
    std::printf("  --diff %.1f, floor and writing its %.1f MB %.1f (%.2fx)\n", median(diff),
        double(patchText.size()) / 1e6, median(floorAndText), median(diff) / median(floorAndText));

    // GNU cmp over the files that differ only in their last byte, which it must read to the end, against the
    // comparison's count of the same files.
    std::vector<double> cmp, countLast;
    for (int round = 0; round < 3; ++round) {
        cmp.push_back(timedMs([&] {
            QProcess::execute(QStringLiteral("cmp"),
                { QStringLiteral("-s"), QString::fromStdString(ours), QString::fromStdString(last) });
        }));
        countLast.push_back(timedMs([&] {
            static_cast<void>(FileCompare::count({ oursFile, lastFile, Size }, goOn));
        }));
    }
    std::printf("files differing in the last byte: cmp -s %.1f ms, count %.1f ms (%.1fx faster)\n", median(cmp),
        median(countLast), median(cmp) / median(countLast));

    // A block command on a block with the marks of a comparison and on one without, alternating.
    NoView view;
    view.path = ours;
    ShownBlock plainBlock(view);
    ShownBlock markedBlock(view);
    for (ShownBlock* block : { &plainBlock, &markedBlock }) {
        block->setSettingsFile(pathOf("Quillmoor.ini"));
        block->open(ours);
    }
    Comparison comparison(
        markedBlock, [] {}, [](Comparison::Ended) {});
    if (comparison.start(theirs, [] { return false; }).outcome != Comparison::Outcome::Done)
        qFatal("not compared");
    std::vector<double> plain, marked;
    Address at = 0;
    for (int i = 0; i < 201; ++i) {
        at = (at + 37 * 8192 + 8192) % (Size / 2);
        plain.push_back(timedMs([&] { plainBlock.goToByte(at); }));
        marked.push_back(timedMs([&] { markedBlock.goToByte(at); }));
    }
    std::printf("a block command: %.3f ms, with marks %.3f ms (+%.3f ms)\n", median(plain), median(marked),
        median(marked) - median(plain));

    // The heap at the peak of counting and of --diff, whatever the number of differences.
    for (const bool many : { false, true }) {
        g_peak = g_live;
        const std::size_t before = g_live;
        static_cast<void>(FileCompare::count({ oursFile, many ? theirsFile : lastFile, Size }, goOn));
        const std::size_t counting = g_peak - before;
        g_peak = g_live;
        static_cast<void>(PatchCommand::diff(ours, many ? theirs : last, [](std::string_view) {}));
        std::printf("heap at the peak, %s: counting %.2f MB, --diff %.2f MB\n", many ? "100,000 runs" : "one run",
            double(counting) / 1e6, double(g_peak - before) / 1e6);
    }
    ::close(oursFd);
    ::close(theirsFd);
    ::close(lastFd);
    return 0;
}
