// The window's controls connected to its handlers, its command keys, and the file dialogs, built when first shown.
#include "mainwindow/TForm1.h"

#include "mainwindow/BlockRows.h"
#include "mainwindow/ChecksumWindow.h"
#include "mainwindow/FileDialogs.h"
#include "mainwindow/ValueWindow.h"
#include "mainwindow/WindowPlacement.h"
#include "mainwindow/WindowText.h"
#include "ui/EventGuard.h"
#include "ui/grid/ByteGrid.h"
#include "ui/spin/SpinButton.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QToolButton>

using namespace WindowText;

void TForm1::buildControls()
{
    setupUi(this);
    SpinButton1->setHandler(this);
    SG1->setHandler(this);
    // Editing follows the box's state, whatever changed it: a click, Space, a screen reader's toggle action.
    connect(CheckBox1, &QCheckBox::toggled, this, [this] { guarded([this] { CheckBox1Click(); }); });
    const auto connectTo = [this](auto* sender, auto signal, void (TForm1::*command)()) {
        connect(sender, signal, this, [this, command] { guarded([this, command] { (this->*command)(); }); });
    };
    connectTo(SpeedButton1, &QToolButton::clicked, &TForm1::SpeedButton1Click);
    connectTo(N3, &QAction::triggered, &TForm1::N3Click);
    connectTo(N4, &QAction::triggered, &TForm1::N4Click);
    connectTo(N5, &QAction::triggered, &TForm1::N5Click);
    connectTo(N1, &QAction::triggered, &TForm1::N1Click);
    connectTo(N01, &QAction::triggered, &TForm1::N01Click);
    buildShortcuts();
}

void TForm1::addCommand(QWidget* on, const QList<QKeySequence>& keys, void (TForm1::*command)())
{
    // As shortcuts, so that they work under any keyboard layout.
    auto* action = new QAction(on);
    action->setShortcuts(keys);
    action->setShortcutContext(on == SG1 ? Qt::WidgetShortcut : Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, [this, on, command] {
        guarded([&] {
            if (on != SG1 || !SG1->editorBound())
                (this->*command)();
        });
    });
    on->addAction(action);
}

// The open button and the spin button never take the keyboard focus, so they get keys of their own: without
// them a keyboard-only user could neither open a file nor page through it.
void TForm1::buildShortcuts()
{
    addCommand(this, { QKeySequence(Qt::CTRL | Qt::Key_O) }, &TForm1::SpeedButton1Click);
    addCommand(this, { QKeySequence(Qt::ALT | Qt::Key_PageUp) }, &TForm1::SpinButton1UpClick);
    addCommand(this, { QKeySequence(Qt::ALT | Qt::Key_PageDown) }, &TForm1::SpinButton1DownClick);
    // The grid's command keys act on the grid itself, with no editor open.
    addCommand(SG1, { QKeySequence(Qt::CTRL | Qt::Key_Z) }, &TForm1::undo);
    addCommand(
        SG1, { QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y) }, &TForm1::redo);
    addCommand(SG1, { QKeySequence(Qt::CTRL | Qt::Key_F) }, &TForm1::find);
    addCommand(SG1, { QKeySequence(Qt::Key_F3) }, &TForm1::findNext);
    addCommand(SG1, { QKeySequence(Qt::SHIFT | Qt::Key_F3) }, &TForm1::findPrevious);
    addCommand(SG1, QKeySequence::keyBindings(QKeySequence::Copy), &TForm1::copyRows);
    addCommand(SG1, QKeySequence::keyBindings(QKeySequence::Paste), &TForm1::pasteRows);
    addCommand(SG1, { QKeySequence(Qt::CTRL | Qt::Key_H) }, &TForm1::replaceBytes);
    addCommand(SG1, { QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S) }, &TForm1::savePatch);
    addCommand(SG1, { QKeySequence(Qt::CTRL | Qt::Key_K) }, &TForm1::compareWithFile);
    addCommand(SG1, { QKeySequence(Qt::Key_F6) }, &TForm1::nextDifference);
    addCommand(SG1, { QKeySequence(Qt::SHIFT | Qt::Key_F6) }, &TForm1::previousDifference);
    addCommand(SG1, { QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K) }, &TForm1::saveDifferences);
    // F12 on the grid, its editor open or not.
    auto* values = new QAction(SG1);
    values->setShortcut(Qt::Key_F12);
    values->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(values, &QAction::triggered, this, [this] { guarded([this] { toggleValueWindow(); }); });
    SG1->addAction(values);
    auto* checksums = new QAction(SG1);
    checksums->setShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_C);
    checksums->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(checksums, &QAction::triggered, this, [this] { guarded([this] { toggleChecksumWindow(); }); });
    SG1->addAction(checksums);
    // The block's current address is the current row's, whether the row moved or the rows beneath it changed.
    SG1->watchChanges([this](const GridChanges&) {
        m_block.setCurrent(m_rows->addressOf(SG1->currentRow()));
        if (m_checksums)
            m_checksums->selectionChanged();
    });
    // Tab from the grid goes on into the tool windows shown.
    SG1->setFocusBeyond([this](bool next) {
        if (!next || !((m_values && m_values->isVisible()) || (m_checksums && m_checksums->isVisible())))
            return false;
        focusBeyondTools(true, SG1);
        return true;
    });
}

QFileDialog& TForm1::openDialog()
{
    if (!OD1) {
        OD1 = FileDialogs::newOpenDialog(this, QStringLiteral("OD1"), qtext("Открыть файл"),
            "Все файлы|*.*|Excel-файлы|*.xls", qpath(m_openDirectory));
        if (!m_openName.empty())
            OD1->selectFile(qpath(m_openName));
    }
    return *OD1;
}

QFileDialog& TForm1::patchDialog()
{
    if (!m_patchDialog)
        m_patchDialog = FileDialogs::newSaveDialog(this, QStringLiteral("PatchDialog"), QStringLiteral("patch"),
            "Заплатки|*.patch|Все файлы|*", qpath(m_saveDirectory));
    return *m_patchDialog;
}

QFileDialog& TForm1::saveDialog()
{
    if (!SD1)
        SD1 = FileDialogs::newSaveDialog(this, QStringLiteral("SD1"), QStringLiteral("TXT"),
            "Текстовые файлы|*.TXT|Все файлы|*.*", qpath(m_saveDirectory));
    return *SD1;
}
