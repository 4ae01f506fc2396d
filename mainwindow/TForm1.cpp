#include "mainwindow/TForm1.h"

#include "mainwindow/FileDrop.h"
#include "mainwindow/RowFormat.h"
#include "mainwindow/TableReport.h"
#include "mainwindow/WindowPlacement.h"
#include "mainwindow/WindowText.h"
#include "support/Exception.h"
#include "support/FileHandle.h"
#include "support/FilePath.h"
#include "support/IntParser.h"
#include "support/StrHF.h"
#include "support/__Files.h"
#include "support/__Str.h"
#include "ui/EventGuard.h"
#include "ui/FramePlacement.h"
#include "ui/dialogs/Dialogs.h"
#include "ui/dialogs/ErrorBox.h"
#include "ui/dialogs/InputPrompt.h"
#include "ui/dialogs/TMessageForm.h"
#include "ui/grid/ByteGrid.h"
#include "ui/spin/SpinButton.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QScreen>

#include <algorithm>

using namespace WindowText;

namespace {

constexpr std::int32_t OffsetColumnWidth = 120;

} // namespace

TForm1::TForm1(std::string programDir, std::string startFile, std::string settingsDir, QWidget* parent)
    : QWidget(parent)
    , m_programDir(std::move(programDir))
    , m_settingsDir(std::move(settingsDir))
    , m_startFile(std::move(startFile))
{
    buildControls();
    buildMenu();
    // An error while restoring the last file is shown, and the window is still created and shown.
    guarded([this] { FormCreate(); });
}

TForm1::~TForm1()
{
    SG1->setHandler(nullptr);
    SG1->setSource(nullptr);
    SpinButton1->setHandler(nullptr);
}

void TForm1::FormCreate()
{
    if (m_programDir.empty())
        m_programDir = ProgramDir();
    m_block.setSettingsFile(settingsPath());
    EditPending = false;
    EditCol = -1;
    EditRow = -1;
    SG1->setCell(0, 0, text("Nбайта"));
    SG1->setCell(1, 0, "Hex");
    SG1->setCell(2, 0, "Dec");
    SG1->setCell(3, 0, "Bin");
    SG1->setCell(4, 0, "Ascii");
    m_block.setStartByte(0);
    SG1->setColWidth(0, OffsetColumnWidth);
    m_saveDirectory = m_programDir;
    m_openDirectory = m_programDir;

    // A file named at the start takes the remembered file's place, as if chosen in the open dialog. One that
    // cannot be read would leave an empty window behind its error: the start goes on without it instead.
    if (!m_startFile.empty()) {
        if (isReadableFile(m_startFile)) {
            openFile(m_startFile);
            return;
        }
        m_startFileRefused = true;
    }

    // Restore the last file and position. Both keys are read before the file is looked for, and the stored
    // start is used as it is.
    setCurrentFile(m_block.restore());
    const std::string path = currentFile();
    if (!fileExists(path))
        return;
    presetOpenDialog(path);
    showFile(path);
    LoadBlock(m_block.startByte());
}

void TForm1::SpeedButton1Click()
{
    if (m_block.busy())
        return;
    presetOpenDialog(currentFile());
    const auto chosen = dialogs().execFileDialog(openDialog());
    if (chosen)
        openFile(*chosen);
}

void TForm1::openFile(const std::string& path, std::int32_t start)
{
    commitBeforeBlockChange();
    presetOpenDialog(path);
    showFile(path);
    m_block.setStartByte(start);
    LoadBlock(start);
    m_block.storeFile(currentFile());
}

void TForm1::openGivenFile(const std::string& path)
{
    if (isReadableFile(path))
        openFile(path);
    else
        ShowNotice(text("Ошибка при открытии файла"));
}

bool TForm1::FormCloseQuery()
{
    return true;
}

void TForm1::SpinButton1UpClick()
{
    moveBlock(ShownBlock::Move::Previous);
}

void TForm1::SpinButton1DownClick()
{
    moveBlock(ShownBlock::Move::Next);
}

void TForm1::N3Click()
{
    moveBlock(ShownBlock::Move::Start);
}

void TForm1::N4Click()
{
    moveBlock(ShownBlock::Move::End);
}

