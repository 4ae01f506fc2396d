#include "mainwindow/RowFormat.h"
#include "mainwindow/TForm1.h"
#include "support/Cp1251.h"
#include "support/FileFaults.h"
#include "support/StrHF.h"
#include "tests/PrivilegeDrop.h"
#include "tests/ScriptedDialogs.h"
#include "tests/mainwindow/WindowFixture.h"
#include "ui/EventGuard.h"
#include "ui/grid/ByteGrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

// Every file operation a command makes, failed in turn through the file layer's seam: each failure must end
// in the outcome the command promises (its message or error box, the rows read so far, the pending edit, the
// settings file), with every file closed and the cursor back, and never in a success.
namespace {

using Op = FileFaults::Op;

// The descriptors of this process that name something inside dir: none may outlive a command.
QStringList descriptorsUnder(const QString& dir)
{
    QStringList open;
    const QString canonical = QDir(dir).canonicalPath();
    for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System | QDir::Files)) {
        const QString target = fd.symLinkTarget();
        if (target.startsWith(canonical))
            open << target;
    }
    return open;
}

} // namespace

class tst_FaultInjection : public QObject, protected WindowFixture {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void aFailingStepOfABlockCommandEndsInItsStatedOutcome_data();
    void aFailingStepOfABlockCommandEndsInItsStatedOutcome();
    void anErrorNumberShowsTheTextOfItsMeaning_data();
    void anErrorNumberShowsTheTextOfItsMeaning();
    void aFailingStepOfTheCommitEndsInItsStatedOutcome_data();
    void aFailingStepOfTheCommitEndsInItsStatedOutcome();
    void aCommitThatFailsBeforeABlockChangeStopsTheCommand();
    void aFailingStepOfTheReportIsNeverReportedDone_data();
    void aFailingStepOfTheReportIsNeverReportedDone();
    void aFailingStepOfTheRestoreStillShowsTheWindow_data();
    void aSettingsFileRewrittenInPlaceOnAFullDiskStaysWhole();
    void anEditOfARowLeftFromAFailedLoadIsNeverWrittenElsewhere_data();
    void anEditOfARowLeftFromAFailedLoadIsNeverWrittenElsewhere();
    void aFailingStepOfTheRestoreStillShowsTheWindow();

private:
    void verifyNothingLeftOver();
    std::string unableToWrite() const { return "Unable to write to " + settings() + "."; }
};

void tst_FaultInjection::init()
{
    setUpWindowTest();
}

void tst_FaultInjection::cleanup()
{
    FileFaults::reset();
    tearDownWindowTest();
}

void tst_FaultInjection::verifyNothingLeftOver()
{
    QCOMPARE(descriptorsUnder(m_dir->path()), QStringList());
    QCOMPARE(m_form->cursor().shape(), Qt::ArrowCursor);
    // No temporary settings file stays behind.
    QCOMPARE(
        QDir(m_dir->path()).entryList({ QStringLiteral(".Quillmoor*") }, QDir::Hidden | QDir::Files), QStringList());
}

