#include "mainwindow/ValueWindow.h"

#include "mainwindow/ValueTable.h"
#include "mainwindow/WindowText.h"
#include "support/ByteValues.h"
#include "support/Cp1251.h"
#include "support/Exception.h"
#include "ui/EventGuard.h"
#include "ui/dialogs/TMessageForm.h"

#include <QAction>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QProxyStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace {

using ByteValues::Order;
using ByteValues::Type;
using WindowText::qtext;

constexpr int RowCount = static_cast<int>(std::size(ByteValues::AllTypes));

// The widest text a value cell can show in this font. A float64 is written in the shorter of its two forms:
// seventeen digits, a point, an 'e' and a signed three-digit exponent ('+' is wider than '-' in most fonts), or
// the fixed form, up to 22 digits, when that is no longer. Times run to 14 digits with the zone, integers to 19.
// Built of the widest digit, so that no value the font draws wider is cut.
QString widestValueText(const QFontMetrics& metrics)
{
    QChar digit = QLatin1Char('0');
    for (char c = '1'; c <= '9'; ++c)
        if (metrics.horizontalAdvance(QLatin1Char(c)) > metrics.horizontalAdvance(digit))
            digit = QLatin1Char(c);
    const QChar sign = metrics.horizontalAdvance(QLatin1Char('+')) > metrics.horizontalAdvance(QLatin1Char('-'))
        ? QLatin1Char('+')
        : QLatin1Char('-');
    const auto digits = [&](int count) { return QString(count, digit); };
    const QString candidates[] = {
        QLatin1Char('-') + digits(1) + QLatin1Char('.') + digits(16) + QLatin1Char('e') + sign + digits(3),
        QLatin1Char('-') + digits(22),
        digits(4) + QLatin1Char('-') + digits(2) + QLatin1Char('-') + digits(2) + QLatin1Char(' ') + digits(2)
            + QLatin1Char(':') + digits(2) + QLatin1Char(':') + digits(2) + QStringLiteral(" UTC"),
    };
    return *std::max_element(std::begin(candidates), std::end(candidates), [&](const QString& a, const QString& b) {
        return metrics.horizontalAdvance(a) < metrics.horizontalAdvance(b);
    });
}

Type typeOf(int row)
{
    return ByteValues::AllTypes[row];
}

Order orderOf(int col)
{
    return col == 1 ? Order::Little : Order::Big;
}

bool hasCell(int row, int col)
{
    return col == 1 || (col == 2 && ByteValues::hasOrder(typeOf(row)));
}

// A cell's text one pixel nearer its grid lines than the style sets it: room for the widest value in both
// columns while the window still fits beside the main window on a 1280-pixel screen.
class ValueTableStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        const int value = QProxyStyle::pixelMetric(metric, option, widget);
        return metric == PM_FocusFrameHMargin ? std::max(0, value - 1) : value;
    }
};

// Writes only on Enter: Escape, a click elsewhere or Tab drop what was typed, so that no value is written that the
// user did not confirm.
class ValueDelegate : public QStyledItemDelegate {
public:
    // Writes a confirmed text; false when it was refused with a message.
    using Commit = std::function<bool(int row, int col, const QString& text)>;
    // After a message about the text typed in (row, col).
    using Refused = std::function<void(int row, int col)>;
    ValueDelegate(QObject* parent, Commit commit, Refused refused)
        : QStyledItemDelegate(parent)
        , m_commit(std::move(commit))
        , m_refused(std::move(refused))
    {
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        // Named as a screen reader names the cell: its type and its byte order.
        if (editor)
            editor->setAccessibleName(index.model()->headerData(index.row(), Qt::Vertical).toString()
                + QStringLiteral(", ") + index.model()->headerData(index.column(), Qt::Horizontal).toString());
        return editor;
    }

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        const auto* line = qobject_cast<QLineEdit*>(editor);
        if (!line)
            return;
        bool refused = true;
        guarded([&] { refused = !m_commit(index.row(), index.column(), line->text()); });
        if (refused)
            m_refused(index.row(), index.column());
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* editor = qobject_cast<QWidget*>(watched);
        if (editor && event->type() == QEvent::FocusOut) {
            emit closeEditor(editor, NoHint);
            return false;
        }
        if (editor && event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
                emit closeEditor(editor, NoHint);
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(watched, event);
    }

private:
    Commit m_commit;
    Refused m_refused;
};

} // namespace

