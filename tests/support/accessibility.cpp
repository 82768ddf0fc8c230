#include "accessibility.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

QStringList unnamedControls(QWidget *window)
{
    QStringList unnamed;
    const QList<QLabel *> labels = window->findChildren<QLabel *>();
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        if (w->parentWidget() && qobject_cast<QAbstractScrollArea *>(w->parentWidget()))
            continue;
        if (w->accessibleName() == w->objectName()) {
            unnamed << w->objectName();
            continue;
        }
        const QByteArray kind = w->metaObject()->className();
        if (qobject_cast<QLabel *>(w) || kind == "QWidget" || kind == "QFrame" || w->inherits("Morphel"))
            continue;
        QString caption = w->property("text").toString();
        if (auto *box = qobject_cast<QGroupBox *>(w))
            caption = box->title();
        bool named = !w->accessibleName().isEmpty() || !caption.isEmpty();
        if (!qobject_cast<QAbstractItemView *>(w)) {
            for (const QLabel *label : labels)
                named = named || label->buddy() == w;
        }
        if (!named)
            unnamed << w->objectName();
    }
    return unnamed;
}
