// A model-based random test of the whole window. A seeded generator plays long sequences of user actions on a
// real TForm1 over real files; beside it a small model says what every file must hold: bytes change only through
// a commit of what the user typed, at the offset of the row in the block where it was typed, as the low 8 bits of
// the column's conversion, and never while the write switch is clear. After every action the files on disk are
// compared with the model and the grid's rows with the files. A failing sequence is shrunk to a short one that
// still fails, and printed.
//
// QUILLMOOR_RANDOM_ACTIONS (default 3000) and QUILLMOOR_RANDOM_SEED (default: a fixed list) set the run; a long
// run also wants QTEST_FUNCTION_TIMEOUT (milliseconds) above Qt Test's five minutes. QUILLMOOR_RANDOM_SECONDS
// ends the playing of a seed after that many seconds, for runs within a time budget (scripts/soak). Every seed
// ends with one line for scripts to read:
//   figures: seed=S actions=PLAYED/PLANNED commits=C written=W found=F misplaced=M
// C commits were seen on disk, at W distinct bytes; F of those hold the model's value at the end, and M bytes of
// all the files differ from the model (a changed length counts as one).

#include "mainwindow/RowFormat.h"
#include "mainwindow/TForm1.h"
#include "support/Cp1251.h"
#include "support/IntParser.h"
#include "support/__Bin.h"
#include "support/__Str.h"
#include "tests/ScriptedDialogs.h"
#include "ui/grid/ByteGrid.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include <fcntl.h>
#include <map>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace {

struct Action {
    enum Kind {
        Type,
        Key,
        Click,
        Wheel,
        Switch,
        FocusGrid,
        SpinUp,
        SpinDown,
        GoStart,
        GoEnd,
        GoTo,
        Open,
        EditPath,
        ColumnWidth,
        Report,
    } kind;
    int a = 0; // key, column, wheel sign, file index
    int b = 0; // modifiers, row
    QString text; // typed text or prompt answer
};

const char* const KindNames[] = { "type", "key", "click", "wheel", "switch", "focus grid", "spin up", "spin down",
    "go to start", "go to end", "go to byte", "open", "edit path", "column width", "report" };

struct FileSpec {
    const char* name;
    qint64 size;
};
const FileSpec Files[] = { { "zero.bin", 0 }, { "one.bin", 1 }, { "two.bin", 2 }, { "b8192.bin", 8192 },
    { "b8193.bin", 8193 }, { "b10000.bin", 10000 }, { "b20000.bin", 20000 }, { "sparse.bin", qint64(3) << 30 } };
constexpr int FileCount = int(std::size(Files));
constexpr int SparseIndex = FileCount - 1;

qint64 sizeOf(int index)
{
    return index < FileCount ? Files[index].size : -1;
}

char patternByte(qint64 offset)
{
    return static_cast<char>((offset * 53 + 7) & 0xFF);
}

QString describe(const Action& action)
{
    QString text = QString::fromLatin1(KindNames[action.kind]);
    switch (action.kind) {
    case Action::Type:
        return text + (action.a ? QStringLiteral(" over all \"%1\"") : QStringLiteral(" \"%1\"")).arg(action.text);
    case Action::Key:
        return text
            + QStringLiteral(" %1%2")
                  .arg(action.b ? QStringLiteral("ctrl+") : QString())
                  .arg(QKeySequence(action.a).toString());
    case Action::Click:
        return text + QStringLiteral(" (%1, %2)").arg(action.a).arg(action.b);
    case Action::Wheel:
        return text + (action.a > 0 ? QStringLiteral(" away") : QStringLiteral(" towards"));
    case Action::GoTo:
    case Action::ColumnWidth:
        return text + QStringLiteral(" \"%1\"").arg(action.text);
    case Action::Open:
    case Action::EditPath:
        return text + QLatin1Char(' ')
            + QString::fromLatin1(action.a < FileCount ? Files[action.a].name : "missing.bin");
    default:
        return text;
    }
}

