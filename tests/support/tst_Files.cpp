#include "support/Exception.h"
#include "support/FileFaults.h"
#include "support/FileHandle.h"
#include "support/FilePath.h"
#include "support/WriteJournal.h"
#include "support/__Files.h"
#include "tests/FreshProcess.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

namespace {

FileIdentity identityOf(const std::string& path)
{
    return FileHandle::open(path, FileHandle::Mode::Read).identity();
}

const FreshProcess::Check writeOverAReadOnlyFile("writeOverAReadOnlyFile", [](const FreshProcess::Inputs& inputs) {
    const std::string& path = inputs.at(0);
    const CheckedWrite::Outcome outcome = WriteByteAt(path, identityOf(path), 1, 'b', 'X').outcome;
    return outcome == CheckedWrite::Outcome::NotWritable ? std::string()
                                                         : "the outcome was " + std::to_string(int(outcome));
});

const FreshProcess::Check writeAtTheSizeLimit("writeAtTheSizeLimit", [](const FreshProcess::Inputs& inputs) {
    const std::string& path = inputs.at(0);
    const FileIdentity seen = identityOf(path);
    if (WriteByteAt(path, seen, 3, 'd', 'Z').outcome != CheckedWrite::Outcome::Written)
        return std::string("the last byte was not written");
    if (WriteByteAt(path, seen, 4, 0, 'Z').outcome != CheckedWrite::Outcome::Refused)
        return std::string("a byte past the end was not refused");
    return std::string();
});

} // namespace

class tst_Files : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void aCheckedWriteWritesOnlyOverWhatWasSeen_data();
    void aCheckedWriteWritesOnlyOverWhatWasSeen();
    void aCheckedWriteRefusesWhatIsNotTheFileSeen();
    void aFileMadeAgainOnTheOldInodeIsAnotherFile();
    void aFileCutWhileWrittenKeepsEveryByteBelowTheCut_data();
    void aFileCutWhileWrittenKeepsEveryByteBelowTheCut();
    void aWriteCutOffAtAnyStepIsPutBackWholeAtTheNextOpen_data();
    void aWriteCutOffAtAnyStepIsPutBackWholeAtTheNextOpen();
    void aDamagedJournalIsDiscardedAndTheFileLeftAlone_data();
    void aDamagedJournalIsDiscardedAndTheFileLeftAlone();
    void aReadOnlyFileIsNotWritableAndStaysUnchanged();
    void patchesASparseFileBeyond2GiBAtTheRightOffset();
    void neverGrowsTheFileEvenAtTheSizeLimit();
    void everyStepKindCanFailWithItsError_data();
    void everyStepKindCanFailWithItsError();
    void programDirIsTheExecutablesDirectory();
    void userSettingsFollowTheXdgConfigHome_data();
    void userSettingsFollowTheXdgConfigHome();
    void ioErrorMessagesFollowTheCodeTable_data();
    void ioErrorMessagesFollowTheCodeTable();
    void systemErrorsMapOntoTheCodes_data();
    void systemErrorsMapOntoTheCodes();
    void aRangeReadStopsJustBeforeTheFailingByte_data();
    void aRangeReadStopsJustBeforeTheFailingByte();
    void opensAreRefusedForWhatIsNoRegularFile();
    void pathsAreTakenApartAtTheLastSlash_data();
    void pathsAreTakenApartAtTheLastSlash();
    void onlyWhatExistsAndIsNoDirectoryIsAFile();

