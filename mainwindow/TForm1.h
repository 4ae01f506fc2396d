#pragma once

#include "mainwindow/BlockView.h"
#include "mainwindow/ShownBlock.h"
#include "ui/grid/GridHandler.h"
#include "ui/spin/SpinHandler.h"

#include <QWidget>

#include <cstdint>
#include <optional>
#include <string>

class ByteGrid;
class ValueWindow;
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
// write-through cell editing, the numeric prompts and the report. The window translates: each handler turns a
// control's event into a call of the shown block (ShownBlock), which holds every command's logic, and its
// answers into controls and dialogs; the block reaches the controls through BlockView.
class TForm1 : public QWidget, private GridHandler, private SpinHandler, private BlockView {
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

    [[nodiscard]] std::int32_t startByte() const { return m_block.startByte(); }
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
    void command(GridCommand command) override;
    void upClick() override { SpinButton1UpClick(); }
    void downClick() override { SpinButton1DownClick(); }

    void clearRows() override;
    void rowsChanged(std::int32_t first, std::int32_t last) override;
    void valuesChanged(std::int32_t row) override;
    void showFile(const std::string& path) override;
    void showFileSize(std::int64_t size) override;
    [[nodiscard]] std::string typedText(std::int32_t col, std::int32_t row) const override;
    void showNotice(Notice notice) override;
    void showDroppedEdit(const EConvertError& error) override;
    void setBusy(bool busy) override;
    void processEvents() override;

    void buildControls();
    void buildFileBar();
    void buildFileGroup();
    void buildSizeReadOut();
    void buildGridPanel();
    void buildShortcuts();
    void buildMenu();
    QFileDialog& openDialog();
    QFileDialog& saveDialog();
    QFileDialog& patchDialog();
    // A save dialog of the program's own, in the folder of the last save.
    [[nodiscard]] QFileDialog* newSaveDialog(const QString& name, const QString& suffix, const char* filters);
    void setCurrentFile(const std::string& path);
    void presetOpenDialog(const std::string& path);
    // A file given from outside the open dialog: opened when it is a regular file that can be read; otherwise
    // the open error is shown and nothing changes.
    void openGivenFile(const std::string& path);
    enum class FindFrom { Prompt, Next, Previous };
    // Ctrl+F asks what to find and looks from the current byte on; F3 and Shift+F3 look for it again after and
    // before it. A match's bytes are selected.
    void findBytes(FindFrom from);
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
    // F12 shows or hides the value window, made on first use; it shows the bytes from the current row on, and a
    // value typed there is written from the current row on.
    void toggleValues();
    void showValues();
    void writeValue(const std::string& bytes);
    [[nodiscard]] bool readNumber(
        const std::string& caption, const std::string& prompt, std::string preset, std::int32_t& number);
    [[nodiscard]] std::string settingsPath() const
    {
        return (m_settingsDir.empty() ? m_programDir : m_settingsDir) + "Quillmoor.ini";
    }

    std::string m_programDir;
    std::string m_settingsDir;
    std::string m_startFile;
    // The start file could not be opened: said once the window is up.
    bool m_startFileRefused = false;
    // The file the drag over the window carries, when it is one that may be dropped.
    std::optional<std::string> m_dragFile;
    ShownBlock m_block { *this };
    ValueWindow* m_values = nullptr;
    // The bytes of the path last put into the path box, which a QString may not carry unchanged.
    std::string m_shownPath;
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
    QFileDialog* m_patchDialog = nullptr;
    QMenu* PopupMenu1 = nullptr;
};