std::vector<Action> generate(quint32 seed, int count)
{
    QRandomGenerator random(seed);
    const QString texts[] = { "ff", "FF", "1FF", " 7 ", "0", "41", "zz", "xyz", "$41", "300", "-1", "255", "101", "2",
        "11111111", "A", "AB", "Я", "<...>", " ", "9", "-", "0x1F", "$$FF", "1", "80", "7F", "12", "00", "10", "E" };
    const int keys[] = { Qt::Key_Return, Qt::Key_F2, Qt::Key_Escape, Qt::Key_Backspace, Qt::Key_Up, Qt::Key_Down,
        Qt::Key_Down, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right, Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_PageDown,
        Qt::Key_Home, Qt::Key_End, Qt::Key_Delete };
    const QString offsets[] = { "0", "100", "8191", "8192", "9999", "-5", "$10", "abc", "2147483647", "1809", "" };
    std::vector<Action> actions;
    for (int i = 0; i < count; ++i) {
        const int roll = random.bounded(100);
        Action action { Action::Key };
        if (roll < 24) {
            // Half the time the text replaces what the open editor holds, as a user corrects a value.
            action = { Action::Type, random.bounded(2), 0, texts[random.bounded(int(std::size(texts)))] };
        } else if (roll < 62) {
            action = { Action::Key, keys[random.bounded(int(std::size(keys)))], random.bounded(6) == 0 ? 1 : 0 };
        } else if (roll < 70) {
            action = { Action::Click, 1 + random.bounded(4), 1 + random.bounded(12) };
        } else if (roll < 73) {
            action = { Action::Wheel, random.bounded(2) ? 1 : -1 };
        } else if (roll < 75) {
            action = { Action::Switch };
        } else if (roll < 78) {
            action = { Action::FocusGrid };
        } else if (roll < 82) {
            action = { Action::SpinUp };
        } else if (roll < 86) {
            action = { Action::SpinDown };
        } else if (roll < 88) {
            action = { Action::GoStart };
        } else if (roll < 90) {
            action = { Action::GoEnd };
        } else if (roll < 92) {
            action = { Action::GoTo, 0, 0, offsets[random.bounded(int(std::size(offsets)))] };
        } else if (roll < 96) {
            action = { Action::Open, random.bounded(FileCount) };
        } else if (roll < 97) {
            action = { Action::EditPath, random.bounded(FileCount + 1) };
        } else if (roll < 98) {
            action = { Action::ColumnWidth, 0, 0, QString::number(random.bounded(-20, 300)) };
        } else {
            action = { Action::Report };
        }
        actions.push_back(action);
    }
    return actions;
}

// The value a committed text gives, as the user may expect from the column, or nothing when it is no number.
std::optional<std::uint8_t> converted(int col, std::string text)
{
    TrimSpaces(text);
    if (text.empty())
        return 0;
    std::optional<std::int32_t> value;
    switch (col) {
    case 1:
        value = tryParseInt("$" + text);
        break;
    case 2:
        value = tryParseInt(text);
        break;
    case 3:
        value = BinStrToByte(text);
        break;
    default:
        value = static_cast<unsigned char>(text[0]);
    }
    if (!value)
        return std::nullopt;
    return static_cast<std::uint8_t>(*value & 0xFF);
}

// One run: its own files, window and model.
class Session {
public:
    Session()
    {
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
        for (int i = 0; i < FileCount; ++i) {
            QFile file(path(i));
            if (!file.open(QIODevice::WriteOnly))
                qFatal("cannot create %s", qPrintable(path(i)));
            if (i == SparseIndex) {
                file.resize(Files[i].size);
            } else {
                QByteArray bytes(Files[i].size, Qt::Uninitialized);
                for (qint64 o = 0; o < Files[i].size; ++o)
                    bytes[o] = patternByte(o);
                file.write(bytes);
                m_expected[i] = bytes;
            }
        }
        m_form = std::make_unique<TForm1>(m_dir.path().toStdString() + "/");
        m_form->show();
        if (!QTest::qWaitForWindowExposed(m_form.get()))
            qWarning("window not exposed");
        QApplication::setActiveWindow(m_form.get());
        m_grid = m_form->findChild<ByteGrid*>(QStringLiteral("SG1"));
        m_switch = m_form->findChild<QCheckBox*>(QStringLiteral("CheckBox1"));
        m_dialogs.fileAnswers.push_back(path(6).toStdString());
        m_form->findChild<QToolButton*>(QStringLiteral("SpeedButton1"))->click();
        m_blockFile = 6;
        // Writing starts switched on, so that most sequences commit bytes; the switch action turns it off.
        QTest::mouseClick(m_switch, Qt::LeftButton, {}, QPoint(8, m_switch->height() / 2));
        m_grid->setFocus();
    }

