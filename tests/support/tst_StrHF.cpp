#include "support/Exception.h"
#include "support/FileFaults.h"
#include "support/StrHF.h"
#include "tests/FreshProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <array>
#include <string>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray contents(const std::string& file)
{
    QFile f(QString::fromStdString(file));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool replaceContents(const std::string& file, const QByteArray& bytes)
{
    QFile f(QString::fromStdString(file));
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Inputs: the settings file, "written" or "refused", then keys of the section File and their values in turn. Each
// is written; all must be, or the first must fail with the settings write's error.
const FreshProcess::Check settingsWrites("settingsWrites", [](const FreshProcess::Inputs& inputs) -> std::string {
    const std::string& file = inputs.at(0);
    const bool written = inputs.at(1) == "written";
    for (std::size_t i = 2; i + 1 < inputs.size(); i += 2) {
        try {
            SettingsWriteString(file, "File", inputs[i], inputs[i + 1]);
        } catch (const Exception& error) {
            if (written || error.message() != "Unable to write to " + file)
                return "the write of " + inputs[i] + " failed: " + error.message();
            return {};
        }
        if (!written)
            return "the write of " + inputs[i] + " was not refused";
    }
    return {};
});

// Writes value as the file's NameFile with every step the write takes failed in turn: the write is reported
// failed, and the file holds its old text (before) or, when only the rename's durability failed, the new one,
// never anything between, with no temporary file left beside it. Gives what went wrong, "" when nothing.
std::string everyStepFailedInTurn(
    const std::string& file, const std::string& value, bool inPlace, const QByteArray& before)
{
    FileFaults::startListing();
    try {
        SettingsWriteString(file, "File", "NameFile", value);
    } catch (const Exception& error) {
        return "the write failed with no step failing: " + error.message();
    }
    const std::vector<FileFaults::Step> steps = FileFaults::steps();
    const QByteArray after = contents(file);
    if (SettingsReadString(file, "File", "NameFile", "") != value)
        return "the write with no step failing left the file as " + after.toStdString();
    // Failing each step proves something only if the write takes the steps that make it whole.
    const auto takes = [&](FileFaults::Op op) {
        return std::any_of(steps.begin(), steps.end(), [op](const FileFaults::Step& step) { return step.op == op; });
    };
    if (!takes(FileFaults::Op::Write) || !takes(FileFaults::Op::Sync) || (inPlace == takes(FileFaults::Op::Rename)))
        return inPlace ? "the write takes no write or sync step, or a rename"
                       : "the write takes no write, sync or rename step";
    const QDir folder = QFileInfo(QString::fromStdString(file)).dir();
    std::array<int, FileFaults::OpCount> seen {};
    for (std::size_t i = 0; i < steps.size(); ++i) {
        FileFaults::reset();
        if (!replaceContents(file, before))
            return "the file cannot be put back";
        const auto op = static_cast<std::size_t>(steps[i].op);
        FileFaults::failNth(steps[i].op, seen[op] + 1, EIO);
        seen[op] += static_cast<int>(steps[i].units);
        const std::string failed = "step " + std::to_string(i) + " (op " + std::to_string(op) + ") failing: ";
        try {
            SettingsWriteString(file, "File", "NameFile", value);
            // Only what leaves nothing to lose is ignored: a close after the sync, a leftover not cleared.
            if (contents(file) != after)
                return failed + "the write was reported done but left " + contents(file).toStdString();
        } catch (const Exception& error) {
            if (error.message() != "Unable to write to " + file)
                return failed + "the write reported \"" + error.message() + "\"";
            const QByteArray now = contents(file);
            if (now != before && now != after)
                return failed + "the file holds neither its old text nor the new: " + now.toStdString();
        }
        const QStringList left = folder.entryList(QDir::Files | QDir::Hidden);
        if (left != QStringList { QFileInfo(QString::fromStdString(file)).fileName() })
            return failed + "the folder holds " + left.join(QStringLiteral(", ")).toStdString();
    }
    FileFaults::reset();
    return {};
}

const FreshProcess::Check everyStepOfAnInPlaceWriteFailed(
    "everyStepOfAnInPlaceWriteFailed", [](const FreshProcess::Inputs& inputs) {
        return everyStepFailedInTurn(inputs.at(0), inputs.at(1), true, QByteArray::fromStdString(inputs.at(2)));
    });

} // namespace

class tst_StrHF : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void aFreshFileHoldsExactlyThreeLines();
    void missingFileSectionOrKeyGiveTheDefaults();
    void readIntTakesStoredTexts_data();
    void readIntTakesStoredTexts();
    void stringsLoseTheirBlanksBothWays();
    void writingOneKeyKeepsEveryOtherByte();
    void valuesAreCutAt2047OnReading();
    void aValueWithALineBreakIsRefusedAndTheFileKept();
    void aReadOnlyFileRaisesTheErrorAndKeepsItsContents();
    void aReadOnlyDirectoryStillTakesAWritableFile();
    void abandonedTemporariesAreRemovedAtTheNextWrite();
    void aFailingWriteLeavesTheOldFileWhole();
    void everyFailingStepOfAWriteLeavesTheOldFileOrTheNew_data();
    void everyFailingStepOfAWriteLeavesTheOldFileOrTheNew();
    void theFileKeepsItsPermissionBits();
    void writesGoThroughALinkOnlyInAPlaceOfTheUsers_data();
    void writesGoThroughALinkOnlyInAPlaceOfTheUsers();

private:
    QString path(const char* name) const { return m_dir->filePath(QString::fromLatin1(name)); }
    std::string ini() const { return path("Quillmoor.ini").toStdString(); }
    static void put(const std::string& file, const QByteArray& bytes);
    static QByteArray writeError(const std::string& file)
    {
        return "Unable to write to " + QByteArray::fromStdString(file);
    }
    QStringList entries() const
    {
        return QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_StrHF::put(const std::string& file, const QByteArray& bytes)
{
    QVERIFY(replaceContents(file, bytes));
}

void tst_StrHF::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    // The privilege-dropping tests run as nobody and must reach the files.
    ::chmod(QFile::encodeName(m_dir->path()).constData(), 0755);
}

void tst_StrHF::cleanup()
{
    FileFaults::reset();
    ::chmod(QFile::encodeName(m_dir->path()).constData(), 0755);
    m_dir.reset();
}

void tst_StrHF::aFreshFileHoldsExactlyThreeLines()
{
    SettingsWriteString(ini(), "File", "NameFile", "/data/dump.bin");
    SettingsWriteInt(ini(), "File", "StartByte", 0);
    QCOMPARE(contents(ini()), QByteArray("[File]\r\nNameFile=/data/dump.bin\r\nStartByte=0\r\n"));
    QCOMPARE(entries(), QStringList { "Quillmoor.ini" }); // no temporary file left behind
}

void tst_StrHF::missingFileSectionOrKeyGiveTheDefaults()
{
    QCOMPARE(SettingsReadString(ini(), "File", "NameFile", ""), std::string());
    QCOMPARE(SettingsReadInt(ini(), "File", "StartByte", 0), 0);
    QVERIFY(!QFile::exists(QString::fromStdString(ini()))); // reading creates nothing
    put(ini(), "[Other]\r\nStartByte=5\r\n");
    QCOMPARE(SettingsReadInt(ini(), "File", "StartByte", 77), 77);
    QCOMPARE(SettingsReadString(ini(), "File", "NameFile", " dflt "), std::string("dflt"));
}

void tst_StrHF::readIntTakesStoredTexts_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("value");
    QTest::newRow("8192") << QByteArray("8192") << 8192;
    QTest::newRow("0x2000") << QByteArray("0x2000") << 8192;
    QTest::newRow("$10") << QByteArray("$10") << 16;
    QTest::newRow("x10") << QByteArray("x10") << 16;
    QTest::newRow("blank 42") << QByteArray(" 42") << 42;
    QTest::newRow("-5") << QByteArray("-5") << -5;
    QTest::newRow("42abc") << QByteArray("42abc") << 0;
    QTest::newRow("4.5") << QByteArray("4.5") << 0;
    QTest::newRow("2147483648") << QByteArray("2147483648") << 0;
    QTest::newRow("empty") << QByteArray("") << 0;
    QTest::newRow("$FFFFFFFF") << QByteArray("$FFFFFFFF") << -1;
    QTest::newRow("0x alone") << QByteArray("0x") << 0;
    QTest::newRow("binary junk") << QByteArray("\x01\xFF") << 0;
}

