#include "widgets/busy.h"

#include "core/dialogs.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

namespace {
int depth = 0;
BusyFilter *filter = nullptr;
const char ClosesWindow[] = "tabloraClosesWindow";

// A click on a button marked by BusyScope::countAsClose, by mouse or by the keys that press it.
bool isCloseClick(QObject *watched, QEvent *event)
{
    auto *button = qobject_cast<QWidget *>(watched);
    if (!button || !button->property(ClosesWindow).toBool())
        return false;
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        return mouse->button() == Qt::LeftButton && button->rect().contains(mouse->position().toPoint());
    }
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        return !key->isAutoRepeat()
               && (key->key() == Qt::Key_Space || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter);
    }
    return false;
}

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
    case QEvent::InputMethod: // text an input method commits (Japanese is typed that way)
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
    , m_pump(std::move(beforePaint), [] { return filter && filter->takesAllInput(); })
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

void BusyScope::countAsClose(QWidget *button)
{
    button->setProperty(ClosesWindow, true);
}

void BusyScope::closeWhenDone(QWidget *window)
{
    if (filter)
        filter->holdClose(window);
    else
        window->close();
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
        event->ignore();
        closeRequested(window);
        return true;
    }
    if (ownDialog)
        return false;
    if (isCloseClick(watched, event)) {
        closeRequested(static_cast<QWidget *>(watched)->window());
        return true;
    }
    if (type == QEvent::ShortcutOverride)
        event->accept(); // taken here, so no shortcut fires either
    return true;
}

bool BusyFilter::takesAllInput() const
{
    return QApplication::activeModalWidget() == m_modalAtStart;
}

void BusyFilter::holdClose(QWidget *window)
{
    if (std::find(m_heldCloses.begin(), m_heldCloses.end(), window) == m_heldCloses.end())
        m_heldCloses.emplace_back(window);
}

void BusyFilter::closeRequested(QWidget *window)
{
    holdClose(window);
    if (++m_closeRequests < 2 || m_asking)
        return;
    // Asked on top of the operation: its statement waits meanwhile, and the answer's dialog takes input.
    m_asking = true;
    const Dialogs::Answer answer = Dialogs::current().message(
            window->windowTitle(), QStringLiteral("処理中です。処理を中断して閉じますか？"), Dialogs::Icon::Question,
            Dialogs::Buttons::YesNo);
    m_asking = false;
    if (answer == Dialogs::Answer::Yes)
        Session::instance().stopOperation();
}

void BusyFilter::releaseClosesLater()
{
    for (const QPointer<QWidget> &window : m_heldCloses) {
        if (window)
            QTimer::singleShot(0, window, [window] { window->close(); });
    }
    m_heldCloses.clear();
}