    // Plays the action; an empty result means every check held.
    QString play(const Action& action)
    {
        const bool switchOn = m_switch->isChecked();
        const int blockBefore = m_blockFile;
        const std::int64_t startBefore = m_form->startByte();
        const std::int32_t rowsBefore = m_grid->rowCount();
        const GridCell cellBefore { m_grid->currentCol(), m_grid->currentRow() };
        const std::string textBefore(m_grid->cell(cellBefore.col, cellBefore.row));

        perform(action, rowsBefore);

        // Typing into the current cell makes its text the edit that a commit may write.
        const bool typing = action.kind == Action::Type
            || (action.kind == Action::Key && (action.a == Qt::Key_Backspace || action.a == Qt::Key_Delete));
        // Typing that ends in the text the cell showed ("<...>" over a control byte) still is an edit.
        if (typing && m_grid->currentCol() == cellBefore.col && m_grid->currentRow() == cellBefore.row
            && (m_grid->cell(cellBefore.col, cellBefore.row) != textBefore || m_grid->editorMode())) {
            m_candidate = Candidate { blockBefore, startBefore + cellBefore.row - 1, cellBefore.col,
                std::string(m_grid->cell(cellBefore.col, cellBefore.row)) };
        }
        const QString failure = check(switchOn);
        // An edit of the old block was committed or dropped before the load; it can never be written later.
        if (m_loaded)
            m_candidate.reset();
        return failure;
    }

private:
    struct Candidate {
        int file;
        qint64 offset;
        int col;
        std::string text;
    };

    QString path(int index) const
    {
        return m_dir.filePath(QString::fromLatin1(index < FileCount ? Files[index].name : "missing.bin"));
    }

    void key(int key, Qt::KeyboardModifiers modifiers)
    {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : m_grid;
        QTest::keyClick(target, Qt::Key(key), modifiers);
    }

    void trigger(const char* name) { m_form->findChild<QAction*>(QString::fromLatin1(name))->trigger(); }

