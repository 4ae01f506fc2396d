// Measures the find command on files of random bytes in the page cache against a plain read of the same file, run
// in the same process and rounds, since the machine's speed moves from run to run while the ratios stay:
//   read     one pass of pread over the file, in the search's read size, into one buffer, the mean of one just
//            before and one just after each F3: the speed at which the page cache delivers the file, which no
//            search that looks at every byte can beat; each round's figure is taken against its own read;
//   F3       the window's F3, on the offscreen platform, from the key to the grid painted with the match selected,
//            the match lying at the end of the file so that the search goes once round the whole file.
// Three answers on a 1 GiB file: a text of six bytes, a pattern with two known bytes (E8 ?? ?? ?? ?? C3) and a
// number (int32, both byte orders in the one pass). Target: F3 at most 1.15x the read. A pattern of two known bytes
// would match by chance once in 65536 places, so the file's chance matches of each answer are changed by one
// byte; the text's first and last bytes still meet by chance as often, and each such place is compared whole.
//
// For comparison, the search as it was before its filter (memmem on 4 MiB chunks) for the text, against the read.
//
// A sparse 8 GiB file holding 1 MiB of data against a 1 MiB file of the same data, the search alone and F3: the
// holes are skipped, target at most 2x; grep (`grep -c -F`) on both for comparison.

#include "bench/BenchFile.h"
#include "bench/BenchWindow.h"
#include "bench/Median.h"
#include "bench/Offscreen.h"
#include "mainwindow/TForm1.h"
#include "support/ByteSearch.h"
#include "support/FileHandle.h"
#include "tests/ScriptedDialogs.h"
#include "ui/grid/ByteGrid.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr qint64 MiB = qint64(1) << 20;
const QByteArray Text("QUILL!");
constexpr quint32 Number = 0x5A17C3E9;

struct Answer {
    const char* name;
    std::string answer;
    qint64 at; // where its match is put, from the end of the file
    QByteArray bytes;
    // Whether bytes at p would match it: for the changes of chance matches.
    bool (*matches)(const char* p);
};

QByteArray bigEndian(quint32 value)
{
    const quint32 ordered = qToBigEndian(value);
    return QByteArray(reinterpret_cast<const char*>(&ordered), 4);
}

const std::vector<Answer>& answers()
{
    static const std::vector<Answer> all {
        { "text of 6 bytes", "\"QUILL!\"", 6, Text, [](const char* p) { return std::memcmp(p, "QUILL!", 6) == 0; } },
        { "E8 ?? ?? ?? ?? C3", "E8 ?? ?? ?? ?? C3", 38, QByteArray::fromHex("E811223344C3"),
            [](const char* p) { return p[0] == '\xE8' && p[5] == '\xC3'; } },
        { "int32, both orders", "int32 " + std::to_string(qint32(Number)), 70, bigEndian(Number),
            [](const char* p) {
                quint32 value;
                std::memcpy(&value, p, 4);
                return value == Number || value == qbswap(Number);
            } },
    };
    return all;
}

// size bytes of xorshift noise, none of the answers matching by chance, each answer's match near the end.
void makeNoiseFile(const QString& path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    QByteArray piece(64 * MiB + 8, Qt::Uninitialized);
    for (qint64 at = 0; at < size; at += 64 * MiB) {
        for (qsizetype i = 0; i + 8 <= piece.size(); i += 8) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            std::memcpy(piece.data() + i, &state, 8);
        }
        // A chance match across two pieces is left to the search to find: the check after the first round says so.
        for (qsizetype i = 0; i + 8 <= piece.size(); ++i)
            for (const Answer& answer : answers())
                if (answer.matches(piece.constData() + i))
                    piece[i] = static_cast<char>(piece[i] ^ 0x01);
        file.write(piece.constData(), std::min<qint64>(64 * MiB, size - at));
    }
    for (const Answer& answer : answers()) {
        file.seek(size - answer.at);
        file.write(answer.bytes);
    }
}