void TForm1::N5Click()
{
    if (!m_block.canNavigate())
        return;
    std::int32_t n = 0;
    if (!readNumber(text("Перейти к байту N"), text("Введите число (Dec)"), std::to_string(startByte()), n))
        return;
    moveBlock([this, n] { return ShownBlock::startForByte(n, currentFile()); });
}

void TForm1::moveBlock(ShownBlock::Move move)
{
    if (m_block.canNavigate())
        moveBlock([this, move] { return m_block.startFor(move, currentFile()); });
}

void TForm1::moveBlock(const std::function<std::int32_t()>& newStart)
{
    commitBeforeBlockChange();
    m_block.setStartByte(newStart());
    LoadBlock(m_block.startByte());
    m_block.storeStartByte();
}

void TForm1::N01Click()
{
    std::int32_t width = 0;
    if (!readNumber(
            text("Ширина колонки N 0"), text("Введите число (пикселей)"), std::to_string(SG1->colWidth(0)), width))
        return;
    SG1->setColWidth(0, width > 0 ? width : OffsetColumnWidth);
}

void TForm1::N1Click()
{
    if (m_block.busy())
        return;
    const auto chosen = dialogs().execFileDialog(saveDialog());
    if (!chosen)
        return;
    FileHandle file;
    if (const int err = file.open(*chosen, FileHandle::Mode::CreateText))
        throw EInOutError::fromErrno(err);
    const TableReport report(TableReport::dateLineForNow(), currentFile(),
        TableReport::RowReader([&](std::int32_t row, TableReport::RowTexts& texts) {
            SG1->rowTexts(row, texts);
            return true;
        }),
        SG1->rowCount() - 1);
    report.write([&file](const std::string& piece) { file.write(piece); });
    file.closeChecked();
    ShowNotice(text("Готово !"));
}

void TForm1::CheckBox1Click()
{
    // Unticked, the caption has the desktop's own text colour (black on a light palette, light on a dark one,
    // where black would vanish); ticked, it is red on any.
    QPalette palette = CheckBox1->palette();
    palette.setColor(QPalette::WindowText, Panel1->palette().color(QPalette::WindowText));
    CheckBox1->setPalette(palette);
    SG1->setEditing(false);
    if (CheckBox1->isChecked()) {
        palette.setColor(QPalette::WindowText, Qt::red);
        CheckBox1->setPalette(palette);
        SG1->setEditing(true);
    }
}

void TForm1::SG1SetEditText(std::int32_t ACol, std::int32_t ARow, const std::string& Value)
{
    // The grid also reports a hand-back of its editor; only a text other than what the program last put into
    // the cell is a change of the user's.
    if (m_leavingBlock || m_block.showsOwnText(ACol, ARow, Value))
        return;
    EditPending = true;
    EditCol = ACol;
    EditRow = ARow;
}

void TForm1::SG1SelectCell(std::int32_t, std::int32_t, bool&)
{
    commitPendingEdit();
}

void TForm1::rewriteFromHistory(WriteHistory::Direction direction)
{
    if (!CheckBox1->isChecked() || m_block.busy())
        return;
    // What is typed and not yet committed is committed first, so that it is the last write.
    commitPendingEdit();
    const std::optional<WrittenByte> write = m_block.history().next(direction);
    if (!write)
        return;
    if (!m_block.shows(*write)) {
        if (currentFile() == write->path)
            moveBlock([&write] { return write->startByte; });
        else
            openFile(write->path, write->startByte);
    }
    const std::optional<std::int32_t> row = m_block.rowOf(*write);
    if (!m_block.rewrite(direction))
        ShowNotice(text("Ошибка при записи в файл"));
    if (row)
        SG1->setCurrentCell({ write->col, *row });
}

namespace {

// Escape pressed anywhere while a search runs: noted, and kept from doing anything else.
class EscapeWatch : public QObject {
public:
    EscapeWatch() { QCoreApplication::instance()->installEventFilter(this); }
    [[nodiscard]] bool pressed() const { return m_pressed; }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape)
            return false;
        m_pressed = true;
        return true;
    }

private:
    bool m_pressed = false;
};

} // namespace

