// The window's controls, built in code: sizes, captions and names as laid out, and the file dialogs, built
// when first shown.
#include "mainwindow/TForm1.h"

#include "mainwindow/ValueWindow.h"
#include "mainwindow/WindowPlacement.h"
#include "mainwindow/WindowText.h"
#include "ui/Contrast.h"
#include "ui/EventGuard.h"
#include "ui/dialogs/FileColumns.h"
#include "ui/grid/ByteGrid.h"
#include "ui/spin/SpinButton.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

using namespace WindowText;

namespace {

// Filters are kept as "description|pattern|description|pattern"; "*.*" matches every file, as users of
// such filters expect, also names without a dot.
QStringList nameFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        if (pattern == QLatin1String("*.*"))
            pattern = QStringLiteral("*");
        filters << parts[i] + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    return filters;
}

QFrame* panel(QWidget* parent, const char* name, int lineWidth)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(QString::fromLatin1(name));
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame->setLineWidth(lineWidth);
    return frame;
}

} // namespace

void TForm1::buildControls()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(qtext("Простой редактор двоичных файлов"));
    placeOnScreen(this);

    buildFileBar();
    Panel2 = panel(this, "Panel2", 1);
    buildFileGroup();
    buildGridPanel();
    auto* panel2Layout = new QVBoxLayout(Panel2);
    panel2Layout->setContentsMargins(1, 1, 1, 1);
    panel2Layout->setSpacing(0);
    panel2Layout->addWidget(GroupBox1);
    panel2Layout->addWidget(Panel5, 1);

    auto* windowLayout = new QVBoxLayout(this);
    windowLayout->setContentsMargins(0, 0, 0, 0);
    windowLayout->setSpacing(0);
    windowLayout->addWidget(Panel2, 1);
    windowLayout->addWidget(Panel1);

    setTabOrder(CheckBox1, SG1);
    buildShortcuts();

    // A file dropped anywhere on the window opens it: the window alone takes drops. The path box and the cell
    // editor would take the file's URL as text of their own, so they are kept out of it and the drop reaches
    // the window wherever it lands.
    setAcceptDrops(true);
    EditNameF->setAcceptDrops(false);
    SG1->inplaceEditor()->setAcceptDrops(false);
}

