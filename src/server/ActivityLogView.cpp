#include "ActivityLogView.h"

#include <QKeyEvent>
#include <QMetaObject>

#include <cstdio>

ActivityLogView::ActivityLogView(QWidget* parent)
    : QPlainTextEdit(parent)
{
    setReadOnly(true);
    // The caret stays visible and the box takes focus, though nothing edits it.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(true);
    setUndoRedoEnabled(false);
}

void ActivityLogView::appendEntry(std::string_view entry)
{
    std::fwrite(entry.data(), 1, entry.size(), stdout);
    std::fflush(stdout);

    QString line = QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size()));
    // The text box ends its lines with LF alone.
    if (line.endsWith(QLatin1String("\r\n"))) {
        line.chop(2);
        line += QLatin1Char('\n');
    }
    m_pending += line;
    if (m_showPosted)
        return;
    m_showPosted = true;
    QMetaObject::invokeMethod(this, &ActivityLogView::showPending, Qt::QueuedConnection);
}

void ActivityLogView::showPending()
{
    m_showPosted = false;
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(m_pending);
    m_pending.clear();
    // The newest entry is the one in view.
    moveCursor(QTextCursor::End);
}

void ActivityLogView::keyPressEvent(QKeyEvent* event)
{
    // Enter belongs to the window's default button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->ignore();
        return;
    }
    event->accept();
}

void ActivityLogView::keyReleaseEvent(QKeyEvent* event)
{
    event->accept();
}

void ActivityLogView::inputMethodEvent(QInputMethodEvent* event)
{
    event->accept();
}

void ActivityLogView::mousePressEvent(QMouseEvent* event)
{
    QPlainTextEdit::mousePressEvent(event);
    moveCursor(QTextCursor::End);
}

void ActivityLogView::mouseReleaseEvent(QMouseEvent* event)
{
    QPlainTextEdit::mouseReleaseEvent(event);
    moveCursor(QTextCursor::End);
}