void TForm1::findBytes(FindFrom from)
{
    if (m_block.busy() || m_block.loadedRows() < 1)
        return;
    if (from == FindFrom::Prompt || m_findBytes.empty()) {
        std::string answer = m_findAnswer;
        bool exact = true;
        if (!InputPrompt(text("Найти"), text("Байты (Hex) или \"текст\""), answer, &exact))
            return;
        const std::optional<std::string> bytes = exact ? ByteSearch::parseAnswer(answer) : std::nullopt;
        if (!bytes) {
            TrimSpaces(answer);
            ShowNotice(text("Не понимаю, что искать: ") + answer);
            return;
        }
        m_findAnswer = answer;
        m_findBytes = *bytes;
        from = FindFrom::Prompt;
    }
    const std::int64_t current = std::int64_t(startByte()) + SG1->currentRow() - 1;
    commitBeforeBlockChange();
    const EscapeWatch escape;
    const auto result = m_block.find(currentFile(), m_findBytes,
        current
            + (from == FindFrom::Next            ? 1
                    : from == FindFrom::Previous ? -1
                                                 : 0),
        from != FindFrom::Previous, [&escape] { return escape.pressed(); });
    if (!result) {
        ShowNotice(text("Ошибка при открытии файла"));
        return;
    }
    if (result->stopped)
        return;
    if (!result->found) {
        ShowNotice(text("Не найдено"));
        return;
    }
    const std::int64_t match = *result->found;
    moveBlock([this, match] { return ShownBlock::startForByte(match, currentFile()); });
    const std::int64_t first = match - startByte() + 1;
    if (first < 1 || first > m_block.loadedRows())
        return;
    const auto last = std::min<std::int64_t>(first + std::int64_t(m_findBytes.size()) - 1, m_block.loadedRows());
    SG1->selectCells({ 1, static_cast<std::int32_t>(first) }, { 1, static_cast<std::int32_t>(last) });
}

void TForm1::commitBeforeBlockChange()
{
    try {
        commitPendingEdit();
    } catch (const EConvertError& error) {
        // The edit cannot wait for a correction any more: its row is about to show another byte. It is dropped,
        // and the error box says why nothing was written; holding the command back would leave the user stuck
        // whenever the text cannot be corrected (the write switch cleared, no file to go back to).
        EditPending = false;
        m_block.showOwnValue(EditRow);
        ShowErrorBox(error);
    }
}

void TForm1::commitPendingEdit()
{
    if (EditPending
        && !m_block.commit(EditCol, EditRow, std::string(SG1->cell(EditCol, EditRow)), CheckBox1->isChecked()))
        ShowNotice(text("Ошибка при записи в файл"));
    EditPending = false;
}

void TForm1::LoadBlock(std::int32_t start)
{
    if (!m_block.load(currentFile(), start))
        ShowNotice(text("Ошибка при открытии файла"));
}

void TForm1::clearRows()
{
    // The editor this hands back belongs to the block being left: its text is no edit of the new one.
    const QScopedValueRollback<bool> leaving(m_leavingBlock, true);
    SG1->setRowCount(2);
}

