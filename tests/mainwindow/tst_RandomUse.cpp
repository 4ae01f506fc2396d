// A model-based random test of the whole window. A seeded generator plays long sequences of user actions on a
// real TForm1 over real files; beside it a small model says what every file must hold: bytes change only through
// a commit of what the user typed, at the offset of the row in the block where it was typed, as the byte the text
// was made from, and never while the write switch is clear or over a byte another program changed that the row
// does not show; or through taking a write back or making it again, over a byte the program itself left there. An
// undo with keys typed ahead (delivered during its reload) takes back the write that was last at its key. A paste
// or a replace writes exactly the bytes the model works out from the rows and the file, or none. After
// every action the files on disk are compared with the model and the grid's rows with the files. A failing sequence is
// shrunk to a short one that still fails, and printed.
//
// QUILLMOOR_RANDOM_ACTIONS (default 3000) and QUILLMOOR_RANDOM_SEED (default: a fixed list) set the run; a long
// run also wants QTEST_FUNCTION_TIMEOUT (milliseconds) above Qt Test's five minutes. QUILLMOOR_RANDOM_SECONDS
// ends the playing of a seed after that many seconds, for runs within a time budget (scripts/soak). Every seed
// ends with one line for scripts to read:
//   figures: seed=S actions=PLAYED/PLANNED commits=C written=W found=F misplaced=M ... patch-bytes=P
// C commits were seen on disk, at W distinct bytes; F of those hold the model's value at the end, and M bytes of
// all the files differ from the model (a changed length counts as one).

#include "mainwindow/PatchCommand.h"
#include "mainwindow/TForm1.h"
#include "support/Cp1251.h"
#include "support/IntParser.h"
#include "tests/ScriptedDialogs.h"
#include "tests/mainwindow/RowOracle.h"
#include "ui/grid/ByteGrid.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
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
        Undo,
        Redo,
        Poke,
        Find,
        UndoTypingAhead,
        Paste,
        Replace,
    } kind;
    int a = 0; // key, column, wheel sign, file index, form of the typed text, redo key
    int b = 0; // modifiers, row, typed byte (-1: a text that is no number), editor closed first
    QString text; // typed text or prompt answer
};

const char* const KindNames[] = { "type", "key", "click", "wheel", "switch", "focus grid", "spin up", "spin down",
    "go to start", "go to end", "go to byte", "open", "edit path", "column width", "report", "undo", "redo", "poke",
    "find", "undo typing ahead", "paste", "replace" };

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
        return text + QStringLiteral(" byte %1 in form %2").arg(action.b).arg(action.a);
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
    const int keys[] = { Qt::Key_Return, Qt::Key_F2, Qt::Key_Escape, Qt::Key_Backspace, Qt::Key_Up, Qt::Key_Down,
        Qt::Key_Down, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right, Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_PageDown,
        Qt::Key_Home, Qt::Key_End, Qt::Key_Delete };
    const QString offsets[] = { "0", "100", "8191", "8192", "9999", "-5", "$10", "abc", "2147483647", "1809", "" };
    std::vector<Action> actions;
    for (int i = 0; i < count; ++i) {
        const int roll = random.bounded(100);
        Action action { Action::Key };
        if (roll < 24) {
            action = { Action::Type, random.bounded(4), random.bounded(10) == 0 ? -1 : random.bounded(256) };
        } else if (roll < 55) {
            action = { Action::Key, keys[random.bounded(int(std::size(keys)))], random.bounded(6) == 0 ? 1 : 0 };
        } else if (roll < 65) {
            action = { Action::Click, 1 + random.bounded(4), 1 + random.bounded(12) };
        } else if (roll < 68) {
            action = { Action::Wheel, random.bounded(2) ? 1 : -1 };
        } else if (roll < 70) {
            action = { Action::Switch };
        } else if (roll < 73) {
            action = { Action::FocusGrid };
        } else if (roll < 77) {
            action = { Action::SpinUp };
        } else if (roll < 81) {
            action = { Action::SpinDown };
        } else if (roll < 83) {
            action = { Action::GoStart };
        } else if (roll < 85) {
            action = { Action::GoEnd };
        } else if (roll < 87) {
            action = { Action::GoTo, 0, 0, offsets[random.bounded(int(std::size(offsets)))] };
        } else if (roll < 90) {
            action = { Action::Open, random.bounded(FileCount) };
        } else if (roll < 91) {
            action = { Action::EditPath, random.bounded(FileCount + 1) };
        } else if (roll < 92) {
            action = { Action::ColumnWidth, 0, 0, QString::number(random.bounded(-20, 300)) };
        } else if (roll < 93) {
            action = { Action::Report };
        } else if (random.bounded(4) == 0) {
            action = { Action::Poke, 1 + random.bounded(255) };
        } else if (random.bounded(3) == 0) {
            // Ctrl+F with an answer, F3 or Shift+F3.
            action = { Action::Find, random.bounded(3), 0,
                QStringList { "\"0\"", "0A 0B", "00", "zz" }[random.bounded(4)] };
        } else if (random.bounded(2) == 0) {
            // A byte pasted at the current row, or over it and up to four rows below; or every byte like the
            // current one replaced.
            action = { random.bounded(4) ? Action::Paste : Action::Replace, random.bounded(256),
                random.bounded(2) ? random.bounded(5) : 0 };
        } else {
            action = { random.bounded(2) ? Action::Undo : Action::Redo, random.bounded(2), random.bounded(2) };
        }
        actions.push_back(action);
        // A key that may have committed a byte is now and then followed at once by an undo with keys typed ahead.
        if (action.kind == Action::Key && (action.a == Qt::Key_Down || action.a == Qt::Key_Return)
            && random.bounded(3) == 0)
            actions.push_back({ Action::UndoTypingAhead });
    }
    return actions;
}

