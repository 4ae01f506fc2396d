// The window's command keys: undo and redo, finding and replacing bytes, copying and pasting the bytes of rows,
// saving the run's changes as a patch, and the tool windows.
#include "mainwindow/TForm1.h"

#include "mainwindow/BlockRows.h"
#include "mainwindow/ChecksumWindow.h"
#include "mainwindow/FileDialogs.h"
#include "mainwindow/ValueWindow.h"
#include "mainwindow/WindowPlacement.h"
#include "mainwindow/WindowText.h"
#include "support/ByteValues.h"
#include "support/Cp1251.h"
#include "support/Exception.h"
#include "support/HexText.h"
#include "support/__Str.h"
#include "ui/EscapeWatch.h"
#include "ui/SharedClipboard.h"
#include "ui/dialogs/Dialogs.h"
#include "ui/dialogs/InputPrompt.h"
#include "ui/dialogs/TMessageForm.h"
#include "ui/grid/ByteGrid.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>

using namespace WindowText;

namespace {
const QString OctetStream = QStringLiteral("application/octet-stream");

// The tool tip of the find and replace prompts: each form an answer takes, with an example.
std::string findHint()
{
    return text("Байты (Hex): 4D 5A 90 00 или 4D5A9000\n"
                "Любой байт: ?? — 4D 5A ?? ?? 50 45\n"
                "Текст: \"MZ\"\n"
                "Число, в обоих порядках байтов: int32 1234\n"
                "  (int8, uint8, int16, uint16, int32, uint32, int64, uint64, float32, float64,\n"
                "  time32, time64, FILETIME, DOS, bin: uint16 0xBEEF, float64 -0.25, time32 2024-01-31 12:00:00)");
}

std::string orderText(ByteValues::Order order)
{
    return text(order == ByteValues::Order::Little ? "прямой порядок байтов (LE)" : "обратный порядок байтов (BE)");
}
} // namespace

AddressRange TForm1::selectedBytes() const
{
    // Copied out of the pair minmax gives, which refers to the rows it was handed.
    const std::pair<std::int32_t, std::int32_t> rows = std::minmax(SG1->anchor().row, SG1->currentRow());
    return m_rows->addressesOf(rows.first, rows.second);
}

void TForm1::selectBytes(AddressRange bytes)
{
    if (const std::optional<GridRange> rows = m_rows->rowsOf(bytes))
        SG1->selectCells(rows->first, rows->last);
}

void TForm1::undo()
{
    if (const auto place = m_block.rewrite(WriteHistory::Direction::Back))
        SG1->setCurrentCell({ place->col, m_rows->rowOf(place->address) });
}

void TForm1::redo()
{
    if (const auto place = m_block.rewrite(WriteHistory::Direction::Again))
        SG1->setCurrentCell({ place->col, m_rows->rowOf(place->address) });
}

void TForm1::findBytes(FindFrom from)
{
    if (m_block.busy() || m_block.loaded().empty())
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
        [&escape, this] { return escape.pressed() || !isVisible(); }); // a closed window stops it
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
        selectBytes(found.match);
        // Which order a number was found in: the value window shows it when it is up, a notice otherwise.
        if (found.type && found.order) {
            if (m_values && m_values->isVisible())
                m_values->showFound(*found.type, *found.order);
            else
                ShowNotice(text("Найдено: ") + ByteValues::name(*found.type) + ", " + orderText(*found.order));
        }
        break;
    }
}

bool TForm1::askWhatToFind()
{
    std::string answer = m_block.findAnswer();
    bool exact = true;
    if (!InputPrompt(text("Найти"), text("Байты (Hex) или \"текст\""), answer, &exact, findHint()))
        return false;
    using Outcome = ByteSearch::Parsed::Outcome;
    const ShownBlock::FindAnswer taken
        = exact ? m_block.takeFindAnswer(answer) : ShownBlock::FindAnswer { Outcome::NotUnderstood, {} };
    switch (taken.outcome) {
    case Outcome::Understood:
        return true;
    case Outcome::OnlyWildcards:
        ShowNotice(text("Нужен хотя бы один известный байт"));
        return false;
    case Outcome::NoValue:
        ShowNotice(text("Не понимаю значение: ") + quoted(taken.value));
        return false;
    case Outcome::NotUnderstood:
        break;
    }
    TrimSpaces(answer);
    ShowNotice(text("Не понимаю, что искать: ") + quoted(answer));
    return false;
}

void TForm1::copyRows()
{
    const std::string bytes = m_block.shownBytes(selectedBytes());
    if (bytes.empty())
        return;
    auto* data = new QMimeData;
    data->setText(QString::fromLatin1(HexText::pairsOf(bytes, ' ')));
    data->setData(OctetStream, QByteArray::fromStdString(bytes));
    QGuiApplication::clipboard()->setMimeData(data);
}