// 1 MiB of the noise file's first bytes with the text at its end; sparse: then a hole up to 8 GiB.
void makeDataFile(const QString& noise, const QString& path, bool sparse)
{
    QFile from(noise), to(path);
    if (!from.open(QIODevice::ReadOnly) || !to.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QByteArray data = from.read(MiB);
    data.replace(MiB - Text.size(), Text.size(), Text);
    to.write(data);
    if (sparse)
        to.resize(qint64(8192) * MiB);
}

// The floor: one plain pass of pread over the file.
qint64 readPass(const std::string& path)
{
    FileHandle file = FileHandle::open(path, FileHandle::Mode::Read);
    std::unique_ptr<char[]> buffer(new char[ByteSearch::ReadSize]);
    qint64 at = 0;
    for (std::size_t got; (got = file.readAt(at, buffer.get(), ByteSearch::ReadSize)) > 0;)
        at += qint64(got);
    return at;
}

// The search as it was before its filter: 4 MiB chunks, memmem on each; the text's first match.
qint64 memmemPass(const std::string& path)
{
    FileHandle file = FileHandle::open(path, FileHandle::Mode::Read);
    const std::size_t chunk = ByteSearch::ChunkSize;
    std::unique_ptr<char[]> buffer(new char[chunk + Text.size()]);
    std::size_t carried = 0;
    for (qint64 at = 0;; at += qint64(chunk)) {
        const std::size_t held = carried + file.readRange(at, buffer.get() + carried, chunk);
        if (const auto* hit = static_cast<const char*>(::memmem(buffer.get(), held, Text.constData(), Text.size())))
            return at - qint64(carried) + (hit - buffer.get());
        if (held < carried + chunk)
            return -1;
        carried = std::size_t(Text.size()) - 1;
        std::memmove(buffer.get(), buffer.get() + held - carried, carried);
    }
}

// The search alone, as the window runs it: the file opened once, events let run after every chunk.
qint64 searchOnly(const std::string& path, const std::string& answer, qint64 from)
{
    const ByteSearch::Parsed parsed = ByteSearch::parseQuery(answer);
    FileHandle file = FileHandle::open(path, FileHandle::Mode::Read);
    return ByteSearch::find(file, std::min(file.size(), ReachableSize), parsed.query, from, true, [] {
        QCoreApplication::processEvents();
        return true;
    }).found.value_or(-1);
}

double grepMs(const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    QProcess grep;
    grep.start(QStringLiteral("grep"), { QStringLiteral("-c"), QStringLiteral("-F"), QString::fromLatin1(Text), path });
    grep.waitForFinished(-1);
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

qint64 nowNs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.nsecsElapsed();
}

// Notes when the grid's viewport has finished a paint: the filter delivers the paint itself and stops the original.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* viewport)
        : m_viewport(viewport)
    {
        viewport->installEventFilter(this);
    }
    void arm() { m_paintedAt = -1; }
    [[nodiscard]] bool painted() const { return m_paintedAt >= 0; }
    [[nodiscard]] qint64 paintedAt() const { return m_paintedAt; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_viewport || event->type() != QEvent::Paint || m_delivering)
            return false;
        m_delivering = true;
        QCoreApplication::sendEvent(watched, event);
        m_delivering = false;
        m_paintedAt = nowNs();
        return true;
    }

private:
    QWidget* m_viewport;
    qint64 m_paintedAt = -1;
    bool m_delivering = false;
};

// The window on one file, its find answer given once through Ctrl+F.
struct Window {
    std::unique_ptr<TForm1> form;
    ByteGrid* grid = nullptr;
    std::unique_ptr<PaintWatch> watch;

    Window(const std::string& dir, const std::string& path)
    {
        QDir().mkpath(QString::fromStdString(dir));
        form = windowOn(dir, path);
        grid = form->findChild<ByteGrid*>(QStringLiteral("SG1"));
        watch = std::make_unique<PaintWatch>(grid->viewport());
    }

    // The keys go to the grid of the active window, as a user's do.
    void activate()
    {
        form->activateWindow();
        grid->setFocus();
        waitFor([&] { return QApplication::activeWindow() == form.get() && QApplication::focusWidget() == grid; },
            "the window to take the focus");
    }

    void ask(ScriptedDialogs& dialogs, const std::string& answer, qint64 expected)
    {
        activate();
        dialogs.promptAnswers.push_back(answer);
        QTest::keyClick(grid, Qt::Key_F, Qt::ControlModifier);
        settle();
        if (form->startByte() > expected || form->startByte() + ShownBlock::BlockSpan < expected)
            qFatal("Ctrl+F did not find %s", answer.c_str());
    }

    // From F3 to the grid painted with the match selected.
    double f3Ms(qint64 expected)
    {
        activate();
        settle();
        watch->arm();
        const qint64 start = nowNs();
        QTest::keyClick(grid, Qt::Key_F3);
        waitFor([&] { return watch->painted(); }, "the match painted");
        const qint64 row = qint64(form->startByte()) + grid->currentRow() - 1;
        if (row != expected)
            qFatal("F3 went to %lld, not to %lld", row, expected);
        return double(watch->paintedAt() - start) / 1e6;
    }
};

// The median of the rounds' ratios, each against the floor measured in the same round: the machine's speed drifts
// less within a round than across them.
void printRatio(const char* what, const std::vector<double>& ours, const std::vector<double>& floor, double target)
{
    std::vector<double> ratios;
    for (std::size_t i = 0; i < ours.size(); ++i)
        ratios.push_back(ours[i] / floor[i]);
    const double ratio = median(ratios);
    std::printf("%-40s %9.1f %9.1f %7.2fx", what, median(ours), median(floor), ratio);
    if (target > 0)
        std::printf(" %7.2fx %5s", target, ratio <= target ? "yes" : "NO");
    std::printf("\n");
}

} // namespace