private:
    std::string file(const QByteArray& bytes, const char* name = "data.bin");
    static QByteArray contents(const std::string& path);
    static int openDescriptors() { return int(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size()); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

std::string tst_Files::file(const QByteArray& bytes, const char* name)
{
    const QString path = m_dir->filePath(QString::fromLatin1(name));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path.toStdString();
}

QByteArray tst_Files::contents(const std::string& path)
{
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void tst_Files::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    ::chmod(QFile::encodeName(m_dir->path()).constData(), 0755);
}

void tst_Files::cleanup()
{
    FileFaults::reset();
    m_dir.reset();
}

void tst_Files::aCheckedWriteWritesOnlyOverWhatWasSeen_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<QByteArray>("seen");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QByteArray>("found");
    QTest::addColumn<QByteArray>("after");

    const int written = int(CheckedWrite::Outcome::Written), refused = int(CheckedWrite::Outcome::Refused);
    QTest::newRow("first byte") << QByteArray("abcd") << qint64(0) << QByteArray("a") << QByteArray("A") << written
                                << QByteArray("a") << QByteArray("Abcd");
    QTest::newRow("last byte") << QByteArray("abcd") << qint64(3) << QByteArray("d") << QByteArray("\xFF") << written
                               << QByteArray("d") << QByteArray("abc\xFF");
    QTest::newRow("a zero byte") << QByteArray("abcd") << qint64(2) << QByteArray("c") << QByteArray(1, '\0') << written
                                 << QByteArray("c") << QByteArray("ab\0d", 4);
    QTest::newRow("a range inside") << QByteArray("abcdef") << qint64(1) << QByteArray("bcd") << QByteArray("XYZ")
                                    << written << QByteArray("bcd") << QByteArray("aXYZef");
    QTest::newRow("the same bytes again") << QByteArray("abcd") << qint64(1) << QByteArray("b") << QByteArray("b")
                                          << written << QByteArray("b") << QByteArray("abcd");
    QTest::newRow("already written, by a write cut off before its answer")
        << QByteArray("aXYd") << qint64(1) << QByteArray("bc") << QByteArray("XY") << written << QByteArray("XY")
        << QByteArray("aXYd");
    QTest::newRow("another byte than the one seen")
        << QByteArray("abcd") << qint64(1) << QByteArray("x") << QByteArray("Y") << refused << QByteArray("b")
        << QByteArray("abcd");
    QTest::newRow("a range of which one byte changed")
        << QByteArray("abcd") << qint64(0) << QByteArray("abXd") << QByteArray("1234") << refused << QByteArray("abcd")
        << QByteArray("abcd");
    QTest::newRow("half of it already written")
        << QByteArray("aXcd") << qint64(1) << QByteArray("bc") << QByteArray("XY") << refused << QByteArray("Xc")
        << QByteArray("aXcd");
    QTest::newRow("offset = length") << QByteArray("abcd") << qint64(4) << QByteArray("e") << QByteArray("A") << refused
                                     << QByteArray() << QByteArray("abcd");
    QTest::newRow("a range across the end: the file never grows")
        << QByteArray("abcd") << qint64(2) << QByteArray("cde") << QByteArray("XYZ") << refused << QByteArray("cd")
        << QByteArray("abcd");
    QTest::newRow("far beyond") << QByteArray("abcd") << qint64(2147483647) << QByteArray("e") << QByteArray("A")
                                << refused << QByteArray() << QByteArray("abcd");
    QTest::newRow("negative") << QByteArray("abcd") << qint64(-1) << QByteArray("e") << QByteArray("A") << refused
                              << QByteArray() << QByteArray("abcd");
    QTest::newRow("an empty file") << QByteArray() << qint64(0) << QByteArray("e") << QByteArray("A") << refused
                                   << QByteArray() << QByteArray();
    // Two runs, the second at offset 4: seen and bytes as "first|second". With "!" after the bytes, a run that
    // already holds its new bytes counts only when all do, as for a patch.
    QTest::newRow("two runs") << QByteArray("abcdef") << qint64(1) << QByteArray("bc|e") << QByteArray("XY|E")
                              << written << QByteArray("bce") << QByteArray("aXYdEf");
    QTest::newRow("two runs, the second changed: neither is written")
        << QByteArray("abcdqf") << qint64(1) << QByteArray("bc|e") << QByteArray("XY|E") << refused << QByteArray("bcq")
        << QByteArray("abcdqf");
    QTest::newRow("two runs, the second already written: written")
        << QByteArray("abcdEf") << qint64(1) << QByteArray("bc|e") << QByteArray("XY|E") << written << QByteArray("bcE")
        << QByteArray("aXYdEf");
    QTest::newRow("the same, all or none: a conflict")
        << QByteArray("abcdEf") << qint64(1) << QByteArray("bc|e") << QByteArray("XY|E!") << refused
        << QByteArray("bcE") << QByteArray("abcdEf");
    QTest::newRow("both already written, all or none: nothing to write")
        << QByteArray("aXYdEf") << qint64(1) << QByteArray("bc|e") << QByteArray("XY|E!") << written
        << QByteArray("XYE") << QByteArray("aXYdEf");
}

void tst_Files::aCheckedWriteWritesOnlyOverWhatWasSeen()
{
    QFETCH(QByteArray, before);
    QFETCH(qint64, offset);
    QFETCH(QByteArray, seen);
    QFETCH(QByteArray, bytes);
    QFETCH(int, outcome);
    QFETCH(QByteArray, found);
    QFETCH(QByteArray, after);
    const std::string path = file(before);
    const bool allOrNone = bytes.endsWith('!');
    const QByteArrayList seenRuns = seen.split('|'), runs = bytes.left(bytes.size() - int(allOrNone)).split('|');
    ByteChanges changes(offset, seenRuns[0].toStdString(), runs[0].toStdString());
    if (runs.size() > 1)
        changes.add(4, seenRuns[1].toStdString(), runs[1].toStdString());
    // The bytes there were written and not yet made durable, as by a write whose sync failed: a write that answers
    // written leaves them durable, and writes nothing that is there already.
    FileFaults::trackUnsynced();
    FileHandle::open(path, FileHandle::Mode::ReadWrite).writeAt(0, before.toStdString());
    FileFaults::startListing();
    const CheckedWrite done = writeIfUnchanged(
        path, identityOf(path), changes, allOrNone ? AlreadyWritten::AllOrNone : AlreadyWritten::RunByRun);
    QCOMPARE(int(done.outcome), outcome);
    QCOMPARE(QByteArray::fromStdString(done.look.found), found);
    QCOMPARE(contents(path), after);
    const std::vector<FileFaults::Step>& steps = FileFaults::steps();
    QCOMPARE(std::any_of(steps.begin(), steps.end(), [](auto step) { return step.op == FileFaults::Op::Write; }),
        after != before);
    QVERIFY(outcome != int(CheckedWrite::Outcome::Written) || FileFaults::unsynced().empty());
}