void tst_FaultInjection::aFailingStepOfABlockCommandEndsInItsStatedOutcome_data()
{
    QTest::addColumn<char>("command"); // d next, u previous, e end, g go to 9000, o open other.bin
    QTest::addColumn<int>("from"); // the start shown before the command
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("nth"); // counted from the command's first operation of that kind
    QTest::addColumn<int>("err");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<QString>("error"); // "unable": the settings write error
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("rows"); // data rows read: -1 the whole block
    QTest::addColumn<int>("stored"); // StartByte in the settings file afterwards
    QTest::addColumn<bool>("nameStored"); // the open command stored other.bin

    const QString openError = QStringLiteral("Ошибка при открытии файла");
    const int o = int(Op::Open), s = int(Op::Size), k = int(Op::Seek), r = int(Op::Read), w = int(Op::Write),
              y = int(Op::Sync), c = int(Op::Close);
    // Next block from 0: placement probe (open 1, size 1, close 1); load: probe (open 2, size 2, close 2), open 3,
    // a seek per 256 rows and reads counted per byte, close 3; settings: open 4, read 8194, close 4; temporary:
    // open 5, write, sync, close 5.
    QTest::newRow("next: the placement's size probe fails: start of the file")
        << 'd' << 0 << s << 1 << EIO << QString() << QString() << 0 << -1 << 0 << false;
    QTest::newRow("next: the placement's open fails: start of the file")
        << 'd' << 0 << o << 1 << EACCES << QString() << QString() << 0 << -1 << 0 << false;
    QTest::newRow("next: the load's size probe cannot open")
        << 'd' << 0 << o << 2 << EACCES << openError << QString() << 8192 << 0 << 8192 << false;
    QTest::newRow("next: the load's size query fails")
        << 'd' << 0 << s << 2 << EIO << openError << QString() << 8192 << 0 << 8192 << false;
    QTest::newRow("next: the load's open fails")
        << 'd' << 0 << o << 3 << EMFILE << openError << QString() << 8192 << 0 << 8192 << false;
    QTest::newRow("next: the first seek fails")
        << 'd' << 0 << k << 1 << EINVAL << QString() << QStringLiteral("I/O error 22.") << 8192 << 0 << 0 << false;
    QTest::newRow("next: the first read fails")
        << 'd' << 0 << r << 1 << EIO << QString() << QStringLiteral("I/O error 5.") << 8192 << 0 << 0 << false;
    QTest::newRow("next: a read after events were processed fails")
        << 'd' << 0 << r << 300 << EIO << QString() << QStringLiteral("I/O error 5.") << 8192 << 299 << 0 << false;
    QTest::newRow("next: the last row's seek fails")
        << 'd' << 0 << k << 33 << ESPIPE << QString() << QStringLiteral("I/O error 29.") << 8192 << 8192 << 0 << false;
    QTest::newRow("next: closing the read-only block fails: ignored")
        << 'd' << 0 << c << 3 << EIO << QString() << QString() << 8192 << -1 << 8192 << false;
    QTest::newRow("next: reading the old settings fails")
        << 'd' << 0 << r << 8194 << EIO << QString() << QStringLiteral("unable") << 8192 << -1 << 0 << false;
    QTest::newRow("next: opening the old settings fails")
        << 'd' << 0 << o << 4 << EIO << QString() << QStringLiteral("unable") << 8192 << -1 << 0 << false;
    QTest::newRow("next: creating the new settings fails")
        << 'd' << 0 << o << 5 << EIO << QString() << QStringLiteral("unable") << 8192 << -1 << 0 << false;
    QTest::newRow("next: writing the new settings fails")
        << 'd' << 0 << w << 1 << ENOSPC << QString() << QStringLiteral("unable") << 8192 << -1 << 0 << false;
    QTest::newRow("next: syncing the new settings fails")
        << 'd' << 0 << y << 1 << EIO << QString() << QStringLiteral("unable") << 8192 << -1 << 0 << false;
    QTest::newRow("next: closing the new settings fails")
        << 'd' << 0 << c << 5 << EIO << QString() << QStringLiteral("unable") << 8192 << -1 << 0 << false;
    // Previous block from 8192: load probe (open 1, size 1), open 2, reads; settings from open 3.
    QTest::newRow("previous: the load's open fails")
        << 'u' << 8192 << o << 2 << EACCES << openError << QString() << 0 << 0 << 0 << false;
    QTest::newRow("previous: a read in the middle fails")
        << 'u' << 8192 << r << 1000 << EIO << QString() << QStringLiteral("I/O error 5.") << 0 << 999 << 8192 << false;
    // End of file from 0: the size probe first, then as next.
    QTest::newRow("end: the size probe fails: start of the file")
        << 'e' << 0 << o << 1 << ENOENT << QString() << QString() << 0 << -1 << 0 << false;
    QTest::newRow("end: the last read fails")
        << 'e' << 0 << r << 8191 << EIO << QString() << QStringLiteral("I/O error 5.") << 11809 << 8190 << 0 << false;
    // Go to byte 9000 from 0: the size probe of the placement, then the load.
    QTest::newRow("go to: the size probe fails: start of the file")
        << 'g' << 0 << s << 1 << EIO << QString() << QString() << 0 << -1 << 0 << false;
    QTest::newRow("go to: the second read fails")
        << 'g' << 0 << r << 2 << EIO << QString() << QStringLiteral("I/O error 5.") << 9000 << 1 << 0 << false;
    // Open other.bin from 8192: size shown (open 1, size 1), load (open 2, size 2, open 3, reads), NameFile
    // (open 4, read 8194, open 5, write 1, sync 1, close 5), StartByte (open 6, read 8195, open 7, write 2).
    QTest::newRow("open: the size shown cannot be read, the block loads")
        << 'o' << 8192 << s << 1 << EIO << QString() << QString() << 0 << -1 << 0 << true;
    QTest::newRow("open: the load's open fails, the name is still stored")
        << 'o' << 8192 << o << 3 << EACCES << openError << QString() << 0 << 0 << 0 << true;
    QTest::newRow("open: the first read fails, nothing is stored")
        << 'o' << 8192 << r << 1 << EIO << QString() << QStringLiteral("I/O error 5.") << 0 << 0 << 8192 << false;
    QTest::newRow("open: the name's write fails, the start is not written")
        << 'o' << 8192 << w << 1 << ENOSPC << QString() << QStringLiteral("unable") << 0 << -1 << 8192 << false;
    QTest::newRow("open: the start's write fails after the name's")
        << 'o' << 8192 << w << 2 << ENOSPC << QString() << QStringLiteral("unable") << 0 << -1 << 8192 << true;
    QTest::newRow("open: the start's close fails after the name's")
        << 'o' << 8192 << c << 7 << EIO << QString() << QStringLiteral("unable") << 0 << -1 << 8192 << true;
}

