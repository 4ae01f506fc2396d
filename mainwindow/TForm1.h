#pragma once

#include "mainwindow/BlockView.h"
#include "mainwindow/Form1Layout.h"
#include "mainwindow/ShownBlock.h"
#include "ui/grid/GridHandler.h"
#include "ui/spin/SpinHandler.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class BlockRows;
class ChecksumWindow;
class Comparison;
class ValueWindow;
class QFileDialog;
class QKeySequence;

// The program's one main window: the byte table of one block of the current file, its navigation, the
// write-through cell editing, the numeric prompts, the report and the command keys. The window translates: each
// handler turns a control's event into a call of the shown block (ShownBlock), which holds every command's logic,
// and its answers into controls and dialogs. The grid shows the block through BlockRows; the block reaches the
// window through BlockView.
class TForm1 : public QWidget, private Form1Layout, private GridHandler, private SpinHandler, private BlockView {
    Q_OBJECT
public:
    // programDir is where the file dialogs start and, unless settingsDir names another folder, where the
    // settings file lives: the program's own directory when empty; tests pass a temporary one. startFile, when
    // given, is opened instead of the remembered file; one that cannot be read is reported once the window is
    // shown, and the remembered file comes back as on any start.
    explicit TForm1(std::string programDir = {}, std::string startFile = {}, std::string settingsDir = {},
        QWidget* parent = nullptr);
    ~TForm1() override;

    // Commands, as the controls raise them.
    void FormCreate();
    void SpeedButton1Click();
    [[nodiscard]] bool FormCloseQuery() { return true; }
    void SpinButton1UpClick();
    void SpinButton1DownClick();
    void N3Click();
    void N4Click();
    void N5Click();
    void N1Click();
    void N01Click();
    void CheckBox1Click();
    void SG1SelectCell(std::int32_t ACol, std::int32_t ARow, bool& CanSelect);
    // Report says whether the user changed the text or the grid only handed its editor back.
    void SG1SetEditText(std::int32_t ACol, std::int32_t ARow, const std::string& Value, EditReport Report);

    [[nodiscard]] Address startByte() const { return m_block.startByte(); }
    [[nodiscard]] bool editPending() const { return m_block.editPending(); }
    // The current file: whatever the path box holds at this moment, as file-system bytes.
    [[nodiscard]] std::string currentFile() const override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void selectCell(std::int32_t ACol, std::int32_t ARow, bool& CanSelect) override
    {
        SG1SelectCell(ACol, ARow, CanSelect);
    }
    void setEditText(std::int32_t ACol, std::int32_t ARow, const std::string& Value, EditReport report) override
    {
        SG1SetEditText(ACol, ARow, Value, report);
    }
    void upClick() override { SpinButton1UpClick(); }
    void downClick() override { SpinButton1DownClick(); }

    void showFile(const std::string& path) override;
    void showFileSize(Address size) override;
    [[nodiscard]] std::string typedText(std::int32_t col, Address address) const override;
    void showNotice(Notice notice) override;
    void showError(const Exception& error) override;
    void showRecovery(const WriteJournal::Recovery& recovery) override;
    void setBusy(bool busy) override;
    void processEvents() override;

