// txtRecord for assistive technology: the text, the caret and the selection through Qt's accessible text
// interface, so that a screen reader reads a result and follows the caret and the selection.
#include "recordtextview.h"

#include <QAccessibleWidget>
#include <algorithm>

namespace {

class RecordTextAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit RecordTextAccessible(RecordTextView *view)
        : QAccessibleWidget(view, QAccessible::EditableText)
    {
    }

    RecordTextView *view() const { return static_cast<RecordTextView *>(widget()); }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.multiLine = true;
        state.selectableText = true;
        return state;
    }

    void selection(int selectionIndex, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (selectionIndex != 0 || !view()->hasSelection())
            return;
        const qint64 a = view()->anchorOffset(), c = view()->cursorOffset();
        *startOffset = int(std::min(a, c));
        *endOffset = int(std::max(a, c));
    }
    int selectionCount() const override { return view()->hasSelection() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }
    void removeSelection(int) override
    {
        view()->setSelectionOffsets(view()->cursorOffset(), view()->cursorOffset());
    }
    void setSelection(int, int startOffset, int endOffset) override
    {
        view()->setSelectionOffsets(startOffset, endOffset);
    }
    int cursorPosition() const override { return int(view()->cursorOffset()); }
    void setCursorPosition(int position) override { view()->setSelectionOffsets(position, position); }
    QString text(int startOffset, int endOffset) const override
    {
        return view()->textBetween(startOffset, endOffset);
    }
    int characterCount() const override { return int(std::min<qint64>(view()->characterCount(), INT_MAX)); }
    QRect characterRect(int) const override { return QRect(); }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int startIndex, int endIndex) override
    {
        view()->setSelectionOffsets(startIndex, endIndex);
    }
    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        *startOffset = 0;
        *endOffset = characterCount();
        Q_UNUSED(offset);
        return QString();
    }
};

QAccessibleInterface *recordTextFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("RecordTextView") && object && object->isWidgetType())
        return new RecordTextAccessible(static_cast<RecordTextView *>(object));
    return nullptr;
}

} // namespace

void installRecordTextAccessible()
{
    static const bool installed = [] {
        QAccessible::installFactory(recordTextFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

const std::vector<qint64> &RecordTextView::lineStarts() const
{
    if (m_lineStarts.empty()) {
        const std::size_t lines = m_lines->lineCount();
        m_lineStarts.reserve(lines + 1);
        qint64 at = 0;
        for (std::size_t line = 0; line < lines; ++line) {
            m_lineStarts.push_back(at);
            at += m_lines->lineText(line).size() + 1;
        }
        m_lineStarts.push_back(at); // the place after the last line end
    }
    return m_lineStarts;
}

qint64 RecordTextView::offsetOf(const Pos &pos) const
{
    const std::vector<qint64> &starts = lineStarts();
    const std::size_t line = std::size_t(std::clamp<qint64>(pos.line, 0, qint64(starts.size()) - 1));
    const qint64 end = line + 1 < starts.size() ? starts[line + 1] - 1 : starts[line];
    return std::min(starts[line] + pos.column, end);
}

RecordTextView::Pos RecordTextView::posOf(qint64 offset) const
{
    const std::vector<qint64> &starts = lineStarts();
    offset = std::clamp<qint64>(offset, 0, starts.back());
    const auto it = std::upper_bound(starts.begin(), starts.end(), offset) - 1;
    return Pos{qint64(it - starts.begin()), int(offset - *it)};
}

qint64 RecordTextView::characterCount() const
{
    return lineStarts().back();
}

qint64 RecordTextView::cursorOffset() const
{
    return offsetOf(m_cursor);
}

qint64 RecordTextView::anchorOffset() const
{
    return offsetOf(m_anchor);
}

void RecordTextView::setSelectionOffsets(qint64 anchor, qint64 cursor)
{
    m_anchor = posOf(anchor);
    m_cursor = posOf(cursor);
    ensureVisible(m_cursor);
    caretMoved();
}

QString RecordTextView::textBetween(qint64 start, qint64 end) const
{
    if (end < 0)
        end = characterCount();
    const Pos from = posOf(std::min(start, end));
    const Pos to = posOf(std::max(start, end));
    QString text;
    for (qint64 line = from.line; line <= to.line && line < qint64(m_lines->lineCount()); ++line) {
        const QString whole = m_lines->lineText(std::size_t(line)) + QLatin1Char('\n');
        const int first = line == from.line ? from.column : 0;
        text += line == to.line ? whole.mid(first, to.column - first) : whole.mid(first);
    }
    return text;
}

void RecordTextView::caretMoved()
{
    viewport()->update();
    if (!QAccessible::isActive())
        return;
    const qint64 cursor = cursorOffset(), anchor = anchorOffset();
    QAccessibleTextCursorEvent moved(this, int(cursor));
    QAccessible::updateAccessibility(&moved);
    QAccessibleTextSelectionEvent selected(this, int(std::min(anchor, cursor)), int(std::max(anchor, cursor)));
    QAccessible::updateAccessibility(&selected);
}
