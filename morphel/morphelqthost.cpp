#include "morphelqthost.h"

#include "morphel.h"

#include <QLayout>
#include <QScreen>

#include <cmath>

namespace {

constexpr double TwipsPerInch = 1440.0;
const QString FormContainer = QStringLiteral("Form");

int toPixels(double twips, double twipsPerPixel)
{
    return int(std::lround(twips / twipsPerPixel));
}

bool placedByLayout(QWidget *widget)
{
    const QWidget *parent = widget->parentWidget();
    const QLayout *layout = parent ? parent->layout() : nullptr;
    return layout && layout->indexOf(widget) >= 0;
}

} // namespace

MorphelQtControl::MorphelQtControl(QWidget *widget, QString name, int index, QString containerType,
                                   double twipsX, double twipsY)
    : m_widget(widget), m_objectName(widget->objectName()), m_name(std::move(name)), m_index(index),
      m_containerType(std::move(containerType)), m_twipsX(twipsX), m_twipsY(twipsY)
{
    m_key = morphelControlKey(*this);
    m_ownType = QString::fromLatin1(widget->metaObject()->className());
    // Each control owns its font from now on: a widget whose size is inherited would otherwise follow
    // its container's font when the container is re-fonted, also when the control itself is listed in
    // FontNoResize or when its own size was already written and looked unchanged.
    QFont font = widget->font();
    if (font.pointSizeF() > 0) {
        font.setPointSizeF(font.pointSizeF());
        widget->setFont(font);
    }
}

bool MorphelQtControl::describes(const QWidget *widget, const QString &objectName,
                                 const QString &containerType, double twipsX, double twipsY) const
{
    return m_widget == widget && m_objectName == objectName && m_containerType == containerType
        && m_twipsX == twipsX && m_twipsY == twipsY;
}

void MorphelQtControl::readAll(MorphelValues &out) const
{
    out = {};
    const QRect r = rect();
    out.set(MorphelProp::Top, r.y() * m_twipsY);
    out.set(MorphelProp::Left, r.x() * m_twipsX);
    out.set(MorphelProp::Width, r.width() * m_twipsX);
    out.set(MorphelProp::Height, r.height() * m_twipsY);
    const double size = m_widget->font().pointSizeF();
    if (size > 0)
        out.set(MorphelProp::FontSize, size);
}

std::optional<double> MorphelQtControl::value(MorphelProp prop) const
{
    switch (prop) {
    case MorphelProp::Top: return rect().y() * m_twipsY;
    case MorphelProp::Left: return rect().x() * m_twipsX;
    case MorphelProp::Width: return rect().width() * m_twipsX;
    case MorphelProp::Height: return rect().height() * m_twipsY;
    case MorphelProp::FontSize: {
        const double size = m_widget->font().pointSizeF();
        if (size <= 0)   // a font sized in pixels has no point size to scale
            return std::nullopt;
        return size;
    }
    default:   // widgets have no end points and no tab height of their own
        return std::nullopt;
    }
}

bool MorphelQtControl::setValue(MorphelProp prop, double value)
{
    if (!std::isfinite(value))
        return false;
    if (prop == MorphelProp::FontSize) {
        if (value <= 0)
            return false;
        QFont font = m_widget->font();
        if (font.pointSizeF() <= 0)
            return false;
        if (font.pointSizeF() != value) {
            font.setPointSizeF(value);
            m_widget->setFont(font);
        }
        return true;
    }
    QRect r = rect();
    switch (prop) {
    case MorphelProp::Top: r.moveTop(toPixels(value, m_twipsY)); break;
    case MorphelProp::Left: r.moveLeft(toPixels(value, m_twipsX)); break;
    case MorphelProp::Width:
        if (value < 0)
            return false;
        r.setWidth(toPixels(value, m_twipsX));
        break;
    case MorphelProp::Height:
        if (value < 0)
            return false;
        r.setHeight(toPixels(value, m_twipsY));
        break;
    default:
        return false;
    }
    m_pending = r;
    m_dirty = true;
    return true;
}

void MorphelQtControl::commit()
{
    if (m_dirty) {
        m_dirty = false;
        if (m_pending != m_widget->geometry())
            m_widget->setGeometry(m_pending);
    }
}

MorphelQtHost::MorphelQtHost(QWidget *client)
    : m_client(client)
{
}

double MorphelQtHost::twipsPerPixelX() const
{
    const QScreen *screen = m_client ? m_client->screen() : nullptr;
    return screen ? TwipsPerInch / screen->logicalDotsPerInchX() : 15.0;
}