// The bottom bar: the block navigator, the write switch, the attribution.
void TForm1::buildFileBar()
{
    Panel1 = panel(this, "Panel1", 1);
    Panel1->setFixedHeight(29);
    SpinButton1 = new SpinButton(Panel1);
    SpinButton1->setObjectName(QStringLiteral("SpinButton1"));
    SpinButton1->setGeometry(16, 2, 20, 25);
    SpinButton1->setToolTip(qtext("Перейти к след. блоку (8192 байта)"));
    SpinButton1->setHandler(this);
    SpinButton1->setAccessibleName(qtext("Переход по блокам"));
    CheckBox1 = new QCheckBox(qtext("Разрешить запись на диск"), Panel1);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    // The sizes were laid out for a narrower font than most desktops have: never cut the caption.
    CheckBox1->setGeometry(64, 6, std::max(169, CheckBox1->sizeHint().width()), 17);
    CheckBox1->setToolTip(qtext("Запись каждого измененного байта"));
    if (isDarkPalette(CheckBox1->palette())) {
        // A dark palette's box is barely darker than the window: silver, as the path box is, with a black tick.
        QPalette box = CheckBox1->palette();
        box.setColor(QPalette::Base, forPalette(QColor(192, 192, 192), box));
        box.setColor(QPalette::Text, Qt::black);
        CheckBox1->setPalette(box);
    }
    // Editing follows the box's state, whatever changed it: a click, Space, a screen reader's toggle action.
    connect(CheckBox1, &QCheckBox::toggled, this, [this] { guarded([this] { CheckBox1Click(); }); });
    Label2 = new QLabel(qtext("Quillmoor · побайтно"), Panel1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFixedWidth(165);
    // Grey through the palette: a style sheet, even on one label, puts the whole window under the style-sheet
    // style, which costs start-up time and memory for nothing the window shows.
    QPalette grey = Label2->palette();
    grey.setColor(QPalette::WindowText, forPalette(QColor(0x80, 0x80, 0x80), grey));
    Label2->setPalette(grey);
    auto* panel1Layout = new QHBoxLayout(Panel1);
    panel1Layout->setContentsMargins(1, 1, 1, 1);
    panel1Layout->addStretch();
    panel1Layout->addWidget(Label2);
}

// The file group at the top: the open button and the path box, then the size read-out.
void TForm1::buildFileGroup()
{
    GroupBox1 = new QGroupBox(qtext("Файл : "), Panel2);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    // 42 pixels high as laid out, or more when the caption's font needs it, so the path box is never cut.
    GroupBox1->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    GroupBox1->setMinimumHeight(42);
    Panel3 = panel(GroupBox1, "Panel3", 2);
    Panel3->setFixedSize(291, 27);
    SpeedButton1 = new QToolButton(Panel3);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setText(QStringLiteral("..."));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    SpeedButton1->setGeometry(2, 2, 23, 22);
    SpeedButton1->setToolTip(qtext("Открыть файл"));
    SpeedButton1->setAccessibleName(qtext("Открыть файл"));
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { guarded([this] { SpeedButton1Click(); }); });
    EditNameF = new QLineEdit(Panel3);
    EditNameF->setObjectName(QStringLiteral("EditNameF"));
    EditNameF->setGeometry(32, 3, 257, 21);
    EditNameF->setFocusPolicy(Qt::ClickFocus);
    EditNameF->setAccessibleName(qtext("Путь к файлу"));
    // Black on silver, whatever the desktop's palette: a dark one's light text would vanish on the silver.
    QPalette silver = EditNameF->palette();
    silver.setColor(QPalette::Base, QColor(192, 192, 192));
    silver.setColor(QPalette::Text, Qt::black);
    EditNameF->setPalette(silver);
    buildSizeReadOut();
    auto* group1Layout = new QHBoxLayout(GroupBox1);
    group1Layout->setContentsMargins(2, 0, 2, 2);
    group1Layout->setSpacing(0);
    group1Layout->addWidget(Panel3);
    group1Layout->addWidget(Panel4);
}

void TForm1::buildSizeReadOut()
{
    Panel4 = panel(GroupBox1, "Panel4", 2);
    Panel4->setFixedHeight(27);
    Label1 = new QLabel(qtext("Размер (байт) = "), Panel4);
    Label1->setObjectName(QStringLiteral("Label1"));
    LabelSizeF = new QLabel(QStringLiteral("0"), Panel4);
    LabelSizeF->setObjectName(QStringLiteral("LabelSizeF"));
    QFont bold = LabelSizeF->font();
    bold.setBold(true);
    LabelSizeF->setFont(bold);
    LabelSizeF->setAccessibleName(qtext("Размер файла в байтах: 0"));
    auto* panel4Layout = new QHBoxLayout(Panel4);
    panel4Layout->setContentsMargins(2, 0, 2, 0);
    panel4Layout->setSpacing(0);
    panel4Layout->addWidget(Label1);
    panel4Layout->addWidget(LabelSizeF);
    panel4Layout->addStretch();
}

void TForm1::buildGridPanel()
{
    Panel5 = panel(Panel2, "Panel5", 2);
    GroupBox2 = new QGroupBox(Panel5);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    SG1 = new ByteGrid(GroupBox2);
    SG1->setObjectName(QStringLiteral("SG1"));
    SG1->setHandler(this);
    SG1->setSource(&m_block);
    SG1->setAccessibleName(qtext("Таблица байтов"));
    auto* group2Layout = new QVBoxLayout(GroupBox2);
    group2Layout->setContentsMargins(2, 2, 2, 2);
    group2Layout->addWidget(SG1);
    auto* panel5Layout = new QVBoxLayout(Panel5);
    panel5Layout->setContentsMargins(2, 2, 2, 2);
    panel5Layout->addWidget(GroupBox2);
}