void tst_FaultInjection::aFailingStepOfABlockCommandEndsInItsStatedOutcome()
{
    QFETCH(char, command);
    QFETCH(int, from);
    QFETCH(int, op);
    QFETCH(int, nth);
    QFETCH(int, err);
    QFETCH(QString, notice);
    QFETCH(QString, error);
    QFETCH(int, start);
    QFETCH(int, rows);
    QFETCH(int, stored);
    QFETCH(bool, nameStored);

    const std::string path = makeFile("f.bin", 20000);
    const std::string other = makeFile("other.bin", 20000);
    m_form = makeForm();
    openThroughTheDialog(path);
    if (from != 0)
        m_form->SpinButton1DownClick();
    QCOMPARE(m_form->startByte(), from);
    QCOMPARE(contents(settings()), settingsFor(path, from));
    m_dialogs->shown.clear();

    FileFaults::failNth(static_cast<Op>(op), nth, err);
    if (command == 'o')
        openThroughTheDialog(other);
    else
        blockCommand(command, "9000");
    FileFaults::reset();

    const std::vector<std::string> notices
        = notice.isEmpty() ? std::vector<std::string> {} : std::vector<std::string> { Cp1251::fromQString(notice) };
    std::vector<std::string> errors;
    if (error == QLatin1String("unable"))
        errors.push_back(unableToWrite());
    else if (!error.isEmpty())
        errors.push_back(error.toStdString());
    QCOMPARE(m_dialogs->texts("notice"), notices);
    QCOMPARE(m_dialogs->texts("error"), errors);
    QCOMPARE(m_form->startByte(), start);
    const std::string shown = command == 'o' ? other : path;
    const int wholeBlock = std::min(8193, 20000 - start);
    verifyRowsShowTheFile(shown, rows < 0 ? wholeBlock : rows);
    if (rows == 0)
        QCOMPARE(grid()->cell(0, 1), offsetText(from)); // row 1 keeps what it showed
    QCOMPARE(contents(settings()), settingsFor(nameStored ? other : path, stored));
    QCOMPARE(contents(path), pattern(20000));
    verifyNothingLeftOver();

    // Nothing stays half done: the next command works as ever.
    const std::size_t shownBefore = m_dialogs->shown.size();
    openThroughTheDialog(path);
    QCOMPARE(m_dialogs->shown.size(), shownBefore + 1); // the file dialog only
    verifyRowsShowTheFile(path, 8193);
    QCOMPARE(contents(settings()), settingsFor(path, 0));
}

