#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>

// Answers modal windows as they open (message boxes, dialogs), one step
// each, in order, while the code under test waits inside exec().
class ModalScript {
public:
    using Step = std::function<void(QWidget*)>;

    ModalScript()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start(5);
    }

    ModalScript& then(Step step)
    {
        m_steps.push_back(std::move(step));
        return *this;
    }

    [[nodiscard]] bool finished() const { return m_steps.empty(); }

private:
    void poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == m_answered || m_steps.empty() || m_running)
            return;
        m_answered = modal;
        Step step = std::move(m_steps.front());
        m_steps.pop_front();
        m_running = true;
        step(modal);
        m_running = false;
    }

    QTimer m_timer;
    std::deque<Step> m_steps;
    QPointer<QWidget> m_answered;
    bool m_running = false;
};
