// Measures the checksum window's two ways of summing.
//
// The whole file: each algorithm alone over a 1 GiB file of random bytes in the page cache, as the window sums (the
// file read once in its chunks, events let run after every chunk), against its library's own speed over the same
// bytes already in memory (one call) plus one plain read of the file in the same chunks, in the same rounds. Target:
// at least 0.8x, that is the window's time at most 1.25x (library + read); SHA-256 at least 1 GB/s where the
// processor has SHA instructions. Then all the rows at once, one read for all, against the sum of the libraries'
// times and one read. The CRC-16s and the byte sums have no library: their "library" is the program's own routine
// over the bytes in memory. zlib's CRC-32 and Adler-32 over the bytes in memory are printed too, the other
// library that has them.
//
// The selected bytes: from Shift+Up or Shift+Down on the grid, with all 8193 rows of a block selected (one row off
// and on again), to the checksum window's table painted with the new values, against the same key with the window
// hidden. Target: within one frame (16.7 ms).

#include "bench/BenchFile.h"
#include "bench/BenchWindow.h"
#include "bench/Median.h"
#include "bench/Offscreen.h"
#include "bench/PaintWatch.h"
#include "support/Checksums.h"
#include "support/FileHandle.h"
#include "ui/grid/ByteGrid.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <isa-l/crc.h>
#include <isa-l/crc64.h>
#include <isa-l/igzip_lib.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Checksums::Algorithm;
constexpr qint64 GiB = qint64(1) << 30;