void tst_FaultInjection::anErrorNumberShowsTheTextOfItsMeaning_data()
{
    QTest::addColumn<int>("err");
    QTest::addColumn<QString>("error");
    // EIO and EINTR share their numbers with the codes for a denied access and for too many open files.
    QTest::newRow("EIO") << EIO << QStringLiteral("I/O error 5.");
    QTest::newRow("EINTR") << EINTR << QStringLiteral("I/O error 4.");
    QTest::newRow("EACCES") << EACCES << QStringLiteral("File access denied.");
    QTest::newRow("EMFILE") << EMFILE << QStringLiteral("Too many open files.");
    QTest::newRow("ENOENT") << ENOENT << QStringLiteral("File not found.");
    QTest::newRow("ENOSPC") << ENOSPC << QStringLiteral("Disk full.");
    QTest::newRow("EOVERFLOW") << EOVERFLOW << QStringLiteral("I/O error 75.");
}

void tst_FaultInjection::anErrorNumberShowsTheTextOfItsMeaning()
{
    QFETCH(int, err);
    QFETCH(QString, error);
    const std::string path = makeFile("f.bin", 20000);
    m_form = makeForm();
    openThroughTheDialog(path);
    FileFaults::failNth(Op::Read, 1, err);
    guarded([this] { m_form->SpinButton1DownClick(); });
    QCOMPARE(m_dialogs->texts("error"), std::vector<std::string> { error.toStdString() });
}

void tst_FaultInjection::aFailingStepOfTheCommitEndsInItsStatedOutcome_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("err");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<QString>("error");
    QTest::addColumn<bool>("written"); // the byte is on disk after the failure

    // One commit: open, size, seek, write, sync, close of the edited file.
    QTest::newRow("open") << int(Op::Open) << EACCES << QStringLiteral("Ошибка при записи в файл") << QString()
                          << false;
    QTest::newRow("size query") << int(Op::Size) << EIO << QString() << QStringLiteral("I/O error 5.") << false;
    QTest::newRow("seek") << int(Op::Seek) << EINVAL << QString() << QStringLiteral("I/O error 22.") << false;
    QTest::newRow("write, disk full") << int(Op::Write) << ENOSPC << QString() << QStringLiteral("Disk full.") << false;
    QTest::newRow("write, quota") << int(Op::Write) << EDQUOT << QString() << QStringLiteral("Disk full.") << false;
    QTest::newRow("write, device error") << int(Op::Write) << EIO << QString() << QStringLiteral("I/O error 5.")
                                         << false;
    // The byte reached the file but may not be durable: reported, and written again by the next move.
    QTest::newRow("sync") << int(Op::Sync) << EIO << QString() << QStringLiteral("I/O error 5.") << true;
    // The byte was made durable before the close.
    QTest::newRow("close") << int(Op::Close) << EIO << QString() << QString() << true;
}

