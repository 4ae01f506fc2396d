// Measures --apply of a patch of 100,000 lines of 4 bytes scattered over a 1 GiB file in the page cache, against
// the same preads, pwrites and one fdatasync done directly in the same process and rounds (rounds alternate: the
// patch applied, then the floor writing the old bytes back). Target: at most 1.5x the floor.

#include "bench/BenchFile.h"
#include "bench/Median.h"
#include "support/PatchFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <set>
#include <unistd.h>

namespace {

constexpr qint64 MiB = qint64(1) << 20;
constexpr int Lines = 100000;

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/bench_Patch-XXXXXX"));
    const std::string path = dir.filePath(QStringLiteral("f")).toStdString();
    const qint64 size = 1024 * MiB;
    {
        QFile file(QString::fromStdString(path));
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", path.c_str());
        const QByteArray chunk = noise(64 * MiB);
        for (qint64 at = 0; at < size; at += chunk.size())
            file.write(chunk);
    }
    // Lines at scattered offsets, 4 bytes each, their new bytes the old ones inverted.
    std::set<qint64> offsets;
    QRandomGenerator random(7);
    while (int(offsets.size()) < Lines)
        offsets.insert(qint64(random.bounded(quint64(size / 8))) * 8);
    PatchFile::Patch patch;
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    for (const qint64 offset : offsets) {
        std::string before(4, '\0');
        if (::pread(fd, before.data(), 4, offset) != 4)
            qFatal("pread failed");
        std::string after = before;
        for (char& byte : after)
            byte = char(~byte);
        patch.push_back({ offset, before, after });
    }
    const std::string text = PatchFile::format(patch, path, size);
    const PatchFile::Parsed parsed = PatchFile::parse(text);

    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    std::vector<double> ours, floor;
    for (int round = 0; round <= rounds; ++round) {
        PatchFile::Answer answer;
        const double oursMs = timedMs([&] { answer = PatchFile::run(PatchFile::Action::Apply, parsed.patch, path); });
        if (answer.status != 0)
            qFatal("not applied: %s", answer.message.c_str());
        const double floorMs = timedMs([&] {
            std::string there(4, '\0');
            for (const PatchFile::Line& line : parsed.patch) {
                if (::pread(fd, there.data(), 4, line.offset) != 4
                    || ::pwrite(fd, line.before.data(), 4, line.offset) != 4)
                    qFatal("pread or pwrite failed");
            }
            ::fdatasync(fd);
        });
        if (round > 0) {
            ours.push_back(oursMs);
            floor.push_back(floorMs);
        }
    }
    ::close(fd);
    std::printf("--apply of %d lines over 1 GiB, medians of %d rounds (ms): %.1f, floor %.1f, %.2fx\n", Lines, rounds,
        median(ours), median(floor), median(ours) / median(floor));
    std::printf("patch text %.1f MB\n", double(text.size()) / 1e6);
    return 0;
}
