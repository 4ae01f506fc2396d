#include "mainwindow/TForm1.h"
#include "support/Cp1251.h"
#include "support/FileHandle.h"
#include "support/StrHF.h"
#include "tests/ScriptedDialogs.h"
#include "tests/mainwindow/WindowFixture.h"
#include "ui/EventGuard.h"
#include "ui/grid/ByteGrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// What a user or another program can put in the window's way: paths that name no regular file, files that
// change between the load and the write, damaged settings files and stored start offsets of every form. Each
// must end in a clear message, without a hang, a crash or a byte written outside the file.
namespace {

// A command that blocks in the kernel never returns to the test's own timers: an alarm ends the run instead,
// so a hang is a failure with a message rather than a timeout.
class Watchdog {
public:
    Watchdog()
    {
        ::signal(SIGALRM, [](int) {
            const char message[] = "FAIL: a command blocked for 20 seconds\n";
            (void)!::write(2, message, sizeof message - 1);
            ::_exit(3);
        });
        ::alarm(20);
    }
    ~Watchdog() { ::alarm(0); }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
};

} // namespace

class tst_BadInput : public QObject, protected WindowFixture {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void aPathThatNamesNoRegularFileIsRefusedAtOnce_data();
    void aPathThatNamesNoRegularFileIsRefusedAtOnce();
    void aReportToWhatIsNoRegularFileNeverHangs_data();
    void aReportToWhatIsNoRegularFileNeverHangs();
    void aFileChangedBeforeTheCommitIsNeverWrittenOutside_data();
    void aFileChangedBeforeTheCommitIsNeverWrittenOutside();
    void aFileThatShrinksDuringALoadKeepsTheRowsRead();
    void aDamagedSettingsFileStartsTheWindowWithWhatItCanRead_data();
    void aDamagedSettingsFileStartsTheWindowWithWhatItCanRead();
    void aNameWithANulByteOpensNoOtherFile();
    void aRememberedFifoDoesNotHoldUpTheStart();
    void aSettingsPathThatNamesNoRegularFileIsLeftAlone_data();
    void aSettingsPathThatNamesNoRegularFileIsLeftAlone();
    void aStoredStartOfEveryFormStartsTheWindowAsStated_data();
    void aStoredStartOfEveryFormStartsTheWindowAsStated();
    void anEditOfTheEmptyRowAfterAnOddStartWritesNothing_data();
    void anEditOfTheEmptyRowAfterAnOddStartWritesNothing();

private:
    std::string path(const char* name) const { return m_dir->filePath(QString::fromLatin1(name)).toStdString(); }
    QString sizeShown() const { return m_form->findChild<QLabel*>(QStringLiteral("LabelSizeF"))->text(); }
    void typeIntoThePathBox(const std::string& file);
};

void tst_BadInput::init()
{
    setUpWindowTest();
}

void tst_BadInput::cleanup()
{
    tearDownWindowTest();
}

void tst_BadInput::typeIntoThePathBox(const std::string& file)
{
    auto* box = m_form->findChild<QLineEdit*>(QStringLiteral("EditNameF"));
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, QFile::decodeName(QByteArray::fromStdString(file)));
    QCOMPARE(m_form->currentFile(), file);
}

void tst_BadInput::aPathThatNamesNoRegularFileIsRefusedAtOnce_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<bool>("typed"); // typed into the path box, else chosen in the open dialog
    QTest::addColumn<QString>("size"); // shown after the open command
    for (const bool typed : { true, false }) {
        const char* how = typed ? "typed: " : "chosen: ";
        auto row = [&](const char* name, const char* kind, const char* size) {
            QTest::newRow((QByteArray(how) + name).constData())
                << QByteArray(kind) << typed << QString::fromLatin1(size);
        };
        row("a directory", "dir", "-1");
        row("a FIFO nobody writes to", "fifo", "-1");
        row("a FIFO held open with data in it", "held fifo", "-1");
        row("a symbolic link to a FIFO", "link to fifo", "-1");
        row("/dev/null", "/dev/null", "-1");
        row("/dev/zero", "/dev/zero", "-1");
        row("a missing file", "missing", "-1");
        row("an empty file", "empty", "0");
        row("a path longer than the system takes", "long", "-1");
    }
}

