#pragma once

#include <QString>
#include <cstdint>

// A growable text builder: appends go into a reserve that grows by a step, and the step grows with large
// appends, so long texts are built without re-copying on every append. Sizes are 32-bit as stored; an
// arithmetic overflow throws std::overflow_error.
class StringBuffer
{
public:
    StringBuffer() { Init(128); }

    void Init(std::int32_t lInitialCapacity);
    void Append(const QString &sAddStr);
    QString Text() const { return m_buffer; }
    QString ToString() const { return Text(); }
    void setText(const QString &sNewText);
    void Clear();
    std::int32_t Capacity() const { return m_capacity; }
    std::int32_t Length() const { return m_length; }
    std::int32_t Step() const { return m_step; }

private:
    void reserve();

    QString m_buffer; // the characters in use; the reserve is its allocated room
    std::int32_t m_length = 0;
    std::int32_t m_step = 128;
    std::int32_t m_capacity = 0;
};
