#pragma once

#include "ActivityLog.h"

#include <QElapsedTimer>
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
    // (and out of the standard output's buffer) together: a busy server
    // would otherwise lay out the log and write to the output per request.
    void showPending();
    // The log is drawn at most once per kRepaintMilliseconds while entries
    // stream in; drawing it after every turn would cost a busy server more
    // than the serving itself. Its text is up to date after every turn.
    void holdRepaints();
    void releaseRepaints();

    QString m_pending;
    bool m_showPosted = false;
    bool m_repaintsHeld = false;
    QElapsedTimer m_sinceRepaint;
};
