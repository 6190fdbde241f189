#pragma once

#include <QBasicTimer>
#include <QObject>

#include <functional>

// Brings what other threads hand over to the window's thread at the pace of
// the screen: the first hand-over after a quiet spell is taken at once, and
// from then on the window's thread comes back once a frame while more keeps
// coming, so a busy server costs it one wake-up a frame however many
// requests it serves. Lives on the window's thread.
class FramePacer final : public QObject {
public:
    // `handOver` runs on the window's thread and takes what waits; it says
    // false when nothing did, and the pacer sleeps until the next `wake`.
    explicit FramePacer(std::function<bool()> handOver);

    // From any thread, once for the first hand-over after a quiet spell
    // (the caller keeps the flag that says whether the pacer is awake).
    void wake();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void deliver();

    std::function<bool()> m_handOver;
    QBasicTimer m_frame;
};
