#include "ActivityLogView.h"

#include <QKeyEvent>
#include <QMetaObject>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {
// About 25 pictures a second: smooth to the eye, cheap for the server.
constexpr qint64 kRepaintMilliseconds = 40;
} // namespace

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
    // The log is plain Latin text: each new line is laid out by the font's
    // character map alone, without the shaping machinery that would cost a
    // busy server more per request than answering it. Only this one
    // attribute is set, so the window's font still reaches the log.
    QFont plain;
    plain.setStyleStrategy(QFont::PreferNoShaping);
    setFont(plain);
}

void ActivityLogView::appendEntry(std::string_view entry)
{
    std::fwrite(entry.data(), 1, entry.size(), stdout);

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
    std::fflush(stdout);
    if (m_sinceRepaint.isValid() && m_sinceRepaint.elapsed() < kRepaintMilliseconds)
        holdRepaints();
    else
        m_sinceRepaint.start();
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(m_pending);
    m_pending.clear();
    // The newest entry is the one in view.
    moveCursor(QTextCursor::End);
}

void ActivityLogView::holdRepaints()
{
    if (m_repaintsHeld)
        return;
    m_repaintsHeld = true;
    setUpdatesEnabled(false);
    QTimer::singleShot(std::max<qint64>(kRepaintMilliseconds - m_sinceRepaint.elapsed(), 0), this,
                       &ActivityLogView::releaseRepaints);
}

void ActivityLogView::releaseRepaints()
{
    m_repaintsHeld = false;
    m_sinceRepaint.start();
    // Draws the whole log area once, with everything that came meanwhile.
    setUpdatesEnabled(true);
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
