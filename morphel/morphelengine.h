#pragma once

// The layout engine of the Morphel control: it records every control of a window at factor 1 and
// rescales position, size and font size in proportion to the window's client area. It only talks to
// the window through MorphelHost and MorphelControl, so it runs the same on Qt widgets and on fakes.

#include "morphelexport.h"

#include <QHashFunctions>   // std::hash<QString>
#include <QString>

#include <array>
#include <optional>
#include <unordered_map>
#include <vector>

// The properties that the engine reads and writes. Geometry is in twips, font sizes in points.
enum class MorphelProp { Top, Left, Width, Height, X1, X2, Y1, Y2, TabHeight, FontSize };
inline constexpr int MorphelPropCount = 10;

// All properties of a control at once, as read in one go.
struct MorphelValues
{
    std::array<double, MorphelPropCount> value{};
    std::array<bool, MorphelPropCount> present{};

    bool has(MorphelProp prop) const { return present[size_t(prop)]; }
    double operator[](MorphelProp prop) const { return value[size_t(prop)]; }
    void set(MorphelProp prop, double v)
    {
        value[size_t(prop)] = v;
        present[size_t(prop)] = true;
    }
};

// One control of the window. A control that lacks a property answers std::nullopt; setValue answers
// false when the property is missing or the control refuses the value.
class MORPHEL_EXPORT MorphelControl
{
public:
    virtual ~MorphelControl() = default;
    virtual QString name() const = 0;
    virtual int index() const { return -1; }      // element of a control array, -1 when not in one
    virtual QString containerType() const = 0;    // type of the container the control sits in
    virtual std::optional<double> value(MorphelProp prop) const = 0;
    virtual bool setValue(MorphelProp prop, double value) = 0;
    virtual void commit() {}                      // all values of this control are written
    // Reads every property; controls that can read them more cheaply together override it.
    virtual void readAll(MorphelValues &out) const;
    // The control key; controls that keep it between passes override it.
    virtual QString key() const;
};

// "Name" or, for an element of a control array, "Name Index".
MORPHEL_EXPORT QString morphelControlKey(const MorphelControl &control);

struct MorphelSize
{
    double width = 0;
    double height = 0;
};

// The window that carries the control.
class MORPHEL_EXPORT MorphelHost
{
public:
    virtual ~MorphelHost() = default;
    virtual std::vector<MorphelControl *> controls() = 0;   // in the window's control order
    virtual MorphelSize clientSize() const = 0;            // twips
    virtual double screenWidth() const = 0;                // twips
    virtual std::optional<MorphelSize> workArea() const = 0;
    virtual MorphelSize windowSize() const = 0;            // outer size, twips
    virtual void setWindowSize(MorphelSize size) = 0;
    virtual void setRedraw(bool on) = 0;
    virtual void repaint() = 0;
};

// What the engine remembers of one control: its geometry and font size at factor 1, and the values
// the control reported after the last pass (to notice that the program moved or re-fonted it).
class MORPHEL_EXPORT clsMorphel
{
public:
    float varTop = 0, varLeft = 0, varWidth = 0, varHeight = 0;
    float varX1 = 0, varX2 = 0, varY1 = 0, varY2 = 0;
    float varTabHeight = 0;
    double varFont_Size = 0;   // fixed point, four decimals
    float varNowTop = 0, varNowLeft = 0, varNowWidth = 0, varNowHeight = 0;
    float varNowX1 = 0, varNowX2 = 0, varNowY1 = 0, varNowY2 = 0;
    float varNowTabHeight = 0;
    double varNowFont_Size = 0;
    bool varFontNoResize = false;
    bool varNoResize = false;
    int listsVersion = -1;   // the lists the two flags were last derived from

    double base(MorphelProp prop) const;
    void setBase(MorphelProp prop, double value);
    double now(MorphelProp prop) const;
    void setNow(MorphelProp prop, double value);
    // True when the reported value differs from the one stored after the last pass.
    bool nowDiffers(MorphelProp prop, double reported) const;
};

class MORPHEL_EXPORT MorphelEngine
{
public:
    // A tabbed container of type "SSTab" keeps the controls of its hidden tabs this far to the left.
    static constexpr double HiddenTabOffset = 75000;
    static inline const QString HiddenTabContainer = QStringLiteral("SSTab");

    // The "@" entries of a list: the parts between commas that hold an "@", joined by ",".
    static QString atEntries(const QString &list);

    void setFontNoResize(const QString &list);
    void setNoResize(const QString &list);
    void setContainerSize(double width, double height);
    double containerWidth() const { return m_containerWidth; }
    double containerHeight() const { return m_containerHeight; }

    bool initialised() const { return m_initialised; }
    void setInitialised(bool on) { m_initialised = on; }

    // First show: records every control, shrinks the window to the work area, runs a pass.
    void capture(MorphelHost &host);
    // Rescales the window's controls; answers false when nothing was done.
    bool layout(MorphelHost &host);
    // A size message: no pass before the capture or while the window is minimised.
    bool resized(MorphelHost &host, bool minimised);

    const clsMorphel *record(const QString &key) const;
    int recordCount() const { return int(m_records.size()); }
    int passCount() const { return m_passes; }

private:
    static double round4(double value);
    bool listed(const QString &list, const QString &atList, const QString &key, const QString &name) const;
    void setFlags(clsMorphel &rec, const QString &key, const MorphelControl &control) const;
    void rebase(const MorphelControl &control, const MorphelValues &current, const QString &key,
                clsMorphel &rec, double threshold) const;
    clsMorphel makeRecord(const MorphelControl &control, const MorphelValues &current, const QString &key,
                          double threshold) const;
    void apply(MorphelControl &control, const MorphelValues &current, clsMorphel &rec, double fx,
               double fy, double ff, double threshold) const;
    // 1 / the factor the previous pass scaled this property by (for a control listed in NoResize, its
    // size was scaled by at most 1).
    double inverse(MorphelProp prop, bool noResize) const;

    double m_containerWidth = 0;
    double m_containerHeight = 0;
    QString m_fontNoResize, m_fontNoResizeAt, m_noResize, m_noResizeAt;
    int m_listsVersion = 0;
    std::unordered_map<QString, clsMorphel> m_records;   // node based: record pointers stay valid
    bool m_initialised = false;
    bool m_hasPrevious = false;
    double m_prevX = 1, m_prevY = 1, m_prevF = 1;
    int m_passes = 0;
};