    void perform(const Action& action, std::int32_t rowsBefore)
    {
        // The file a load by this action reads, when the action loads at all.
        std::optional<int> loads;
        switch (action.kind) {
        case Action::Type:
            if (action.a && qobject_cast<QLineEdit*>(QApplication::focusWidget()))
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
            for (const QChar ch : action.text) {
                QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : m_grid;
                QTest::sendKeyEvent(QTest::Click, target, Qt::Key(ch.toUpper().unicode()), QString(ch), Qt::NoModifier);
            }
            break;
        case Action::Key:
            key(action.a, action.b ? Qt::ControlModifier : Qt::NoModifier);
            break;
        case Action::Click: {
            const QRect rect = m_grid->gridLayout().cellRect({ action.a, m_grid->topRow() + action.b - 1 });
            if (!rect.isEmpty())
                QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {}, rect.center());
            break;
        }
        case Action::Wheel: {
            const QPoint at = m_grid->viewport()->rect().center();
            QWheelEvent wheel(at, m_grid->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120 * action.a),
                Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(m_grid->viewport(), &wheel);
            break;
        }
        case Action::Switch:
            QTest::mouseClick(m_switch, Qt::LeftButton, {}, QPoint(8, m_switch->height() / 2));
            break;
        case Action::FocusGrid:
            m_grid->setFocus();
            break;
        case Action::SpinUp:
        case Action::SpinDown: {
            QWidget* spin = m_form->findChild<QWidget*>(QStringLiteral("SpinButton1"));
            const QPoint at(spin->width() / 2, action.kind == Action::SpinUp ? 3 : spin->height() - 3);
            QTest::mouseClick(spin, Qt::LeftButton, {}, at);
            if (rowsBefore > 2)
                loads = m_currentFile;
            break;
        }
        case Action::GoStart:
        case Action::GoEnd:
            trigger(action.kind == Action::GoStart ? "N3" : "N4");
            if (rowsBefore > 2)
                loads = m_currentFile;
            break;
        case Action::GoTo:
            m_dialogs.promptAnswers.push_back(Cp1251::fromQString(action.text));
            trigger("N5");
            m_dialogs.promptAnswers.clear();
            if (rowsBefore > 2 && tryParseInt(Cp1251::fromQString(action.text.trimmed())))
                loads = m_currentFile;
            break;
        case Action::Open:
            m_dialogs.fileAnswers.push_back(path(action.a).toStdString());
            m_form->findChild<QToolButton*>(QStringLiteral("SpeedButton1"))->click();
            m_dialogs.fileAnswers.clear();
            m_currentFile = action.a;
            loads = action.a;
            break;
        case Action::EditPath: {
            auto* box = m_form->findChild<QLineEdit*>(QStringLiteral("EditNameF"));
            box->setFocus();
            box->selectAll();
            QTest::keyClicks(box, path(action.a));
            m_currentFile = action.a;
            break;
        }
        case Action::ColumnWidth:
            m_dialogs.promptAnswers.push_back(action.text.toStdString());
            trigger("N01");
            m_dialogs.promptAnswers.clear();
            break;
        case Action::Report:
            m_dialogs.fileAnswers.push_back(m_dir.filePath(QStringLiteral("report.TXT")).toStdString());
            trigger("N1");
            m_dialogs.fileAnswers.clear();
            break;
        }
        if (loads)
            m_blockFile = *loads;
        m_loaded = loads.has_value();
    }

    QByteArray readAt(int file, qint64 offset, qint64 length) const
    {
        QFile f(path(file));
        if (!f.open(QIODevice::ReadOnly) || !f.seek(offset))
            return {};
        return f.read(length);
    }

    char expectedAt(int file, qint64 offset) const
    {
        if (file == SparseIndex) {
            const auto it = m_sparseChanges.find(offset);
            return it == m_sparseChanges.end() ? '\0' : it->second;
        }
        return m_expected.at(file)[qsizetype(offset)];
    }

    // Offsets of a file that differ from the model.
    std::set<qint64> differences(int file) const
    {
        std::set<qint64> offsets;
        if (QFileInfo(path(file)).size() != sizeOf(file)) {
            offsets.insert(-1);
            return offsets;
        }
        if (file != SparseIndex) {
            const QByteArray disk = readAt(file, 0, Files[file].size);
            for (qint64 o = 0; o < Files[file].size; ++o)
                if (disk[qsizetype(o)] != m_expected.at(file)[qsizetype(o)])
                    offsets.insert(o);
            return offsets;
        }
        // The sparse file is read where it holds data: every write allocates a block, so nothing escapes.
        const int fd = ::open(QFile::encodeName(path(file)).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            offsets.insert(-1);
            return offsets;
        }
        for (off_t at = 0;;) {
            const off_t data = ::lseek(fd, at, SEEK_DATA);
            if (data < 0)
                break;
            // A file system without holes reports the whole file as data: then only the model's offsets count.
            const off_t hole = std::min<off_t>(::lseek(fd, data, SEEK_HOLE), data + (off_t(64) << 20));
            QByteArray bytes(qsizetype(hole - data), Qt::Uninitialized);
            if (::pread(fd, bytes.data(), size_t(bytes.size()), data) != bytes.size())
                break;
            for (qsizetype i = 0; i < bytes.size(); ++i)
                if (bytes[i] != expectedAt(file, data + i))
                    offsets.insert(data + i);
            at = hole;
        }
        for (const auto& change : m_sparseChanges) {
            char byte = 0;
            if (::pread(fd, &byte, 1, change.first) != 1 || byte != change.second)
                offsets.insert(change.first);
        }
        ::close(fd);
        return offsets;
    }

    QString check(bool switchOn)
    {
        for (int file = 0; file < FileCount; ++file) {
            const std::set<qint64> changed = differences(file);
            if (changed.empty())
                continue;
            if (changed.count(-1))
                return QStringLiteral("%1 changed its length").arg(QString::fromLatin1(Files[file].name));
            const bool explained = m_candidate && m_candidate->file == file && changed.size() == 1
                && *changed.begin() == m_candidate->offset && switchOn;
            const auto value = m_candidate ? converted(m_candidate->col, m_candidate->text) : std::nullopt;
            const QByteArray byte = readAt(file, *changed.begin(), 1);
            const char disk = byte.isEmpty() ? '\0' : byte[0];
            if (!explained || !value || static_cast<std::uint8_t>(disk) != *value)
                return QStringLiteral("%1: unexplained write at offset %2 (byte %3)")
                    .arg(QString::fromLatin1(Files[file].name))
                    .arg(*changed.begin())
                    .arg(static_cast<std::uint8_t>(disk));
            if (file == SparseIndex)
                m_sparseChanges[m_candidate->offset] = disk;
            else
                m_expected[file][qsizetype(m_candidate->offset)] = disk;
            m_written.emplace(file, m_candidate->offset);
            m_candidate.reset();
            ++m_writes;
        }
        return checkRows();
    }

    QString checkRows() const
    {
        const std::int32_t rows = m_grid->rowCount();
        if (rows <= 2)
            return {};
        const qint64 start = m_form->startByte();
        const qint64 size = sizeOf(m_blockFile);
        const qint64 shown = std::min<qint64>(std::min<qint64>(size, 2147483647) - start, 8193);
        if (rows != shown + 1)
            return QStringLiteral("%1 rows for %2 bytes from %3 of %4")
                .arg(rows)
                .arg(shown)
                .arg(start)
                .arg(path(m_blockFile));
        const QByteArray block = readAt(m_blockFile, start, shown);
        for (std::int32_t r = 1; r < rows; ++r) {
            if (m_grid->cell(0, r) != offsetText(start + r - 1))
                return QStringLiteral("row %1 shows the offset text %2 in a block from %3")
                    .arg(r)
                    .arg(QString::fromStdString(std::string(m_grid->cell(0, r))))
                    .arg(start);
            // The row being edited shows what the user typed.
            const bool edited = r == m_grid->currentRow()
                || (m_candidate && m_candidate->file == m_blockFile && m_candidate->offset == start + r - 1);
            if (edited)
                continue;
            const auto texts = valueTexts(static_cast<std::uint8_t>(block[r - 1]));
            for (int col = 1; col <= 4; ++col)
                if (m_grid->cell(col, r) != texts[col - 1])
                    return QStringLiteral("cell (%1, %2) shows \"%3\" for byte %4 of %5")
                        .arg(col)
                        .arg(r)
                        .arg(Cp1251::toQString(m_grid->cell(col, r)))
                        .arg(static_cast<std::uint8_t>(block[r - 1]))
                        .arg(path(m_blockFile));
        }
        return {};
    }

    QTemporaryDir m_dir;
    ScriptedDialogs m_dialogs;
    std::unique_ptr<TForm1> m_form;
    ByteGrid* m_grid = nullptr;
    QCheckBox* m_switch = nullptr;
    std::map<int, QByteArray> m_expected;
    std::map<qint64, char> m_sparseChanges;
    std::optional<Candidate> m_candidate;
    bool m_loaded = false;
    std::set<std::pair<int, qint64>> m_written;