void tst_StrHF::readIntTakesStoredTexts()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, value);
    put(ini(), "[File]\r\nStartByte=" + stored + "\r\n");
    QCOMPARE(SettingsReadInt(ini(), "File", "StartByte", 0), value);
}

void tst_StrHF::stringsLoseTheirBlanksBothWays()
{
    SettingsWriteString(ini(), "File", "NameFile", "  /tmp/with blank  ");
    QCOMPARE(contents(ini()), QByteArray("[File]\r\nNameFile=/tmp/with blank\r\n"));
    SettingsWriteInt(ini(), "File", "StartByte", -2147483647 - 1);
    QCOMPARE(SettingsReadInt(ini(), "File", "StartByte", 0), -2147483647 - 1);
    QCOMPARE(SettingsReadString(ini(), "File", "NameFile", ""), std::string("/tmp/with blank"));
    const std::string cyrillic = "/tmp/\xD4\xE0\xE9\xEB"; // Windows-1251 bytes stay as they are
    SettingsWriteString(ini(), "File", "NameFile", cyrillic);
    QCOMPARE(SettingsReadString(ini(), "File", "NameFile", ""), cyrillic);
}

void tst_StrHF::writingOneKeyKeepsEveryOtherByte()
{
    const QByteArray before
        = "; my notes\r\n\r\n[Window]\nLeft=3\n\n[File]\r\nNameFile=/x\r\nStartByte=0\r\n\r\n[Z]\rq=1";
    put(ini(), before);
    SettingsWriteInt(ini(), "File", "StartByte", 16384);
    QByteArray expected = before;
    expected.replace("StartByte=0", "StartByte=16384");
    QCOMPARE(contents(ini()), expected);
}

