#include "morphelengine.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

constexpr MorphelProp AllProps[] = {
    MorphelProp::Top, MorphelProp::Left, MorphelProp::Width, MorphelProp::Height,
    MorphelProp::X1, MorphelProp::X2, MorphelProp::Y1, MorphelProp::Y2,
    MorphelProp::TabHeight, MorphelProp::FontSize,
};

enum class Axis { Horizontal, Vertical, Font };

Axis axisOf(MorphelProp prop)
{
    switch (prop) {
    case MorphelProp::Left:
    case MorphelProp::Width:
    case MorphelProp::X1:
    case MorphelProp::X2:
        return Axis::Horizontal;
    case MorphelProp::FontSize:
        return Axis::Font;
    default:
        return Axis::Vertical;
    }
}

// Left, X1 and X2 are the values a tabbed container shifts for its hidden tabs.
bool shiftedOnHiddenTab(MorphelProp prop)
{
    return prop == MorphelProp::Left || prop == MorphelProp::X1 || prop == MorphelProp::X2;
}

// The size of a control listed in NoResize: never larger than designed.
bool keptSize(MorphelProp prop)
{
    return prop == MorphelProp::Width || prop == MorphelProp::Height;
}

} // namespace

QString morphelControlKey(const MorphelControl &control)
{
    const int index = control.index();
    return index < 0 ? control.name() : control.name() + QLatin1Char(' ') + QString::number(index);
}

void MorphelControl::readAll(MorphelValues &out) const
{
    out = {};
    for (int i = 0; i < MorphelPropCount; ++i) {
        if (const std::optional<double> v = value(MorphelProp(i)))
            out.set(MorphelProp(i), *v);
    }
}

QString MorphelControl::key() const
{
    return morphelControlKey(*this);
}

double clsMorphel::base(MorphelProp prop) const
{
    switch (prop) {
    case MorphelProp::Top: return varTop;
    case MorphelProp::Left: return varLeft;
    case MorphelProp::Width: return varWidth;
    case MorphelProp::Height: return varHeight;
    case MorphelProp::X1: return varX1;
    case MorphelProp::X2: return varX2;
    case MorphelProp::Y1: return varY1;
    case MorphelProp::Y2: return varY2;
    case MorphelProp::TabHeight: return varTabHeight;
    case MorphelProp::FontSize: return varFont_Size;
    }
    return 0;
}

void clsMorphel::setBase(MorphelProp prop, double value)
{
    const auto f = float(value);
    switch (prop) {
    case MorphelProp::Top: varTop = f; break;
    case MorphelProp::Left: varLeft = f; break;
    case MorphelProp::Width: varWidth = f; break;
    case MorphelProp::Height: varHeight = f; break;
    case MorphelProp::X1: varX1 = f; break;
    case MorphelProp::X2: varX2 = f; break;
    case MorphelProp::Y1: varY1 = f; break;
    case MorphelProp::Y2: varY2 = f; break;
    case MorphelProp::TabHeight: varTabHeight = f; break;
    case MorphelProp::FontSize: varFont_Size = std::round(value * 10000.0) / 10000.0; break;
    }
}

double clsMorphel::now(MorphelProp prop) const
{
    switch (prop) {
    case MorphelProp::Top: return varNowTop;
    case MorphelProp::Left: return varNowLeft;
    case MorphelProp::Width: return varNowWidth;
    case MorphelProp::Height: return varNowHeight;
    case MorphelProp::X1: return varNowX1;
    case MorphelProp::X2: return varNowX2;
    case MorphelProp::Y1: return varNowY1;
    case MorphelProp::Y2: return varNowY2;
    case MorphelProp::TabHeight: return varNowTabHeight;
    case MorphelProp::FontSize: return varNowFont_Size;
    }
    return 0;
}

void clsMorphel::setNow(MorphelProp prop, double value)
{
    const auto f = float(value);
    switch (prop) {
    case MorphelProp::Top: varNowTop = f; break;
    case MorphelProp::Left: varNowLeft = f; break;
    case MorphelProp::Width: varNowWidth = f; break;
    case MorphelProp::Height: varNowHeight = f; break;
    case MorphelProp::X1: varNowX1 = f; break;
    case MorphelProp::X2: varNowX2 = f; break;
    case MorphelProp::Y1: varNowY1 = f; break;
    case MorphelProp::Y2: varNowY2 = f; break;
    case MorphelProp::TabHeight: varNowTabHeight = f; break;
    case MorphelProp::FontSize: varNowFont_Size = value; break;
    }
}