// The library's own call over bytes in memory; the value's low bits, so that nothing is optimised away.
std::uint64_t library(Algorithm algorithm, const unsigned char* bytes, std::size_t size)
{
    const auto digest = [&](const EVP_MD* md) {
        unsigned char out[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_Digest(bytes, size, out, &length, md, nullptr);
        return std::uint64_t(out[0]);
    };
    switch (algorithm) {
    case Algorithm::Crc32:
        return crc32_gzip_refl(0, bytes, size);
    case Algorithm::Crc32c: {
        // Its length is an int: in pieces as large as that allows.
        unsigned int crc = 0xFFFFFFFF;
        for (std::size_t at = 0; at < size; at += std::size_t(1) << 30)
            crc = crc32_iscsi(
                const_cast<unsigned char*>(bytes + at), int(std::min(size - at, std::size_t(1) << 30)), crc);
        return ~crc;
    }
    case Algorithm::Crc64Xz:
        return crc64_ecma_refl(0, bytes, size);
    case Algorithm::Adler32:
        return isal_adler32(1, bytes, size);
    case Algorithm::Md5:
        return digest(EVP_md5());
    case Algorithm::Sha1:
        return digest(EVP_sha1());
    case Algorithm::Sha256:
        return digest(EVP_sha256());
    case Algorithm::Sha512:
        return digest(EVP_sha512());
    default: {
        const Algorithm one[] = { algorithm };
        Checksums::Sums sums(one);
        sums.add({ reinterpret_cast<const char*>(bytes), size });
        return std::uint64_t(static_cast<unsigned char>(sums.value(algorithm).back()));
    }
    }
}

// The floor of any sum of a file: a plain read of it in the same chunks.
void readOnce(const std::string& path, char* buffer)
{
    FileHandle file = FileHandle::open(path, FileHandle::Mode::Read);
    for (qint64 at = 0;; at += qint64(Checksums::ReadChunk))
        if (file.readRange(at, buffer, Checksums::ReadChunk) < Checksums::ReadChunk)
            return;
}

// As the window sums the whole file.
std::string windowSum(const std::string& path, std::span<const Algorithm> algorithms)
{
    FileHandle file = FileHandle::open(path, FileHandle::Mode::Read);
    const std::optional<Checksums::Sums> sums
        = Checksums::sumFile(file, { 0, file.size() }, Checksums::Sums(algorithms), [](Address) {
              QCoreApplication::processEvents();
              return true;
          });
    return sums->value(algorithms.front());
}

struct Row {
    std::string name;
    std::vector<Algorithm> algorithms;
    std::vector<double> window, library, read;
};

void wholeFile(const QString& dir, int rounds)
{
    const std::string path = QDir(dir).filePath(QStringLiteral("noise")).toStdString();
    const QByteArray chunk = noise(64 << 20);
    {
        QFile out(QString::fromStdString(path));
        if (!out.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", path.c_str());
        for (qint64 at = 0; at < GiB; at += chunk.size())
            out.write(chunk);
    }
    const std::unique_ptr<char[]> memory(new char[GiB]);
    const std::unique_ptr<char[]> buffer(new char[Checksums::ReadChunk]);
    for (qint64 at = 0; at < GiB; at += chunk.size())
        std::memcpy(memory.get() + at, chunk.constData(), std::size_t(chunk.size()));
    const auto* bytes = reinterpret_cast<const unsigned char*>(memory.get());

    std::vector<Row> rows;
    for (const Algorithm algorithm : Checksums::AllAlgorithms)
        rows.push_back({ std::string(Checksums::name(algorithm)), { algorithm }, {}, {}, {} });
    rows.push_back(
        { "all at once", { std::begin(Checksums::AllAlgorithms), std::end(Checksums::AllAlgorithms) }, {}, {}, {} });
    // zlib, the other library that has CRC-32 and Adler-32, over the same bytes in memory.
    std::vector<double> zlibCrc32, zlibAdler32;
    volatile std::uint64_t sink = 0;
    // The first round fills the page cache and is not counted.
    for (int round = 0; round <= rounds; ++round) {
        const double crcMs = timedMs([&] { sink = sink + crc32_z(0, bytes, std::size_t(GiB)); });
        const double adlerMs = timedMs([&] { sink = sink + adler32_z(1, bytes, std::size_t(GiB)); });
        if (round > 0) {
            zlibCrc32.push_back(crcMs);
            zlibAdler32.push_back(adlerMs);
        }
        for (Row& row : rows) {
            std::string ours;
            const double windowMs = timedMs([&] { ours = windowSum(path, row.algorithms); });
            double libraryMs = 0;
            for (const Algorithm algorithm : row.algorithms)
                libraryMs += timedMs([&] { sink = sink + library(algorithm, bytes, std::size_t(GiB)); });
            const double readMs = timedMs([&] { readOnce(path, buffer.get()); });
            // The same value both ways.
            Checksums::Sums inMemory(row.algorithms);
            if (round == 0) {
                inMemory.add({ memory.get(), std::size_t(GiB) });
                if (inMemory.value(row.algorithms.front()) != ours)
                    qFatal("%s: the file's sum differs from the memory's", row.name.c_str());
                continue;
            }
            row.window.push_back(windowMs);
            row.library.push_back(libraryMs);
            row.read.push_back(readMs);
        }
    }
    std::printf("The whole 1 GiB file, medians of %d rounds (ms)\n", rounds);
    std::printf("%-30s %9s %9s %9s %10s %8s\n", "", "window", "library", "read", "speed", "GB/s");
    for (const Row& row : rows) {
        const double window = median(row.window);
        const double floor = median(row.library) + median(row.read);
        std::printf("%-30s %9.1f %9.1f %9.1f %9.2fx %8.2f\n", row.name.c_str(), window, median(row.library),
            median(row.read), floor / window, double(GiB) / 1e6 / window);
    }
    std::printf("zlib over the same bytes in memory: CRC-32 %.1f ms, Adler-32 %.1f ms\n", median(zlibCrc32),
        median(zlibAdler32));
}

void selectedBytes(const QString& dir)
{
    constexpr int Rounds = 41;
    const std::string folder = dir.toStdString() + "/";
    makeFile(folder + "file.bin", qint64(1) << 20, false);
    const auto form = windowOn(folder, folder + "file.bin");
    auto* grid = form->findChild<ByteGrid*>(QStringLiteral("SG1"));
    form->activateWindow();
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    auto* table = form->findChild<QTableWidget*>(QStringLiteral("ChecksumTable"));
    if (!table || !table->isVisible())
        qFatal("Ctrl+Shift+C showed no checksum window");
    waitFor([&] { return table->window()->windowHandle()->isExposed(); }, "the checksum window");
    QApplication::setActiveWindow(form.get());
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);

    std::vector<double> shown, hidden;
    const auto measure = [&](std::vector<QWidget*> widgets, std::vector<double>& figures) {
        PaintWatch watch(std::move(widgets));
        for (int round = -1; round < Rounds; ++round) {
            settle();
            watch.arm();
            QTest::keyClick(grid, round % 2 ? Qt::Key_Up : Qt::Key_Down, Qt::ShiftModifier);
            waitFor([&] { return watch.allPainted(); }, "the paints after the key");
            if (round >= 0)
                figures.push_back(watch.lastMs());
        }
    };
    measure({ grid->viewport(), table->viewport() }, shown);
    QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    measure({ grid->viewport() }, hidden);
    std::printf("Shift+Up or Shift+Down over a block's 8193 rows selected, to the table painted with the sums of "
                "8192 or 8193 bytes, medians of %d keys (ms): %.3f with the checksum window, %.3f without it; "
                "target 16.7 ms\n",
        Rounds, median(shown), median(hidden));
}

} // namespace

int main(int argc, char* argv[])
{
    runOffscreenQuietly();
    QApplication app(argc, argv);
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/bench_Checksums-XXXXXX"));
    selectedBytes(dir.path());
    wholeFile(dir.path(), argc > 1 ? std::atoi(argv[1]) : 3);
    return 0;
}