void tst_StrHF::valuesAreCutAt2047OnReading()
{
    const std::string longPath = "/" + std::string(3000, 'p');
    SettingsWriteString(ini(), "File", "NameFile", longPath);
    QCOMPARE(SettingsReadString(ini(), "File", "NameFile", ""), longPath.substr(0, 2047));
    QCOMPARE(readWholeSettingsString(ini(), "File", "NameFile", ""), std::nullopt);
    SettingsWriteString(ini(), "File", "NameFile", longPath.substr(0, 2047) + "  ");
    QCOMPARE(readWholeSettingsString(ini(), "File", "NameFile", ""), longPath.substr(0, 2047));
    // The number is read from the cut text too: 2046 zeros and "12" give 1.
    put(ini(), "[File]\r\nStartByte=" + QByteArray(2046, '0') + "12\r\n");
    QCOMPARE(SettingsReadInt(ini(), "File", "StartByte", 9), 1);
}

void tst_StrHF::aValueWithALineBreakIsRefusedAndTheFileKept()
{
    put(ini(), "[File]\r\nNameFile=/old\r\nStartByte=7\r\n");
    const QByteArray before = contents(ini());
    try {
        SettingsWriteString(ini(), "File", "NameFile", "/tmp/evil\nStartByte=99");
        QFAIL("no error raised");
    } catch (const Exception& error) {
        QCOMPARE(QByteArray::fromStdString(error.message()), writeError(ini()));
    }
    QCOMPARE(contents(ini()), before);
}

void tst_StrHF::aReadOnlyFileRaisesTheErrorAndKeepsItsContents()
{
    const QByteArray before = "[File]\r\nNameFile=/old\r\nStartByte=7\r\n";
    put(ini(), before);
    ::chmod(ini().c_str(), 0444);
    // The folder of the user nobody, where a rename would be allowed.
    ::chown(QFile::encodeName(m_dir->path()).constData(), 65534, 65534);
    const std::string problem
        = settingsWrites.problem({ ini(), "refused", "StartByte", "8192" }, FreshProcess::withoutRoot());
    QVERIFY2(problem.empty(), problem.c_str());
    QCOMPARE(contents(ini()), before);
    QCOMPARE(entries(), QStringList { "Quillmoor.ini" });
}

