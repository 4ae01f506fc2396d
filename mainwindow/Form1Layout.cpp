#include "mainwindow/Form1Layout.h"

#include "mainwindow/WindowPlacement.h"
#include "mainwindow/WindowText.h"
#include "ui/Contrast.h"
#include "ui/grid/ByteGrid.h"
#include "ui/spin/SpinButton.h"

#include <QCheckBox>
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

QFrame* panel(QWidget* parent, const char* name, int lineWidth)
{
    auto* frame = new QFrame(parent);
    frame->setObjectName(QString::fromLatin1(name));
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame->setLineWidth(lineWidth);
    return frame;
}

} // namespace

void Form1Layout::setupUi(QWidget* form)
{
    form->setObjectName(QStringLiteral("Form1"));
    form->setWindowTitle(qtext("Простой редактор двоичных файлов"));
    placeOnScreen(form);

    buildFileBar(form);
    Panel2 = panel(form, "Panel2", 1);
    buildFileGroup();
    buildGridPanel();
    auto* panel2Layout = new QVBoxLayout(Panel2);
    panel2Layout->setContentsMargins(1, 1, 1, 1);
    panel2Layout->setSpacing(0);
    panel2Layout->addWidget(GroupBox1);
    panel2Layout->addWidget(Panel5, 1);

    auto* windowLayout = new QVBoxLayout(form);
    windowLayout->setContentsMargins(0, 0, 0, 0);
    windowLayout->setSpacing(0);
    windowLayout->addWidget(Panel2, 1);
    windowLayout->addWidget(Panel1);

    QWidget::setTabOrder(CheckBox1, SG1);
    // A file dropped anywhere on the window opens it: the window alone takes drops. The path box and the cell
    // editor would take the file's URL as text of their own, so they are kept out of it and the drop reaches
    // the window wherever it lands.
    form->setAcceptDrops(true);
    EditNameF->setAcceptDrops(false);
    SG1->inplaceEditor()->setAcceptDrops(false);
    buildMenu(form);
}

// The bottom bar: the block navigator, the write switch, the attribution.
void Form1Layout::buildFileBar(QWidget* form)
{
    Panel1 = panel(form, "Panel1", 1);
    Panel1->setFixedHeight(29);
    SpinButton1 = new SpinButton(Panel1);
    SpinButton1->setObjectName(QStringLiteral("SpinButton1"));
    SpinButton1->setGeometry(16, 2, 20, 25);
    SpinButton1->setToolTip(qtext("Перейти к след. блоку (8192 байта)"));
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
    } else {
        // The style draws the box's border a shade darker than the palette's window, which on a light bar leaves
        // it barely seen: a window for it whose shade, as the style lightens it again, stands out from the bar by
        // more than 3 to 1.
        QPalette box = CheckBox1->palette();
        const QColor bar = box.color(QPalette::Window);
        box.setColor(QPalette::Window, standingOut(bar, bar, 4.5).lighter(140));
        CheckBox1->setPalette(box);
    }
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
void Form1Layout::buildFileGroup()
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

void Form1Layout::buildSizeReadOut()
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

void Form1Layout::buildGridPanel()
{
    Panel5 = panel(Panel2, "Panel5", 2);
    GroupBox2 = new QGroupBox(Panel5);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    SG1 = new ByteGrid(GroupBox2);
    SG1->setObjectName(QStringLiteral("SG1"));
    SG1->setAccessibleName(qtext("Таблица байтов"));
    auto* group2Layout = new QVBoxLayout(GroupBox2);
    group2Layout->setContentsMargins(2, 2, 2, 2);
    group2Layout->addWidget(SG1);
    auto* panel5Layout = new QVBoxLayout(Panel5);
    panel5Layout->setContentsMargins(2, 2, 2, 2);
    panel5Layout->addWidget(GroupBox2);
}

void Form1Layout::colourWriteSwitch()
{
    // Unticked, the caption has the desktop's own text colour (black on a light palette, light on a dark one,
    // where black would vanish); ticked, it is red, lightened on a dark palette until it reads.
    QPalette palette = CheckBox1->palette();
    palette.setColor(QPalette::WindowText,
        CheckBox1->isChecked() ? forPalette(Qt::red, Panel1->palette())
                               : Panel1->palette().color(QPalette::WindowText));
    CheckBox1->setPalette(palette);
}

void Form1Layout::buildMenu(QWidget* form)
{
    PopupMenu1 = new QMenu(form);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto item = [this](const char* name, const char* caption) {
        QAction* action = PopupMenu1->addAction(qtext(caption));
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    auto separator = [this](const char* name) { PopupMenu1->addSeparator()->setObjectName(QString::fromLatin1(name)); };
    N3 = item("N3", "Перейти к началу файла");
    N4 = item("N4", "Перейти в конец файла");
    N5 = item("N5", "Перейти на заданный байт");
    separator("N2");
    N1 = item("N1", "Сохранить таблицу в текст.файл");
    separator("N6");
    N01 = item("N01", "Изменить ширину 0-й колонки");
    SG1->setPopupMenu(PopupMenu1);
}
