#pragma once

#include "ActivityLog.h"

#include <QPlainTextEdit>

// The activity log on screen: read-only for the operator (keys change and
// move nothing, a click leaves the caret at the end), appended to at its
// end. Every entry also goes to standard output at once, so a server
// running without a screen can be watched.
class ActivityLogView final : public QPlainTextEdit, public LogSink {
public:
    explicit ActivityLogView(QWidget* parent = nullptr);

    void appendEntry(std::string_view entry) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Entries that came in during one turn of the event loop go on screen
    // together: a busy server would otherwise lay out the log per request.
    void showPending();

    QString m_pending;
    bool m_showPosted = false;
};