void tst_StrHF::aReadOnlyDirectoryStillTakesAWritableFile()
{
    put(ini(), "[File]\r\nNameFile=/a/much/longer/old/path\r\nStartByte=7\r\n");
    ::chmod(ini().c_str(), 0666);
    // Root writes in any folder: the writes run as another user. Anyone else has the folder closed to themselves.
    const QByteArray folder = QFile::encodeName(m_dir->path());
    const auto close = [&] {
        if (::geteuid() != 0)
            ::chmod(folder.constData(), 0555);
    };
    close();
    std::string problem
        = settingsWrites.problem({ ini(), "written", "NameFile", "/b", "Extra", "1" }, FreshProcess::withoutRoot());
    QVERIFY2(problem.empty(), problem.c_str());
    // In place the file never shrinks: the shorter value is padded with blanks, which reading ignores.
    QCOMPARE(
        contents(ini()), QByteArray("[File]\r\nNameFile=/b") + QByteArray(21, ' ') + "\r\nStartByte=7\r\nExtra=1\r\n");
    QCOMPARE(SettingsReadString(ini(), "File", "NameFile", ""), std::string("/b"));

    // A missing file in a directory that cannot be written is an error, not a silent loss.
    ::chmod(folder.constData(), 0755);
    QFile::remove(path("Quillmoor.ini"));
    close();
    problem = settingsWrites.problem({ ini(), "refused", "NameFile", "/b" }, FreshProcess::withoutRoot());
    QVERIFY2(problem.empty(), problem.c_str());
}

void tst_StrHF::abandonedTemporariesAreRemovedAtTheNextWrite()
{
    // A writer killed between creating its temporary file and the rename leaves the temporary behind; the
    // temporary of a writer that still runs (process 1 always does) is another copy's write under way.
    const pid_t dead = ::fork();
    if (dead == 0)
        ::_exit(0);
    QCOMPARE(::waitpid(dead, nullptr, 0), dead);
    const QString abandoned = QStringLiteral(".Quillmoor.ini.%1.Ab3xYz").arg(dead);
    const QStringList kept { ".Quillmoor.ini.1.Qr5tUv", ".Quillmoor.ini.bak",
        QStringLiteral(".other.ini.%1.Ab3xYz").arg(dead), "Quillmoor.ini" };
    put(ini(), "[File]\r\nStartByte=7\r\n");
    const QStringList temporaries = kept.mid(0, 3) << abandoned;
    for (const QString& name : temporaries)
        put(m_dir->filePath(name).toStdString(), "[File]\r\nStartByte=");

    SettingsWriteInt(ini(), "File", "StartByte", 8);
    QStringList left = entries();
    left.sort();
    QCOMPARE(left, kept);
    QCOMPARE(contents(ini()), QByteArray("[File]\r\nStartByte=8\r\n"));
}

void tst_StrHF::aFailingWriteLeavesTheOldFileWhole()
{
    const QByteArray before = "[File]\r\nNameFile=/old\r\nStartByte=7\r\n";
    put(ini(), before);
    // The temporary file's write fails with EFBIG, as on a full disk.
    const std::string problem
        = settingsWrites.problem({ ini(), "refused", "NameFile", "/new/and/longer" }, FreshProcess::fileSizeLimit(10));
    QVERIFY2(problem.empty(), problem.c_str());
    QCOMPARE(contents(ini()), before);
    QCOMPARE(entries(), QStringList { "Quillmoor.ini" });
}

void tst_StrHF::everyFailingStepOfAWriteLeavesTheOldFileOrTheNew_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("inPlace"); // the folder is closed to the writer, so the file is rewritten in place
    QTest::newRow("by rename") << QByteArray("/new") << false;
    QTest::newRow("in place, a shorter value") << QByteArray("/b") << true;
    QTest::newRow("in place, a longer value") << QByteArray("/a/much/longer/new/path/than/before") << true;
}