void tst_Files::aCheckedWriteRefusesWhatIsNotTheFileSeen()
{
    const std::string path = file("abcd");
    const FileIdentity seen = identityOf(path);
    // Another file renamed over the one seen: its bytes are reported, nothing is written.
    const std::string other = file("abXd", "other.bin");
    QCOMPARE(::rename(other.c_str(), path.c_str()), 0);
    const CheckedWrite renamedOver = WriteByteAt(path, seen, 2, 'c', 'Z');
    QCOMPARE(renamedOver.outcome, CheckedWrite::Outcome::Refused);
    QCOMPARE(renamedOver.look.found, std::string("X"));
    QCOMPARE(contents(path), QByteArray("abXd"));
    // Names of nothing, or of what is no regular file, are never created or opened for writing.
    const std::string fifo = m_dir->filePath("fifo").toStdString();
    QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& name : { m_dir->filePath("missing").toStdString(), m_dir->path().toStdString(), fifo,
             std::string("/dev/zero"), std::string("/dev/full") }) {
        const CheckedWrite done = WriteByteAt(name, seen, 0, 0, 1);
        QVERIFY2(done.outcome == CheckedWrite::Outcome::Refused && done.look.found.empty(), name.c_str());
    }
    QVERIFY(!QFile::exists(m_dir->filePath("missing")));
}

void tst_Files::aFileMadeAgainOnTheOldInodeIsAnotherFile()
{
    // ext4 gives a removed file's inode number to the next file made, here with the same bytes: only the identity
    // tells them apart. A file system of its own, so that nothing else takes the number first.
    const QString image = m_dir->filePath("fs.img"), mountPoint = m_dir->filePath("mnt");
    for (const QStringList& command : { QStringList { "truncate", "-s", "8M", image }, { "mkfs.ext4", "-q", image },
             { "mkdir", mountPoint }, { "mount", "-o", "loop", image, mountPoint } })
        if (QProcess::execute(command.first(), command.mid(1)) != 0)
            QSKIP(qPrintable("no ext4 file system of its own: " + command.join(' ') + " failed"));
    const auto unmount = qScopeGuard([&] { QCOMPARE(QProcess::execute("umount", { mountPoint }), 0); });
    const std::string path = file("abcd", "mnt/a.bin");
    const FileIdentity old = identityOf(path);
    FileIdentity now;
    for (int tries = 0; tries < 20 && now.inode != old.inode; ++tries) {
        QCOMPARE(::unlink(path.c_str()), 0);
        now = identityOf(file("abcd", "mnt/a.bin"));
    }
    if (now.inode != old.inode)
        QSKIP("the file system gave the removed file's inode number to no new file");
    QVERIFY(old != now);
    QCOMPARE(WriteByteAt(path, old, 1, 'b', 'X').outcome, CheckedWrite::Outcome::Refused);
    QCOMPARE(contents(path), QByteArray("abcd"));
}

void tst_Files::aFileCutWhileWrittenKeepsEveryByteBelowTheCut_data()
{
    // Another program cuts the file to cut bytes just before the writer's nth look at its size, or just before its
    // nth write to it. One run: a byte at 1 of 4; three: 4 bytes at 10, 600 and 1200 of 2000, with a journal.
    QTest::addColumn<int>("runs");
    QTest::addColumn<bool>("atWrite");
    QTest::addColumn<int>("nth");
    QTest::addColumn<int>("cut");
    QTest::newRow("one run, before the look") << 1 << false << 1 << 1;
    QTest::newRow("one run, between the look and the write") << 1 << true << 1 << 1;
    QTest::newRow("first of three, between the look and the write") << 3 << true << 1 << 5;
    QTest::newRow("the middle one, between the look and the write") << 3 << true << 2 << 300;
    QTest::newRow("the last one, between the look and the write") << 3 << true << 3 << 1000;
    QTest::newRow("before the look at the last one") << 3 << false << 4 << 700;
    QTest::newRow("after the last write") << 3 << false << 5 << 1500;
    QTest::newRow("after the last write, below the last run") << 3 << false << 5 << 1100;
    QTest::newRow("before the look, one byte short of the last run") << 3 << false << 1 << 1203;
}

