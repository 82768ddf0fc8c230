#include "recordtextview.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <algorithm>

namespace {
constexpr int Margin = 3;
}

void installRecordTextAccessible(); // recordtextaccessible.cpp

RecordTextView::RecordTextView(QWidget *parent)
    : QAbstractScrollArea(parent), m_lines(std::make_unique<TextLines>())
{
    installRecordTextAccessible();
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(8);
    updateScrollBars();
}

RecordTextView::~RecordTextView() = default;

void RecordTextView::setLines(std::shared_ptr<const LineSource> lines)
{
    m_lines = lines ? std::move(lines) : std::make_shared<TextLines>();
    m_lineStarts.clear();
    m_anchor = m_cursor = Pos{};
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    updateScrollBars();
    viewport()->update();
}

void RecordTextView::setPlainText(const QString &text)
{
    setLines(TextLines::fromText(text));
}

QString RecordTextView::toPlainText() const
{
    return m_lines->text();
}

void RecordTextView::clear()
{
    setLines(nullptr);
}

// One line more than stored: the place after the last line end, where the caret can stand.
qint64 RecordTextView::displayLines() const
{
    return qint64(m_lines->lineCount()) + 1;
}

int RecordTextView::lineHeight() const
{
    return std::max(1, fontMetrics().lineSpacing());
}

void RecordTextView::updateScrollBars()
{
    const int visible = std::max(1, viewport()->height() / lineHeight());
    const qint64 maxFirst = std::max<qint64>(0, displayLines() - visible);
    verticalScrollBar()->setRange(0, int(std::min<qint64>(maxFirst, INT_MAX)));
    verticalScrollBar()->setPageStep(visible);
    // The widest line is estimated from its bytes; a little too wide is harmless.
    const qint64 width = qint64(m_lines->maxLineBytes()) * fontMetrics().averageCharWidth() + 2 * Margin;
    const int page = viewport()->width();
    horizontalScrollBar()->setRange(0, int(std::clamp<qint64>(width - page, 0, INT_MAX)));
    horizontalScrollBar()->setPageStep(page);
}

void RecordTextView::layoutLine(QTextLayout &layout, qint64 line) const
{
    layout.setText(m_lines->lineText(std::size_t(line)));
    layout.setFont(font());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTabStopDistance(fontMetrics().averageCharWidth() * 8);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine textLine = layout.createLine();
    if (textLine.isValid())
        textLine.setLineWidth(1e9);
    layout.endLayout();
}

void RecordTextView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    const int height = lineHeight();
    const qint64 first = verticalScrollBar()->value();
    const qint64 count = viewport()->height() / height + 2;
    const int x = Margin - horizontalScrollBar()->value();
    const Pos from = std::min(m_anchor, m_cursor);
    const Pos to = std::max(m_anchor, m_cursor);
    const QPalette pal = palette();
    painter.setPen(pal.color(QPalette::Text));
    for (qint64 i = 0; i < count && first + i < qint64(m_lines->lineCount()); ++i) {
        const qint64 line = first + i;
        QTextLayout layout;
        layoutLine(layout, line);
        QList<QTextLayout::FormatRange> selections;
        if (from.line <= line && line <= to.line && !(from == to)) {
            const int start = line == from.line ? from.column : 0;
            const int end = line == to.line ? to.column : int(layout.text().size()) + 1;
            QTextLayout::FormatRange range;
            range.start = start;
            range.length = end - start;
            range.format.setBackground(pal.brush(QPalette::Highlight));
            range.format.setForeground(pal.brush(QPalette::HighlightedText));
            selections.append(range);
        }
        // Lines with glyphs of a fallback font are taller; all share the widget font's baseline.
        const QTextLine textLine = layout.lineAt(0);
        const double shift = textLine.isValid() ? fontMetrics().ascent() - textLine.ascent() : 0.0;
        layout.draw(&painter, QPointF(x, double(i * height) + shift), selections);
    }
}

void RecordTextView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void RecordTextView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateScrollBars();
        viewport()->update();
    }
}