void TForm1::setBusy(bool busy)
{
    if (busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void TForm1::showRows(std::int32_t firstRow, std::int64_t, std::span<const std::uint8_t> bytes)
{
    const auto rows = firstRow + static_cast<std::int32_t>(bytes.size());
    if (SG1->rowCount() < rows)
        SG1->setRowCount(rows);
    SG1->sourceChanged({ 0, firstRow }, { 4, rows - 1 });
}

void TForm1::showValue(std::int32_t row, std::uint8_t)
{
    SG1->sourceChanged({ 1, row }, { 4, row });
}

std::string_view TForm1::cellText(std::int32_t col, std::int32_t row, TextBuffer& buffer) const
{
    return m_block.rowText(col, row, buffer);
}

void TForm1::rowTexts(std::int32_t row, RowTexts& texts) const
{
    m_block.rowTexts(row, texts);
}

void TForm1::processEvents()
{
    QCoreApplication::processEvents();
}

std::string TForm1::currentFile() const
{
    const QString shown = EditNameF->text();
    if (shown == qpath(m_shownPath))
        return m_shownPath;
    return QFile::encodeName(shown).toStdString();
}

void TForm1::showFile(const std::string& path)
{
    setWindowTitle(qtext("Файл : ") + qpath(path));
    setCurrentFile(path);
    showFileSize(path);
}

void TForm1::setCurrentFile(const std::string& path)
{
    m_shownPath = path;
    EditNameF->setText(qpath(path));
}

void TForm1::showFileSize(const std::string& path)
{
    // Offsets stop at 2 GiB, but the size shown is the file's true one.
    const std::int64_t size = trueFileSize(path);
    LabelSizeF->setText(QString::number(size));
    // A label's accessible name replaces its text for a screen reader: the name carries the number too.
    LabelSizeF->setAccessibleName(qtext("Размер файла в байтах: ") + QString::number(size));
}

void TForm1::presetOpenDialog(const std::string& path)
{
    // Kept for the dialog until it is first built, and handed on from then on.
    const std::string directory = directoryPart(path);
    if (!directory.empty())
        m_openDirectory = directory;
    m_openName = path;
    if (!OD1)
        return;
    if (!directory.empty())
        OD1->setDirectory(qpath(directory));
    OD1->selectFile(qpath(path));
}

bool TForm1::readNumber(const std::string& caption, const std::string& prompt, std::string preset, std::int32_t& number)
{
    if (!InputPrompt(caption, prompt, preset))
        return false;
    TrimSpaces(preset);
    const auto parsed = tryParseInt(preset);
    if (!parsed) {
        ShowNotice(text("Бестолочь! Это=") + '"' + preset + '"' + text("  НЕ число !"));
        return false;
    }
    number = *parsed;
    return true;
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

void TForm1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_startFileRefused) {
        m_startFileRefused = false;
        // Queued, so that the window behind the message is drawn first.
        QMetaObject::invokeMethod(
            this, [] { guarded([] { ShowNotice(text("Ошибка при открытии файла")); }); }, Qt::QueuedConnection);
    }
}

void TForm1::placeOnScreen()
{
    FramePlacement::install(this, [this](const QMargins& frame) {
        // The designed place and outer size, frame included.
        const QRect designed(281, 104, 567, 470);
        const QScreen* where = QGuiApplication::screenAt(designed.topLeft());
        if (!where)
            where = screen();
        return placeWindow(designed, where ? where->availableGeometry() : QRect()).marginsRemoved(frame);
    });
}

namespace {

// A drop is taken as a copy, never as a move: a source that is told its data moved deletes the original.
// Nor while a modal dialog is up: the drop would run a command in the middle of another one.
std::optional<std::string> fileToTake(const QDropEvent* event)
{
    if (!(event->possibleActions() & Qt::CopyAction) || QApplication::activeModalWidget())
        return std::nullopt;
    return droppedFile(event->mimeData());
}

void answerDrag(QDropEvent* event, bool take)
{
    if (take) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

} // namespace

void TForm1::dragEnterEvent(QDragEnterEvent* event)
{
    m_dragFile = m_block.busy() ? std::nullopt : fileToTake(event);
    answerDrag(event, m_dragFile.has_value());
}

void TForm1::dragMoveEvent(QDragMoveEvent* event)
{
    answerDrag(event, m_dragFile && !m_block.busy());
}

void TForm1::dragLeaveEvent(QDragLeaveEvent* event)
{
    m_dragFile.reset();
    QWidget::dragLeaveEvent(event);
}

void TForm1::dropEvent(QDropEvent* event)
{
    m_dragFile.reset();
    // Looked at again: the file may have changed since the drag came in.
    const std::optional<std::string> file = m_block.busy() ? std::nullopt : fileToTake(event);
    answerDrag(event, file.has_value());
    if (file)
        guarded([this, &file] { openGivenFile(*file); });
}

void TForm1::selectCell(std::int32_t ACol, std::int32_t ARow, bool& CanSelect)
{
    SG1SelectCell(ACol, ARow, CanSelect);
}

void TForm1::setEditText(std::int32_t ACol, std::int32_t ARow, const std::string& Value, EditReport)
{
    SG1SetEditText(ACol, ARow, Value);
}

void TForm1::command(GridCommand command)
{
    switch (command) {
    case GridCommand::Undo:
        rewriteFromHistory(WriteHistory::Direction::Back);
        break;
    case GridCommand::Redo:
        rewriteFromHistory(WriteHistory::Direction::Again);
        break;
    case GridCommand::Find:
        findBytes(FindFrom::Prompt);
        break;
    case GridCommand::FindNext:
        findBytes(FindFrom::Next);
        break;
    case GridCommand::FindPrevious:
        findBytes(FindFrom::Previous);
        break;
    }
}

void TForm1::upClick()
{
    SpinButton1UpClick();
}

void TForm1::downClick()
{
    SpinButton1DownClick();
}
