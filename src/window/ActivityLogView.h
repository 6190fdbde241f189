#pragma once

#include "LogLines.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QTimer>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The activity log on screen, `txtWorkingStatus`: the newest entries, one a
// line, without wrapping and with both scroll bars. Only the lines in sight
// are laid out, so a busy server appends at the cost of a copy. It is
// read-only for the operator: keys change and move nothing (Enter goes to
// the window's default button, Tab to the next control), a click selects
// nothing and brings the newest entry into view, and there is no menu.
// While the newest entry is in view, the view follows new ones.
class ActivityLogView final : public QAbstractScrollArea {
public:
    // Beyond these the oldest entries go: an unbounded log would let any
    // peer that sends tiny requests use up the memory.
    static constexpr std::size_t kDefaultMaxEntries = 1'000'000;
    // Bounds the memory when peers send long paths too: a million entries
    // of up to about 260 bytes fit.
    static constexpr std::size_t kDefaultMaxBytes = std::size_t{256} << 20;

    explicit ActivityLogView(QWidget* parent = nullptr, std::size_t maxEntries = kDefaultMaxEntries,
                             std::size_t maxBytes = kDefaultMaxBytes);

    // Appends whole entries, each ended by CR LF. Window thread only.
    void appendEntries(std::string_view entries);

    [[nodiscard]] std::size_t entryCount() const { return m_lines.size(); }
    [[nodiscard]] std::uint64_t droppedCount() const { return m_lines.dropped(); }
    // What the view shows, its lines joined by LF: the note on dropped
    // entries first, if any, then the entries.
    [[nodiscard]] QString toPlainText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    [[nodiscard]] int rowCount() const;
    [[nodiscard]] QString rowText(int row) const;
    [[nodiscard]] int lineHeight() const;
    // New entries reach the screen at most once per kRefreshMilliseconds:
    // drawing after every batch would cost a busy server more than serving.
    void scheduleRefresh();
    void refresh();
    void updateScrollBars();
    void showNewest();

    LogLines m_lines;
    // How far the view scrolls sideways comes from the longest line by
    // bytes, measured once when it changes: measuring every line would lay
    // out every entry.
    std::string m_longest;
    bool m_longestMeasured = true;
    int m_contentWidth = 0;
    QTimer m_refreshTimer;
    QElapsedTimer m_sinceRefresh;
};
