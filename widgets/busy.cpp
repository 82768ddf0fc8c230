#include "widgets/busy.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

namespace {
int depth = 0;
BusyFilter *filter = nullptr;

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}
}

BusyScope::BusyScope(Session &session, std::function<void()> beforePaint)
    : m_hold(session)
    , m_pump(std::move(beforePaint))
{
    if (depth++ == 0 && QCoreApplication::instance()) {
        filter = new BusyFilter;
        QCoreApplication::instance()->installEventFilter(filter);
    }
}

BusyScope::~BusyScope()
{
    if (--depth == 0 && filter) {
        QCoreApplication::instance()->removeEventFilter(filter);
        filter->releaseClosesLater();
        filter->deleteLater();
        filter = nullptr;
    }
}

BusyFilter::BusyFilter()
    : m_modalAtStart(QApplication::activeModalWidget())
{
}

bool BusyFilter::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::Close && !isUserInput(type))
        return false;
    // A dialog that the operation opened is on top: Qt's own modality keeps input away from the windows
    // beneath it, and the dialog itself needs it.
    QWidget *modal = QApplication::activeModalWidget();
    const bool ownDialog = modal && modal != m_modalAtStart;
    if (type == QEvent::Close) {
        auto *window = qobject_cast<QWidget *>(watched);
        if (!window || !window->isWindow() || (ownDialog && window == modal))
            return false;
        if (std::find(m_heldCloses.begin(), m_heldCloses.end(), window) == m_heldCloses.end())
            m_heldCloses.emplace_back(window);
        event->ignore();
        return true;
    }
    if (ownDialog)
        return false;
    if (type == QEvent::ShortcutOverride)
        event->accept(); // taken here, so no shortcut fires either
    return true;
}

void BusyFilter::releaseClosesLater()
{
    for (const QPointer<QWidget> &window : m_heldCloses) {
        if (window)
            QTimer::singleShot(0, window, [window] { window->close(); });
    }
    m_heldCloses.clear();
}
