#include "mainwindow/PatchCommand.h"
#include "mainwindow/TForm1.h"
#include "support/Cp1251.h"
#include "support/FileFaults.h"
#include "support/StrHF.h"
#include "tests/FreshProcess.h"
#include "tests/ScriptedDialogs.h"
#include "tests/mainwindow/WindowFixture.h"
#include "ui/EventGuard.h"
#include "ui/grid/ByteGrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <array>
#include <cerrno>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

// Every file operation a command makes, failed in turn through the file layer's seam: each failure must end
// in the outcome the command promises (its message or error box, the rows read so far, the pending edit, the
// settings file, the data file), with every file closed and the cursor back, and never in a success.
namespace {

using Op = FileFaults::Op;

// f.bin: "MZ!" at 12000 for the find, and at 16000 too, so that a replace writes two runs.
QByteArray original()
{
    return pattern(20000).replace(12000, 3, "MZ!").replace(16000, 3, "MZ!");
}

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

// Inputs: the settings file, "written" or "refused": how storing the start byte 8192 must end.
const FreshProcess::Check storeStartByte("storeStartByte", [](const FreshProcess::Inputs& inputs) -> std::string {
    const std::string& ini = inputs.at(0);
    try {
        SettingsWriteInt(ini, "File", "StartByte", 8192);
    } catch (const Exception& error) {
        if (inputs.at(1) == "refused" && error.message() == "Unable to write to " + ini)
            return {};
        return "the write failed: " + error.message();
    }
    return inputs.at(1) == "written" ? std::string() : "the write was not refused";
});

} // namespace

