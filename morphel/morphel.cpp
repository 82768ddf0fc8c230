#include "morphel.h"

#include "morphelqthost.h"

#include <QEvent>
#include <QMainWindow>
#include <QMessageBox>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>

namespace {

// The window property that says which Morphel hooked the window (one per window).
constexpr char HookProperty[] = "morphel_hook";

bool isFormClient(QWidget *container)
{
    if (!container)
        return false;
    return container->isWindow() || qobject_cast<QMainWindow *>(container->parentWidget()) != nullptr;
}

double twipsPerPixel(const QWidget *widget, bool horizontal)
{
    const QScreen *screen = widget->screen();
    if (!screen)
        return 15.0;
    return 1440.0 / (horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY());
}

} // namespace

Morphel::Morphel(QWidget *parent)
    : Morphel(parent, Mode::Run)
{
}

Morphel::Morphel(QWidget *parent, Mode mode)
    : QWidget(parent), m_mode(mode), m_formCheck(isFormClient)
{
    setFixedSize(ownSize());
    if (m_mode == Mode::Run) {
        // Nothing to see or click at run time.
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setVisible(false);
        hook();
    } else {
        updateDesignSize();
    }
}

Morphel::~Morphel()
{
    unhook();
}

QSize Morphel::ownSize() const
{
    return QSize(qRound(OwnSizeTwips / twipsPerPixel(this, true)),
                 qRound(OwnSizeTwips / twipsPerPixel(this, false)));
}

QSize Morphel::sizeHint() const
{
    return ownSize();
}

void Morphel::setContainerWidth(double twips)
{
    m_engine.setContainerSize(twips, m_engine.containerHeight());
}

void Morphel::setContainerHeight(double twips)
{
    m_engine.setContainerSize(m_engine.containerWidth(), twips);
}

void Morphel::setFontNoResize(const QString &list)
{
    m_fontNoResize = list;
    m_fontNoResizeAt = MorphelEngine::atEntries(list);
    m_engine.setFontNoResize(list);
    emit propertyChanged(QStringLiteral("FontNoResize"));
}

void Morphel::setNoResize(const QString &list)
{
    m_noResize = list;
    m_noResizeAt = MorphelEngine::atEntries(list);
    m_engine.setNoResize(list);
    emit propertyChanged(QStringLiteral("NoResize"));
}

QString Morphel::aboutText()
{
    return QStringLiteral("Morphel コントロール Ver.1.1");
}

void Morphel::ShowAboutBox()
{
    presentAboutBox(aboutText());
}

void Morphel::presentAboutBox(const QString &text)
{
    QMessageBox::information(isVisible() ? this : window(), QStringLiteral("Morphel"), text,
                             QMessageBox::Ok);
}

QWidget *Morphel::hostWindow() const
{
    return m_window;
}

void Morphel::setFormCheck(std::function<bool(QWidget *)> check)
{
    m_formCheck = check ? std::move(check) : std::function<bool(QWidget *)>(isFormClient);
    updateDesignSize();
}

QWidget *Morphel::formClient() const
{
    QWidget *container = parentWidget();
    return container && m_formCheck(container) ? container : nullptr;
}

void Morphel::updateDesignSize(bool report)
{
    if (m_mode != Mode::Design)
        return;
    if (m_designParent != parentWidget()) {
        if (m_designParent)
            m_designParent->removeEventFilter(this);
        m_designParent = parentWidget();
        if (m_designParent)
            m_designParent->installEventFilter(this);
    }
    QWidget *client = formClient();
    if (!client)
        return;
    const double width = client->width() * twipsPerPixel(client, true);
    const double height = client->height() * twipsPerPixel(client, false);
    if (report || width != containerWidth() || height != containerHeight()) {
        m_engine.setContainerSize(width, height);
        emit propertyChanged(QStringLiteral("ContainerWidth"));
        emit propertyChanged(QStringLiteral("ContainerHeight"));
    }
}

void Morphel::hook()
{
    unhook();
    QWidget *client = formClient();
    if (!client)
        return;   // not on a form: no capture, no hook
    QWidget *win = client->window();
    QObject *owner = win->property(HookProperty).value<QObject *>();
    if (owner && owner != this) {
        // Another Morphel rescales this window already.
        m_engine.setInitialised(true);
        return;
    }
    win->setProperty(HookProperty, QVariant::fromValue<QObject *>(this));
    m_window = win;
    m_client = client;
    m_host = std::make_unique<MorphelQtHost>(client);
    win->installEventFilter(this);
    if (client != win)
        client->installEventFilter(this);
    m_working = true;
    if (win->isVisible()) {
        // Hosted by a window that is already on screen: capture once the caller has set the
        // properties.
        QTimer::singleShot(0, this, [this] { capture(); });
    }
}

void Morphel::unhook()
{
    if (!m_working)
        return;
    m_working = false;
    if (m_window) {
        m_window->removeEventFilter(this);
        if (m_window->property(HookProperty).value<QObject *>() == this)
            m_window->setProperty(HookProperty, QVariant());
    }
    if (m_client)
        m_client->removeEventFilter(this);
    m_window = nullptr;
    m_client = nullptr;
    m_host.reset();
}

void Morphel::capture()
{
    if (!m_working || m_engine.initialised() || !m_host)
        return;
    if (containerWidth() <= 0 || containerHeight() <= 0) {
        // No design size stored: the size at first show is the design size.
        const MorphelSize client = m_host->clientSize();
        m_engine.setContainerSize(client.width, client.height);
    }
    m_engine.capture(*m_host);
}

bool Morphel::event(QEvent *event)
{
    if (event->type() == QEvent::Show && m_mode == Mode::Design)
        updateDesignSize(true);
    if (event->type() == QEvent::ParentChange) {
        if (m_mode == Mode::Run) {
            if (!m_engine.initialised() || m_working)
                hook();
        } else {
            updateDesignSize();
        }
    }
    return QWidget::event(event);
}

bool Morphel::eventFilter(QObject *watched, QEvent *event)
{
    if (m_mode == Mode::Design) {
        if (watched == m_designParent && event->type() == QEvent::Resize)
            updateDesignSize();
        return false;
    }
    if (!m_working)
        return false;
    if (watched == m_window && event->type() == QEvent::Show && !m_engine.initialised()) {
        capture();
    } else if (watched == m_client && event->type() == QEvent::Resize && m_host) {
        const bool minimised = m_window && (m_window->windowState() & Qt::WindowMinimized);
        m_engine.resized(*m_host, minimised);
    }
    return false;
}

void Morphel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (event->size() != ownSize())
        setFixedSize(ownSize());
}

void Morphel::paintEvent(QPaintEvent *)
{
    if (m_mode != Mode::Design)
        return;
    QPainter painter(this);
    painter.fillRect(rect(), palette().button());
    painter.setPen(palette().buttonText().color());
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("M"));
}
