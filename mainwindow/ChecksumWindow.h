#pragma once

#include "mainwindow/ShownBlock.h"
#include "support/Address.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>

class QProgressBar;
class QRadioButton;
class QTableWidget;

namespace Checksums {
class Sums;
}

// The checksums and digests of the selected bytes or of the whole file: a tool window of the main window's own, as
// the value window is. The selected bytes are summed again whenever the selection or the bytes change; the whole
// file when it is chosen and after every write, one read for all the rows, with the main window live meanwhile and
// Escape stopping it. Ctrl+C copies a cell's text, which the grid's paste then writes as bytes.
class ChecksumWindow : public QWidget {
public:
    // Takes the focus back to the owner: to the control after the window (next) or before it.
    using Leave = std::function<void(bool next)>;
    // The bytes the owner has selected.
    using Selection = std::function<AddressRange()>;

    ChecksumWindow(QWidget* owner, ShownBlock& block, Selection selection, Leave leave);

    // Takes the focus into the window, raised and made active: to the table's first value, or, coming back from
    // the control after it, to the choice of what to sum.
    void enter(bool fromAfter = false);
    // The owner's selection changed.
    void selectionChanged();

protected:
    void showEvent(QShowEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void blockChanged(const BlockChange& change);
    void sumSoon();
    // Sums what is chosen, again as long as something changed meanwhile.
    void sum();
    void sumSelected();
    // False when the window went away while events ran.
    [[nodiscard]] bool sumWholeFile();
    // Shows the values, or a dash in every cell for none.
    void showSums(const Checksums::Sums* sums);
    void setCell(int row, int col, const QString& text);

    ShownBlock& m_block;
    Selection m_selection;
    Leave m_leave;
    QTableWidget* m_table;
    QRadioButton* m_selected;
    QRadioButton* m_wholeFile;
    QProgressBar* m_progress;
    QTimer m_soon;
    bool m_summing = false;
    // Something changed while the whole file was being summed: it is summed again.
    bool m_changed = false;
    // The file whose whole sums are shown, so that a load of another block of it does not sum it again.
    std::optional<std::string> m_summedFile;
};