int main(int argc, char* argv[])
{
    runOffscreenQuietly();
    QApplication app(argc, argv);
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/bench_Find-XXXXXX"));
    const std::string root = dir.path().toStdString() + "/";
    const qint64 size = 1024 * MiB;
    const QString big = dir.filePath("big.bin"), small = dir.filePath("small.bin"), sparse = dir.filePath("sparse.bin");
    makeNoiseFile(big, size);
    makeDataFile(big, small, false);
    makeDataFile(big, sparse, true);

    ScriptedDialogs dialogs;
    std::vector<std::unique_ptr<Window>> windows;
    for (std::size_t i = 0; i < answers().size(); ++i) {
        windows.push_back(std::make_unique<Window>(root + "w" + std::to_string(i) + "/", big.toStdString()));
        windows.back()->ask(dialogs, answers()[i].answer, size - answers()[i].at);
    }
    Window smallWindow(root + "small/", small.toStdString()), sparseWindow(root + "sparse/", sparse.toStdString());
    smallWindow.ask(dialogs, answers()[0].answer, MiB - Text.size());
    sparseWindow.ask(dialogs, answers()[0].answer, MiB - Text.size());

    const int rounds = argc > 1 ? std::atoi(argv[1]) : 7;
    std::vector<std::vector<double>> read(answers().size()), f3(answers().size()), search(answers().size());
    std::vector<double> memmemMs;
    std::vector<double> searchSmall, searchSparse, f3Small, f3Sparse, grepSmall, grepSparse;
    for (int round = 0; round <= rounds; ++round) {
        const bool keep = round > 0; // the first round fills the page cache
        for (std::size_t i = 0; i < answers().size(); ++i) {
            const qint64 expected = size - answers()[i].at;
            const auto readMs = [&] {
                return timedMs([&] {
                    if (readPass(big.toStdString()) != size)
                        qFatal("the read fell short");
                });
            };
            // The floor of the round: the mean of a read before and one after.
            const double before = readMs();
            const double f3Ms = windows[i]->f3Ms(expected);
            qint64 found = -1;
            const double searchMs
                = timedMs([&] { found = searchOnly(big.toStdString(), answers()[i].answer, expected + 1); });
            const double floorMs = (before + readMs()) / 2;
            if (i == 0) {
                const double ms = timedMs([&] { found = memmemPass(big.toStdString()); });
                if (found != expected)
                    qFatal("memmem found the text at %lld", found);
                if (keep)
                    memmemMs.push_back(ms);
            }
            if (found != expected)
                qFatal("%s: found at %lld, not at %lld", answers()[i].name, found, expected);
            if (keep) {
                read[i].push_back(floorMs);
                f3[i].push_back(f3Ms);
                search[i].push_back(searchMs);
            }
        }
        qint64 foundSmall = -1, foundSparse = -1;
        const double smallMs = timedMs([&] { foundSmall = searchOnly(small.toStdString(), answers()[0].answer, 1); });
        const double sparseMs
            = timedMs([&] { foundSparse = searchOnly(sparse.toStdString(), answers()[0].answer, 1); });
        if (foundSmall != MiB - Text.size() || foundSparse != foundSmall)
            qFatal("the 1 MiB search found %lld, the sparse one %lld", foundSmall, foundSparse);
        const double f3SmallMs = smallWindow.f3Ms(MiB - Text.size());
        const double f3SparseMs = sparseWindow.f3Ms(MiB - Text.size());
        const double grepSmallMs = grepMs(small), grepSparseMs = grepMs(sparse);
        if (keep) {
            searchSmall.push_back(smallMs);
            searchSparse.push_back(sparseMs);
            f3Small.push_back(f3SmallMs);
            f3Sparse.push_back(f3SparseMs);
            grepSmall.push_back(grepSmallMs);
            grepSparse.push_back(grepSparseMs);
        }
    }

    std::printf("Find, medians of %d rounds (ms), offscreen; the read: pread of the whole file in %zu KiB pieces\n",
        rounds, ByteSearch::ReadSize >> 10);
    std::printf("%-40s %9s %9s %8s %8s %5s\n", "", "ms", "against", "ratio", "target", "met");
    for (std::size_t i = 0; i < answers().size(); ++i) {
        printRatio((std::string("1 GiB, F3: ") + answers()[i].name).c_str(), f3[i], read[i], 1.15);
        printRatio((std::string("1 GiB, search alone: ") + answers()[i].name).c_str(), search[i], read[i], 1.15);
    }
    std::printf("%-40s %9.1f GB/s\n", "1 GiB, the read", double(size) / 1e6 / median(read[0]));
    printRatio("1 GiB, text: the search before (memmem)", memmemMs, read[0], 0);
    printRatio("sparse 8 GiB / 1 MiB, search alone", searchSparse, searchSmall, 2);
    printRatio("sparse 8 GiB / 1 MiB, F3", f3Sparse, f3Small, 2);
    std::printf("%-40s %9.1f %9.1f (sparse, 1 MiB)\n", "grep -c -F", median(grepSparse), median(grepSmall));
    if (!dialogs.texts("error").empty())
        qFatal("the window showed an error");
    return 0;
}