// The open button and the spin button never take the keyboard focus, so they get keys of their own: without
// them a keyboard-only user could neither open a file nor page through it.
void TForm1::buildShortcuts()
{
    auto shortcut = [this](QKeySequence keys, void (TForm1::*command)()) {
        auto* action = new QAction(this);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(
            action, &QAction::triggered, this, [this, command] { guarded([this, command] { (this->*command)(); }); });
        addAction(action);
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_O), &TForm1::SpeedButton1Click);
    shortcut(QKeySequence(Qt::ALT | Qt::Key_PageUp), &TForm1::SpinButton1UpClick);
    shortcut(QKeySequence(Qt::ALT | Qt::Key_PageDown), &TForm1::SpinButton1DownClick);
    // F12 on the grid, its editor open or not.
    auto* values = new QAction(SG1);
    values->setShortcut(Qt::Key_F12);
    values->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(values, &QAction::triggered, this, [this] { guarded([this] { toggleValues(); }); });
    SG1->addAction(values);
    // The value window follows the current row and what the rows show; Tab from the grid goes into it.
    SG1->watchChanges([this](const GridChanges& changes) {
        if (!m_values || !m_values->isVisible())
            return;
        const std::int32_t row = SG1->currentRow();
        bool touched = changes.all || changes.cursorBefore.current.row != row
            || (changes.rowsFrom && *changes.rowsFrom <= row + ValueWindow::ByteSpan - 1);
        for (const GridRange& range : changes.texts)
            touched = touched || (range.first.row <= row + ValueWindow::ByteSpan - 1 && range.last.row >= row);
        if (touched)
            guarded([this] { showValues(); });
    });
    SG1->setFocusBeyond([this](bool next) {
        if (!next || !m_values || !m_values->isVisible())
            return false;
        m_values->enter();
        return true;
    });
}

void TForm1::buildMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto item = [this](const char* name, const char* caption, void (TForm1::*command)()) {
        QAction* action = PopupMenu1->addAction(qtext(caption));
        action->setObjectName(QString::fromLatin1(name));
        connect(
            action, &QAction::triggered, this, [this, command] { guarded([this, command] { (this->*command)(); }); });
    };
    auto separator = [this](const char* name) { PopupMenu1->addSeparator()->setObjectName(QString::fromLatin1(name)); };
    item("N3", "Перейти к началу файла", &TForm1::N3Click);
    item("N4", "Перейти в конец файла", &TForm1::N4Click);
    item("N5", "Перейти на заданный байт", &TForm1::N5Click);
    separator("N2");
    item("N1", "Сохранить таблицу в текст.файл", &TForm1::N1Click);
    separator("N6");
    item("N01", "Изменить ширину 0-й колонки", &TForm1::N01Click);
    SG1->setPopupMenu(PopupMenu1);
}

QFileDialog& TForm1::openDialog()
{
    if (!OD1) {
        OD1 = new QFileDialog(this);
        OD1->setObjectName(QStringLiteral("OD1"));
        OD1->setWindowTitle(qtext("Открыть файл"));
        OD1->setFileMode(QFileDialog::ExistingFile);
        OD1->setAcceptMode(QFileDialog::AcceptOpen);
        OD1->setNameFilters(nameFilters(qtext("Все файлы|*.*|Excel-файлы|*.xls")));
        OD1->setOption(QFileDialog::DontUseNativeDialog);
        FileColumns::install(*OD1);
        OD1->setSizeGripEnabled(true);
        OD1->setDirectory(qpath(m_openDirectory));
        if (!m_openName.empty())
            OD1->selectFile(qpath(m_openName));
    }
    return *OD1;
}

QFileDialog* TForm1::newSaveDialog(const QString& name, const QString& suffix, const char* filters)
{
    auto* dialog = new QFileDialog(this);
    dialog->setObjectName(name);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(suffix);
    dialog->setNameFilters(nameFilters(qtext(filters)));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    FileColumns::install(*dialog);
    dialog->setSizeGripEnabled(true);
    dialog->setDirectory(qpath(m_saveDirectory));
    return dialog;
}

QFileDialog& TForm1::patchDialog()
{
    if (!m_patchDialog)
        m_patchDialog
            = newSaveDialog(QStringLiteral("PatchDialog"), QStringLiteral("patch"), "Заплатки|*.patch|Все файлы|*");
    return *m_patchDialog;
}

QFileDialog& TForm1::saveDialog()
{
    if (!SD1)
        SD1 = newSaveDialog(QStringLiteral("SD1"), QStringLiteral("TXT"), "Текстовые файлы|*.TXT|Все файлы|*.*");
    return *SD1;
}
