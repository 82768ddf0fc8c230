#include "stringbuffer.h"

#include <stdexcept>

namespace {

std::int32_t checked(std::int64_t value)
{
    if (value > INT32_MAX || value < INT32_MIN)
        throw std::overflow_error("StringBuffer: overflow");
    return std::int32_t(value);
}

}

void StringBuffer::Init(std::int32_t lInitialCapacity)
{
    m_length = 0;
    m_step = lInitialCapacity < 1 ? 128 : lInitialCapacity;
    m_buffer = QString(m_step, QChar(0));
    m_capacity = m_step;
}

void StringBuffer::Append(const QString &sAddStr)
{
    const std::int32_t n = checked(sAddStr.size());
    const std::int32_t needed = checked(std::int64_t(m_length) + n);
    if (m_capacity < needed) {
        const std::int32_t k = checked((std::int64_t(needed) - m_capacity) / m_step + 1);
        m_step = checked(std::int64_t(m_step) * k);
        const std::int32_t capacity = checked(std::int64_t(m_capacity) + m_step);
        m_buffer.append(QString(m_step, QChar(0)));
        m_capacity = capacity;
    }
    m_buffer.replace(m_length, n, sAddStr);
    m_length = needed;
}

void StringBuffer::setText(const QString &sNewText)
{
    m_buffer = sNewText;
    m_length = checked(sNewText.size());
    m_capacity = m_length;
}

void StringBuffer::Clear()
{
    m_buffer.clear();
    m_length = 0;
    m_capacity = 0;
}