void tst_BadInput::aPathThatNamesNoRegularFileIsRefusedAtOnce()
{
    QFETCH(QByteArray, kind);
    QFETCH(bool, typed);
    QFETCH(QString, size);

    const std::string good = makeFile("good.bin", 20000);
    const std::string fifo = path("fifo");
    QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
    int holder = -1;
    std::string bad;
    if (kind == "dir") {
        bad = m_dir->path().toStdString();
    } else if (kind == "fifo") {
        bad = fifo;
    } else if (kind == "held fifo") {
        bad = fifo;
        holder = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        QVERIFY(holder >= 0);
        QCOMPARE(::write(holder, "abc", 3), ssize_t(3));
    } else if (kind == "link to fifo") {
        bad = path("link");
        QCOMPARE(::symlink(fifo.c_str(), bad.c_str()), 0);
    } else if (kind == "missing") {
        bad = path("missing.bin");
    } else if (kind == "empty") {
        bad = makeFile("empty.bin", 0);
    } else if (kind == "long") {
        bad = m_dir->path().toStdString() + "/" + std::string(5000, 'n');
    } else {
        bad = kind.toStdString();
    }

    m_form = makeForm(true);
    openThroughTheDialog(good);
    m_form->SpinButton1DownClick();
    QCOMPARE(m_form->startByte(), 8192);
    m_dialogs->shown.clear();
    {
        const Watchdog watchdog;
        if (typed) {
            typeIntoThePathBox(bad);
            guarded([this] { m_form->N3Click(); });
        } else {
            openThroughTheDialog(bad);
        }
    }

    QCOMPARE(m_dialogs->texts("notice"), std::vector<std::string> { cp("Ошибка при открытии файла") });
    QVERIFY(m_dialogs->texts("error").empty());
    QCOMPARE(m_form->startByte(), 0);
    QCOMPARE(grid()->rowCount(), 2);
    QCOMPARE(grid()->cell(0, 1), offsetText(8192)); // row 1 keeps what it showed
    QCOMPARE(m_form->currentFile(), bad);
    // The computed start is stored; only the open command stores the name.
    QCOMPARE(SettingsReadInt(settings(), "File", "StartByte", -1), 0);
    QVERIFY(contents(settings()).contains("NameFile=" + QByteArray::fromStdString(typed ? good : bad) + "\r\n"));
    if (!typed)
        QCOMPARE(sizeShown(), size);
    QCOMPARE(contents(good), pattern(20000));
    if (holder >= 0) {
        char buffer[8] = {};
        QCOMPARE(::read(holder, buffer, sizeof buffer), ssize_t(3)); // nothing was taken from the FIFO
        ::close(holder);
    }
}

void tst_BadInput::aReportToWhatIsNoRegularFileNeverHangs_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QString>("error"); // empty: the report is done
    // A FIFO without a reader cannot be opened (ENXIO) rather than freeze the window until someone reads; with a
    // reader, the whole report goes through, many times what the pipe holds.
    QTest::newRow("a FIFO nobody reads") << QByteArray("fifo") << QStringLiteral("I/O error 6.");
    QTest::newRow("a FIFO with a slow reader") << QByteArray("read fifo") << QString();
    QTest::newRow("a directory") << QByteArray("dir") << QStringLiteral("I/O error 21.");
    QTest::newRow("/dev/full") << QByteArray("/dev/full") << QStringLiteral("Disk full.");
    QTest::newRow("/dev/null") << QByteArray("/dev/null") << QString();
}