bool clsMorphel::nowDiffers(MorphelProp prop, double reported) const
{
    // Compare at the precision the value is stored with, so a value read back is never a "change".
    if (prop == MorphelProp::FontSize)
        return reported != varNowFont_Size;
    return float(reported) != float(now(prop));
}

QString MorphelEngine::atEntries(const QString &list)
{
    QStringList kept;
    const QStringList parts = list.split(QLatin1Char(','));
    for (const QString &part : parts) {
        if (part.contains(QLatin1Char('@')))
            kept << part;
    }
    return kept.join(QLatin1Char(','));
}

void MorphelEngine::setFontNoResize(const QString &list)
{
    m_fontNoResize = list;
    m_fontNoResizeAt = atEntries(list);
    ++m_listsVersion;
}

void MorphelEngine::setNoResize(const QString &list)
{
    m_noResize = list;
    m_noResizeAt = atEntries(list);
    ++m_listsVersion;
}

void MorphelEngine::setContainerSize(double width, double height)
{
    m_containerWidth = width;
    m_containerHeight = height;
}

double MorphelEngine::round4(double value)
{
    return std::round(value * 10000.0) / 10000.0;
}

bool MorphelEngine::listed(const QString &list, const QString &atList, const QString &key,
                           const QString &name) const
{
    // Plain substring search, letter case counts: "Text1" is found in "Text10", "@Text1" covers
    // every element of the array Text1.
    return list.contains(key, Qt::CaseSensitive)
        || (!atList.isEmpty() && atList.contains(name, Qt::CaseSensitive));
}

void MorphelEngine::setFlags(clsMorphel &rec, const QString &key, const MorphelControl &control) const
{
    // A record's key never changes, so its flags only change with the lists.
    if (rec.listsVersion == m_listsVersion)
        return;
    const QString name = control.name();
    rec.varFontNoResize = listed(m_fontNoResize, m_fontNoResizeAt, key, name);
    rec.varNoResize = listed(m_noResize, m_noResizeAt, key, name);
    rec.listsVersion = m_listsVersion;
}

double MorphelEngine::inverse(MorphelProp prop, bool noResize) const
{
    if (!m_hasPrevious)
        return 1.0;
    double previous = 1.0;
    switch (axisOf(prop)) {
    case Axis::Horizontal: previous = m_prevX; break;
    case Axis::Vertical: previous = m_prevY; break;
    case Axis::Font: previous = m_prevF; break;
    }
    if (noResize && keptSize(prop))
        previous = std::min(previous, 1.0);
    return 1.0 / previous;
}

clsMorphel MorphelEngine::makeRecord(const MorphelControl &control, const MorphelValues &current,
                                     const QString &key, double threshold) const
{
    clsMorphel rec;
    setFlags(rec, key, control);
    const bool onTabs = control.containerType() == HiddenTabContainer;
    for (MorphelProp prop : AllProps) {
        if (!current.has(prop))
            continue;
        double v = current[prop];
        if (onTabs && shiftedOnHiddenTab(prop) && v <= threshold)
            v += HiddenTabOffset;
        rec.setBase(prop, v * inverse(prop, rec.varNoResize));
        rec.setNow(prop, current[prop]);
    }
    return rec;
}

void MorphelEngine::rebase(const MorphelControl &control, const MorphelValues &current, const QString &key,
                           clsMorphel &rec, double threshold) const
{
    // The flag as the previous pass applied it.
    const bool noResize = rec.varNoResize;
    const bool onTabs = control.containerType() == HiddenTabContainer;
    for (MorphelProp prop : AllProps) {
        if (!current.has(prop) || !rec.nowDiffers(prop, current[prop]))
            continue;
        double v = current[prop];
        if (onTabs && shiftedOnHiddenTab(prop) && v <= threshold)
            v += HiddenTabOffset;
        rec.setBase(prop, v * inverse(prop, noResize));
    }
    setFlags(rec, key, control);
}