void tst_Files::aFileCutWhileWrittenKeepsEveryByteBelowTheCut()
{
    QFETCH(int, runs);
    QFETCH(bool, atWrite);
    QFETCH(int, nth);
    QFETCH(int, cut);
    QByteArray original(runs == 1 ? 4 : 2000, 'o');
    const std::string path = file(original);
    ByteChanges changes;
    for (const qint64 offset : runs == 1 ? std::vector<qint64> { 1 } : std::vector<qint64> { 10, 600, 1200 })
        changes.add(offset, std::string(std::size_t(runs == 1 ? 1 : 4), 'o'), std::string(runs == 1 ? 1 : 4, 'N'));
    const auto cutShort = [&] { QCOMPARE(::truncate(path.c_str(), cut), 0); };
    if (atWrite)
        FileFaults::atNthWriteTo(path, nth, cutShort);
    else
        FileFaults::atNth(FileFaults::Op::Size, nth, cutShort);
    FileFaults::startListing();
    const CheckedWrite done = writeIfUnchanged(path, identityOf(path), changes);
    QCOMPARE(done.outcome, CheckedWrite::Outcome::Refused);
    QVERIFY(done.cutShort);
    // Cut before the first look at its size, the file is not written at all.
    const std::vector<FileFaults::Step>& steps = FileFaults::steps();
    QVERIFY(atWrite || nth > 1
        || std::none_of(steps.begin(), steps.end(), [](auto step) { return step.op == FileFaults::Op::Write; }));
    // At least the size the other program left and every byte below it as it was; a write grown back past the cut
    // is cut where its run began, leaving zeros.
    const QByteArray after = contents(path);
    QVERIFY2(after.size() >= cut && after.left(cut) == original.left(cut)
            && after.mid(cut) == QByteArray(after.size() - cut, '\0'),
        qPrintable(QStringLiteral("%1 bytes left").arg(after.size())));
    QCOMPARE(QDir(m_dir->path()).entryList({ "*journal" }, QDir::Hidden | QDir::Files), QStringList());
}

void tst_Files::aWriteCutOffAtAnyStepIsPutBackWholeAtTheNextOpen_data()
{
    // A kill or a power cut before each step of a write of two runs in turn, or a failure part way through the
    // step. A power cut loses what was not made durable: of every file, or of the journal alone while the file's
    // writes reached the disk.
    QTest::addColumn<QString>("lost");
    QTest::newRow("a kill: every write kept") << QString();
    QTest::newRow("a power cut: every write not synced lost") << QStringLiteral("all");
    QTest::newRow("a power cut: the journal's lost, the file's kept") << QStringLiteral("journal");
    QTest::newRow("a failure part way through the step: nothing written") << QStringLiteral("failure");
}

void tst_Files::aWriteCutOffAtAnyStepIsPutBackWholeAtTheNextOpen()
{
    using FileFaults::Op;
    QFETCH(QString, lost);
    const QByteArray original(2000, 'o');
    QByteArray whole = original;
    ByteChanges changes;
    for (const qint64 offset : { 10, 1200 }) {
        changes.add(offset, "oooo", "NNNN");
        whole.replace(offset, 4, "NNNN");
    }
    std::string path = file(original);
    const FileIdentity identity = identityOf(path);
    FileFaults::startListing();
    QCOMPARE(writeIfUnchanged(path, identity, changes).outcome, CheckedWrite::Outcome::Written);
    // Each step but the closes, with the unit in its middle: a write fails there after the bytes before it.
    std::vector<std::pair<Op, int>> middles;
    std::array<int, FileFaults::OpCount> unitsBefore {};
    for (const FileFaults::Step& step : FileFaults::steps()) {
        int& before = unitsBefore[static_cast<std::size_t>(step.op)];
        if (step.op != Op::Close)
            middles.emplace_back(step.op, before + int(step.units + 1) / 2);
        before += int(step.units);
    }
    FileFaults::reset();
    const bool failing = lost == QLatin1String("failure");
    for (int step = 1; step <= int(middles.size()) + (failing ? 0 : 1); ++step) {
        path = file(original);
        const FileIdentity seen = identityOf(path);
        FileFaults::trackUnsynced();
        if (failing)
            FileFaults::failNth(middles[std::size_t(step - 1)].first, middles[std::size_t(step - 1)].second, EIO);
        else
            FileFaults::crashBeforeStep(step);
        try {
            (void)writeIfUnchanged(path, seen, changes);
        } catch (const FileFaults::Crash&) {
        } catch (const EInOutError&) {
        }
        // What the power cut takes: each write not made durable, latest first, and each file made whose folder
        // was not.
        auto unsynced = FileFaults::unsynced();
        FileFaults::reset();
        std::reverse(unsynced.begin(), unsynced.end());
        for (const FileFaults::UnsyncedWrite& write : unsynced) {
            if ((lost != QLatin1String("all") && lost != QLatin1String("journal"))
                || (lost == QLatin1String("journal") && write.path == path))
                continue;
            QFile written(QString::fromStdString(write.path));
            if (write.made) {
                QVERIFY(written.remove());
                continue;
            }
            QVERIFY(written.open(QIODevice::ReadWrite) && written.seek(write.offset));
            QCOMPARE(written.write(write.old.data(), qint64(write.old.size())), qint64(write.old.size()));
            QVERIFY(written.resize(std::min<qint64>(written.size(), write.sizeBefore)));
        }
        // A write whose journal is still there was never answered: it is put back, never made whole.
        const bool answered = QDir(m_dir->path()).entryList({ "*journal" }, QDir::Hidden | QDir::Files).isEmpty();
        (void)putBackCutOffWrite(path);
        const QByteArray after = contents(path);
        QVERIFY2(after == original || (answered && !failing && after == whole),
            qPrintable(QStringLiteral("step %1").arg(step)));
        QCOMPARE(QDir(m_dir->path()).entryList({ "*journal" }, QDir::Hidden | QDir::Files), QStringList());
    }
}