void tst_BadInput::aReportToWhatIsNoRegularFileNeverHangs()
{
    QFETCH(QByteArray, kind);
    QFETCH(QString, error);
    const std::string file = makeFile("f.bin", 20000);
    const std::string fifo = path("fifo");
    QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
    int reader = -1;
    QByteArray received;
    std::jthread drain;
    std::string target = kind.toStdString();
    if (kind == "fifo") {
        target = fifo;
    } else if (kind == "read fifo") {
        target = fifo;
        reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        QVERIFY(reader >= 0);
        // Late to start, so the pipe fills; done at the writer's hang-up, or when nothing comes for a while.
        drain = std::jthread([&received, reader] {
            QThread::msleep(200);
            pollfd ready { reader, POLLIN, 0 };
            char buffer[4096];
            for (ssize_t n = 0; ::poll(&ready, 1, 5000) > 0 && (n = ::read(reader, buffer, sizeof buffer)) > 0;)
                received.append(buffer, n);
        });
    } else if (kind == "dir") {
        target = m_dir->path().toStdString();
    }
    m_form = makeForm();
    openThroughTheDialog(file);
    {
        const Watchdog watchdog;
        m_dialogs->fileAnswers.push_back(target);
        guarded([this] { m_form->N1Click(); });
    }
    if (reader >= 0) {
        drain.join();
        ::close(reader);
        QCOMPARE(received.count("\r\n"), 8 + 8193);
        QVERIFY(received.endsWith("Quillmoor\r\n\r\n"));
    }
    if (error.isEmpty()) {
        QVERIFY(m_dialogs->texts("error").empty());
        QCOMPARE(m_dialogs->texts("notice"), std::vector<std::string> { cp("Готово !") });
    } else {
        QCOMPARE(m_dialogs->texts("error"), std::vector<std::string> { error.toStdString() });
        QVERIFY(m_dialogs->texts("notice").empty());
    }
    QCOMPARE(contents(file), pattern(20000));
}

void tst_BadInput::aFileChangedBeforeTheCommitIsNeverWrittenOutside_data()
{
    QTest::addColumn<char>("change");
    QTest::addColumn<bool>("written"); // else the write message
    QTest::addColumn<QByteArray>(
        "shown"); // the Hex cell afterwards: AB, the typed value, where nothing can be read there
    // The edit is of row 50: offset 49 of a 100-byte file, whose byte there is 0x20.
    QTest::newRow("deleted") << 'v' << false << QByteArray("AB");
    QTest::newRow("shrunk below the edited byte") << 's' << false << QByteArray("AB");
    QTest::newRow("shrunk to just before the edited byte") << 'e' << false << QByteArray("AB");
    QTest::newRow("shrunk, the edited byte still inside") << 'i' << true << QByteArray("AB");
    QTest::newRow("grown") << 'g' << true << QByteArray("AB");
    QTest::newRow("its byte changed by another program") << 'c' << false << QByteArray("11");
    // The path names another file now: the user never saw its bytes, so none is written; the row shows its own.
    QTest::newRow("replaced by another file") << 'r' << false << QByteArray("55");
    QTest::newRow("replaced by a copy of itself") << 'k' << false << QByteArray("20");
    QTest::newRow("replaced by a shorter file") << 'R' << false << QByteArray("AB");
    QTest::newRow("replaced by a link to another file") << 'l' << false << QByteArray("66");
    QTest::newRow("replaced by a link to itself") << 'L' << true << QByteArray("AB");
    QTest::newRow("replaced by a directory") << 'd' << false << QByteArray("AB");
    QTest::newRow("replaced by a FIFO") << 'f' << false << QByteArray("AB");
    QTest::newRow("replaced by a link to /dev/zero") << 'z' << false << QByteArray("AB");
}

