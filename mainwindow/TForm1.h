#pragma once

#include "ui/grid/GridHandler.h"
#include "ui/spin/SpinHandler.h"

#include <QMargins>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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
// write-through cell editing, the numeric prompts and the report.
class TForm1 : public QWidget, private GridHandler, private SpinHandler {
    Q_OBJECT
public:
    // programDir is where the settings file lives and where the file dialogs start: the program's own
    // directory when empty; tests pass a temporary one.
    explicit TForm1(std::string programDir = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // Offsets of a block: the step of the previous and next commands.
    static constexpr std::int32_t BlockSpan = 8192;

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

    [[nodiscard]] std::int32_t startByte() const { return StartByte; }
    [[nodiscard]] bool editPending() const { return EditPending; }
    [[nodiscard]] const std::string& programDir() const { return m_programDir; }
    [[nodiscard]] std::string settingsPath() const { return m_programDir + "Quillmoor.ini"; }
    // The current file: whatever the path box holds at this moment, as file-system bytes.
    [[nodiscard]] std::string currentFile() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    void selectCell(std::int32_t ACol, std::int32_t ARow, bool& CanSelect) override;
    void setEditText(std::int32_t ACol, std::int32_t ARow, const std::string& Value) override;
    void upClick() override;
    void downClick() override;

    void buildControls();
    void buildMenu();
    void buildDialogs();
    // Opens the window where it was designed to, moved and shrunk as far as the screen needs.
    void placeOnScreen();
    void setCurrentFile(const std::string& path);
    void showFileSize(const std::string& path);
    void presetOpenDialog(const std::string& path);
    void storeStartByte();
    // The end of every block command: commit what is pending, take the new start (never below 0), load, store.
    void moveBlock(const std::function<std::int64_t()>& newStart);
    // True when the command may run: the grid shows more than one byte and no block is being loaded.
    [[nodiscard]] bool canNavigate() const;
    // The commit that the grid's select-cell notification runs.
    void commitPendingEdit();
    // Commits an edit made in the shown block before the block changes, at the offset it was made at; one that
    // is no number is dropped with the error shown.
    void commitBeforeBlockChange();
    void showRowValue(std::int32_t row, std::uint8_t v);
    [[nodiscard]] std::int32_t placed(std::int64_t start) const;
    [[nodiscard]] bool readNumber(
        const std::string& caption, const std::string& prompt, std::string preset, std::int32_t& number);

    std::string m_programDir;
    std::int32_t StartByte = 0;
    bool EditPending = false;
    std::int32_t EditCol = -1;
    std::int32_t EditRow = -1;

    // The byte each data row was last filled with by the program (-1: never), so that a hand-back of the
    // editor with the text the row already shows is told apart from a change the user made.
    std::vector<std::int16_t> m_rowBytes;
    // The bytes of the path last put into the path box, which a QString may not carry unchanged.
    std::string m_shownPath;
    // The file the shown rows were loaded from. Edits go there even when the path box was changed by hand
    // since: the user saw and changed that file's byte.
    std::string m_blockFile;
    // How many rows, from row 1, the last load filled. A row beyond them (row 1 after a failed load still shows
    // the block before) belongs to no byte of the block at StartByte, so an edit of it is written nowhere.
    std::int32_t m_loadedRows = 0;
    bool m_loading = false;
    bool m_leavingBlock = false;
    bool m_placed = false;
    // From the first show until the window manager's frame is known: the frame the window was last placed with.
    bool m_placing = false;
    QMargins m_placedFrame;

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
