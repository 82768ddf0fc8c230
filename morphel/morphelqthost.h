#pragma once

// The layout engine's view of a Qt window: its controls are the descendant widgets whose objectName is
// set and does not start with "qt_" (a widget named "name_N" is element N of the array "name"), leaving
// out widgets placed by a layout, other windows and Morphel controls. Geometry is converted between
// pixels and twips through the screen's logical resolution; font sizes are in points.

#include "morphelengine.h"

#include <QPointer>
#include <QRect>
#include <QWidget>

#include <memory>
#include <unordered_map>

class MORPHEL_EXPORT MorphelQtControl : public MorphelControl
{
public:
    MorphelQtControl(QWidget *widget, QString name, int index, QString containerType,
                     double twipsX, double twipsY);

    QString name() const override { return m_name; }
    int index() const override { return m_index; }
    QString containerType() const override { return m_containerType; }
    std::optional<double> value(MorphelProp prop) const override;
    bool setValue(MorphelProp prop, double value) override;
    void commit() override;
    void readAll(MorphelValues &out) const override;
    QString key() const override { return m_key; }

    QWidget *widget() const { return m_widget; }
    // What the controls inside this one see as their container.
    const QString &ownType() const { return m_ownType; }
    // Still the same widget under the same name, in the same kind of container, at the same scale?
    bool describes(const QWidget *widget, const QString &objectName, const QString &containerType,
                   double twipsX, double twipsY) const;
    quint64 generation = 0;   // the walk that last found this control

private:
    QRect rect() const { return m_dirty ? m_pending : m_widget->geometry(); }

    QPointer<QWidget> m_widget;
    QString m_objectName;
    QString m_name;
    QString m_key;
    int m_index;
    QString m_containerType;
    QString m_ownType;
    double m_twipsX, m_twipsY;
    QRect m_pending;          // geometry written since the last commit, set in one go
    bool m_dirty = false;
};

class MORPHEL_EXPORT MorphelQtHost : public MorphelHost
{
public:
    // client: the widget whose client area the controls are laid out in (the window itself, or the
    // central widget of a main window).
    explicit MorphelQtHost(QWidget *client);

    QWidget *client() const { return m_client; }
    QWidget *window() const { return m_client ? m_client->window() : nullptr; }
    double twipsPerPixelX() const;
    double twipsPerPixelY() const;

    // Splits "name_N" into "name" and N; other names keep index -1.
    static void splitArrayName(const QString &objectName, QString *name, int *index);

    std::vector<MorphelControl *> controls() override;
    MorphelSize clientSize() const override;
    double screenWidth() const override;
    std::optional<MorphelSize> workArea() const override;
    MorphelSize windowSize() const override;
    void setWindowSize(MorphelSize size) override;
    void setRedraw(bool on) override;
    void repaint() override;

private:
    void collect(QWidget *parent, const QString &containerType, double tx, double ty);

    QPointer<QWidget> m_client;
    // Controls found by earlier walks, kept so that names are parsed once per widget.
    std::unordered_map<const QWidget *, std::unique_ptr<MorphelQtControl>> m_cache;
    std::vector<MorphelControl *> m_found;
    quint64 m_generation = 0;
    bool m_wasEnabled = true;
};