ValueWindow::ValueWindow(QWidget* owner, ShownBlock& block, Leave leave)
    : QWidget(owner, Qt::Tool)
    , m_block(block)
    , m_table(new ValueTable(RowCount, 3, this))
    , m_leave(std::move(leave))
{
    setObjectName(QStringLiteral("ValueWindow"));
    setWindowTitle(qtext("Значения"));
    // It appears beside the window being worked in and leaves the keyboard there.
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto* hide = new QAction(this);
    hide->setShortcut(Qt::Key_F12);
    connect(hide, &QAction::triggered, this, &QWidget::hide);
    addAction(hide);
    m_table->setObjectName(QStringLiteral("ValueTable"));
    // Owned by the window, so that it outlives the table, which a widget's style must.
    auto* style = new ValueTableStyle;
    style->setParent(this);
    m_table->setStyle(style);
    m_table->setAccessibleName(qtext("Значения"));
    m_table->setHorizontalHeaderLabels({ qtext("Тип"), qtext("Прямой (LE)"), qtext("Обратный (BE)") });
    m_table->verticalHeader()->hide();
    m_table->setTabKeyNavigation(false);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked);
    m_table->setItemDelegate(new ValueDelegate(
        m_table, [this](int row, int col, const QString& text) { return commitTyped(row, col, text); },
        [this](int row, int col) { backToCell(row, col); }));
    m_table->installEventFilter(this);
    QStringList names;
    for (int row = 0; row < RowCount; ++row) {
        names << Cp1251::toQString(ByteValues::name(typeOf(row)));
        for (int col = 0; col < 3; ++col)
            m_table->setItem(row, col, new QTableWidgetItem);
        m_table->item(row, 0)->setText(names.back());
        m_table->item(row, 0)->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    }
    // A row header each, for assistive technology, which names a cell by its row and column.
    m_table->setVerticalHeaderLabels(names);
    // The text runs across both value columns.
    m_table->setSpan(RowCount - 1, 1, 1, 2);
    m_table->setCurrentCell(0, 1);

    // Each value column as wide as the widest value with the margins the style draws around a cell's text, so
    // that no value is ever elided; the table measures it, in a cell that showBytes() fills afterwards.
    m_table->resizeColumnToContents(0);
    const QString widest = widestValueText(m_table->fontMetrics());
    for (int col = 1; col <= 2; ++col) {
        m_table->item(0, col)->setText(widest);
        m_table->resizeColumnToContents(col);
    }
    m_table->resizeRowsToContents();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_table);
    const int frame = 2 * m_table->frameWidth();
    resize(m_table->horizontalHeader()->length() + frame,
        m_table->horizontalHeader()->height() + m_table->verticalHeader()->length() + frame);
    showBytes();
    m_block.watch([window = QPointer(this)](const BlockChange& change) {
        if (window)
            guarded([&] { window->blockChanged(change); });
    });
}

void ValueWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    showBytes();
}

void ValueWindow::blockChanged(const BlockChange& change)
{
    if (!isVisible())
        return;
    using Kind = BlockChange::Kind;
    const AddressRange read { m_block.current(), m_block.current() + ByteSpan };
    if (change.kind == Kind::Loaded || change.kind == Kind::Emptied || change.kind == Kind::Current
        || change.kind == Kind::Writing || change.bytes.overlaps(read))
        showBytes();
}

void ValueWindow::showBytes()
{
    const Address from = m_block.current();
    m_bytes = m_block.shownBytes({ from, from + ByteSpan });
    m_writable = m_block.writing();
    const std::string_view bytes = m_bytes;
    const bool writable = m_writable;
    for (int row = 0; row < RowCount; ++row) {
        for (int col = 1; col <= 2; ++col) {
            m_table->setCellText(row, col, Cp1251::toQString(ByteValues::shown(typeOf(row), orderOf(col), bytes)));
            QTableWidgetItem* item = m_table->item(row, col);
            // A type read in one order only has no second cell: no stop for the keys, nothing to hear.
            const Qt::ItemFlags flags = !hasCell(row, col)
                ? Qt::NoItemFlags
                : Qt::ItemIsEnabled | Qt::ItemIsSelectable | (writable ? Qt::ItemIsEditable : Qt::NoItemFlags);
            if (item->flags() != flags)
                item->setFlags(flags);
        }
    }
}

void ValueWindow::enter()
{
    raise();
    activateWindow();
    m_table->setFocus(Qt::TabFocusReason);
}

void ValueWindow::showFound(Type type, Order order)
{
    const auto row = std::find(std::begin(ByteValues::AllTypes), std::end(ByteValues::AllTypes), type);
    m_table->setCurrentCell(static_cast<int>(row - std::begin(ByteValues::AllTypes)), order == Order::Little ? 1 : 2);
}

bool ValueWindow::focusNextPrevChild(bool next)
{
    // The table is the window's one stop: Tab and Shift+Tab go on to the main window's controls.
    guarded([&] { m_leave(next); });
    return true;
}

bool ValueWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Enter opens the current value cell's editor, as a double click does.
    // (An open editor's Return, which it passes on to the table, is the editor's.)
    if (watched == m_table && event->type() == QEvent::KeyPress && m_table->hasFocus()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        QTableWidgetItem* item = m_table->currentItem();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && item && (item->flags() & Qt::ItemIsEditable)) {
            m_table->editItem(item);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool ValueWindow::commitTyped(int row, int col, const QString& text)
{
    if (!m_writable || !hasCell(row, col))
        return true;
    const std::optional<std::string> typed = Cp1251::fromQStringExactly(text);
    const std::optional<std::string> bytes
        = typed ? ByteValues::bytesOf(typeOf(row), orderOf(col), *typed) : std::nullopt;
    if (!bytes)
        throw EConvertError(Cp1251::fromUtf8("Не понимаю значение: ") + WindowText::quoted(Cp1251::fromQString(text)));
    // A value the bytes already show is not written again: a NaN typed over another NaN keeps its own bits, a time
    // its fractions of a second.
    const std::string there = m_bytes.substr(0, bytes->size());
    if (there.size() == bytes->size()
        && ByteValues::shown(typeOf(row), orderOf(col), there) == ByteValues::shown(typeOf(row), orderOf(col), *bytes))
        return true;
    if (m_block.writeValue(*bytes) == ShownBlock::Pasted::Outcome::DoesNotFit) {
        ShowNotice(Cp1251::fromUtf8("Значение не помещается в показанные байты"));
        return false;
    }
    return true;
}

void ValueWindow::backToCell(int row, int col)
{
    // The message took the keyboard, and closing it hands the keyboard to the main window; the user was typing
    // here. Queued: the editor is still closing, and the window manager activates the main window first.
    QMetaObject::invokeMethod(
        this,
        [window = QPointer(this), row, col] {
            guarded([&] {
                if (!window || !window->isVisible())
                    return;
                window->m_table->setCurrentCell(row, col);
                window->enter();
            });
        },
        Qt::QueuedConnection);
}