void tst_FaultInjection::aFailingStepOfTheCommitEndsInItsStatedOutcome()
{
    QFETCH(int, op);
    QFETCH(int, err);
    QFETCH(QString, notice);
    QFETCH(QString, error);
    QFETCH(bool, written);

    const std::string path = makeFile("f.bin", 100);
    m_form = makeForm(true);
    openThroughTheDialog(path);
    m_dialogs->shown.clear();
    tickWriteSwitch();
    grid()->setFocus();
    key(Qt::Key_Down);
    key(Qt::Key_Down);
    QCOMPARE(grid()->currentRow(), 3);
    typeInEditor(QStringLiteral("ab"));
    QVERIFY(m_form->editPending());

    FileFaults::failNth(static_cast<Op>(op), 1, err);
    key(Qt::Key_Down);
    FileFaults::reset();

    QByteArray edited = pattern(100);
    edited[2] = '\xAB';
    const bool raised = !error.isEmpty();
    QCOMPARE(m_dialogs->texts("error"),
        raised ? std::vector<std::string> { error.toStdString() } : std::vector<std::string> {});
    QCOMPARE(m_dialogs->texts("notice"),
        notice.isEmpty() ? std::vector<std::string> {} : std::vector<std::string> { Cp1251::fromQString(notice) });
    QCOMPARE(contents(path), written ? edited : pattern(100));
    verifyNothingLeftOver();
    if (raised) {
        // The error stops the commit: the edit stays pending as typed and the move is abandoned, so the next
        // move tries again.
        QVERIFY(m_form->editPending());
        QCOMPARE(grid()->currentRow(), 3);
        QCOMPARE(grid()->cell(1, 3), std::string("ab"));
        QCOMPARE(grid()->cell(2, 3), valueTexts(static_cast<std::uint8_t>(patternByte(2)))[1]);
        key(Qt::Key_Down);
        QCOMPARE(contents(path), edited);
        QCOMPARE(m_dialogs->texts("error").size(), std::size_t(1));
    } else if (!notice.isEmpty()) {
        // Nothing written: the row shows the converted value, and the edit is over.
        QCOMPARE(grid()->cell(2, 3), std::string("171"));
    }
    QVERIFY(!m_form->editPending());
    QCOMPARE(grid()->currentRow(), 4);
    QCOMPARE(grid()->cell(1, 3), std::string("AB"));
}

void tst_FaultInjection::aCommitThatFailsBeforeABlockChangeStopsTheCommand()
{
    const std::string path = makeFile("f.bin", 20000);
    m_form = makeForm(true);
    openThroughTheDialog(path);
    m_dialogs->shown.clear();
    tickWriteSwitch();
    grid()->setFocus();
    key(Qt::Key_Down);
    typeInEditor(QStringLiteral("cd"));
    QVERIFY(m_form->editPending());

    FileFaults::failNth(Op::Write, 1, ENOSPC);
    guarded([this] { m_form->SpinButton1DownClick(); });
    FileFaults::reset();

    // The edit is kept, and the block it belongs to stays: loading another would give its row another offset.
    QCOMPARE(m_dialogs->texts("error"), std::vector<std::string> { "Disk full." });
    QVERIFY(m_form->editPending());
    QCOMPARE(m_form->startByte(), 0);
    QCOMPARE(grid()->rowCount(), 8194);
    QCOMPARE(grid()->cell(1, 2), std::string("cd"));
    QCOMPARE(contents(path), pattern(20000));
    QCOMPARE(contents(settings()), settingsFor(path, 0));
    verifyNothingLeftOver();

    guarded([this] { m_form->SpinButton1DownClick(); });
    QByteArray edited = pattern(20000);
    edited[1] = '\xCD';
    QCOMPARE(contents(path), edited);
    QCOMPARE(m_form->startByte(), 8192);
    verifyRowsShowTheFile(path, 8193);
}

void tst_FaultInjection::aFailingStepOfTheReportIsNeverReportedDone_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("nth");
    QTest::addColumn<int>("err");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("pieces"); // pieces of the report that reached the file; -1 all, -2 no file

    // 8193 rows make a report of several pieces of 64 KiB.
    QTest::newRow("create, access denied")
        << int(Op::Open) << 1 << EACCES << QStringLiteral("File access denied.") << -2;
    QTest::newRow("create, too many files")
        << int(Op::Open) << 1 << EMFILE << QStringLiteral("Too many open files.") << -2;
    QTest::newRow("first write, disk full") << int(Op::Write) << 1 << ENOSPC << QStringLiteral("Disk full.") << 0;
    QTest::newRow("third write, device error") << int(Op::Write) << 3 << EIO << QStringLiteral("I/O error 5.") << 2;
    QTest::newRow("close") << int(Op::Close) << 1 << EIO << QStringLiteral("I/O error 5.") << -1;
}