void tst_Files::aDamagedJournalIsDiscardedAndTheFileLeftAlone_data()
{
    QTest::addColumn<QString>("damage");
    QTest::newRow("bytes after its checksum") << "append";
    QTest::newRow("cut short") << "cut";
    QTest::newRow("a byte changed") << "flip";
    QTest::newRow("a length past its end") << "length";
    QTest::newRow("a run before the one it follows, its checksum made again") << "order";
    QTest::newRow("a negative offset, its checksum made again") << "negative";
}

void tst_Files::aDamagedJournalIsDiscardedAndTheFileLeftAlone()
{
    QFETCH(QString, damage);
    QByteArray whole(2000, 'o');
    ByteChanges changes;
    for (const qint64 offset : { 10, 1200 }) {
        changes.add(offset, "oooo", "NNNN");
        whole.replace(offset, 4, "NNNN");
    }
    const std::string path = file(whole);
    QFile journal(QString::fromStdString(WriteJournal::begin(path, identityOf(path), 2000, changes, "oooooooo")));
    QVERIFY(journal.open(QIODevice::ReadOnly));
    QByteArray bytes = journal.readAll();
    journal.close();
    // The runs end the journal, each as its offset, length, old and new bytes; a checksum of 32 bytes follows.
    const qsizetype sum = bytes.size() - 32, lastRun = sum - 24, firstRun = lastRun - 24;
    const auto number
        = [&](qsizetype at, qint64 value) { bytes.replace(at, 8, QByteArray(reinterpret_cast<char*>(&value), 8)); };
    if (damage == QLatin1String("append"))
        bytes += 'x';
    else if (damage == QLatin1String("cut"))
        bytes.chop(1);
    else if (damage == QLatin1String("flip"))
        bytes[firstRun + 16] = 'x';
    else if (damage == QLatin1String("length"))
        number(lastRun + 8, qint64(1) << 62);
    else
        number(damage == QLatin1String("order") ? lastRun : firstRun, damage == QLatin1String("order") ? 5 : -1);
    if (damage == QLatin1String("order") || damage == QLatin1String("negative"))
        bytes.replace(sum, 32, QCryptographicHash::hash(bytes.left(sum), QCryptographicHash::Sha256));
    QVERIFY(journal.open(QIODevice::WriteOnly) && journal.write(bytes) == bytes.size());
    journal.close();
    QCOMPARE(putBackCutOffWrite(path).outcome, WriteJournal::Recovery::Outcome::Discarded);
    QCOMPARE(contents(path), whole);
    QVERIFY(!journal.exists());
}

void tst_Files::aReadOnlyFileIsNotWritableAndStaysUnchanged()
{
    const std::string path = file("abcd");
    ::chmod(path.c_str(), 0444);
    const std::string problem = writeOverAReadOnlyFile.problem({ path }, FreshProcess::withoutRoot());
    QVERIFY2(problem.empty(), problem.c_str());
    QCOMPARE(contents(path), QByteArray("abcd"));
}

