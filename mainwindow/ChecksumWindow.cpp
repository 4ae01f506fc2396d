#include "mainwindow/ChecksumWindow.h"

#include "mainwindow/WindowText.h"
#include "support/Checksums.h"
#include "support/Cp1251.h"
#include "support/Exception.h"
#include "support/FileHandle.h"
#include "ui/Accessibility.h"
#include "ui/EscapeWatch.h"
#include "ui/EventGuard.h"
#include "ui/dialogs/TMessageForm.h"
#include "ui/table/KeyboardTableAccessible.h"

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPointer>
#include <QProgressBar>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

using Checksums::Algorithm;
using WindowText::qtext;

constexpr int RowCount = static_cast<int>(Checksums::AlgorithmCount);
constexpr int ValueColumn = 1;
constexpr int LittleEndianColumn = 2;
constexpr int BigEndianColumn = 3;
// The progress bar's steps.
constexpr int ProgressSteps = 1000;

Algorithm algorithmOf(int row)
{
    return Checksums::AllAlgorithms[row];
}

QString latin1(const std::string& text)
{
    return QString::fromLatin1(text);
}

} // namespace

ChecksumWindow::ChecksumWindow(QWidget* owner, ShownBlock& block, Selection selection, Leave leave)
    : QWidget(owner, Qt::Tool)
    , m_block(block)
    , m_selection(std::move(selection))
    , m_leave(std::move(leave))
    , m_table(new QTableWidget(RowCount, 4, this))
    , m_selected(new QRadioButton(qtext("Выделенные байты"), this))
    , m_wholeFile(new QRadioButton(qtext("Весь файл"), this))
    , m_progress(new QProgressBar(this))
{
    setObjectName(QStringLiteral("ChecksumWindow"));
    setWindowTitle(qtext("Контрольные суммы"));
    // It appears beside the window being worked in and leaves the keyboard there.
    setAttribute(Qt::WA_ShowWithoutActivating);

    m_table->setObjectName(QStringLiteral("ChecksumTable"));
    // Its current cell reads as focused only while it has the keyboard, which stays in the main window.
    KeyboardTableAccessible::wantFor(m_table);
    m_table->setAccessibleName(qtext("Контрольные суммы"));
    m_table->setHorizontalHeaderLabels({ qtext("Алгоритм"), qtext("Значение"), qtext("Байты LE"), qtext("Байты BE") });
    m_table->verticalHeader()->hide();
    m_table->setTabKeyNavigation(false);
    m_table->setWordWrap(false);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QStringList names;
    for (int row = 0; row < RowCount; ++row) {
        names << latin1(std::string(Checksums::name(algorithmOf(row))));
        for (int col = 0; col < 4; ++col) {
            auto* item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            m_table->setItem(row, col, item);
        }
        m_table->item(row, 0)->setText(names.back());
    }
    // A row header each, for assistive technology, which names a cell by its row and column.
    m_table->setVerticalHeaderLabels(names);
    m_table->setCurrentCell(0, ValueColumn);
    auto* copy = new QAction(m_table);
    copy->setShortcuts(QKeySequence::keyBindings(QKeySequence::Copy));
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, [this] {
        if (const QTableWidgetItem* item = m_table->currentItem())
            QGuiApplication::clipboard()->setText(item->text());
    });
    m_table->addAction(copy);

    m_selected->setObjectName(QStringLiteral("SumSelected"));
    m_wholeFile->setObjectName(QStringLiteral("SumWholeFile"));
    m_selected->setChecked(true);
    connect(m_wholeFile, &QRadioButton::toggled, this, [this] { sumSoon(); });
    m_progress->setObjectName(QStringLiteral("ChecksumProgress"));
    m_progress->setAccessibleName(qtext("Подсчёт по всему файлу"));
    m_progress->setRange(0, ProgressSteps);
    m_progress->setTextVisible(false);
    QSizePolicy keepsItsPlace = m_progress->sizePolicy();
    keepsItsPlace.setRetainSizeWhenHidden(true);
    m_progress->setSizePolicy(keepsItsPlace);
    m_progress->hide();

    auto* choice = new QHBoxLayout;
    choice->addWidget(m_selected);
    choice->addWidget(m_wholeFile);
    choice->addWidget(m_progress, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_table);
    layout->addLayout(choice);
    setTabOrder(m_table, m_selected);
    setTabOrder(m_selected, m_wholeFile);

    // The columns fit the widest number, a CRC-64's; a digest, up to four times as wide, is cut in its middle,
    // whole in its tooltip, in a copy and to a screen reader.
    m_table->setTextElideMode(Qt::ElideMiddle);
    const Checksums::Sums none;
    showSums(&none);
    m_table->resizeColumnToContents(0);
    const QFontMetrics metrics = m_table->fontMetrics();
    const int padding = 2 * metrics.averageCharWidth();
    const std::string crc64 = none.value(Algorithm::Crc64Xz);
    m_table->setColumnWidth(ValueColumn, metrics.horizontalAdvance(latin1(Checksums::valueText(crc64))) + padding);
    for (const int col : { LittleEndianColumn, BigEndianColumn })
        m_table->setColumnWidth(
            col, metrics.horizontalAdvance(latin1(Checksums::bytesText(Algorithm::Crc64Xz, crc64, true))) + padding);
    m_table->resizeRowsToContents();
    const int frame = 2 * m_table->frameWidth();
    resize(m_table->horizontalHeader()->length() + frame,
        m_table->horizontalHeader()->height() + m_table->verticalHeader()->length() + frame + layout->spacing()
            + choice->sizeHint().height());

    m_soon.setSingleShot(true);
    connect(&m_soon, &QTimer::timeout, this, [this] { guarded([this] { sum(); }); });
    m_block.watch([window = QPointer(this)](const BlockChange& change) {
        if (window)
            window->blockChanged(change);
    });
}

void ChecksumWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_summedFile.reset();
    sumSoon();
}

void ChecksumWindow::selectionChanged()
{
    if (m_selected->isChecked())
        sumSoon();
}

void ChecksumWindow::blockChanged(const BlockChange& change)
{
    using Kind = BlockChange::Kind;
    if (change.kind == Kind::Writing)
        return;
    if (m_selected->isChecked() || change.kind == Kind::Written)
        m_summedFile.reset();
    if (!m_summedFile || *m_summedFile != m_block.file())
        sumSoon();
}

void ChecksumWindow::sumSoon()
{
    if (m_summing)
        m_changed = true;
    else if (isVisible())
        m_soon.start(0);
}

void ChecksumWindow::sum()
{
    if (m_summing)
        return;
    do {
        m_changed = false;
        if (!isVisible())
            return;
        if (m_selected->isChecked()) {
            sumSelected();
        } else if (m_block.busy()) {
            // A load or a search lets events run; the file is read once it is done, never from inside it.
            m_soon.start(50);
            return;
        } else if (!sumWholeFile()) {
            return;
        }
    } while (m_changed);
}

void ChecksumWindow::sumSelected()
{
    m_progress->hide();
    Checksums::Sums sums;
    sums.add(m_block.shownBytes(m_selection()));
    showSums(&sums);
}

bool ChecksumWindow::sumWholeFile()
{
    const QPointer<ChecksumWindow> window(this);
    const std::string path = m_block.file();
    FileHandle::Opened opened
        = path.empty() ? FileHandle::Opened {} : FileHandle::tryOpen(path, FileHandle::Mode::Read);
    if (!opened) {
        showSums(nullptr);
        m_summedFile = path;
        if (!path.empty())
            ShowNotice(WindowText::text("Ошибка при открытии файла"));
        return true;
    }
    const Address size = opened.file.size();
    const EscapeWatch escape;
    bool stopped = false;
    m_progress->setValue(0);
    m_progress->show();
    m_summing = true;
    std::optional<Checksums::Sums> sums;
    try {
        sums = Checksums::sumFile(opened.file, { 0, size }, Checksums::Sums(), [&](Address done) {
            if (done < size) {
                // Values that no longer hold are not left standing while the rest is read.
                if (done == std::min<Address>(size, Checksums::ReadChunk))
                    showSums(nullptr);
                // Scaled without overflow however large the file.
                m_progress->setValue(int(size <= ReachableSize / ProgressSteps ? done * ProgressSteps / size
                                                                               : done / (size / ProgressSteps)));
                QCoreApplication::processEvents();
            }
            if (!window)
                return false;
            stopped = escape.pressed() || !isVisible() || !parentWidget()->isVisible();
            return !stopped && !m_changed && m_wholeFile->isChecked();
        });
    } catch (const EInOutError&) {
        if (window) {
            m_summing = false;
            m_progress->hide();
            showSums(nullptr);
        }
        throw;
    }
    if (!window)
        return false;
    m_summing = false;
    m_progress->hide();
    if (sums) {
        showSums(&*sums);
        m_summedFile = path;
    } else if (stopped) {
        showSums(nullptr);
        m_summedFile = path;
    }
    return true;
}

void ChecksumWindow::showSums(const Checksums::Sums* sums)
{
    const QTableWidgetItem* current = m_table->currentItem();
    const QString heard = current ? current->text() : QString();
    const QString dash = qtext("—");
    for (int row = 0; row < RowCount; ++row) {
        const Algorithm algorithm = algorithmOf(row);
        const std::string value = sums ? sums->value(algorithm) : std::string();
        setCell(row, ValueColumn, sums ? latin1(Checksums::valueText(value)) : dash);
        setCell(row, LittleEndianColumn, sums ? latin1(Checksums::bytesText(algorithm, value, true)) : dash);
        setCell(row, BigEndianColumn, sums ? latin1(Checksums::bytesText(algorithm, value, false)) : dash);
    }
    // A screen reader speaks the current cell's new value, as it speaks a focused object's new name.
    if (AccessibilityState::listening && current && current->text() != heard) {
        if (QAccessibleInterface* table = QAccessible::queryAccessibleInterface(m_table)) {
            QAccessibleEvent changed(
                table->tableInterface()->cellAt(current->row(), current->column()), QAccessible::NameChanged);
            sendAccessibilityEvent(changed);
        }
    }
}

void ChecksumWindow::setCell(int row, int col, const QString& text)
{
    QTableWidgetItem* item = m_table->item(row, col);
    if (item->text() != text) {
        item->setText(text);
        item->setToolTip(text);
    }
}

void ChecksumWindow::enter(bool fromAfter)
{
    raise();
    activateWindow();
    if (fromAfter) {
        (m_selected->isChecked() ? m_selected : m_wholeFile)->setFocus(Qt::BacktabFocusReason);
        return;
    }
    m_table->setCurrentCell(0, ValueColumn);
    m_table->setFocus(Qt::TabFocusReason);
}

bool ChecksumWindow::focusNextPrevChild(bool next)
{
    // The table is the window's first stop and the choice its last: beyond them, the main window's controls.
    const QWidget* focus = focusWidget();
    const bool atChoice = focus == m_selected || focus == m_wholeFile;
    if ((next && atChoice) || (!next && focus == m_table)) {
        guarded([&] { m_leave(next); });
        return true;
    }
    if (next && focus == m_table) {
        (m_selected->isChecked() ? m_selected : m_wholeFile)->setFocus(Qt::TabFocusReason);
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}
