#include "aExprCache.h"

#include "bTextCut.h"

ExprProgram::~ExprProgram() {
    for (BSTR s : strings) SysFreeString(s);
}

size_t ExprProgram::Bytes() const {
    size_t n = sizeof(*this) + text.capacity() + postfix.capacity() +
               steps.capacity() * sizeof(ExprStep) + items.capacity() * sizeof(ExprRange) +
               names.capacity() * sizeof(std::string) + strings.capacity() * sizeof(BSTR);
    for (const std::string& s : names) n += s.capacity();
    for (BSTR s : strings) n += s ? SysStringByteLen(s) + 8 : 0;
    // The list node and the index entry.
    return n + 64;
}

CExprCache::CExprCache(size_t maxEntries, size_t maxBytes)
    : m_maxEntries(maxEntries ? maxEntries : 1),
      m_maxBytes(maxBytes),
      m_bytes(0),
      m_pins(0),
      m_serial(0),
      m_haveLast(false) {}

const ExprProgram* CExprCache::Find(const char* text, size_t length) {
    auto it = m_index.find(std::string_view(text, length));
    if (it == m_index.end())
        return nullptr;
    m_last = it->second;
    m_haveLast = true;
    if (m_last != m_order.begin())
        m_order.splice(m_order.begin(), m_order, m_last);
    return m_last->get();
}

const ExprProgram* CExprCache::FindLast(const char* text) {
    if (!m_haveLast)
        return nullptr;
    // The length of text is not known yet: compared byte by byte.
    if (!SameText((*m_last)->text.c_str(), text))
        return nullptr;
    if (m_last != m_order.begin())
        m_order.splice(m_order.begin(), m_order, m_last);
    return m_last->get();
}

void CExprCache::DropOldest() {
    const Order::iterator last = std::prev(m_order.end());
    if (m_haveLast && m_last == last)
        m_haveLast = false;
    m_bytes -= (*last)->Bytes();
    m_index.erase((*last)->text);
    if (m_pins > 0)
        m_dropped.splice(m_dropped.end(), m_order, last);
    else
        m_order.erase(last);
}

void CExprCache::Add(std::unique_ptr<ExprProgram>& program) {
    if (!program)
        return;
    const size_t bytes = program->Bytes();
    if (bytes > m_maxBytes || m_index.count(program->text))
        return;
    while (!m_order.empty() && (m_index.size() >= m_maxEntries || m_bytes + bytes > m_maxBytes))
        DropOldest();
    program->serial = ++m_serial;
    m_order.push_front(std::move(program));
    m_index.emplace(std::string_view(m_order.front()->text), m_order.begin());
    m_last = m_order.begin();
    m_haveLast = true;
    m_bytes += bytes;
}