void tst_StrHF::everyFailingStepOfAWriteLeavesTheOldFileOrTheNew()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, inPlace);
    const QByteArray before = "[File]\r\nNameFile=/the/old/path\r\nStartByte=7\r\n";
    put(ini(), before);
    ::chmod(ini().c_str(), 0666);
    // Root's writes run as another user, to whom the folder is closed; anyone else closes it to themselves.
    if (inPlace && ::geteuid() != 0)
        ::chmod(QFile::encodeName(m_dir->path()).constData(), 0555);
    const std::string problem = inPlace ? everyStepOfAnInPlaceWriteFailed.problem(
                                    { ini(), value.toStdString(), before.toStdString() }, FreshProcess::withoutRoot())
                                        : everyStepFailedInTurn(ini(), value.toStdString(), false, before);
    QVERIFY2(problem.empty(), problem.c_str());
}

void tst_StrHF::theFileKeepsItsPermissionBits()
{
    put(ini(), "[File]\r\nStartByte=7\r\n");
    ::chmod(ini().c_str(), 0640);
    SettingsWriteInt(ini(), "File", "StartByte", 8);
    struct stat st { };
    QCOMPARE(::stat(ini().c_str(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0640));
}

void tst_StrHF::writesGoThroughALinkOnlyInAPlaceOfTheUsers_data()
{
    // The settings folder cfg/ holds Quillmoor.ini, a link to the user's real.ini beside it.
    QTest::addColumn<bool>("foreignFolder"); // cfg/ given to another user
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<bool>("foreignFile"); // real.ini given to another user
    QTest::addColumn<bool>("used");
    QTest::newRow("the user's") << false << 0700 << false << true;
    QTest::newRow("a folder of another user") << true << 0755 << false << false;
    QTest::newRow("a folder everyone may write, sticky as /tmp") << false << 01777 << false << false;
    QTest::newRow("a folder the group may write") << false << 0770 << false << false;
    QTest::newRow("a link to a file of another user") << false << 0700 << true << false;
}

void tst_StrHF::writesGoThroughALinkOnlyInAPlaceOfTheUsers()
{
    QFETCH(bool, foreignFolder);
    QFETCH(int, folderMode);
    QFETCH(bool, foreignFile);
    QFETCH(bool, used);
    if ((foreignFolder || foreignFile) && ::geteuid() != 0)
        QSKIP("only root can give a file to another user");
    const uid_t nobody = 65534;
    const std::string real = path("real.ini").toStdString();
    const QByteArray cfg = QFile::encodeName(path("cfg"));
    const std::string link = cfg.toStdString() + "/Quillmoor.ini";
    put(real, "[File]\r\nStartByte=7\r\n");
    QVERIFY(QDir().mkdir(path("cfg")) && ::symlink(real.c_str(), link.c_str()) == 0);
    QCOMPARE(::chmod(cfg.constData(), mode_t(folderMode)), 0);
    QCOMPARE(::chown(cfg.constData(), foreignFolder ? nobody : ::geteuid(), gid_t(-1)), 0);
    QCOMPARE(::chown(real.c_str(), foreignFile ? nobody : ::geteuid(), gid_t(-1)), 0);

    QCOMPARE(SettingsReadInt(link, "File", "StartByte", 0), used ? 7 : 0);
    try {
        SettingsWriteInt(link, "File", "StartByte", 9);
        QVERIFY(used);
    } catch (const Exception& error) {
        QVERIFY(!used);
        QCOMPARE(QByteArray::fromStdString(error.message()), writeError(link));
    }
    QVERIFY(QFileInfo(QString::fromStdString(link)).isSymLink());
    QCOMPARE(contents(real), "[File]\r\nStartByte=" + QByteArray(used ? "9" : "7") + "\r\n");
}

FRESH_PROCESS_GUILESS_TEST_MAIN(tst_StrHF)
#include "tst_StrHF.moc"