    void buildControls();
    void buildShortcuts();
    // A command of the window's own on keys, run inside the guard; on the grid only while its editor is closed, so
    // that the editor keeps its own Ctrl+Z and Ctrl+C.
    void addCommand(QWidget* on, const QList<QKeySequence>& keys, void (TForm1::*command)());
    QFileDialog& openDialog();
    QFileDialog& saveDialog();
    QFileDialog& patchDialog();
    void setCurrentFile(const std::string& path);
    void presetOpenDialog(const std::string& path);
    // A file given from outside the open dialog: opened when it is a regular file that can be read; otherwise
    // the open error is shown and nothing changes.
    void openGivenFile(const std::string& path);
    // Ctrl+Z takes the last write back, Ctrl+Y and Ctrl+Shift+Z write it again.
    void undo();
    void redo();
    // Ctrl+F asks what to find and looks from the current byte on; F3 and Shift+F3 look for it again after and
    // before it. A match's bytes are selected.
    enum class FindFrom { Prompt, Next, Previous };
    void findBytes(FindFrom from);
    void find() { findBytes(FindFrom::Prompt); }
    void findNext() { findBytes(FindFrom::Next); }
    void findPrevious() { findBytes(FindFrom::Previous); }
    // The find prompt, preset with the last answer; false when cancelled or not understood (said so).
    [[nodiscard]] bool askWhatToFind();
    // Ctrl+C puts the bytes of the selected rows on the clipboard, as hex pairs and as raw bytes; Ctrl+V writes
    // the clipboard's bytes from the current row on, or repeated over the selected rows.
    void copyRows();
    void pasteRows();
    // Ctrl+H asks what to find and what to put in its place, and replaces every match in the file.
    void replaceBytes();
    // Ctrl+Shift+S saves what this run changed in the shown file as a patch file.
    void savePatch();
    // Ctrl+K compares the shown file with another one, or ends the comparison; F6 and Shift+F6 go to the next and
    // previous differing run; Ctrl+Shift+K saves the differences as a patch.
    void compareWithFile();
    void stepDifference(bool forward);
    void nextDifference() { stepDifference(true); }
    void previousDifference() { stepDifference(false); }
    void saveDifferences();
    [[nodiscard]] Comparison& comparison();
    // F12 shows or hides the value window, made on first use.
    void toggleValueWindow();
    // Ctrl+Shift+C shows or hides the checksum window, made on first use.
    void toggleChecksumWindow();
    // Tab and Shift+Tab run from the grid through the tool windows shown to the write switch: the next stop after
    // the value window (next) or before the checksum window.
    void focusBeyondTools(bool next, const QWidget* from);
    // The bytes of the rows the selection spans, whatever its columns: the current row's alone when nothing else
    // is selected.
    [[nodiscard]] AddressRange selectedBytes() const;
    // Selects the rows of bytes, as far as the block shows them.
    void selectBytes(AddressRange bytes);
    // A number typed by the 32-bit rules; past them, an offset the file of reachedSize bytes reaches.
    [[nodiscard]] bool readNumber(const std::string& caption, const std::string& prompt, std::string preset,
        std::int64_t& number, Address reachedSize = 0);
    // The offset column's width for a file of size bytes: the usual one, or wide enough for the offsets of a file
    // past 4 GiB.
    [[nodiscard]] std::int32_t offsetColumnWidth(Address size) const;
    [[nodiscard]] std::string settingsPath() const
    {
        return (m_settingsDir.empty() ? m_programDir : m_settingsDir) + "Quillmoor.ini";
    }

    std::string m_programDir;
    std::string m_settingsDir;
    std::string m_startFile;
    // The start file could not be opened: said once the window is up.
    bool m_startFileRefused = false;
    // The offset column's width the window chose for the file shown; one the user set is left as it is.
    std::int32_t m_offsetColumnWidth = 0;
    // The file the drag over the window carries, when it is one that may be dropped.
    std::optional<std::string> m_dragFile;
    ShownBlock m_block { *this };
    std::unique_ptr<BlockRows> m_rows;
    ValueWindow* m_values = nullptr;
    std::unique_ptr<Comparison> m_comparison;
    ChecksumWindow* m_checksums = nullptr;
    // The bytes of the path last put into the path box, which a QString may not carry unchanged.
    std::string m_shownPath;
    // The file dialogs are built when first shown; until then their presets wait here.
    std::string m_openDirectory;
    std::string m_openName;
    std::string m_saveDirectory;

    QFileDialog* OD1 = nullptr;
    QFileDialog* SD1 = nullptr;
    QFileDialog* m_patchDialog = nullptr;
    QFileDialog* m_compareDialog = nullptr;
    QFileDialog* m_differencesDialog = nullptr;
};
