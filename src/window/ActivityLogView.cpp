#include "ActivityLogView.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <limits>

namespace {
// About 25 pictures a second: smooth to the eye, cheap for the server.
constexpr qint64 kRefreshMilliseconds = 40;
// Room between the frame and the text, as a text box leaves it.
constexpr int kMargin = 3;
constexpr int kSidewaysStep = 20;
} // namespace

ActivityLogView::ActivityLogView(QWidget* parent, std::size_t maxEntries, std::size_t maxBytes)
    : QAbstractScrollArea(parent)
    // The scroll bars count rows in an int.
    , m_lines(std::min<std::size_t>(maxEntries, std::numeric_limits<int>::max() - 1), maxBytes)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setContextMenuPolicy(Qt::NoContextMenu);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setCursor(Qt::ArrowCursor);
    horizontalScrollBar()->setSingleStep(kSidewaysStep);
    // The log is plain Latin text: drawn by the font's character map alone,
    // without the shaping machinery. Only this one attribute is set, so the
    // window's font still reaches the log.
    QFont plain;
    plain.setStyleStrategy(QFont::PreferNoShaping);
    setFont(plain);

    m_refreshTimer.setSingleShot(true);
    connect(&m_refreshTimer, &QTimer::timeout, this, &ActivityLogView::refresh);
}

void ActivityLogView::appendEntries(std::string_view entries)
{
    while (!entries.empty()) {
        const std::size_t end = entries.find('\n');
        std::string_view line = entries.substr(0, end);
        entries.remove_prefix(end == std::string_view::npos ? entries.size() : end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        m_lines.append(line);
        if (line.size() > m_longest.size()) {
            m_longest = line;
            m_longestMeasured = false;
        }
    }
    scheduleRefresh();
}

QString ActivityLogView::toPlainText() const
{
    QStringList rows;
    for (int row = 0; row < rowCount(); ++row)
        rows.append(rowText(row));
    return rows.join(QLatin1Char('\n'));
}

int ActivityLogView::rowCount() const
{
    return static_cast<int>(m_lines.size()) + (m_lines.dropped() > 0 ? 1 : 0);
}

QString ActivityLogView::rowText(int row) const
{
    if (m_lines.dropped() > 0) {
        if (row == 0)
            return QStringLiteral("%1 older entries were dropped from this view").arg(m_lines.dropped());
        --row;
    }
    const std::string_view line = m_lines.at(static_cast<std::size_t>(row));
    return QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
}

int ActivityLogView::lineHeight() const
{
    return std::max(fontMetrics().lineSpacing(), 1);
}

void ActivityLogView::scheduleRefresh()
{
    if (m_refreshTimer.isActive())
        return;
    if (m_sinceRefresh.isValid() && m_sinceRefresh.elapsed() < kRefreshMilliseconds)
        m_refreshTimer.start(static_cast<int>(kRefreshMilliseconds - m_sinceRefresh.elapsed()));
    else
        refresh();
}

void ActivityLogView::refresh()
{
    m_sinceRefresh.start();
    updateScrollBars();
    viewport()->update();
}

void ActivityLogView::updateScrollBars()
{
    QScrollBar* vertical = verticalScrollBar();
    const bool followsNewest = vertical->value() >= vertical->maximum();
    const int rowsInSight = std::max(viewport()->height() / lineHeight(), 1);
    vertical->setRange(0, std::max(rowCount() - rowsInSight, 0));
    vertical->setPageStep(rowsInSight);
    if (followsNewest)
        vertical->setValue(vertical->maximum());

    if (!m_longestMeasured) {
        m_longestMeasured = true;
        m_contentWidth = std::max(m_contentWidth, fontMetrics().horizontalAdvance(QString::fromUtf8(
                                                      m_longest.data(), static_cast<qsizetype>(m_longest.size()))));
    }
    const int noteWidth = m_lines.dropped() > 0 ? fontMetrics().horizontalAdvance(rowText(0)) : 0;
    const int width = std::max(m_contentWidth, noteWidth) + 2 * kMargin;
    QScrollBar* sideways = horizontalScrollBar();
    sideways->setRange(0, std::max(width - viewport()->width(), 0));
    sideways->setPageStep(viewport()->width());
}

void ActivityLogView::showNewest()
{
    updateScrollBars();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    horizontalScrollBar()->setValue(0);
}

void ActivityLogView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const int height = lineHeight();
    const int x = kMargin - horizontalScrollBar()->value();
    int baseline = kMargin + fontMetrics().ascent();
    for (int row = verticalScrollBar()->value(); row < rowCount() && baseline - height < viewport()->height();
         ++row, baseline += height)
        painter.drawText(x, baseline, rowText(row));
}

void ActivityLogView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void ActivityLogView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_contentWidth = 0;
        m_longestMeasured = false;
        updateScrollBars();
    }
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

// A click puts the log's caret at its end: the newest entry comes into view.
void ActivityLogView::mousePressEvent(QMouseEvent* event)
{
    showNewest();
    event->accept();
}

void ActivityLogView::mouseReleaseEvent(QMouseEvent* event)
{
    showNewest();
    event->accept();
}

void ActivityLogView::mouseDoubleClickEvent(QMouseEvent* event)
{
    showNewest();
    event->accept();
}