// What a user types for byte v in a column, in one of four forms: made from the byte, never read back through a
// conversion. A v of -1 asks for a text that is no number (in the Hex and Dec columns; any text is a value in the
// others). The byte the text stands for is returned beside it, or nothing for no number.
std::pair<QString, std::optional<std::uint8_t>> textFor(int col, int v, int form)
{
    if (v < 0 && col <= 2)
        return { QStringList { "zz", "$$FF", "-", "1g" }[form], std::nullopt };
    v = std::max(v, 0);
    const QString hex = QString::number(v, 16).rightJustified(2, '0'), bits = QString::number(v, 2);
    const QString cp = Cp1251::toQString(std::string(1, char(v)));
    // Blanks alone stand for 0, so a control byte, a blank or a code with no letter is typed as blanks.
    if (col == 4 && (v <= 32 || !cp.at(0).isPrint()))
        return { QStringLiteral("  "), 0 };
    const QStringList forms[] = { { hex.toUpper(), QString::number(v, 16), " " + hex + " ", "1" + hex },
        { QString::number(v), QString::number(v - 256), QString::number(v + 512), "$" + hex },
        { bits.rightJustified(8, '0'), bits, "1" + bits.rightJustified(8, '0'), " " + bits }, { cp, cp + "B" } };
    return { forms[col - 1][form % forms[col - 1].size()], v };
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

        const std::optional<Candidate> pending = m_candidate;
        // The write the program made last, when the action before made it (and so the model knows it).
        m_lastAtKey = std::exchange(m_lastCommit, std::nullopt);
        const std::size_t noticesBefore = m_dialogs.shown.size();
        const std::optional<std::uint8_t> typed = perform(action, rowsBefore);
        if (action.kind == Action::UndoTypingAhead && m_typedAhead)
            return checkTypedAhead(m_dialogs.shown.size() != noticesBefore);
        if ((action.kind == Action::Paste || action.kind == Action::Replace) && m_patching)
            return checkPatched();

        // Typing into the current cell makes its text the edit that a commit may write: the typed byte, or for
        // an editing key any byte (0 when the cell was emptied).
        const bool editing
            = (action.kind == Action::Key && (action.a == Qt::Key_Backspace || action.a == Qt::Key_Delete))
            || (action.kind == Action::Undo && QApplication::focusWidget() == m_grid->inplaceEditor());
        const std::string textAfter(m_grid->cell(cellBefore.col, cellBefore.row));
        if ((action.kind == Action::Type || editing) && m_grid->currentCol() == cellBefore.col
            && m_grid->currentRow() == cellBefore.row && (textAfter != textBefore || m_grid->editorMode())) {
            // Typed into an editor that kept a text of its own (one reloaded while scrolled out of view keeps its
            // caret), the text is more than what was typed.
            const bool any = editing ? !textAfter.empty() : Cp1251::toQString(textAfter) != m_typed;
            m_candidate = Candidate { blockBefore, startBefore + cellBefore.row - 1, any, editing ? 0 : typed };
        }
        // Taking back or making again commits the pending edit first: whatever it wrote may come back later.
        if ((action.kind == Action::Undo || action.kind == Action::Redo) && pending && switchOn
            && pending->offset < sizeOf(pending->file) && !m_unseen.count({ pending->file, pending->offset }))
            m_programLast.insert({ pending->file, pending->offset });
        const QString failure = check(switchOn, action.kind == Action::Undo || action.kind == Action::Redo);
        // A row that shows what another program wrote (a refused write shows the byte on disk) has been seen.
        for (auto it = m_unseen.begin(); it != m_unseen.end();) {
            const qint64 row = it->second - m_form->startByte() + 1;
            const bool shown = it->first == m_blockFile && row >= 1 && row < m_grid->rowCount()
                && rowShows(std::int32_t(row), static_cast<std::uint8_t>(expectedAt(it->first, it->second)));
            it = shown ? m_unseen.erase(it) : std::next(it);
        }
        // An edit of the old block was committed or dropped before the load; it can never be written later.
        if (m_loaded)
            m_candidate.reset();
        return failure;
    }