class tst_FaultInjection : public QObject, protected WindowFixture {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void everyFailingStepOfACommandEndsInAStatedOutcome_data();
    void everyFailingStepOfACommandEndsInAStatedOutcome();
    void anErrorNumberShowsTheTextOfItsMeaning_data();
    void anErrorNumberShowsTheTextOfItsMeaning();
    void aCommitThatFailsBeforeABlockChangeStopsTheCommand();
    void aSettingsFileRewrittenInPlaceOnAFullDiskStaysWhole();

private:
    // What a command left: the messages shown, the block, the files.
    struct Outcome {
        std::vector<std::string> notices;
        std::vector<std::string> errors;
        Address start = 0;
        int rowCount = 0;
        std::string shownFile;
        QByteArray settings;
        QByteArray data;
        QByteArray report;
        bool pending = false;
        int currentRow = 0;
        // The data and settings files as the command found them.
        QByteArray dataBefore;
        QByteArray settingsBefore;
    };
    // Sets the files and the window up for a command by letter (see the table), runs it, failing the nth unit of
    // op when asked, and tells what it left.
    Outcome run(char command, std::optional<std::pair<FileFaults::Op, int>> failing);
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

tst_FaultInjection::Outcome tst_FaultInjection::run(char command, std::optional<std::pair<Op, int>> failing)
{
    // The window starts on f.bin at 8192 for previous, at 4096 for the restore, else at 0.
    const std::string path = m_dir->filePath(QStringLiteral("f.bin")).toStdString();
    put(path, original());
    makeFile("other.bin", 20000);
    const std::string report = m_dir->filePath(QStringLiteral("report.TXT")).toStdString();
    QFile::remove(QString::fromStdString(report));
    put(settings(), settingsFor(path, command == 'u' ? 8192 : (command == 's' ? 4096 : 0)));
    m_form.reset();
    m_dialogs->shown.clear();
    m_dialogs->promptAnswers.clear();
    m_dialogs->fileAnswers.clear();
    QByteArray dataBefore, settingsBefore;
    const auto arm = [&] {
        dataBefore = contents(path);
        settingsBefore = contents(settings());
        FileFaults::reset();
        if (failing)
            FileFaults::failNth(failing->first, failing->second, EIO);
        else
            FileFaults::startListing();
    };
    if (command == 's') {
        arm();
        m_form = makeForm();
    } else {
        // The writing commands work on the window as a user leaves it: writing on, bytes on the clipboard (pasted at
        // row 3, filled over rows 3 to 6), a value typed in the value window at row 3; a patch saved, an undo or a
        // redo after the writes it needs. The command line's patch holds two runs, and is applied before a revert.
        const bool writes = QByteArray("cplhvzyw").contains(command);
        m_form = makeForm(command == 'f' || command == 'k' || writes);
        m_dialogs->fileAnswers
            = { command == 'o' ? m_dir->filePath(QStringLiteral("other.bin")).toStdString() : report };
        m_dialogs->promptAnswers = { std::string(command == 'g' ? "9000" : "\"MZ!\""), std::string("\"mz?\"") };
        auto* bytes = new QMimeData;
        bytes->setData(QStringLiteral("application/octet-stream"), QByteArray("\x01\x02"));
        QGuiApplication::clipboard()->setMimeData(bytes);
        const std::string patch = m_dir->filePath(QStringLiteral("p.patch")).toStdString();
        put(patch, "quillmoor-patch 1\n00000002 " + original().mid(2, 2).toHex() + " 0102\n00003E80 4D5A21 6D7A3F\n");
        const std::map<char, QKeyCombination> commandKeys { { 'p', Qt::CTRL | Qt::Key_V },
            { 'l', Qt::CTRL | Qt::Key_V }, { 'h', Qt::CTRL | Qt::Key_H }, { 'z', Qt::CTRL | Qt::Key_Z },
            { 'y', Qt::CTRL | Qt::Key_Y }, { 'w', Qt::CTRL | Qt::SHIFT | Qt::Key_S } };
        QLineEdit* valueEditor = nullptr;
        if (writes) {
            tickWriteSwitch();
            focusCell(1, 3);
        }
        if (command == 'c')
            typeInEditor(QStringLiteral("ab"));
        for (int i = 0; i < (command == 'l' ? 3 : 0); ++i)
            key(Qt::Key_Down, Qt::ShiftModifier);
        if (command == 'w')
            key(Qt::Key_V, Qt::ControlModifier);
        if (command == 'z' || command == 'y')
            key(Qt::Key_H, Qt::ControlModifier);
        if (command == 'y')
            key(Qt::Key_Z, Qt::ControlModifier);
        if (command == '-')
            (void)PatchCommand::run(PatchCommand::Action::Apply, patch, path);
        if (command == 'k') {
            grid()->setFocus();
            key(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        }
        if (command == 'v') {
            key(Qt::Key_F12);
            auto* table = m_form->findChild<QTableWidget*>(QStringLiteral("ValueTable"));
            table->setCurrentCell(4, 1); // int32, little-endian
            table->editItem(table->currentItem());
            valueEditor = table->viewport()->findChild<QLineEdit*>();
            valueEditor->setText(QStringLiteral("305419896"));
        }
        m_dialogs->shown.clear();
        arm();
        guarded([&] {
            switch (command) {
            case 'c':
                key(Qt::Key_Down);
                break;
            case 'o':
                m_form->SpeedButton1Click();
                break;
            case 'f':
                grid()->setFocus();
                key(Qt::Key_F, Qt::ControlModifier);
                break;
            case 'r':
                m_form->N1Click();
                break;
            case 'v':
                QTest::keyClick(valueEditor, Qt::Key_Return);
                QCoreApplication::processEvents(); // the delegate commits through a queued call
                break;
            case 'k':
                m_form->findChild<QRadioButton*>(QStringLiteral("SumWholeFile"))->click();
                QCoreApplication::processEvents(); // the sum starts from a timer
                break;
            case '+':
            case '-': {
                // The command line's answer, as a notice when done and an error box when not.
                const auto answer = PatchCommand::run(
                    command == '+' ? PatchCommand::Action::Apply : PatchCommand::Action::Revert, patch, path);
                m_dialogs->shown.push_back({ answer.status == 2 ? "error" : "notice", {}, answer.message, {} });
                break;
            }
            default:
                if (const auto keys = commandKeys.find(command); keys != commandKeys.end())
                    key(keys->second.key(), keys->second.keyboardModifiers());
                else
                    blockCommand(command, "9000");
            }
        });
    }
    if (failing)
        FileFaults::reset();
    return { m_dialogs->texts("notice"), m_dialogs->texts("error"), m_form->startByte(), grid()->rowCount(),
        m_form->currentFile(), contents(settings()), contents(path), contents(report), m_form->editPending(),
        grid()->currentRow(), dataBefore, settingsBefore };
}

void tst_FaultInjection::everyFailingStepOfACommandEndsInAStatedOutcome_data()
{
    QTest::addColumn<char>("command");
    // What a failure may end in besides an outcome it leaves as it was: "open" the open error, "write" the write
    // error, "io" an I/O error in the error box (the command line: status 2 with the error's text), "unable" the
    // settings write error.
    QTest::addColumn<QStringList>("kinds");
    const QStringList block { "open", "io", "unable" };
    QTest::newRow("next block") << 'd' << block;
    QTest::newRow("previous block") << 'u' << block;
    QTest::newRow("end of the file") << 'e' << block;
    QTest::newRow("go to a byte") << 'g' << block;
    QTest::newRow("open another file") << 'o' << block;
    QTest::newRow("find") << 'f' << block;
    const QStringList write { "write", "io" };
    QTest::newRow("commit a typed byte") << 'c' << write;
    QTest::newRow("save the report") << 'r' << QStringList { "io" };
    QTest::newRow("restore at the start") << 's' << QStringList { "open", "io" };
    QTest::newRow("paste") << 'p' << write;
    QTest::newRow("fill") << 'l' << write;
    QTest::newRow("replace") << 'h' << QStringList { "open", "write", "io", "unable" };
    QTest::newRow("a typed value") << 'v' << write;
    QTest::newRow("undo") << 'z' << write;
    QTest::newRow("redo") << 'y' << write;
    QTest::newRow("save a patch") << 'w' << QStringList { "io" };
    QTest::newRow("checksums of the whole file") << 'k' << QStringList { "open", "io" };
    QTest::newRow("--apply") << '+' << QStringList { "open", "io" };
    QTest::newRow("--revert") << '-' << QStringList { "open", "io" };
}

void tst_FaultInjection::everyFailingStepOfACommandEndsInAStatedOutcome()
{
    // Every step the command takes on a file, failed in turn through the seam (the first byte of each read): the
    // command ends in the outcome it promises for that failure, or, where a failure leaves nothing to lose (a
    // close after the data was synced), exactly as without it. Nothing is ever reported done that was not, no
    // file stays open, the cursor is back, the settings file is whole, the data file holds all of its old bytes or,
    // once they were synced, all of its new ones, the history holds what the file holds, and the next command works.
    QFETCH(char, command);
    QFETCH(QStringList, kinds);
    const Outcome clean = run(command, std::nullopt);
    const std::vector<FileFaults::Step> steps = FileFaults::steps();
    FileFaults::reset();
    const std::string path = m_dir->filePath(QStringLiteral("f.bin")).toStdString();
    const QByteArray before = clean.settingsBefore;
    // The data file's sync comes first among a write command's syncs.
    const auto synced
        = std::find_if(steps.begin(), steps.end(), [](auto s) { return s.op == Op::Sync; }) - steps.begin();
    const std::string unable = "Unable to write to " + settings() + ".";
    // A report after its date line, which may differ by a second.
    const auto body = [](const QByteArray& report) { return report.mid(report.indexOf('\n') + 1); };
    QStringList seenKinds;
    std::array<int, FileFaults::OpCount> unitsBefore {};
    int loadReads = 0; // bytes the load read before the failing step
    bool settingsBegun = false;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const auto op = steps[i].op;
        const int nth = unitsBefore[static_cast<std::size_t>(op)] + 1;
        unitsBefore[static_cast<std::size_t>(op)] += static_cast<int>(steps[i].units);
        settingsBegun = settingsBegun || op == Op::Resolve;
        const QString step = QStringLiteral("step %1 (op %2, unit %3)").arg(i).arg(int(op)).arg(nth);
        const Outcome failed = run(command, std::pair { op, nth });
        if (op == Op::Read && !settingsBegun)
            loadReads += static_cast<int>(steps[i].units);
        const int readBefore = loadReads - static_cast<int>(op == Op::Read ? steps[i].units : 0);

        std::vector<std::string> messages = failed.errors;
        for (const std::string& notice : failed.notices)
            if (std::find(clean.notices.begin(), clean.notices.end(), notice) == clean.notices.end())
                messages.push_back(notice);
        QVERIFY2(messages.size() <= 1, qPrintable(step));
        QVERIFY2(descriptorsUnder(m_dir->path()).isEmpty(), qPrintable(step));
        QVERIFY2(m_form->cursor().shape() == Qt::ArrowCursor, qPrintable(step));
        QVERIFY2(QDir(m_dir->path()).entryList({ QStringLiteral(".Quillmoor*") }, QDir::Hidden | QDir::Files).isEmpty(),
            qPrintable(step));
        if (!QByteArray("c+-").contains(command)
            && (failed.rowCount > 2 || grid()->cell(0, 1) == offsetText(failed.start)))
            verifyRowsShowTheFile(failed.shownFile, failed.rowCount - 1);
        if (command == 's') // a start only reads the settings
            QVERIFY2(failed.settings == before, qPrintable(step));
        QVERIFY2(
            failed.data == failed.dataBefore || (failed.data == clean.data && (messages.empty() || int(i) > synced)),
            qPrintable(step));
        QVERIFY2(op != Op::Sync || !messages.empty(), qPrintable(step)); // what was not made durable is not done
        // A patch is saved whole, or not at all and said so.
        QVERIFY2(command != 'w'
                || (failed.report == "<missing>" ? !messages.empty()
                                                 : body(body(failed.report)) == body(body(clean.report))),
            qPrintable(step));
        // What the file holds and the history agree: one undo takes the file back to what it was before any write.
        if (QByteArray("plhvzyw").contains(command)) {
            QApplication::setActiveWindow(m_form.get());
            grid()->setFocus();
            key(Qt::Key_Z, Qt::ControlModifier);
            QVERIFY2(contents(path) == original(), qPrintable(step));
        }
        const bool asClean = failed.start == clean.start && failed.rowCount == clean.rowCount
            && failed.settings == clean.settings && failed.data == clean.data && failed.notices == clean.notices
            && failed.pending == clean.pending;
        if (messages.empty()) {
            // Left as it was: the command's own outcome, to the byte; a start that could not read its settings
            // shows what it could read, as for a missing settings file.
            QVERIFY2(asClean || (command == 's' && (failed.rowCount == 2 || failed.start == 0)), qPrintable(step));
            if (command == 'r')
                QVERIFY2(body(failed.report) == body(clean.report), qPrintable(step));
            continue;
        }
        QString kind = QStringLiteral("io");
        if (messages.front() == cp("Ошибка при открытии файла")
            || messages.front().starts_with(cp("не удаётся открыть файл: ") + path + ": ")) {
            kind = QStringLiteral("open");
            // Nothing read, row 1 keeping what it showed, and the start placed stored; or, when a search or the
            // command line could not open the file, nothing moved.
            const bool searchFailed
                = QByteArray("fhk+-").contains(command) && failed.start == 0 && failed.settings == before;
            QVERIFY2(searchFailed || failed.rowCount == 2, qPrintable(step));
            QVERIFY2(searchFailed || command == 's' || failed.settings == settingsFor(failed.shownFile, failed.start),
                qPrintable(step));
        } else if (messages.front() == cp("Ошибка при записи в файл")) {
            kind = QStringLiteral("write");
            // The file cannot be written: the edit is over, the row shows what was typed, converted.
            QVERIFY2(command != 'c' || (!failed.pending && grid()->cell(1, 3) == "AB"), qPrintable(step));
        } else if (messages.front() == unable) {
            kind = QStringLiteral("unable");
            // The block is shown; the settings file is the old one, or the new one when only making its rename
            // durable failed, or, after an open, has the new name only.
            QVERIFY2(failed.start == clean.start && failed.rowCount == clean.rowCount, qPrintable(step));
            QVERIFY2(failed.settings == before || failed.settings == clean.settings
                    || (command == 'o' && failed.settings == settingsFor(failed.shownFile, 0)),
                qPrintable(step));
        } else {
            QVERIFY2(messages.front().starts_with("I/O error 5")
                    || (QByteArray("+-").contains(command) && messages.front().ends_with(cp("ошибка ввода-вывода 5"))),
                qPrintable(step + QLatin1Char(' ') + messages.front().c_str()));
            if (command != 's')
                QVERIFY2(failed.settings == before, qPrintable(step));
            // A load shows exactly the rows before the byte that failed.
            if (QByteArray("duego").contains(command) && op == Op::Read && !settingsBegun)
                QVERIFY2(failed.rowCount == std::max(2, readBefore + 1), qPrintable(step));
            if (command == 'c') {
                // The commit stops: the edit stays pending as typed and the move is abandoned, so the next move
                // tries again.
                QVERIFY2(failed.pending && failed.currentRow == 3 && grid()->cell(1, 3) == "ab", qPrintable(step));
                key(Qt::Key_Down);
                QVERIFY2(contents(path) == clean.data, qPrintable(step));
            }
            // What a report wrote before the failure stays: the beginning of the report, or nothing.
            if (command == 'r')
                QVERIFY2(failed.report == "<missing>" || body(clean.report).startsWith(body(failed.report)),
                    qPrintable(step));
        }
        if (!seenKinds.contains(kind))
            seenKinds << kind;
    }
    seenKinds.sort();
    kinds.sort();
    QCOMPARE(seenKinds, kinds);

    // Nothing stays half done: the next command works as ever.
    m_dialogs->fileAnswers.clear();
    openThroughTheDialog(path);
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
    // Root's write runs as another user, to whom the folder is closed; anyone else closes it to themselves.
    ::chmod(QFile::encodeName(m_dir->path()).constData(), ::geteuid() == 0 ? 0755 : 0555);
    ::chmod(ini.c_str(), 0666);
    const FreshProcess::Conditions fullDisk = FreshProcess::withoutRoot().limitFileSize(rlim_t(before.size()));
    std::string problem = storeStartByte.problem({ ini, "refused" }, fullDisk);
    QVERIFY2(problem.empty(), problem.c_str());
    QCOMPARE(contents(ini), before);
    // With room enough, the same rewrite succeeds.
    problem = storeStartByte.problem({ ini, "written" }, FreshProcess::withoutRoot());
    QVERIFY2(problem.empty(), problem.c_str());
    QCOMPARE(contents(ini), settingsFor("/data/f.bin", 8192));
}

FRESH_PROCESS_TEST_MAIN(tst_FaultInjection)
#include "tst_FaultInjection.moc"
