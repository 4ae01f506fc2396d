// The grid's command keys: undo and redo, finding bytes, and copying and pasting the bytes of rows.
#include "mainwindow/TForm1.h"

#include "mainwindow/ValueWindow.h"
#include "mainwindow/WindowPlacement.h"
#include "mainwindow/WindowText.h"
#include "support/ByteSearch.h"
#include "support/Cp1251.h"
#include "support/FileHandle.h"
#include "support/PatchFile.h"
#include "support/__Str.h"
#include "ui/EscapeWatch.h"
#include "ui/dialogs/Dialogs.h"
#include "ui/dialogs/InputPrompt.h"
#include "ui/dialogs/TMessageForm.h"
#include "ui/grid/ByteGrid.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>
#include <utility>

using namespace WindowText;

namespace {
const QString OctetStream = QStringLiteral("application/octet-stream");

// The rows the selection spans, whatever its columns: the current row alone when nothing else is selected.
std::pair<std::int32_t, std::int32_t> selectedRows(const ByteGrid& grid)
{
    return std::minmax(grid.anchor().row, grid.currentRow());
}
} // namespace

void TForm1::command(GridCommand command)
{
    switch (command) {
    case GridCommand::Undo:
    case GridCommand::Redo:
        if (const auto cell = m_block.rewrite(
                command == GridCommand::Undo ? WriteHistory::Direction::Back : WriteHistory::Direction::Again))
            SG1->setCurrentCell(*cell);
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
    case GridCommand::Copy:
        copyRows();
        break;
    case GridCommand::Paste:
        pasteRows();
        break;
    case GridCommand::Replace:
        replaceBytes();
        break;
    case GridCommand::SavePatch:
        savePatch();
        break;
    }
}

void TForm1::findBytes(FindFrom from)
{
    if (m_block.busy() || m_block.loadedRows() < 1)
        return;
    if (from == FindFrom::Prompt || !m_block.canFindAgain()) {
        if (!askWhatToFind())
            return;
        from = FindFrom::Prompt;
    }
    using Where = ShownBlock::FindFrom;
    const EscapeWatch escape;
    const ShownBlock::Found found = m_block.find(from == FindFrom::Next ? Where::After
            : from == FindFrom::Previous                                ? Where::Before
                                                                        : Where::Here,
        SG1->currentRow(), [&escape, this] { return escape.pressed() || !isVisible(); }); // a closed window stops it
    switch (found.outcome) {
    case ShownBlock::Found::Outcome::CannotOpen:
        ShowNotice(text("Ошибка при открытии файла"));
        break;
    case ShownBlock::Found::Outcome::NotFound:
        ShowNotice(text("Не найдено"));
        break;
    case ShownBlock::Found::Outcome::Stopped:
        break;
    case ShownBlock::Found::Outcome::Found:
        if (found.rows)
            SG1->selectCells(found.rows->first, found.rows->last);
        break;
    }
}

bool TForm1::askWhatToFind()
{
    std::string answer = m_block.findAnswer();
    bool exact = true;
    if (!InputPrompt(text("Найти"), text("Байты (Hex) или \"текст\""), answer, &exact))
        return false;
    if (!exact || !m_block.takeFindAnswer(answer)) {
        TrimSpaces(answer);
        ShowNotice(text("Не понимаю, что искать: ") + answer);
        return false;
    }
    return true;
}

void TForm1::copyRows()
{
    const auto [first, last] = selectedRows(*SG1);
    const std::string bytes = m_block.shownBytes(first, last);
    if (bytes.empty())
        return;
    QString text;
    for (const char byte : bytes)
        text += QStringLiteral("%1 ").arg(static_cast<unsigned char>(byte), 2, 16, QLatin1Char('0')).toUpper();
    text.chop(1);
    auto* data = new QMimeData;
    data->setText(text);
    data->setData(OctetStream, QByteArray::fromStdString(bytes));
    QGuiApplication::clipboard()->setMimeData(data);
}

