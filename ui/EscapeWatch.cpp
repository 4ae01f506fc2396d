#include "ui/EscapeWatch.h"

#include <QCoreApplication>
#include <QKeyEvent>

EscapeWatch::EscapeWatch()
{
    QCoreApplication::instance()->installEventFilter(this);
}

bool EscapeWatch::eventFilter(QObject*, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape)
        return false;
    m_pressed = true;
    return true;
}