public:
    int m_writes = 0; // commits seen on disk and found right

    int writtenBytes() const { return int(m_written.size()); }

    // The written bytes that hold the model's value, and every byte of every file that does not.
    std::pair<int, int> tally() const
    {
        int found = 0;
        for (const auto& [file, offset] : m_written) {
            const QByteArray byte = readAt(file, offset, 1);
            found += !byte.isEmpty() && byte[0] == expectedAt(file, offset);
        }
        int misplaced = 0;
        for (int file = 0; file < FileCount; ++file)
            misplaced += int(differences(file).size());
        return { found, misplaced };
    }

private:
    int m_currentFile = 6; // the file the path box names
    int m_blockFile = 6; // the file the shown rows come from
};

struct Figures {
    std::size_t played = 0;
    int commits = 0;
    int written = 0;
    int found = 0;
    int misplaced = 0;
};

// The index of the first failing action, with its message, or nothing. With a time limit (ms) the playing
// stops early once it is reached.
std::optional<std::pair<std::size_t, QString>> run(
    const std::vector<Action>& actions, Figures* figures = nullptr, qint64 limitMs = 0)
{
    Session session;
    QElapsedTimer clock;
    clock.start();
    std::optional<std::pair<std::size_t, QString>> failure;
    std::size_t i = 0;
    for (; i < actions.size() && !(limitMs > 0 && clock.elapsed() >= limitMs); ++i) {
        const QString message = session.play(actions[i]);
        if (!message.isEmpty()) {
            failure = std::make_pair(i, message);
            ++i;
            break;
        }
    }
    if (figures) {
        figures->played = i;
        figures->commits = session.m_writes;
        figures->written = session.writtenBytes();
        std::tie(figures->found, figures->misplaced) = session.tally();
    }
    return failure;
}

