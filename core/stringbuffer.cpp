#include "stringbuffer.h"

#include <algorithm>
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
    m_capacity = m_step;
    m_buffer.clear();
    reserve();
}

void StringBuffer::Append(const QString &sAddStr)
{
    const std::int32_t n = checked(sAddStr.size());
    const std::int32_t needed = checked(std::int64_t(m_length) + n);
    if (m_capacity < needed) {
        const std::int32_t k = checked((std::int64_t(needed) - m_capacity) / m_step + 1);
        m_step = checked(std::int64_t(m_step) * k);
        const std::int32_t capacity = checked(std::int64_t(m_capacity) + m_step);
        m_capacity = capacity;
        reserve();
    }
    m_buffer.append(sAddStr);
    m_length = needed;
}

void StringBuffer::reserve()
{
    // The reserve is held as allocated room, not as written characters, and a very large one is left
    // for QString to grow into, so an initial capacity costs nothing until it is used.
    constexpr std::int32_t largest = 64 * 1024 * 1024;
    m_buffer.reserve(std::min(m_capacity, largest));
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