void tst_Files::patchesASparseFileBeyond2GiBAtTheRightOffset()
{
    const std::string path = file("");
    QCOMPARE(::truncate(path.c_str(), 3LL << 30), 0);
    const FileIdentity seen = identityOf(path);
    QCOMPARE(WriteByteAt(path, seen, 2147483646, 0, 0x5A).outcome, CheckedWrite::Outcome::Written);
    QCOMPARE(WriteByteAt(path, seen, 2147483647, 0, 0xA5).outcome, CheckedWrite::Outcome::Written);
    QFile f(QString::fromStdString(path));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.size(), qint64(3) << 30);
    QVERIFY(f.seek(2147483646));
    QCOMPARE(f.read(3), QByteArray("\x5A\xA5\0", 3));
    // Nothing was written at the wrapped-around offsets.
    QVERIFY(f.seek(0));
    QCOMPARE(f.read(4), QByteArray(4, '\0'));
}

void tst_Files::neverGrowsTheFileEvenAtTheSizeLimit()
{
    const std::string path = file("abcd");
    const std::string problem = writeAtTheSizeLimit.problem({ path }, FreshProcess::fileSizeLimit(4));
    QVERIFY2(problem.empty(), problem.c_str());
    QCOMPARE(contents(path), QByteArray("abcZ"));
}

void tst_Files::everyStepKindCanFailWithItsError_data()
{
    // Each kind of step the file layer takes, failed through the seam where a caller takes it: the failure comes
    // back as the error of its errno, and no descriptor stays open. The commands' own tables then fail every step
    // each command takes.
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("err");
    QTest::addColumn<int>("code");
    using Op = FileFaults::Op;
    QTest::newRow("open") << int(Op::Open) << EACCES << 5;
    QTest::newRow("stat") << int(Op::Stat) << EACCES << 5;
    QTest::newRow("resolve") << int(Op::Resolve) << ELOOP << 3;
    QTest::newRow("size") << int(Op::Size) << EIO << EIO;
    QTest::newRow("read") << int(Op::Read) << EIO << EIO;
    QTest::newRow("write, no space") << int(Op::Write) << ENOSPC << 101;
    QTest::newRow("sync") << int(Op::Sync) << EIO << EIO;
    QTest::newRow("close") << int(Op::Close) << EIO << EIO;
    QTest::newRow("truncate") << int(Op::Truncate) << EIO << EIO;
    QTest::newRow("allocate") << int(Op::Allocate) << ENOSPC << 101;
    QTest::newRow("make a folder") << int(Op::MakeFolder) << EACCES << 5;
    QTest::newRow("rename") << int(Op::Rename) << EXDEV << EXDEV;
    QTest::newRow("sync the folder") << int(Op::SyncFolder) << EIO << EIO;
    QTest::newRow("look for data") << int(Op::Seek) << EIO << EIO;
    // Leftovers are only litter: the replace goes on without clearing them.
    QTest::newRow("list leftovers") << int(Op::ListFolder) << EACCES << 0;
    QTest::newRow("remove a leftover") << int(Op::Remove) << EACCES << 0;
}

void tst_Files::everyStepKindCanFailWithItsError()
{
    QFETCH(int, op);
    QFETCH(int, err);
    QFETCH(int, code);
    const std::string path = file("abcd");
    // A leftover of a writer that is gone: process ids above the system's largest never run.
    file("x", ".data.bin.99999999.Ab3xYz");
    const int descriptors = openDescriptors();
    FileFaults::failNth(static_cast<FileFaults::Op>(op), 1, err);
    int raised = 0;
    try {
        switch (static_cast<FileFaults::Op>(op)) {
        case FileFaults::Op::Open:
            (void)FileHandle::open(path, FileHandle::Mode::Read);
            break;
        case FileFaults::Op::Stat:
            (void)FileHandle::status(path);
            break;
        case FileFaults::Op::Resolve:
            (void)FileHandle::resolved(path);
            break;
        case FileFaults::Op::MakeFolder:
            FileHandle::makeFolders(m_dir->filePath("a/b/").toStdString());
            break;
        case FileFaults::Op::Rename:
        case FileFaults::Op::SyncFolder:
        case FileFaults::Op::ListFolder:
        case FileFaults::Op::Remove:
            (void)FileHandle::replaceWith(path, "new", FileHandle::status(path));
            break;
        default: {
            FileHandle handle = FileHandle::open(path, FileHandle::Mode::ReadWrite);
            char byte = 0;
            (void)handle.size();
            (void)handle.readAt(0, &byte, 1);
            (void)handle.dataFrom(0);
            handle.writeAt(0, "A");
            handle.sync();
            handle.reserve(8);
            handle.truncate(4);
            handle.close();
        }
        }
    } catch (const EInOutError& error) {
        raised = error.code();
    }
    QCOMPARE(raised, code);
    QCOMPARE(openDescriptors(), descriptors);
    // A replace that got as far as its rename had cleared the leftover first.
    const bool replaced = static_cast<FileFaults::Op>(op) == FileFaults::Op::Rename
        || static_cast<FileFaults::Op>(op) == FileFaults::Op::SyncFolder;
    QCOMPARE(QFile::exists(m_dir->filePath(".data.bin.99999999.Ab3xYz")), !replaced);
    if (static_cast<FileFaults::Op>(op) == FileFaults::Op::Rename) // the old file whole, no temporary left
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList { "data.bin" });
}