void TForm1::pasteRows()
{
    if (!CheckBox1->isChecked())
        return;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    std::string bytes;
    if (data && data->hasFormat(OctetStream)) {
        bytes = data->data(OctetStream).toStdString();
    } else if (data && !data->text().trimmed().isEmpty()) {
        // Read as an answer to the find prompt is: hex pairs, with or without blanks, or a quoted text.
        const std::optional<std::string> exact = Cp1251::fromQStringExactly(data->text());
        const std::optional<std::string> parsed = exact ? ByteSearch::parseAnswer(*exact) : std::nullopt;
        if (!parsed) {
            std::string shown = Cp1251::fromQString(data->text());
            TrimSpaces(shown);
            ShowNotice(text("Не понимаю, что вставить: ") + shown);
            return;
        }
        bytes = *parsed;
    }
    const auto [first, last] = selectedRows(*SG1);
    if (m_block.paste(first, last, bytes) == ShownBlock::Pasted::DoesNotFit)
        ShowNotice(text("Вставка не помещается в показанные байты"));
}

void TForm1::replaceBytes()
{
    if (m_block.busy() || m_block.loadedRows() < 1 || !CheckBox1->isChecked())
        return;
    if (!askWhatToFind())
        return;
    std::string replacement;
    bool exact = true;
    if (!InputPrompt(text("Заменить на"), text("Байты (Hex) или \"текст\""), replacement, &exact))
        return;
    const std::optional<std::string> bytes = exact ? ByteSearch::parseAnswer(replacement) : std::nullopt;
    if (!bytes) {
        TrimSpaces(replacement);
        ShowNotice(text("Не понимаю, что вставить: ") + replacement);
        return;
    }
    if (bytes->size() != ByteSearch::parseAnswer(m_block.findAnswer())->size()) {
        ShowNotice(text("Замена должна быть той же длины"));
        return;
    }
    const EscapeWatch escape;
    const ShownBlock::Replaced replaced
        = m_block.replaceAll(*bytes, [&escape, this] { return escape.pressed() || !isVisible(); });
    switch (replaced.outcome) {
    case ShownBlock::Replaced::Outcome::CannotOpen:
        ShowNotice(text("Ошибка при открытии файла"));
        break;
    case ShownBlock::Replaced::Outcome::NotFound:
        ShowNotice(text("Не найдено"));
        break;
    case ShownBlock::Replaced::Outcome::Stopped:
    case ShownBlock::Replaced::Outcome::NotWritten:
        break;
    case ShownBlock::Replaced::Outcome::Replaced:
        if (replaced.rows)
            SG1->selectCells(replaced.rows->first, replaced.rows->last);
        ShowNotice(text("Заменено: ") + std::to_string(replaced.count));
        break;
    }
}

void TForm1::savePatch()
{
    const PatchFile::Patch patch = m_block.netChanges();
    if (patch.empty()) {
        ShowNotice(text("Нет изменений"));
        return;
    }
    const auto chosen = dialogs().execFileDialog(patchDialog());
    if (!chosen)
        return;
    FileHandle::Opened shown = FileHandle::tryOpen(m_block.file(), FileHandle::Mode::Read);
    FileHandle out = FileHandle::open(*chosen, FileHandle::Mode::CreateText);
    out.write(PatchFile::format(patch, m_block.file(), shown ? shown.file.size() : -1));
    out.sync();
    out.close();
}

void TForm1::toggleValues()
{
    if (!m_values) {
        m_values = new ValueWindow(
            this, [this](const std::string& bytes) { writeValue(bytes); },
            [this](bool next) {
                activateWindow();
                if (next)
                    CheckBox1->setFocus(Qt::TabFocusReason);
                else
                    SG1->setFocus(Qt::BacktabFocusReason);
            });
        placeBesideOwner(m_values, this);
    }
    if (m_values->isVisible()) {
        m_values->hide();
        return;
    }
    m_values->show();
    showValues();
}

void TForm1::showValues()
{
    const std::int32_t row = SG1->currentRow();
    m_values->showBytes(
        row >= 1 ? m_block.shownBytes(row, row + ValueWindow::ByteSpan - 1) : std::string(), CheckBox1->isChecked());
}

void TForm1::writeValue(const std::string& bytes)
{
    const std::int32_t row = SG1->currentRow();
    if (m_block.paste(row, row, bytes) == ShownBlock::Pasted::DoesNotFit)
        ShowNotice(text("Значение не помещается в показанные байты"));
}

bool TForm1::focusNextPrevChild(bool next)
{
    // Shift+Tab from the write switch goes back into the value window, as Tab from the grid goes on into it.
    if (!next && m_values && m_values->isVisible() && focusWidget() == CheckBox1) {
        m_values->enter();
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}
