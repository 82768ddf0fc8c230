#include "accessiblenames.h"

#include <QLabel>
#include <QWidget>

QString spokenCaption(const QString &caption)
{
    QString text;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&') && i + 1 < caption.size())
            ++i;
        text += caption.at(i);
    }
    text = text.trimmed();
    while (text.endsWith(QLatin1Char(':')) || text.endsWith(QChar(0xFF1A)))
        text.chop(1);
    return text.trimmed();
}

void nameForAssistiveTechnology(QWidget *window)
{
    const QList<QWidget *> widgets = window->findChildren<QWidget *>();
    for (QWidget *w : widgets) {
        if (!w->objectName().isEmpty() && w->accessibleName() == w->objectName())
            w->setAccessibleName(QString());
    }
    for (QWidget *w : widgets) {
        auto *label = qobject_cast<QLabel *>(w);
        if (!label || !label->buddy() || !label->buddy()->accessibleName().isEmpty())
            continue;
        const QString name = spokenCaption(label->text());
        if (!name.isEmpty())
            label->buddy()->setAccessibleName(name);
    }
}