RecordTextView::Pos RecordTextView::posAt(const QPoint &point) const
{
    const qint64 line = std::clamp<qint64>(verticalScrollBar()->value() + point.y() / lineHeight(), 0,
                                           displayLines() - 1);
    if (line >= qint64(m_lines->lineCount()))
        return Pos{line, 0};
    QTextLayout layout;
    layoutLine(layout, line);
    const double x = point.x() - Margin + horizontalScrollBar()->value();
    const QTextLine textLine = layout.lineAt(0);
    const int column = textLine.isValid() ? textLine.xToCursor(x) : 0;
    return Pos{line, column};
}

void RecordTextView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_cursor = posAt(event->position().toPoint());
    if (!(event->modifiers() & Qt::ShiftModifier))
        m_anchor = m_cursor;
    caretMoved();
}

void RecordTextView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    m_cursor = posAt(event->position().toPoint());
    ensureVisible(m_cursor);
    caretMoved();
}

void RecordTextView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A double click selects the whole line.
    const Pos pos = posAt(event->position().toPoint());
    m_anchor = Pos{pos.line, 0};
    m_cursor = Pos{pos.line, int(m_lines->lineText(std::size_t(pos.line)).size())};
    caretMoved();
}

void RecordTextView::ensureVisible(const Pos &pos)
{
    QScrollBar *bar = verticalScrollBar();
    if (pos.line < bar->value())
        bar->setValue(int(pos.line));
    else if (pos.line >= bar->value() + bar->pageStep())
        bar->setValue(int(pos.line - bar->pageStep() + 1));
}

void RecordTextView::keyPressEvent(QKeyEvent *event)
{
    if (event == QKeySequence::Copy) {
        copy();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        selectAll();
        return;
    }
    QScrollBar *bar = verticalScrollBar();
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    Pos next = m_cursor;
    switch (event->key()) {
    case Qt::Key_Up: next.line = std::max<qint64>(0, next.line - 1); break;
    case Qt::Key_Down: next.line = std::min(displayLines() - 1, next.line + 1); break;
    case Qt::Key_PageUp: next.line = std::max<qint64>(0, next.line - bar->pageStep()); break;
    case Qt::Key_PageDown: next.line = std::min(displayLines() - 1, next.line + bar->pageStep()); break;
    case Qt::Key_Left: next.column = std::max(0, next.column - 1); break;
    case Qt::Key_Right: next.column += 1; break;
    case Qt::Key_Home:
        next = (event->modifiers() & Qt::ControlModifier) ? Pos{} : Pos{next.line, 0};
        break;
    case Qt::Key_End:
        next.line = (event->modifiers() & Qt::ControlModifier) ? displayLines() - 1 : next.line;
        next.column = INT_MAX;
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const int length = next.line < qint64(m_lines->lineCount())
                           ? int(m_lines->lineText(std::size_t(next.line)).size()) : 0;
    next.column = std::min(next.column, length);
    m_cursor = next;
    if (!extend)
        m_anchor = m_cursor;
    ensureVisible(m_cursor);
    caretMoved();
}

void RecordTextView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *copyAction = menu.addAction(QStringLiteral("コピー"), this, &RecordTextView::copy);
    copyAction->setEnabled(hasSelection());
    menu.addAction(QStringLiteral("すべて選択"), this, &RecordTextView::selectAll);
    menu.exec(event->globalPos());
}

bool RecordTextView::hasSelection() const
{
    return !(m_anchor == m_cursor);
}

QString RecordTextView::selectedText() const
{
    const Pos from = std::min(m_anchor, m_cursor);
    const Pos to = std::max(m_anchor, m_cursor);
    QString text;
    const qint64 stored = qint64(m_lines->lineCount());
    for (qint64 line = from.line; line <= to.line && line < stored; ++line) {
        const QString whole = m_lines->lineText(std::size_t(line));
        const int start = line == from.line ? std::min(from.column, int(whole.size())) : 0;
        if (line == to.line) {
            text += whole.mid(start, std::min(to.column, int(whole.size())) - start);
        } else {
            text += whole.mid(start);
            text += QLatin1Char('\n');
        }
    }
    return text;
}

void RecordTextView::selectAll()
{
    m_anchor = Pos{};
    m_cursor = Pos{displayLines() - 1, 0};
    caretMoved();
}

void RecordTextView::copy() const
{
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}