void tst_BadInput::aFileChangedBeforeTheCommitIsNeverWrittenOutside()
{
    QFETCH(char, change);
    QFETCH(bool, written);
    QFETCH(QByteArray, shown);
    const std::string file = makeFile("f.bin", 100);
    const std::string old = path("old.bin"); // a second name of the original file, to see it is left alone
    QCOMPARE(::link(file.c_str(), old.c_str()), 0);
    m_form = makeForm(true);
    openThroughTheDialog(file);
    tickWriteSwitch();
    grid()->setFocus();
    for (int row = 1; row < 50; ++row)
        key(Qt::Key_Down);
    QCOMPARE(grid()->currentRow(), 50);
    typeInEditor(QStringLiteral("ab"));
    QVERIFY(m_form->editPending());

    const QString name = QString::fromStdString(file);
    switch (change) {
    case 'v':
        QVERIFY(QFile::remove(name));
        break;
    case 's':
        QCOMPARE(::truncate(file.c_str(), 10), 0);
        break;
    case 'e':
        QCOMPARE(::truncate(file.c_str(), 49), 0);
        break;
    case 'i':
        QCOMPARE(::truncate(file.c_str(), 60), 0);
        break;
    case 'g':
        QCOMPARE(::truncate(file.c_str(), 200), 0);
        break;
    case 'c':
        put(file, pattern(100).replace(49, 1, "\x11"));
        break;
    case 'r':
    case 'R':
    case 'k':
        put(path("new.bin"), change == 'k' ? pattern(100) : QByteArray(change == 'r' ? 100 : 20, '\x55'));
        QCOMPARE(::rename(path("new.bin").c_str(), file.c_str()), 0);
        break;
    case 'l':
    case 'L':
        put(path("other.bin"), QByteArray(100, '\x66'));
        QVERIFY(QFile::remove(name));
        QCOMPARE(::symlink(change == 'l' ? "other.bin" : "old.bin", file.c_str()), 0);
        break;
    case 'd':
        QVERIFY(QFile::remove(name));
        QVERIFY(QDir().mkdir(name));
        break;
    case 'f':
        QVERIFY(QFile::remove(name));
        QCOMPARE(::mkfifo(file.c_str(), 0600), 0);
        break;
    case 'z':
        QVERIFY(QFile::remove(name));
        QCOMPARE(::symlink("/dev/zero", file.c_str()), 0);
        break;
    }
    const QByteArray before = QFileInfo(name).isFile() ? contents(file) : QByteArray();
    const bool wasOriginal = std::string_view("igsecL").find(change) != std::string_view::npos;

    {
        const Watchdog watchdog;
        key(Qt::Key_Down);
    }

    QVERIFY(!m_form->editPending());
    QCOMPARE(grid()->cell(1, 50), shown.toStdString());
    QVERIFY(m_dialogs->texts("error").empty());
    // Whatever the row shows is no new edit: moving on writes nothing more and says nothing more.
    key(Qt::Key_Up);
    QVERIFY(!m_form->editPending());
    QCOMPARE(m_dialogs->texts("notice").size(), std::size_t(written ? 0 : 1));
    if (written) {
        QVERIFY(m_dialogs->texts("notice").empty());
        QByteArray expected = before;
        expected[49] = '\xAB';
        QCOMPARE(contents(file), expected);
    } else {
        QCOMPARE(m_dialogs->texts("notice"), std::vector<std::string> { cp("Ошибка при записи в файл") });
        if (QFileInfo(name).isFile())
            QCOMPARE(contents(file), before); // not grown, not changed
        else if (change == 'v')
            QVERIFY(!QFileInfo::exists(name)); // not created again
    }
    // The file the rows were read from changes only where it is the file at the path.
    if (!wasOriginal)
        QCOMPARE(contents(old), pattern(100));
}

void tst_BadInput::aFileThatShrinksDuringALoadKeepsTheRowsRead()
{
    const std::string file = makeFile("f.bin", 20000);
    m_form = makeForm();
    openThroughTheDialog(file);
    m_form->SpinButton1DownClick();
    m_dialogs->shown.clear();
    // The load lets events through after row 256; then the file is cut to 300 bytes.
    QTimer::singleShot(0, m_form.get(), [&] { QCOMPARE(::truncate(file.c_str(), 300), 0); });
    guarded([this] { m_form->N3Click(); });
    QCOMPARE(m_dialogs->texts("error"), std::vector<std::string> { "Read beyond end of file." });
    QCOMPARE(m_form->startByte(), 0);
    verifyRowsShowTheFile(file, 300);
    QCOMPARE(SettingsReadInt(settings(), "File", "StartByte", -1), 8192); // the command stopped at the error
    QCOMPARE(m_form->cursor().shape(), Qt::ArrowCursor);
}