private:
    struct Candidate {
        int file;
        qint64 offset;
        bool any; // typed with editing keys: any byte may come of it
        std::optional<std::uint8_t> value; // nothing: no number, never written
    };
    using Place = std::pair<int, qint64>;
    struct Written {
        int file;
        qint64 offset;
        char before;
    };

    int indexOf(const std::string& file) const
    {
        for (int i = 0; i <= FileCount; ++i)
            if (path(i).toStdString() == file)
                return i;
        return FileCount;
    }

    bool rowShows(std::int32_t row, std::uint8_t byte) const
    {
        const auto texts = valueTexts(byte);
        for (int col = 1; col <= 4; ++col)
            if (m_grid->cell(col, row) != texts[col - 1])
                return false;
        return true;
    }

    // A byte the program wrote, and the model now expects.
    void noteWritten(int file, qint64 offset, char disk)
    {
        m_net.try_emplace({ file, offset }, expectedAt(file, offset), disk).first->second.second = disk;
        m_programLast.insert({ file, offset });
        m_written.insert({ file, offset });
        setExpected(file, offset, disk);
    }

    void setExpected(int file, qint64 offset, char byte)
    {
        if (file == SparseIndex)
            m_sparseChanges[offset] = byte;
        else
            m_expected[file][qsizetype(offset)] = byte;
    }

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

    // Returns the byte a typed text stands for.
    std::optional<std::uint8_t> perform(const Action& action, std::int32_t rowsBefore)
    {
        // The file a load by this action reads, when the action loads at all.
        std::optional<int> loads;
        std::optional<std::uint8_t> typed;
        QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : m_grid;
        const bool onGrid = focus == m_grid || focus == m_grid->inplaceEditor();
        switch (action.kind) {
        case Action::Type: {
            // The text replaces what the open editor holds, as a user corrects a value.
            if (onGrid && m_grid->inplaceEditor()->isVisible()) {
                m_grid->inplaceEditor()->setFocus();
                QTest::keyClick(m_grid->inplaceEditor(), Qt::Key_A, Qt::ControlModifier);
            }
            QString text;
            std::tie(text, typed) = textFor(m_grid->currentCol(), action.b, action.a);
            m_typed = text;
            for (const QChar ch : text) {
                QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : m_grid;
                QTest::sendKeyEvent(QTest::Click, target, Qt::Key(ch.toUpper().unicode()), QString(ch), Qt::NoModifier);
            }
            break;
        }
        case Action::Undo:
        case Action::Redo:
            // Only on the table (in the path box the keys would edit the path), and while the rows come from the
            // file the path box names, so that a block shown again for the byte is seen as a load.
            if (!onGrid || m_currentFile != m_blockFile)
                break;
            // Half the time the editor is closed first, as a user leaves it for the table's keys.
            if (action.b && focus == m_grid->inplaceEditor()) {
                QTest::keyClick(focus, Qt::Key_Return);
                focus = m_grid;
            }
            QTest::keyClick(focus, action.kind == Action::Undo ? Qt::Key_Z : (action.a ? Qt::Key_Z : Qt::Key_Y),
                action.kind == Action::Redo && action.a ? Qt::ControlModifier | Qt::ShiftModifier
                                                        : Qt::ControlModifier);
            // The byte may be shown in another block or file first.
            if (indexOf(m_form->currentFile()) != m_currentFile || m_form->startByte() != m_shownStart)
                loads = m_currentFile = indexOf(m_form->currentFile());
            break;
        case Action::UndoTypingAhead:
            // Ctrl+Z with "1" and Down typed at once behind it, delivered whenever the program lets input run
            // (during the undo's reload, or after it): the undo must still take back the write last at its key.
            m_typedAhead
                = m_lastAtKey && !m_candidate && onGrid && m_switch->isChecked() && m_currentFile == m_blockFile;
            if (!m_typedAhead)
                break;
            if (focus == m_grid->inplaceEditor())
                QTest::keyClick(focus, Qt::Key_Return);
            // Away from the written byte first, so that the undo shows it again with a reload that lets input run.
            trigger(m_form->startByte() == 0 ? "N4" : "N3");
            for (const auto& [key, text] :
                { std::pair(Qt::Key_1, QStringLiteral("1")), std::pair(Qt::Key_Down, QString()) })
                for (const QEvent::Type type : { QEvent::KeyPress, QEvent::KeyRelease })
                    // To the window, which hands each key to whatever has the focus when it arrives.
                    QCoreApplication::postEvent(m_form->windowHandle(), new QKeyEvent(type, key, Qt::NoModifier, text));
            QTest::keyClick(m_grid, Qt::Key_Z, Qt::ControlModifier);
            QCoreApplication::processEvents();
            loads = m_currentFile = indexOf(m_form->currentFile());
            break;
        case Action::Paste:
        case Action::Replace: {
            // As for undo, on the table with its editor closed, writing on; an edit waiting must be a number, which
            // the command commits first.
            m_patched.clear();
            m_patching = false;
            if (!onGrid || m_currentFile != m_blockFile || (m_candidate && (!m_candidate->value || m_candidate->any))
                || !m_switch->isChecked() || (action.kind == Action::Replace && m_blockFile == SparseIndex)
                || m_grid->rowCount() <= 2)
                break;
            if (focus == m_grid->inplaceEditor())
                QTest::keyClick(focus, Qt::Key_Return);
            m_patching = true;
            // The edit waiting is committed first; refused, its row shows what the file holds, which is then seen.
            if (m_candidate)
                m_unseen.erase({ m_candidate->file, m_candidate->offset });
            const QString byte = QString::number(action.a, 16).rightJustified(2, QLatin1Char('0'));
            const qint64 start = m_form->startByte();
            if (action.kind == Action::Replace) {
                // Every byte of the file like the current row's, as the file holds them now.
                const char needle = readAt(m_blockFile, start + m_grid->currentRow() - 1, 1).front();
                const QByteArray all = readAt(m_blockFile, 0, sizeOf(m_blockFile));
                for (qsizetype at = 0; at < all.size(); ++at)
                    if (all[at] == needle)
                        m_patched[{ m_blockFile, at }] = char(action.a);
                m_dialogs.promptAnswers = { QByteArray(1, needle).toHex().toStdString(), byte.toStdString() };
                QTest::keyClick(m_grid, Qt::Key_H, Qt::ControlModifier);
                m_dialogs.promptAnswers.clear();
            } else {
                for (int i = 0; i < action.b; ++i)
                    QTest::keyClick(m_grid, Qt::Key_Down, Qt::ShiftModifier);
                const int first = std::min(m_grid->currentRow(), m_grid->anchor().row);
                const int last = std::max(m_grid->currentRow(), m_grid->anchor().row);
                // Whole, over rows the block shows and whose bytes the rows still show; else nothing.
                bool seen = true;
                for (int row = first; row <= last; ++row)
                    seen = seen && !m_unseen.count({ m_blockFile, start + row - 1 });
                for (int row = first; seen && row <= last && last < m_grid->rowCount(); ++row)
                    m_patched[{ m_blockFile, start + row - 1 }] = char(action.a);
                QGuiApplication::clipboard()->setText(byte);
                QTest::keyClick(m_grid, Qt::Key_V, Qt::ControlModifier);
            }
            loads = m_currentFile = indexOf(m_form->currentFile());
            break;
        }
        case Action::Find:
            // As for undo: only while the rows come from the file the path box names, which a match is shown in.
            if (!onGrid || m_currentFile != m_blockFile)
                break;
            m_dialogs.promptAnswers = { Cp1251::fromQString(action.text) };
            QTest::keyClick(focus, action.a ? Qt::Key_F3 : Qt::Key_F,
                action.a == 0       ? Qt::ControlModifier
                    : action.a == 2 ? Qt::ShiftModifier
                                    : Qt::NoModifier);
            m_dialogs.promptAnswers.clear();
            if (m_form->startByte() != m_shownStart)
                loads = m_currentFile;
            break;
        case Action::Poke: {
            // Another program changes the byte of the current row in the shown file.
            const qint64 offset = m_form->startByte() + m_grid->currentRow() - 1;
            QFile f(path(m_blockFile));
            if (rowsBefore > 2 && offset < sizeOf(m_blockFile) && f.open(QIODevice::ReadWrite) && f.seek(offset)) {
                char old = 0;
                f.getChar(&old);
                const char poked = char(old + action.a);
                f.seek(offset);
                f.putChar(poked);
                setExpected(m_blockFile, offset, poked);
                m_unseen.insert({ m_blockFile, offset });
                m_programLast.erase({ m_blockFile, offset });
            }
            break;
        }
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
        // Typing may have gone into the path box.
        m_currentFile = indexOf(m_form->currentFile());
        if (loads) {
            m_blockFile = *loads;
            m_shownStart = m_form->startByte();
        }
        m_loaded = loads.has_value();
        return typed;
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

    // A byte the program changed: by a commit of the pending edit, or by taking a write back or making it again.
    bool explained(int file, qint64 offset, char disk, bool switchOn, bool rewrite) const
    {
        if (!switchOn)
            return false;
        const Place place { file, offset };
        if (rewrite)
            return m_programLast.count(place);
        return m_candidate && m_candidate->file == file && m_candidate->offset == offset && !m_unseen.count(place)
            && (m_candidate->any || (m_candidate->value && *m_candidate->value == static_cast<std::uint8_t>(disk)));
    }

    QString check(bool switchOn, bool rewrite)
    {
        for (int file = 0; file < FileCount; ++file) {
            const std::set<qint64> changed = differences(file);
            if (changed.empty())
                continue;
            if (changed.count(-1))
                return QStringLiteral("%1 changed its length").arg(QString::fromLatin1(Files[file].name));
            // A commit writes one byte; taking back a paste or a replace, or making it again, writes several.
            for (const qint64 offset : changed) {
                const QByteArray byte = readAt(file, offset, 1);
                const char disk = byte.isEmpty() ? '\0' : byte[0];
                if ((!rewrite && changed.size() != 1) || !explained(file, offset, disk, switchOn, rewrite))
                    return QStringLiteral("%1: unexplained write at offset %2 (byte %3)")
                        .arg(QString::fromLatin1(Files[file].name))
                        .arg(offset)
                        .arg(static_cast<std::uint8_t>(disk));
                if (!rewrite)
                    m_lastCommit = Written { file, offset, expectedAt(file, offset) };
                noteWritten(file, offset, disk);
                if (!rewrite)
                    m_candidate.reset();
            }
            ++(rewrite ? m_rewrites : m_writes);
        }
        return checkRows();
    }

    // After an undo with keys typed ahead: the write last at the key is taken back (unless refused, with a
    // notice), and besides it only the typed-ahead "1" may have been written (1, or 0x31 in the Ascii column).
    QString checkTypedAhead(bool refused)
    {
        const Written& last = *m_lastAtKey;
        ++m_typedAheadUndos;
        for (int file = 0; file < FileCount; ++file) {
            for (const qint64 offset : differences(file)) {
                if (offset < 0)
                    return QStringLiteral("%1 changed its length").arg(QString::fromLatin1(Files[file].name));
                const char disk = readAt(file, offset, 1).front();
                if (!(file == last.file && offset == last.offset && disk == last.before) && disk != '\x01'
                    && disk != '1')
                    return QStringLiteral("%1: unexplained write at offset %2 (byte %3) around an undo typed ahead")
                        .arg(QString::fromLatin1(Files[file].name))
                        .arg(offset)
                        .arg(static_cast<std::uint8_t>(disk));
                noteWritten(file, offset, disk);
            }
        }
        const char now = expectedAt(last.file, last.offset);
        if (!refused && now != last.before && now != '1' && now != '\x01')
            return QStringLiteral("the undo typed ahead did not take back the write at offset %1").arg(last.offset);
        m_candidate.reset();
        return checkRows();
    }

    // After a paste or a replace: exactly the bytes the model expects changed, to the byte expected.
    QString checkPatched()
    {
        for (int file = 0; file < FileCount; ++file) {
            for (const qint64 offset : differences(file)) {
                const char disk = offset < 0 ? '\0' : readAt(file, offset, 1).front();
                const auto it = m_patched.find({ file, offset });
                if ((it == m_patched.end() || it->second != disk) && !explained(file, offset, disk, true, false))
                    return QStringLiteral("%1: unexplained write at offset %2 (byte %3) by a paste or replace")
                        .arg(QString::fromLatin1(Files[file].name))
                        .arg(offset)
                        .arg(static_cast<std::uint8_t>(disk));
                noteWritten(file, offset, disk);
            }
        }
        m_patches += m_patched.empty() ? 0 : 1;
        m_candidate.reset();
        return checkRows();
    }

    QString checkRows() const
    {
        const std::int32_t rows = m_grid->rowCount();
        if (rows <= 2)
            return {};
        const qint64 start = m_form->startByte();
        const qint64 size = sizeOf(m_blockFile);
        const qint64 shown = std::min<qint64>(size - start, 8193);
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
            // The row being edited shows what the user typed; one whose byte another program changed, the old byte.
            const bool edited = r == m_grid->currentRow()
                || (m_candidate && m_candidate->file == m_blockFile && m_candidate->offset == start + r - 1)
                || m_unseen.count({ m_blockFile, start + r - 1 });
            if (edited)
                continue;
            if (!rowShows(r, static_cast<std::uint8_t>(block[r - 1])))
                return QStringLiteral("row %1 shows \"%2\" for byte %3 of %4")
                    .arg(r)
                    .arg(Cp1251::toQString(m_grid->cell(1, r)))
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
    std::int32_t m_shownStart = 0;
    QString m_typed;
    // Bytes another program changed that the rows do not show yet.
    std::set<Place> m_unseen;
    // Bytes whose last writer is the program.
    std::set<Place> m_programLast;
    std::set<std::pair<int, qint64>> m_written;
    std::optional<Written> m_lastCommit;
    std::optional<Written> m_lastAtKey;
    bool m_typedAhead = false;
    // What a paste or replace may write: each byte at its place.
    std::map<Place, char> m_patched;
    // Each byte the program wrote: what it held before the first write, and the last byte written.
    std::map<Place, std::pair<char, char>> m_net;
    bool m_patching = false;

public:
    int m_writes = 0; // commits seen on disk and found right
    int m_rewrites = 0; // writes taken back or made again
    int m_typedAheadUndos = 0; // undos with keys typed ahead, checked
    int m_patches = 0; // pastes and replaces that could write
    int m_patchBytes = 0; // bytes the run's saved patch changes

    int writtenBytes() const { return int(m_written.size()); }

    // Saves the shown file's patch of the run, takes it back and makes it again with the command line's steps: the
    // file is first what it would be had the program written nothing, then again what the run left. A byte another
    // program changed after the program's last write to it makes both a conflict that writes nothing. Counts the
    // bytes the patch changes.
    QString saveAndReplayPatch()
    {
        const int file = m_blockFile;
        // The grid's commands wait while its editor is open.
        if (file >= FileCount || m_grid->rowCount() < 2 || m_grid->editorMode())
            return {};
        std::map<qint64, std::pair<char, char>> net;
        bool conflict = false;
        for (const auto& [place, change] : m_net) {
            if (place.first == file && change.first != change.second) {
                net.insert({ place.second, change });
                conflict = conflict || expectedAt(file, place.second) != change.second;
            }
        }
        const std::string patchPath = m_dir.filePath(QStringLiteral("run.patch")).toStdString();
        QFile::remove(QString::fromStdString(patchPath));
        const std::size_t notices = m_dialogs.texts("notice").size();
        m_dialogs.fileAnswers = { patchPath };
        for (QAction* action : m_grid->actions())
            if (action->shortcut() == QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S))
                action->trigger();
        m_dialogs.fileAnswers.clear();
        if (net.empty())
            return m_dialogs.texts("notice").size() == notices + 1
                ? QString()
                : QStringLiteral("no changes, but no notice; saved: ") + [&] {
                      QFile saved(QString::fromStdString(patchPath));
                      return saved.open(QIODevice::ReadOnly) ? QString::fromLatin1(saved.readAll()) : QString();
                  }();
        if (!QFile::exists(QString::fromStdString(patchPath)))
            return QStringLiteral("%1 bytes changed, but no patch saved").arg(net.size());
        const auto replay = [&](PatchCommand::Action action, bool toAfter) {
            const int status = PatchCommand::run(action, patchPath, path(file).toStdString()).status;
            if (status != (conflict ? 1 : 0))
                return QStringLiteral("the patch answered %1 with%2 a conflict").arg(status).arg(conflict ? "" : "out");
            if (!conflict)
                for (const auto& [offset, change] : net)
                    setExpected(file, offset, toAfter ? change.second : change.first);
            return differences(file).empty() ? QString() : QStringLiteral("the patch left other bytes than the run");
        };
        QString failure = replay(PatchCommand::Action::Revert, false);
        if (failure.isEmpty())
            failure = replay(PatchCommand::Action::Apply, true);
        m_patchBytes = int(net.size());
        return failure.isEmpty() ? QString() : QStringLiteral("patch of %1: ").arg(Files[file].name) + failure;
    }

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
    int rewrites = 0;
    int typedAhead = 0;
    int patches = 0;
    int patchBytes = 0;
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
    if (!failure) {
        const QString message = session.saveAndReplayPatch();
        if (!message.isEmpty())
            failure = std::make_pair(i > 0 ? i - 1 : 0, message);
    }
    if (figures) {
        figures->played = i;
        figures->patchBytes = session.m_patchBytes;
        figures->commits = session.m_writes;
        figures->rewrites = session.m_rewrites;
        figures->typedAhead = session.m_typedAheadUndos;
        figures->patches = session.m_patches;
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
    qInfo("figures: seed=%u actions=%zu/%d commits=%d written=%d found=%d misplaced=%d rewrites=%d typed-ahead=%d "
          "patches=%d patch-bytes=%d",
        seed, figures.played, count, figures.commits, figures.written, figures.found, figures.misplaced,
        figures.rewrites, figures.typedAhead, figures.patches, figures.patchBytes);
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