void tst_Files::programDirIsTheExecutablesDirectory()
{
    const std::string dir = ProgramDir();
    QVERIFY(!dir.empty());
    QCOMPARE(dir.back(), '/');
    QCOMPARE(QString::fromStdString(dir), QCoreApplication::applicationDirPath() + '/');
}

void tst_Files::userSettingsFollowTheXdgConfigHome_data()
{
    // "@" stands for the temporary folder; a null configHome leaves the variable unset.
    QTest::addColumn<QByteArray>("configHome");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("made");
    QTest::newRow("set") << QByteArray("@/cfg") << QByteArray("@/cfg/quillmoor/") << true;
    QTest::newRow("set, ending in a slash") << QByteArray("@/cfg/") << QByteArray("@/cfg/quillmoor/") << true;
    QTest::newRow("unset") << QByteArray() << QByteArray("@/home/.config/quillmoor/") << true;
    QTest::newRow("empty") << QByteArray("") << QByteArray("@/home/.config/quillmoor/") << true;
    QTest::newRow("relative, so ignored") << QByteArray("cfg") << QByteArray("@/home/.config/quillmoor/") << true;
    QTest::newRow("a file in the way") << QByteArray("@/x") << QByteArray("@/x/quillmoor/") << false;
}

void tst_Files::userSettingsFollowTheXdgConfigHome()
{
    QFETCH(QByteArray, configHome);
    QFETCH(QByteArray, expected);
    QFETCH(bool, made);
    const QByteArray root = QFile::encodeName(m_dir->path());
    const QByteArray savedHome = qgetenv("HOME");
    const QByteArray savedConfigHome = qgetenv("XDG_CONFIG_HOME");
    const bool hadConfigHome = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    const auto restore = qScopeGuard([&] {
        qputenv("HOME", savedHome);
        if (hadConfigHome)
            qputenv("XDG_CONFIG_HOME", savedConfigHome);
        else
            qunsetenv("XDG_CONFIG_HOME");
    });
    qputenv("HOME", root + "/home");
    if (configHome.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", configHome.replace('@', root));
    file("", "x");

    const std::string dir = UserSettingsDir();
    QCOMPARE(QByteArray::fromStdString(dir), expected.replace('@', root));
    struct stat info { };
    QCOMPARE(::stat(dir.c_str(), &info) == 0 && S_ISDIR(info.st_mode), made);
    if (made)
        QCOMPARE(info.st_mode & 0777, 0700u);
    QCOMPARE(UserSettingsDir(), dir); // a second start finds it made
}

void tst_Files::ioErrorMessagesFollowTheCodeTable_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("2") << 2 << QByteArray("File not found");
    QTest::newRow("3") << 3 << QByteArray("Invalid filename");
    QTest::newRow("4") << 4 << QByteArray("Too many open files");
    QTest::newRow("5") << 5 << QByteArray("File access denied");
    QTest::newRow("100") << 100 << QByteArray("Read beyond end of file");
    QTest::newRow("101") << 101 << QByteArray("Disk full");
    QTest::newRow("106") << 106 << QByteArray("Invalid numeric input");
    QTest::newRow("103") << 103 << QByteArray("I/O error 103");
    QTest::newRow("131") << 131 << QByteArray("I/O error 131");
    QTest::newRow("32") << 32 << QByteArray("I/O error 32");
}

void tst_Files::ioErrorMessagesFollowTheCodeTable()
{
    QFETCH(int, code);
    QFETCH(QByteArray, message);
    const EInOutError error(code);
    QCOMPARE(error.code(), code);
    QCOMPARE(QByteArray::fromStdString(error.message()), message);
}

void tst_Files::systemErrorsMapOntoTheCodes_data()
{
    QTest::addColumn<int>("err");
    QTest::addColumn<int>("code");
    QTest::newRow("ENOENT") << ENOENT << 2;
    QTest::newRow("ENOTDIR") << ENOTDIR << 3;
    QTest::newRow("ENAMETOOLONG") << ENAMETOOLONG << 3;
    QTest::newRow("EMFILE") << EMFILE << 4;
    QTest::newRow("ENFILE") << ENFILE << 4;
    QTest::newRow("EACCES") << EACCES << 5;
    QTest::newRow("EROFS") << EROFS << 5;
    QTest::newRow("ENOSPC") << ENOSPC << 101;
    QTest::newRow("EFBIG") << EFBIG << 101;
    QTest::newRow("EIO") << EIO << EIO;
    QTest::newRow("EISDIR") << EISDIR << EISDIR;
}

