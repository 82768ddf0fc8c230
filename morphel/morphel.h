#pragma once

// Morphel: the resize control. A window carries one Morphel; when the window changes size, every other
// control of the window is moved, sized and re-fonted in proportion to the window's client area,
// measured against the client size the window had at design time (ContainerWidth x ContainerHeight,
// in twips). The control itself is invisible at run time and always 500 x 500 twips.
//
// How a window hosts it (one line either way):
//   - in the window's .ui: a widget of class Morphel (header "morphel.h") named Morphel1, placed
//     directly on the form (or on a main window's central widget), with its properties, e.g.
//       <widget class="Morphel" name="Morphel1">
//        <property name="ContainerWidth"><double>9000</double></property>
//        <property name="ContainerHeight"><double>6000</double></property>
//        <property name="NoResize"><string>lblTitle , @optField</string></property>
//       </widget>
//     uic calls setContainerWidth() and friends; the Designer plugin writes them for you.
//   - in code, before the window is shown:
//       auto *morphel = new Morphel(centralWidget());   // or new Morphel(dialog)
//       morphel->setObjectName(QStringLiteral("Morphel1"));
//     Without a ContainerWidth/ContainerHeight the client size at first show is the design size.
// Link the target `morphel` (libMorphel.so). List syntax of NoResize and FontNoResize: names joined by
// " , ", an array element as "name index" ("Text1 0"), "@name" for every element; case-sensitive.

#include "morphelengine.h"
#include "morphelexport.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class MorphelQtHost;

class MORPHEL_EXPORT Morphel : public QWidget
{
    Q_OBJECT
    Q_CLASSINFO("ProgID", "MorphelCtl.Morphel")
    Q_PROPERTY(double ContainerWidth READ containerWidth WRITE setContainerWidth)
    Q_PROPERTY(double ContainerHeight READ containerHeight WRITE setContainerHeight)
    Q_PROPERTY(QString FontNoResize READ fontNoResize WRITE setFontNoResize)
    Q_PROPERTY(QString NoResize READ noResize WRITE setNoResize)

public:
    static constexpr double OwnSizeTwips = 500;
    static inline const char *const ProgId = "MorphelCtl.Morphel";

    enum class Mode { Run, Design };

    // At run time the control hooks the window it sits on (directly, or on a main window's central
    // widget); only the first Morphel to hook a window rescales it.
    explicit Morphel(QWidget *parent = nullptr);
    Morphel(QWidget *parent, Mode mode);
    ~Morphel() override;

    Mode mode() const { return m_mode; }

    double containerWidth() const { return m_engine.containerWidth(); }
    void setContainerWidth(double twips);
    double containerHeight() const { return m_engine.containerHeight(); }
    void setContainerHeight(double twips);
    QString fontNoResize() const { return m_fontNoResize; }
    void setFontNoResize(const QString &list);
    QString noResize() const { return m_noResize; }
    void setNoResize(const QString &list);
    // The "@" entries of each list, kept beside it.
    QString fontNoResizeAt() const { return m_fontNoResizeAt; }
    QString noResizeAt() const { return m_noResizeAt; }

    // Shows "Morphel コントロール Ver.1.1" in a message box with an OK button.
    Q_INVOKABLE void ShowAboutBox();
    static QString aboutText();

    // True when this instance hooked its window and rescales it.
    bool isWorking() const { return m_working; }
    QWidget *hostWindow() const;
    const MorphelEngine &engine() const { return m_engine; }

    // Design time: decides whether the container the control sits on is the form's client area
    // (the Designer plugin knows the form; the default accepts a window or a central widget).
    void setFormCheck(std::function<bool(QWidget *)> check);
    // Design time: ContainerWidth/ContainerHeight follow the form's client size, so that the
    // design saved carries the size it was drawn at. Reports both as changed when they change, or
    // always when report is set (the form is shown, so the designer records them from the start).
    void updateDesignSize(bool report = false);

    QSize sizeHint() const override;

signals:
    void propertyChanged(const QString &name);

protected:
    // Shows the about box; tests replace it.
    virtual void presentAboutBox(const QString &text);

    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QWidget *formClient() const;
    void hook();
    void unhook();
    void capture();
    QSize ownSize() const;

    Mode m_mode;
    MorphelEngine m_engine;
    QString m_fontNoResize, m_fontNoResizeAt, m_noResize, m_noResizeAt;
    std::unique_ptr<MorphelQtHost> m_host;
    QPointer<QWidget> m_client;
    QPointer<QWidget> m_window;
    QPointer<QWidget> m_designParent;
    std::function<bool(QWidget *)> m_formCheck;
    bool m_working = false;
};