void tst_BadInput::aDamagedSettingsFileStartsTheWindowWithWhatItCanRead_data()
{
    QTest::addColumn<QByteArray>("stored"); // %P stands for the viewed file's path
    QTest::addColumn<int>("start"); // -1: nothing loaded
    QTest::addColumn<QByteArray>("after"); // after going to the start of the file, or after an open command

    const QByteArray section = "[File]\r\nNameFile=%P\r\nStartByte=4096\r\n";
    const QByteArray rewritten = "[File]\r\nNameFile=%P\r\nStartByte=0\r\n";
    const QByteArray junk("\x00\x01\xFE\xFF\x80 junk=\x1A\x7F", 12);
    QByteArray noise(4096, Qt::Uninitialized);
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 131 + 7) % 251 == '[' ? 0 : (i * 131 + 7) % 251);
    const QByteArray longLine(100 * 1024, 'x');

    QTest::newRow("binary junk before the section") << junk + "\r\n" + section << 4096 << junk + "\r\n" + rewritten;
    QTest::newRow("binary junk between the keys")
        << "[File]\r\n" + junk + "\r\nNameFile=%P\r\n" + junk + "\r\nStartByte=4096\r\n"
        << 4096 << "[File]\r\n" + junk + "\r\nNameFile=%P\r\n" + junk + "\r\nStartByte=0\r\n";
    QTest::newRow("nothing but binary junk: the open command adds the section")
        << noise << -1 << noise + "\r\n[File]\r\nNameFile=%P\r\nStartByte=0\r\n";
    QTest::newRow("a 100 KiB comment line before the section")
        << ";" + longLine + "\r\n" + section << 4096 << ";" + longLine + "\r\n" + rewritten;
    const QByteArray twoMiB = ";" + QByteArray(2 << 20, 'x') + "\r\n";
    QTest::newRow("keys beyond the first MiB: not read, and kept") << twoMiB + section << -1 << twoMiB + rewritten;
    QTest::newRow("a 100 KiB start value: no number")
        << "[File]\r\nNameFile=%P\r\nStartByte=" + QByteArray(100 * 1024, '7') + "\r\n"
        << 0 << rewritten;
    QTest::newRow("a name followed by 100 KiB of blanks")
        << "[File]\r\nNameFile=%P" + QByteArray(100 * 1024, ' ') + "\r\nStartByte=4096\r\n"
        << 4096 << "[File]\r\nNameFile=%P" + QByteArray(100 * 1024, ' ') + "\r\nStartByte=0\r\n";
    QTest::newRow("no line break at the end")
        << QByteArray("[File]\r\nNameFile=%P\r\nStartByte=4096") << 4096 << rewritten;
    QTest::newRow("line feeds only") << QByteArray("[File]\nNameFile=%P\nStartByte=4096\n") << 4096
                                     << QByteArray("[File]\nNameFile=%P\nStartByte=0\r\n");
    QTest::newRow("carriage returns only") << QByteArray("[File]\rNameFile=%P\rStartByte=4096\r") << 4096
                                           << QByteArray("[File]\rNameFile=%P\rStartByte=0\r\n");
    QTest::newRow("a UTF-8 byte-order mark") << "\xEF\xBB\xBF" + section << 4096 << "\xEF\xBB\xBF" + rewritten;
    QTest::newRow("two [File] sections: the first counts")
        << section + "[File]\r\nNameFile=/elsewhere\r\nStartByte=99\r\n"
        << 4096 << rewritten + "[File]\r\nNameFile=/elsewhere\r\nStartByte=99\r\n";
    QTest::newRow("the start only in the second [File] section")
        << QByteArray("[File]\r\nNameFile=%P\r\n[File]\r\nStartByte=99\r\n") << 0
        << QByteArray("[File]\r\nNameFile=%P\r\nStartByte=0\r\n[File]\r\nStartByte=99\r\n");
    QTest::newRow("the name only in the second [File] section")
        << QByteArray("[File]\r\nStartByte=4096\r\n[File]\r\nNameFile=%P\r\n") << -1
        << QByteArray("[File]\r\nStartByte=0\r\nNameFile=%P\r\n[File]\r\nNameFile=%P\r\n");
    QTest::newRow("names in other case, blanks around")
        << QByteArray("[ file ]\r\n  namefile = %P  \r\nSTARTBYTE = 4096\r\n") << 4096
        << QByteArray("[ file ]\r\n  namefile = %P  \r\nSTARTBYTE =0\r\n");
    QTest::newRow("a NUL byte inside the name")
        << QByteArray("[File]\r\nNameFile=%P\0.x\r\nStartByte=4096\r\n", 40) << -1 << rewritten;
}

void tst_BadInput::aDamagedSettingsFileStartsTheWindowWithWhatItCanRead()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, start);
    QFETCH(QByteArray, after);
    const std::string file = makeFile("f.bin", 20000);
    const QByteArray name = QByteArray::fromStdString(file);
    put(settings(), QByteArray(stored).replace("%P", name));

    {
        const Watchdog watchdog;
        m_form = makeForm();
    }
    QVERIFY(m_dialogs->shown.empty());
    if (start < 0) {
        QCOMPARE(grid()->rowCount(), 2);
        QCOMPARE(contents(settings()), QByteArray(stored).replace("%P", name)); // a start only reads
        openThroughTheDialog(file);
    } else {
        QCOMPARE(m_form->currentFile(), file);
        QCOMPARE(m_form->startByte(), start);
        verifyRowsShowTheFile(file, 8193);
        guarded([this] { m_form->N3Click(); });
    }
    QVERIFY(m_dialogs->texts("error").empty());
    QCOMPARE(m_form->startByte(), 0);
    verifyRowsShowTheFile(file, 8193);
    QCOMPARE(contents(settings()), QByteArray(after).replace("%P", name));
}