void tst_FaultInjection::aFailingStepOfTheReportIsNeverReportedDone()
{
    QFETCH(int, op);
    QFETCH(int, nth);
    QFETCH(int, err);
    QFETCH(QString, error);
    QFETCH(int, pieces);

    const std::string path = makeFile("f.bin", 20000);
    const std::string whole = m_dir->filePath(QStringLiteral("whole.TXT")).toStdString();
    const std::string report = m_dir->filePath(QStringLiteral("report.TXT")).toStdString();
    m_form = makeForm();
    openThroughTheDialog(path);
    m_dialogs->fileAnswers.push_back(whole);
    m_form->N1Click();
    m_dialogs->shown.clear();

    FileFaults::failNth(static_cast<Op>(op), nth, err);
    m_dialogs->fileAnswers.push_back(report);
    guarded([this] { m_form->N1Click(); });
    FileFaults::reset();

    QCOMPARE(m_dialogs->texts("error"), std::vector<std::string> { error.toStdString() });
    QVERIFY(m_dialogs->texts("notice").empty());
    verifyNothingLeftOver();
    if (pieces == -2) {
        QVERIFY(!QFile::exists(QString::fromStdString(report)));
        return;
    }
    // What was written stays; it is the beginning of the report (the date line may differ by a second).
    const QByteArray kept = contents(report);
    const QByteArray full = contents(whole);
    const qsizetype body = full.indexOf('\n');
    if (pieces == 0) {
        QCOMPARE(kept, QByteArray());
    } else if (pieces < 0) {
        QCOMPARE(kept.mid(kept.indexOf('\n')), full.mid(body));
    } else {
        QVERIFY(kept.size() >= pieces * 64 * 1024 && kept.size() < (pieces + 1) * 64 * 1024);
        QVERIFY(kept.endsWith("\r\n"));
        QVERIFY(full.mid(body).startsWith(kept.mid(kept.indexOf('\n'))));
    }
}

void tst_FaultInjection::aFailingStepOfTheRestoreStillShowsTheWindow_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("nth");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("sizeShown");
    QTest::addColumn<int>("rows"); // -1 the whole block from 4096

    // The restore: NameFile read (open 1, read 1), StartByte read (open 2, read 2), size shown (open 3, size 1),
    // the load (open 4, size 2, open 5, reads from 3).
    QTest::newRow("the name cannot be read: an empty window")
        << int(Op::Read) << 1 << QString() << QStringLiteral("0") << 0;
    QTest::newRow("the start cannot be read: the file from its start")
        << int(Op::Open) << 2 << QString() << QStringLiteral("20000") << -2;
    QTest::newRow("the size shown cannot be read") << int(Op::Size) << 1 << QString() << QStringLiteral("-1") << -1;
    QTest::newRow("a read of the block fails")
        << int(Op::Read) << 7 << QStringLiteral("I/O error 5.") << QStringLiteral("20000") << 4;
}

void tst_FaultInjection::aFailingStepOfTheRestoreStillShowsTheWindow()
{
    QFETCH(int, op);
    QFETCH(int, nth);
    QFETCH(QString, error);
    QFETCH(QString, sizeShown);
    QFETCH(int, rows);

    const std::string path = makeFile("f.bin", 20000);
    QFile ini(QString::fromStdString(settings()));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(settingsFor(path, 4096));
    ini.close();

    FileFaults::failNth(static_cast<Op>(op), nth, EIO);
    m_form = makeForm();
    FileFaults::reset();

    QCOMPARE(m_dialogs->texts("error"),
        error.isEmpty() ? std::vector<std::string> {} : std::vector<std::string> { error.toStdString() });
    QVERIFY(m_dialogs->texts("notice").empty());
    QCOMPARE(m_form->findChild<QLabel*>(QStringLiteral("LabelSizeF"))->text(), sizeShown);
    if (rows == 0) {
        QCOMPARE(m_form->currentFile(), std::string());
        QCOMPARE(grid()->rowCount(), 2);
    } else {
        QCOMPARE(m_form->currentFile(), path);
        QCOMPARE(m_form->startByte(), rows == -2 ? 0 : 4096);
        verifyRowsShowTheFile(path, rows < 0 ? 8193 : rows);
    }
    // A restore only reads the settings.
    QCOMPARE(contents(settings()), settingsFor(path, 4096));
    verifyNothingLeftOver();
}

