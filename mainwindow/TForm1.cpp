#include "mainwindow/TForm1.h"

#include "mainwindow/BlockRows.h"
#include "mainwindow/Comparison.h"
#include "mainwindow/FileDrop.h"
#include "mainwindow/RowFormat.h"
#include "mainwindow/TableReport.h"
#include "mainwindow/WindowText.h"
#include "support/Cp1251.h"
#include "support/Exception.h"
#include "support/FilePath.h"
#include "support/HexText.h"
#include "support/IntParser.h"
#include "support/__Files.h"
#include "support/__Str.h"
#include "ui/EventGuard.h"
#include "ui/dialogs/Dialogs.h"
#include "ui/dialogs/ErrorBox.h"
#include "ui/dialogs/InputPrompt.h"
#include "ui/dialogs/TMessageForm.h"
#include "ui/grid/ByteGrid.h"
#include "ui/spin/SpinButton.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

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
    m_rows = std::make_unique<BlockRows>(m_block, *SG1);
    SG1->setSource(m_rows.get());
    m_block.watch([this](const BlockChange& change) { m_rows->blockChanged(change); });
    // An error while restoring the last file is shown, and the window is still created and shown.
    guarded([this] { FormCreate(); });
    // The keys go to the table from the start, not to the write switch, whose Space would switch writing on.
    SG1->setFocus(Qt::OtherFocusReason);
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
    SG1->setCell(0, 0, text("Nбайта"));
    SG1->setCell(1, 0, "Hex");
    SG1->setCell(2, 0, "Dec");
    SG1->setCell(3, 0, "Bin");
    SG1->setCell(4, 0, "Ascii");
    SG1->setColWidth(0, m_offsetColumnWidth = OffsetColumnWidth);
    // The dialogs start in the program's folder; for the program installed for all users, whose folder takes no
    // file of theirs (their settings live in their own folder), in the user's home.
    const std::string start
        = m_settingsDir.empty() ? m_programDir : QFile::encodeName(QDir::homePath()).toStdString() + '/';
    m_saveDirectory = start;
    m_openDirectory = start;

    // A file named at the start takes the remembered file's place, as if chosen in the open dialog. One that
    // cannot be read would leave an empty window behind its error: the start goes on without it instead.
    if (!m_startFile.empty()) {
        if (isReadableFile(m_startFile)) {
            m_block.open(m_startFile);
            return;
        }
        m_startFileRefused = true;
    }

    // Restore the last file and position. Both keys are read before the file is looked for, and the stored
    // start is used as it is (one past 32 bits only while the file still reaches it).
    setCurrentFile(m_block.restore());
    if (fileExists(currentFile()))
        m_block.showRestored();
}

void TForm1::SpeedButton1Click()
{
    if (m_block.busy())
        return;
    presetOpenDialog(currentFile());
    if (const auto chosen = dialogs().execFileDialog(openDialog()))
        m_block.open(*chosen);
}

void TForm1::openGivenFile(const std::string& path)
{
    if (isReadableFile(path))
        m_block.open(path);
    else
        ShowNotice(text("Ошибка при открытии файла"));
}

void TForm1::SpinButton1UpClick()
{
    m_block.move(ShownBlock::Move::Previous);
}

void TForm1::SpinButton1DownClick()
{
    m_block.move(ShownBlock::Move::Next);
}

void TForm1::N3Click()
{
    m_block.move(ShownBlock::Move::Start);
}

void TForm1::N4Click()
{
    m_block.move(ShownBlock::Move::End);
}

void TForm1::N5Click()
{
    std::int64_t n = 0;
    if (m_block.canNavigate()
        && readNumber(
            text("Перейти к байту N"), text("Введите число (Dec)"), std::to_string(startByte()), n, m_block.fileSize()))
        m_block.goToByte(n);
}

void TForm1::N01Click()
{
    std::int64_t width = 0;
    if (readNumber(
            text("Ширина колонки N 0"), text("Введите число (пикселей)"), std::to_string(SG1->colWidth(0)), width))
        SG1->setColWidth(0, width > 0 ? std::int32_t(width) : m_offsetColumnWidth);
}