void tst_BadInput::aNameWithANulByteOpensNoOtherFile()
{
    // The system sees a name only up to its first NUL byte: "f.bin\0.x" must not open f.bin.
    const std::string file = makeFile("f.bin", 100);
    const std::string name = file + std::string("\0.x", 3);
    put(settings(), "[File]\r\nNameFile=" + QByteArray::fromStdString(name) + "\r\nStartByte=0\r\n");
    m_form = makeForm();
    QVERIFY(m_dialogs->shown.empty());
    QCOMPARE(m_form->currentFile(), name);
    QCOMPARE(grid()->rowCount(), 2);
    QCOMPARE(grid()->cell(0, 1), std::string());
    QVERIFY(!FileHandle::tryOpen(name, FileHandle::Mode::ReadWrite));
    QCOMPARE(contents(file), pattern(100));
}

void tst_BadInput::aRememberedFifoDoesNotHoldUpTheStart()
{
    const std::string fifo = path("fifo");
    QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
    put(settings(), "[File]\r\nNameFile=" + QByteArray::fromStdString(fifo) + "\r\nStartByte=0\r\n");
    {
        const Watchdog watchdog;
        m_form = makeForm(true);
    }
    QCOMPARE(m_dialogs->texts("notice"), std::vector<std::string> { cp("Ошибка при открытии файла") });
    QCOMPARE(sizeShown(), QStringLiteral("-1"));
    QCOMPARE(m_form->currentFile(), fifo);
    QCOMPARE(grid()->rowCount(), 2);
}

void tst_BadInput::aSettingsPathThatNamesNoRegularFileIsLeftAlone_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::newRow("a FIFO") << QByteArray("fifo");
    QTest::newRow("a directory") << QByteArray("dir");
    QTest::newRow("a link to /dev/zero") << QByteArray("/dev/zero");
    QTest::newRow("a link to /dev/null") << QByteArray("/dev/null");
}

void tst_BadInput::aSettingsPathThatNamesNoRegularFileIsLeftAlone()
{
    // Read as a missing file, never waited on, and never replaced by a regular file.
    QFETCH(QByteArray, kind);
    const std::string file = makeFile("f.bin", 20000);
    const std::string ini = settings();
    if (kind == "fifo")
        QCOMPARE(::mkfifo(ini.c_str(), 0600), 0);
    else if (kind == "dir")
        QVERIFY(QDir().mkdir(QString::fromStdString(ini)));
    else
        QCOMPARE(::symlink(kind.constData(), ini.c_str()), 0);
    {
        const Watchdog watchdog;
        m_form = makeForm();
        QVERIFY(m_dialogs->shown.empty());
        QCOMPARE(grid()->rowCount(), 2);
        openThroughTheDialog(file);
    }
    QCOMPARE(m_dialogs->texts("error"), std::vector<std::string> { "Unable to write to " + ini + "." });
    verifyRowsShowTheFile(file, 8193);
    struct stat st { };
    QCOMPARE(::lstat(ini.c_str(), &st), 0);
    QVERIFY(!S_ISREG(st.st_mode));
}