// Removes chunks of actions as long as the sequence still fails; bounded in replays and in time.
std::vector<Action> shrink(std::vector<Action> actions)
{
    int replays = 0;
    QElapsedTimer clock;
    clock.start();
    const auto goOn = [&] { return replays < 400 && clock.elapsed() < 120000; };
    for (std::size_t chunk = actions.size() / 2; chunk >= 1 && goOn(); chunk /= 2) {
        for (std::size_t at = 0; at + chunk <= actions.size() && goOn();) {
            std::vector<Action> shorter = actions;
            shorter.erase(shorter.begin() + qsizetype(at), shorter.begin() + qsizetype(at + chunk));
            ++replays;
            if (const auto failure = run(shorter)) {
                shorter.resize(failure->first + 1);
                actions = shorter;
            } else {
                at += chunk;
            }
        }
    }
    return actions;
}

} // namespace

class tst_RandomUse : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void noByteIsEverWrittenThatTheUserDidNotCommit_data();
    void noByteIsEverWrittenThatTheUserDidNotCommit();
};

QtMessageHandler g_testLogHandler = nullptr;

void tst_RandomUse::initTestCase()
{
    // The offscreen platform notes every change of the window's size limits; thousands of such lines would
    // bury a failure's report.
    g_testLogHandler
        = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
              if (!message.contains(QLatin1String("propagateSizeHints")))
                  g_testLogHandler(type, context, message);
          });
}

void tst_RandomUse::noByteIsEverWrittenThatTheUserDidNotCommit_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("count");
    const int total = qEnvironmentVariableIsSet("QUILLMOOR_RANDOM_ACTIONS")
        ? qEnvironmentVariableIntValue("QUILLMOOR_RANDOM_ACTIONS")
        : 3000;
    if (qEnvironmentVariableIsSet("QUILLMOOR_RANDOM_SEED")) {
        const auto seed = quint32(qEnvironmentVariable("QUILLMOOR_RANDOM_SEED").toUInt());
        QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed << total;
        return;
    }
    const quint32 seeds[] = { 1, 2, 3, 20261208, 4242, 777 };
    for (const quint32 seed : seeds)
        QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed << total / int(std::size(seeds));
}

void tst_RandomUse::noByteIsEverWrittenThatTheUserDidNotCommit()
{
    QFETCH(quint32, seed);
    QFETCH(int, count);
    const std::vector<Action> actions = generate(seed, count);
    const qint64 limitMs = qint64(qEnvironmentVariableIntValue("QUILLMOOR_RANDOM_SECONDS")) * 1000;
    Figures figures;
    const auto failure = run(actions, &figures, limitMs);
    qInfo("figures: seed=%u actions=%zu/%d commits=%d written=%d found=%d misplaced=%d", seed, figures.played, count,
        figures.commits, figures.written, figures.found, figures.misplaced);
    if (!failure)
        return;
    qWarning("seed %u fails after %zu actions: %s; shrinking", seed, failure->first + 1, qPrintable(failure->second));
    std::vector<Action> failing(actions.begin(), actions.begin() + qsizetype(failure->first + 1));
    const std::vector<Action> shortest = shrink(failing);
    const auto again = run(shortest);
    QString report = QStringLiteral("seed %1 fails after %2 actions: %3\nshortest sequence (%4 actions):\n")
                         .arg(seed)
                         .arg(failure->first + 1)
                         .arg(failure->second)
                         .arg(shortest.size());
    for (const Action& action : shortest)
        report += QStringLiteral("  %1\n").arg(describe(action));
    if (again)
        report += QStringLiteral("which fails with: %1").arg(again->second);
    QFAIL(qPrintable(report));
}

QTEST_MAIN(tst_RandomUse)
#include "tst_RandomUse.moc"