void tst_Files::systemErrorsMapOntoTheCodes()
{
    QFETCH(int, err);
    QFETCH(int, code);
    QCOMPARE(EInOutError::fromErrno(err).code(), code);
}

void tst_Files::aRangeReadStopsJustBeforeTheFailingByte_data()
{
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("failingByte"); // 1-based among the bytes asked for; 0: none planned
    QTest::addColumn<int>("got");
    QTest::addColumn<int>("failure");

    QTest::newRow("all of it") << qint64(0) << 256 << 0 << 256 << 0;
    QTest::newRow("cut short by the end of the file") << qint64(900) << 256 << 0 << 100 << 0;
    QTest::newRow("at the end of the file") << qint64(1000) << 256 << 0 << 0 << 0;
    QTest::newRow("the first byte fails") << qint64(0) << 256 << 1 << 0 << EIO;
    QTest::newRow("a byte inside fails") << qint64(10) << 256 << 43 << 42 << EIO;
    QTest::newRow("the last byte fails") << qint64(10) << 256 << 256 << 255 << EIO;
    QTest::newRow("a failure beyond the range is not this read's") << qint64(0) << 256 << 257 << 256 << 0;
    QTest::newRow("a negative offset") << qint64(-1) << 256 << 0 << 0 << EINVAL;
}

void tst_Files::aRangeReadStopsJustBeforeTheFailingByte()
{
    QFETCH(qint64, offset);
    QFETCH(int, count);
    QFETCH(int, failingByte);
    QFETCH(int, got);
    QFETCH(int, failure);
    QByteArray bytes(1000, Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7);
    FileHandle handle = FileHandle::open(file(bytes), FileHandle::Mode::Read);
    if (failingByte)
        FileFaults::failNth(FileFaults::Op::Read, failingByte, EIO);
    QByteArray buffer(count, '\0');
    std::size_t read = 0;
    int raised = 0;
    try {
        read = handle.readAt(offset, buffer.data(), std::size_t(count));
        // The next read, from the byte that failed, raises its error.
        if (read < std::size_t(count) && offset + qint64(read) < bytes.size())
            (void)handle.readAt(offset + qint64(read), buffer.data() + read, std::size_t(count) - read);
    } catch (const EInOutError& error) {
        raised = error.code();
    }
    QCOMPARE(int(read), got);
    QCOMPARE(raised, failure);
    QCOMPARE(buffer.left(got), bytes.mid(std::max<qint64>(offset, 0), got));
}

void tst_Files::opensAreRefusedForWhatIsNoRegularFile()
{
    const std::string fifo = m_dir->filePath("fifo").toStdString();
    QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
    // Each returns at once: no open waits for a FIFO's writer.
    for (const auto& [path, err] : { std::pair { m_dir->filePath("missing").toStdString(), ENOENT },
             std::pair { m_dir->path().toStdString(), EISDIR }, std::pair { fifo, EINVAL },
             std::pair { std::string("/dev/zero"), EINVAL }, std::pair { file("x") + std::string(1, '\0'), ENOENT } })
        QCOMPARE(FileHandle::tryOpen(path, FileHandle::Mode::Read).error, err);
    QVERIFY(FileHandle::tryOpen(file("x"), FileHandle::Mode::Read));
    QCOMPARE(FileHandle::tryOpen("/dev/null", FileHandle::Mode::CreateText).error, 0);
}

void tst_Files::pathsAreTakenApartAtTheLastSlash_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("directory");
    QTest::newRow("a full path") << QByteArray("/home/u/dump.bin") << QByteArray("/home/u/");
    QTest::newRow("the root") << QByteArray("/dump.bin") << QByteArray("/");
    QTest::newRow("a bare name") << QByteArray("dump.bin") << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("a directory") << QByteArray("/home/u/") << QByteArray("/home/u/");
    QTest::newRow("Cyrillic bytes") << QByteArray("/\xD0\xB4/\xE4.bin") << QByteArray("/\xD0\xB4/");
}

void tst_Files::pathsAreTakenApartAtTheLastSlash()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, directory);
    QCOMPARE(directoryPart(path.toStdString()), directory.toStdString());
}

void tst_Files::onlyWhatExistsAndIsNoDirectoryIsAFile()
{
    const std::string existing = file("x");
    QVERIFY(fileExists(existing));
    QVERIFY(!fileExists(existing + "-missing"));
    QVERIFY(!fileExists(""));
    QVERIFY(!fileExists(m_dir->path().toStdString()));
    // The system would see only the part before the NUL, which exists.
    QVERIFY(!fileExists(existing + std::string(1, '\0') + "tail"));
}

FRESH_PROCESS_GUILESS_TEST_MAIN(tst_Files)
#include "tst_Files.moc"