void tst_BadInput::aStoredStartOfEveryFormStartsTheWindowAsStated_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("rows"); // -1: the I/O error of a negative start
    // The file has 20000 bytes.
    QTest::newRow("8192") << QByteArray("8192") << 8192 << 8193;
    QTest::newRow("0x2000") << QByteArray("0x2000") << 8192 << 8193;
    QTest::newRow("0X2000") << QByteArray("0X2000") << 8192 << 8193;
    QTest::newRow("$10") << QByteArray("$10") << 16 << 8193;
    QTest::newRow("x10") << QByteArray("x10") << 16 << 8193;
    QTest::newRow("X10") << QByteArray("X10") << 16 << 8193;
    QTest::newRow("$000000010: leading zeros are free") << QByteArray("$000000010") << 16 << 8193;
    QTest::newRow("blank then 42") << QByteArray(" 42") << 42 << 8193;
    QTest::newRow("+7") << QByteArray("+7") << 7 << 8193;
    QTest::newRow("-0") << QByteArray("-0") << 0 << 8193;
    QTest::newRow("-5") << QByteArray("-5") << -5 << -1;
    QTest::newRow("$FFFFFFFF") << QByteArray("$FFFFFFFF") << -1 << -1;
    QTest::newRow("-2147483648") << QByteArray("-2147483648") << INT32_MIN << -1;
    QTest::newRow("42abc") << QByteArray("42abc") << 0 << 8193;
    QTest::newRow("4.5") << QByteArray("4.5") << 0 << 8193;
    QTest::newRow("2147483648") << QByteArray("2147483648") << 0 << 8193;
    QTest::newRow("99999999999999") << QByteArray("99999999999999") << 0 << 8193;
    QTest::newRow("$123456789: nine digits") << QByteArray("$123456789") << 0 << 8193;
    QTest::newRow("empty") << QByteArray("") << 0 << 8193;
    QTest::newRow("tab then 5") << QByteArray("\t5") << 0 << 8193;
    QTest::newRow("- 5") << QByteArray("- 5") << 0 << 8193;
    QTest::newRow("$ alone") << QByteArray("$") << 0 << 8193;
    QTest::newRow("0x alone") << QByteArray("0x") << 0 << 8193;
    QTest::newRow("19999: the last byte") << QByteArray("19999") << 19999 << 1;
    QTest::newRow("20000: just past the end") << QByteArray("20000") << 20000 << 0;
    QTest::newRow("$7FFFFFFF: the largest") << QByteArray("$7FFFFFFF") << INT32_MAX << 0;
}

void tst_BadInput::aStoredStartOfEveryFormStartsTheWindowAsStated()
{
    QFETCH(QByteArray, text);
    QFETCH(int, start);
    QFETCH(int, rows);
    const std::string file = makeFile("f.bin", 20000);
    const QByteArray stored
        = "[File]\r\nNameFile=" + QByteArray::fromStdString(file) + "\r\nStartByte=" + text + "\r\n";
    put(settings(), stored);
    m_form = makeForm();
    QCOMPARE(m_form->startByte(), start);
    QCOMPARE(m_dialogs->texts("error"),
        rows < 0 ? std::vector<std::string> { "I/O error 22." } : std::vector<std::string> {});
    QVERIFY(m_dialogs->texts("notice").empty());
    verifyRowsShowTheFile(file, std::max(rows, 0));
    if (rows <= 0) {
        QCOMPARE(grid()->cell(0, 1), std::string()); // the window is empty
        // With no block shown, the navigation commands do nothing and store nothing.
        m_form->SpinButton1DownClick();
        m_form->N4Click();
        QCOMPARE(m_form->startByte(), start);
    }
    QCOMPARE(contents(settings()), stored);
}

void tst_BadInput::anEditOfTheEmptyRowAfterAnOddStartWritesNothing_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("message");
    QTest::newRow("negative: no offset to write at") << QByteArray("-5") << false;
    QTest::newRow("just past the end") << QByteArray("20000") << true;
    QTest::newRow("far past the end") << QByteArray("$7FFFFFFF") << true;
}

void tst_BadInput::anEditOfTheEmptyRowAfterAnOddStartWritesNothing()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, message);
    const std::string file = makeFile("f.bin", 20000);
    put(settings(), "[File]\r\nNameFile=" + QByteArray::fromStdString(file) + "\r\nStartByte=" + text + "\r\n");
    m_form = makeForm(true);
    m_dialogs->shown.clear();
    tickWriteSwitch();
    grid()->setFocus();
    typeInEditor(QStringLiteral("ab"));
    QVERIFY(m_form->editPending());
    key(Qt::Key_Return);
    key(Qt::Key_Right);
    QVERIFY(!m_form->editPending());
    QCOMPARE(m_dialogs->texts("notice"),
        message ? std::vector<std::string> { cp("Ошибка при записи в файл") } : std::vector<std::string> {});
    QCOMPARE(contents(file), pattern(20000));
}

QTEST_MAIN(tst_BadInput)
#include "tst_BadInput.moc"