void TForm1::N1Click()
{
    if (m_block.busy())
        return;
    const auto chosen = dialogs().execFileDialog(saveDialog());
    if (!chosen)
        return;
    // What the cells show, typed texts of a pending edit included.
    const TableReport report(
        TableReport::dateLineForNow(), currentFile(),
        [this](std::int32_t row, TableReport::RowTexts& texts) { SG1->rowTexts(row, texts); }, SG1->rowCount() - 1);
    report.writeTo(*chosen);
    ShowNotice(text("Готово !"));
}

void TForm1::CheckBox1Click()
{
    colourWriteSwitch();
    SG1->setEditing(CheckBox1->isChecked());
    m_block.setWriting(CheckBox1->isChecked());
}

void TForm1::SG1SetEditText(std::int32_t ACol, std::int32_t ARow, const std::string&, EditReport Report)
{
    // The grid also reports a hand-back of its editor, which is no change of the user's.
    if (Report == EditReport::Typed)
        m_block.edited(ACol, m_rows->addressOf(ARow), Cp1251::firstWithoutByte(SG1->inplaceEditor()->text()));
}

void TForm1::SG1SelectCell(std::int32_t, std::int32_t, bool&)
{
    m_block.commitPending();
}

std::string TForm1::typedText(std::int32_t col, Address address) const
{
    return SG1->cell(col, m_rows->rowOf(address));
}

void TForm1::showNotice(Notice notice)
{
    ShowNotice(text(notice == Notice::CannotOpen ? "Ошибка при открытии файла" : "Ошибка при записи в файл"));
}

void TForm1::showError(const Exception& error)
{
    ShowErrorBox(error);
}

void TForm1::showRecovery(const WriteJournal::Recovery& recovery)
{
    if (recovery.outcome == WriteJournal::Recovery::Outcome::PutBack)
        ShowNotice(text("Прерванная запись в файл отменена: восстановлено байтов: ") + std::to_string(recovery.bytes));
    else
        ShowNotice(text("Журнал прерванной записи другого файла оставлен: ") + Cp1251::fromPath(recovery.journal));
}

void TForm1::setBusy(bool busy)
{
    if (busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
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
    presetOpenDialog(path);
    setWindowTitle(qtext("Файл : ") + qpath(path));
    setCurrentFile(path);
}

void TForm1::setCurrentFile(const std::string& path)
{
    m_shownPath = path;
    EditNameF->setText(qpath(path));
}

void TForm1::showFileSize(Address size)
{
    LabelSizeF->setText(QString::number(size));
    // A label's accessible name replaces its text for a screen reader: the name carries the number too.
    LabelSizeF->setAccessibleName(qtext("Размер файла в байтах: ") + QString::number(size));
    // The offset column follows the file's offsets, unless the user gave it a width of their own.
    if (SG1->colWidth(0) == m_offsetColumnWidth)
        SG1->setColWidth(0, m_offsetColumnWidth = offsetColumnWidth(size));
}

std::int32_t TForm1::offsetColumnWidth(Address size) const
{
    // Up to 4 GiB the width the column always had; past it, room for the file's last offset, the longest text.
    if (size <= Address(1) << 32)
        return OffsetColumnWidth;
    GridSource::TextBuffer buffer;
    const std::string_view last = formatOffset(buffer, size - 1, HexText::offsetDigits(size));
    const int text = SG1->fontMetrics().horizontalAdvance(QString::fromLatin1(last.data(), qsizetype(last.size())));
    // The text starts two pixels into its cell; as many again, and the line, after it.
    return std::max(OffsetColumnWidth, std::int32_t(text + 2 * 2 + GridLayout::LineWidth));
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

bool TForm1::readNumber(const std::string& caption, const std::string& prompt, std::string preset, std::int64_t& number,
    Address reachedSize)
{
    if (!InputPrompt(caption, prompt, preset))
        return false;
    TrimSpaces(preset);
    const auto parsed = tryParseOffset(preset, reachedSize);
    if (!parsed) {
        ShowNotice(text("Бестолочь! Это=") + '"' + quoted(preset) + '"' + text("  НЕ число !"));
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
