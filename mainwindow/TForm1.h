#pragma once

#include "mainwindow/BlockSink.h"
#include "mainwindow/ShownBlock.h"
#include "ui/grid/GridHandler.h"
#include "ui/grid/GridSource.h"
#include "ui/spin/SpinHandler.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class ByteGrid;
class SpinButton;
class QCheckBox;
class QFileDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QToolButton;

// The program's one main window: the byte table of one block of the current file, its navigation, the
// write-through cell editing, the numeric prompts and the report. The window translates between its controls
// and the shown block (ShownBlock), which holds the file logic; the block's rows come back through BlockSink.
class TForm1 : public QWidget, private GridHandler, private GridSource, private SpinHandler, private BlockSink {
    Q_OBJECT
public:
    // programDir is where the file dialogs start and, unless settingsDir names another folder, where the
    // settings file lives: the program's own directory when empty; tests pass a temporary one. startFile, when
    // given, is opened instead of the remembered file; one that cannot be read is reported once the window is
    // shown, and the remembered file comes back as on any start.
    explicit TForm1(std::string programDir = {}, std::string startFile = {}, std::string settingsDir = {},
        QWidget* parent = nullptr);
    ~TForm1() override;

    // Offsets of a block: the step of the previous and next commands.
    static constexpr std::int32_t BlockSpan = ShownBlock::BlockSpan;

    // Commands, as the controls raise them.
    void FormCreate();
    void SpeedButton1Click();
    [[nodiscard]] bool FormCloseQuery();
    void SpinButton1UpClick();
    void SpinButton1DownClick();
    void N3Click();
    void N4Click();
    void N5Click();
    void N1Click();
    void N01Click();
    void CheckBox1Click();
    void SG1SelectCell(std::int32_t ACol, std::int32_t ARow, bool& CanSelect);
    void SG1SetEditText(std::int32_t ACol, std::int32_t ARow, const std::string& Value);

    void LoadBlock(std::int32_t start);

    [[nodiscard]] std::int32_t startByte() const { return m_block.startByte(); }
    [[nodiscard]] bool editPending() const { return EditPending; }
    [[nodiscard]] const std::string& programDir() const { return m_programDir; }
    [[nodiscard]] std::string settingsPath() const
    {
        return (m_settingsDir.empty() ? m_programDir : m_settingsDir) + "Quillmoor.ini";
    }
    // The current file: whatever the path box holds at this moment, as file-system bytes.
    [[nodiscard]] std::string currentFile() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void selectCell(std::int32_t ACol, std::int32_t ARow, bool& CanSelect) override;
    void setEditText(std::int32_t ACol, std::int32_t ARow, const std::string& Value, EditReport) override;
    void command(GridCommand command) override;
    void upClick() override;
    void downClick() override;

    void clearRows() override;
    void setBusy(bool busy) override;
    void showRows(std::int32_t firstRow, std::int64_t firstOffset, std::span<const std::uint8_t> bytes) override;
    void showValue(std::int32_t row, std::uint8_t v) override;
    void processEvents() override;
    // GridSource: the rows' texts, made from the shown block's bytes as the grid paints them.
    [[nodiscard]] std::string_view cellText(std::int32_t col, std::int32_t row, TextBuffer& buffer) const override;
    void rowTexts(std::int32_t row, RowTexts& texts) const override;

    void buildControls();
    void buildFileBar();
    void buildFileGroup();
    void buildSizeReadOut();
    void buildGridPanel();
    void buildShortcuts();
    void buildMenu();
    // Opens the window where it was designed to, frame included, moved and shrunk as far as the screen needs.
    void placeOnScreen();
    QFileDialog& openDialog();
    QFileDialog& saveDialog();
    void showFile(const std::string& path);
    void setCurrentFile(const std::string& path);
    void showFileSize(const std::string& path);
    void presetOpenDialog(const std::string& path);
    // Every way of opening a file ends here (the open dialog, the command line, a drop): the pending edit is
    // committed where it was made, the file shown from offset 0 (or start), the dialog preset to it, name and
    // start stored.
    void openFile(const std::string& path, std::int32_t start = 0);
    // A file given from outside the open dialog: opened when it is a regular file that can be read; otherwise
    // the open error is shown and nothing changes.
    void openGivenFile(const std::string& path);
    // The end of every block command: commit what is pending, move to the new start, load, store.
    void moveBlock(const std::function<std::int32_t()>& newStart);
    // A block command: does nothing while at most one byte is shown or a load runs.
    void moveBlock(ShownBlock::Move move);
    // Ctrl+Z and Ctrl+Y: takes the last write back or writes the last one taken back again, first showing its
    // byte as it was shown when written (that file, that block) and then making its cell the current one.
    void rewriteFromHistory(WriteHistory::Direction direction);
    enum class FindFrom { Prompt, Next, Previous };
    // Ctrl+F asks what to find and looks from the current byte on; F3 and Shift+F3 look for it again after and
    // before it. A match is shown as going to its byte shows it, its bytes selected.
    void findBytes(FindFrom from);
    // The commit that the grid's select-cell notification runs.
    void commitPendingEdit();
    // Commits an edit made in the shown block before the block changes, at the offset it was made at; one that
    // is no number is dropped with the error shown.
    void commitBeforeBlockChange();
    [[nodiscard]] bool readNumber(
        const std::string& caption, const std::string& prompt, std::string preset, std::int32_t& number);

    std::string m_programDir;
    std::string m_settingsDir;
    std::string m_startFile;
    // The start file could not be opened: said once the window is up.
    bool m_startFileRefused = false;
    // The file the drag over the window carries, when it is one that may be dropped.
    std::optional<std::string> m_dragFile;
    ShownBlock m_block { *this };
    bool EditPending = false;
    std::int32_t EditCol = -1;
    std::int32_t EditRow = -1;

    // The bytes of the path last put into the path box, which a QString may not carry unchanged.
    std::string m_shownPath;
    bool m_leavingBlock = false;
    // The last answer of the find prompt, and the bytes it stands for.
    std::string m_findAnswer;
    std::string m_findBytes;
    // The file dialogs are built when first shown; until then their presets wait here.
    std::string m_openDirectory;
    std::string m_openName;
    std::string m_saveDirectory;

    QFrame* Panel1 = nullptr;
    SpinButton* SpinButton1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QLabel* Label2 = nullptr;
    QFrame* Panel2 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QFrame* Panel3 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QLineEdit* EditNameF = nullptr;
    QFrame* Panel4 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* LabelSizeF = nullptr;
    QFrame* Panel5 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    ByteGrid* SG1 = nullptr;
    QFileDialog* OD1 = nullptr;
    QFileDialog* SD1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
};