void TForm1::pasteRows()
{
    ClipboardContent clipboard;
    if (m_block.writing()) {
        const std::optional<ClipboardContent> content = SharedClipboard::read(2000);
        if (!content) {
            ShowNotice(text("Буфер обмена не отвечает"));
            return;
        }
        clipboard = *content;
    }
    const ShownBlock::Pasted pasted = m_block.paste(selectedBytes(), clipboard);
    if (pasted.outcome == ShownBlock::Pasted::Outcome::NotUnderstood)
        ShowNotice(text("Не понимаю, что вставить: ") + quoted(pasted.text));
    else if (pasted.outcome == ShownBlock::Pasted::Outcome::DoesNotFit)
        ShowNotice(text("Вставка не помещается в показанные байты"));
}

void TForm1::replaceBytes()
{
    if (m_block.busy() || m_block.loaded().empty() || !m_block.writing() || !askWhatToFind())
        return;
    std::string replacement;
    bool exact = true;
    if (!InputPrompt(text("Заменить на"), text("Байты (Hex) или \"текст\""), replacement, &exact, findHint()))
        return;
    const EscapeWatch escape;
    const ShownBlock::Replaced replaced = m_block.replaceAll(exact ? std::optional(replacement) : std::nullopt,
        [&escape, this] { return escape.pressed() || !isVisible(); });
    using Outcome = ShownBlock::Replaced::Outcome;
    switch (replaced.outcome) {
    case Outcome::NotUnderstood:
        TrimSpaces(replacement);
        ShowNotice(text("Не понимаю, что вставить: ") + quoted(replacement));
        break;
    case Outcome::LengthDiffers:
        ShowNotice(text("Замена должна быть той же длины"));
        break;
    case Outcome::OnlyWildcards:
        ShowNotice(text("Нужен хотя бы один известный байт"));
        break;
    case Outcome::NoValue:
        ShowNotice(text("Не понимаю значение: ") + quoted(replaced.value));
        break;
    case Outcome::UnknownWhereKnown:
        ShowNotice(text("?? в замене — только там, где ?? в том, что искать"));
        break;
    case Outcome::NumberAndBytes:
        ShowNotice(text("Число заменяется только числом, байты — байтами"));
        break;
    case Outcome::WidthDiffers:
        ShowNotice(text("Замена должна быть числом той же ширины"));
        break;
    case Outcome::OrderUnknown:
        ShowNotice(text("Найденное число читается одинаково в обоих порядках байтов: порядок замены не определить"));
        break;
    case Outcome::CannotOpen:
        ShowNotice(text("Ошибка при открытии файла"));
        break;
    case Outcome::NotFound:
        ShowNotice(text("Не найдено"));
        break;
    case Outcome::WritingOff:
    case Outcome::Stopped:
    case Outcome::NotWritten:
        break;
    case Outcome::Replaced:
        selectBytes(replaced.first);
        ShowNotice(text("Заменено: ") + std::to_string(replaced.count));
        break;
    }
}

void TForm1::savePatch()
{
    if (m_block.netChanges().empty()) {
        ShowNotice(text("Нет изменений"));
        return;
    }
    // Beside the file it changes, where a patch is looked for, rather than in a folder that may take no file.
    FileDialogs::presetBeside(patchDialog(), m_block.file(), "patch");
    if (const auto chosen = dialogs().execFileDialog(patchDialog())) {
        try {
            m_block.savePatch(*chosen);
        } catch (const EInOutError& error) {
            throw Exception(error.message() + ": " + Cp1251::fromPath(*chosen));
        }
    }
}

void TForm1::toggleValueWindow()
{
    if (!m_values)
        m_values = new ValueWindow(this, m_block, [this](bool next) { focusBeyondTools(next, m_values); });
    if (m_values->isVisible())
        m_values->hide();
    else
        showBesideOwner(m_values, this);
}

void TForm1::toggleChecksumWindow()
{
    if (!m_checksums)
        m_checksums = new ChecksumWindow(
            this, m_block, [this] { return selectedBytes(); },
            [this](bool next) { focusBeyondTools(next, m_checksums); });
    if (m_checksums->isVisible())
        m_checksums->hide();
    else
        showBesideOwner(m_checksums, this);
}

void TForm1::focusBeyondTools(bool next, const QWidget* from)
{
    const bool values = m_values && m_values->isVisible();
    const bool checksums = m_checksums && m_checksums->isVisible();
    if (next && from == SG1 && values) {
        m_values->enter();
    } else if (next && from != m_checksums && checksums) {
        m_checksums->enter();
    } else if (!next && from == CheckBox1 && checksums) {
        m_checksums->enter(true);
    } else if (!next && from != m_values && values) {
        m_values->enter();
    } else {
        activateWindow();
        if (next)
            CheckBox1->setFocus(Qt::TabFocusReason);
        else
            SG1->setFocus(Qt::BacktabFocusReason);
    }
}

bool TForm1::focusNextPrevChild(bool next)
{
    // Shift+Tab from the write switch goes back into the tool windows, as Tab from the grid goes on into them.
    if (!next && focusWidget() == CheckBox1
        && ((m_values && m_values->isVisible()) || (m_checksums && m_checksums->isVisible()))) {
        focusBeyondTools(false, CheckBox1);
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}