void tst_FaultInjection::aSettingsFileRewrittenInPlaceOnAFullDiskStaysWhole()
{
    // A directory that takes no new file makes the settings write rewrite the file in place. When the disk fills
    // up halfway through, the file must still hold its old lines, not the new text cut off ("StartByte=819").
    const std::string ini = settings();
    const QByteArray before = settingsFor("/data/f.bin", 0);
    QFile f(QString::fromStdString(ini));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(before);
    f.close();
    ::chmod(QFile::encodeName(m_dir->path()).constData(), 0755);
    ::chmod(ini.c_str(), 0666);
    const int result = runAsNobody([&] {
        limitFileSize(static_cast<rlim_t>(before.size())); // the file may not grow: as on a full disk
        try {
            SettingsWriteInt(ini, "File", "StartByte", 8192);
            return 1;
        } catch (const Exception& error) {
            return error.message() == "Unable to write to " + ini ? 0 : 2;
        }
    });
    QCOMPARE(result, 0);
    QCOMPARE(contents(ini), before);
    // With room enough, the same rewrite succeeds.
    QCOMPARE(runAsNobody([&] {
        try {
            SettingsWriteInt(ini, "File", "StartByte", 8192);
            return 0;
        } catch (const Exception&) {
            return 1;
        }
    }),
        0);
    QCOMPARE(contents(ini), settingsFor("/data/f.bin", 8192));
}

void tst_FaultInjection::anEditOfARowLeftFromAFailedLoadIsNeverWrittenElsewhere_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("nth");
    QTest::addColumn<bool>("ticked");
    // Next block from 0: the load's probe is open 2, its first read is read 1.
    QTest::newRow("the load could not open the file") << int(Op::Open) << 2 << true;
    QTest::newRow("the load's first read failed") << int(Op::Read) << 1 << true;
    QTest::newRow("the load's first read failed, switch cleared") << int(Op::Read) << 1 << false;
}

void tst_FaultInjection::anEditOfARowLeftFromAFailedLoadIsNeverWrittenElsewhere()
{
    // After the failed load, row 1 still shows offset 0 while the start is 8192: an edit of it belongs to no
    // byte of the new block, and must not land at offset 8192.
    QFETCH(int, op);
    QFETCH(int, nth);
    QFETCH(bool, ticked);
    const std::string path = makeFile("f.bin", 20000);
    m_form = makeForm(true);
    openThroughTheDialog(path);
    auto* box = m_form->findChild<QCheckBox*>(QStringLiteral("CheckBox1"));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    FileFaults::failNth(static_cast<Op>(op), nth, EIO);
    guarded([this] { m_form->SpinButton1DownClick(); });
    FileFaults::reset();
    QCOMPARE(m_form->startByte(), 8192);
    QCOMPARE(grid()->rowCount(), 2);
    QCOMPARE(grid()->cell(0, 1), offsetText(0));
    m_dialogs->shown.clear();

    grid()->setFocus();
    typeInEditor(QStringLiteral("ab"));
    QVERIFY(m_form->editPending());
    if (!ticked)
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    grid()->setFocus();
    key(Qt::Key_Return);
    key(Qt::Key_Right);

    QVERIFY(!m_form->editPending());
    QCOMPARE(contents(path), pattern(20000));
    QCOMPARE(m_dialogs->texts("notice"),
        ticked ? std::vector<std::string> { Cp1251::fromUtf8("Ошибка при записи в файл") }
               : std::vector<std::string> {});
    QCOMPARE(grid()->cell(0, 1), offsetText(0));
    if (!ticked) // nothing to show from the file for a row of no block: it keeps what was typed, converted
        QCOMPARE(grid()->cell(1, 1), std::string("AB"));
}

QTEST_MAIN(tst_FaultInjection)
#include "tst_FaultInjection.moc"