void MorphelEngine::apply(MorphelControl &control, const MorphelValues &current, clsMorphel &rec,
                          double fx, double fy, double ff, double threshold) const
{
    if (!rec.varFontNoResize)
        control.setValue(MorphelProp::FontSize, rec.varFont_Size * ff);

    bool hidden = false;
    if (control.containerType() == HiddenTabContainer) {
        // A line has no Left; its first end point tells the tab's state instead.
        if (current.has(MorphelProp::Left))
            hidden = current[MorphelProp::Left] <= threshold;
        else if (current.has(MorphelProp::X1))
            hidden = current[MorphelProp::X1] <= threshold;
    }
    const double shift = hidden ? HiddenTabOffset : 0.0;
    const auto scaled = [&](MorphelProp prop) {
        return axisOf(prop) == Axis::Vertical ? rec.base(prop) * fy
                                              : rec.base(prop) * fx - (shiftedOnHiddenTab(prop) ? shift : 0.0);
    };

    if (rec.varNoResize) {
        // Listed in NoResize: the control follows the window with its place, and keeps its size as long as
        // the window is at least as large as designed; in a smaller window (one shrunk to a small screen's
        // work area) it shrinks with the rest. So it neither grows nor ends up on top of the controls
        // around it. A line keeps its length: its second end point moves with the first.
        for (MorphelProp prop : {MorphelProp::Left, MorphelProp::Top})
            if (current.has(prop))
                control.setValue(prop, scaled(prop));
        if (current.has(MorphelProp::Width))
            control.setValue(MorphelProp::Width, rec.base(MorphelProp::Width) * std::min(fx, 1.0));
        if (current.has(MorphelProp::Height))
            control.setValue(MorphelProp::Height, rec.base(MorphelProp::Height) * std::min(fy, 1.0));
        for (auto [first, second] : {std::pair{MorphelProp::X1, MorphelProp::X2},
                                     std::pair{MorphelProp::Y1, MorphelProp::Y2}}) {
            if (!current.has(first))
                continue;
            const double moved = scaled(first);
            control.setValue(first, moved);
            if (current.has(second))
                control.setValue(second, current[second] + moved - current[first]);
        }
    } else {
        for (MorphelProp prop : AllProps)
            if (current.has(prop) && axisOf(prop) != Axis::Font)
                control.setValue(prop, scaled(prop));
    }
    control.commit();

    MorphelValues reported;
    control.readAll(reported);
    for (MorphelProp prop : AllProps) {
        if (reported.has(prop))
            rec.setNow(prop, reported[prop]);
    }
}

void MorphelEngine::capture(MorphelHost &host)
{
    if (m_initialised)
        return;
    const double threshold = host.screenWidth() - HiddenTabOffset;
    for (MorphelControl *control : host.controls()) {
        const QString key = control->key();
        MorphelValues current;
        control->readAll(current);
        m_records.insert_or_assign(key, makeRecord(*control, current, key, threshold));
    }

    const MorphelSize window = host.windowSize();
    const MorphelSize limit = host.workArea().value_or(window);
    if (window.width > limit.width || window.height > limit.height)
        host.setWindowSize({std::min(window.width, limit.width), std::min(window.height, limit.height)});

    m_initialised = true;
    layout(host);
}

bool MorphelEngine::layout(MorphelHost &host)
{
    const MorphelSize client = host.clientSize();
    // Without a design size or with an empty client area there is no factor to scale by (and a zero
    // factor would turn every later re-base into a division by zero).
    if (m_containerWidth <= 0 || m_containerHeight <= 0 || client.width <= 0 || client.height <= 0)
        return false;

    const double fx = client.width / m_containerWidth;
    const double fy = client.height / m_containerHeight;
    const double ff = fx < fy ? fx : fy;
    if (m_hasPrevious && fx == m_prevX && fy == m_prevY && ff == m_prevF)
        return false;

    const double threshold = host.screenWidth() - HiddenTabOffset;
    const std::vector<MorphelControl *> controls = host.controls();
    std::vector<clsMorphel *> recs(controls.size());
    std::vector<MorphelValues> current(controls.size());
    for (size_t i = 0; i < controls.size(); ++i) {
        MorphelControl &control = *controls[i];
        control.readAll(current[i]);
        const QString key = control.key();
        auto it = m_records.find(key);
        if (it != m_records.end())
            rebase(control, current[i], key, it->second, threshold);
        else   // created by the program since the last pass
            it = m_records.emplace(key, makeRecord(control, current[i], key, threshold)).first;
        recs[i] = &it->second;
    }

    host.setRedraw(false);
    for (size_t i = 0; i < controls.size(); ++i)
        apply(*controls[i], current[i], *recs[i], fx, fy, ff, threshold);
    host.setRedraw(true);
    host.repaint();

    m_prevX = fx;
    m_prevY = fy;
    m_prevF = ff;
    m_hasPrevious = true;
    ++m_passes;
    return true;
}

bool MorphelEngine::resized(MorphelHost &host, bool minimised)
{
    if (!m_initialised || minimised)
        return false;
    return layout(host);
}

const clsMorphel *MorphelEngine::record(const QString &key) const
{
    const auto it = m_records.find(key);
    return it == m_records.end() ? nullptr : &it->second;
}