double MorphelQtHost::twipsPerPixelY() const
{
    const QScreen *screen = m_client ? m_client->screen() : nullptr;
    return screen ? TwipsPerInch / screen->logicalDotsPerInchY() : 15.0;
}

void MorphelQtHost::splitArrayName(const QString &objectName, QString *name, int *index)
{
    *name = objectName;
    *index = -1;
    const qsizetype sep = objectName.lastIndexOf(QLatin1Char('_'));
    if (sep <= 0 || sep == objectName.size() - 1)
        return;
    bool ok = false;
    const int n = QStringView(objectName).mid(sep + 1).toInt(&ok);
    for (qsizetype i = sep + 1; i < objectName.size(); ++i) {
        if (!objectName.at(i).isDigit())
            return;
    }
    if (ok && n >= 0) {
        *name = objectName.left(sep);
        *index = n;
    }
}

void MorphelQtHost::collect(QWidget *parent, const QString &containerType, double tx, double ty)
{
    for (QObject *object : parent->children()) {
        if (!object->isWidgetType())
            continue;
        auto *widget = static_cast<QWidget *>(object);
        if (widget->isWindow())
            continue;
        const QString objectName = widget->objectName();
        const bool named = !objectName.isEmpty() && !objectName.startsWith(QLatin1String("qt_"));
        if (named && !placedByLayout(widget)) {
            std::unique_ptr<MorphelQtControl> &cached = m_cache[widget];
            if (!cached || !cached->describes(widget, objectName, containerType, tx, ty)) {
                if (qobject_cast<Morphel *>(widget)) {
                    m_cache.erase(widget);
                    continue;
                }
                QString name;
                int index;
                splitArrayName(objectName, &name, &index);
                cached = std::make_unique<MorphelQtControl>(widget, name, index, containerType, tx, ty);
            }
            cached->generation = m_generation;
            m_found.push_back(cached.get());
            const QString ownType = cached->ownType();
            collect(widget, ownType, tx, ty);
        } else {
            // Pages and internal widgets are no containers of their own: their controls sit in
            // the control that holds them.
            collect(widget, containerType, tx, ty);
        }
    }
}

std::vector<MorphelControl *> MorphelQtHost::controls()
{
    m_found.clear();
    ++m_generation;
    if (m_client)
        collect(m_client, FormContainer, twipsPerPixelX(), twipsPerPixelY());
    // Forget the widgets that are gone (every control found is in the cache, so equal sizes mean
    // nothing is stale).
    if (m_cache.size() != m_found.size()) {
        std::erase_if(m_cache,
                      [this](const auto &entry) { return entry.second->generation != m_generation; });
    }
    return m_found;
}

MorphelSize MorphelQtHost::clientSize() const
{
    if (!m_client)
        return {};
    return {m_client->width() * twipsPerPixelX(), m_client->height() * twipsPerPixelY()};
}

double MorphelQtHost::screenWidth() const
{
    const QScreen *screen = m_client ? m_client->screen() : nullptr;
    return screen ? screen->geometry().width() * twipsPerPixelX() : 0.0;
}

std::optional<MorphelSize> MorphelQtHost::workArea() const
{
    const QScreen *screen = m_client ? m_client->screen() : nullptr;
    if (!screen)
        return std::nullopt;
    const QRect area = screen->availableGeometry();
    if (area.isEmpty())
        return std::nullopt;
    return MorphelSize{area.width() * twipsPerPixelX(), area.height() * twipsPerPixelY()};
}

MorphelSize MorphelQtHost::windowSize() const
{
    const QWidget *win = window();
    if (!win)
        return {};
    const QSize size = win->frameGeometry().size();
    return {size.width() * twipsPerPixelX(), size.height() * twipsPerPixelY()};
}

void MorphelQtHost::setWindowSize(MorphelSize size)
{
    QWidget *win = window();
    if (!win)
        return;
    // The size given is the outer size; the frame's share is taken off for resize().
    const QSize frame = win->frameGeometry().size() - win->size();
    win->resize(toPixels(size.width, twipsPerPixelX()) - frame.width(),
                toPixels(size.height, twipsPerPixelY()) - frame.height());
}

void MorphelQtHost::setRedraw(bool on)
{
    QWidget *win = window();
    if (!win)
        return;
    if (!on) {
        m_wasEnabled = win->updatesEnabled();
        win->setUpdatesEnabled(false);
    } else {
        win->setUpdatesEnabled(m_wasEnabled);
    }
}

void MorphelQtHost::repaint()
{
    if (QWidget *win = window())
        win->update();
}
