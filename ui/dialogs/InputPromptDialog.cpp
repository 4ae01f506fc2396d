#include "ui/dialogs/InputPromptDialog.h"

#include "ui/FramePlacement.h"
#include "ui/dialogs/DialogUnits.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

InputPromptDialog::InputPromptDialog(
    const QString& caption, const QString& prompt, const QString& value, QWidget* parent)
    : QDialog(parent,
        Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
            | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_edit(new QLineEdit(this))
{
    setWindowTitle(caption);
    const DialogUnits units = DialogUnits::of(font());
    setFixedSize(units.horizontal(180), units.vertical(63));

    auto* label = new QLabel(prompt, this);
    label->setObjectName(QStringLiteral("Prompt"));
    label->setTextFormat(Qt::PlainText);
    label->move(units.horizontal(8), units.vertical(8));
    label->adjustSize();

    m_edit->setObjectName(QStringLiteral("Edit"));
    m_edit->setMaxLength(255);
    m_edit->setText(value);
    m_edit->setGeometry(units.horizontal(8), units.vertical(19), units.horizontal(164), m_edit->sizeHint().height());
    m_edit->selectAll();
    m_edit->setFocus();
    // A screen reader names the edit by its prompt, and finds the prompt as its label.
    m_edit->setAccessibleName(prompt);
    label->setBuddy(m_edit);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OK"));
    ok->setDefault(true);
    ok->setGeometry(units.horizontal(38), units.vertical(41), units.horizontal(50), units.vertical(14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Cancel"));
    cancel->setGeometry(units.horizontal(92), units.vertical(41), units.horizontal(50), units.vertical(14));
    // QDialog already answers Escape and the close box with reject().
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        FramePlacement::install(
            this, [this, area](const QMargins& frame) { return centredInFrame(size(), frame, area); });
    }
}

QString InputPromptDialog::value() const
{
    return m_edit->text();
}

void InputPromptDialog::setHint(const QString& hint)
{
    m_edit->setToolTip(hint);
    findChild<QLabel*>(QStringLiteral("Prompt"))->setToolTip(hint);
}
