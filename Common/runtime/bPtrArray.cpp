#include "bPtrArray.h"

#include <stdlib.h>
#include <string.h>

PtrArray::PtrArray() : m_data(nullptr), m_count(0), m_allocated(0), m_growBy(0) {}

PtrArray::~PtrArray() {
    free(m_data);
}

int PtrArray::Add(void* element) {
    const int index = m_count;
    if (!SetSize(m_count + 1))
        return -1;
    m_data[index] = element;
    return index;
}

bool PtrArray::SetSize(int count, int growBy) {
    if (growBy != -1)
        m_growBy = growBy;
    if (count <= 0) {
        free(m_data);
        m_data = nullptr;
        m_count = m_allocated = 0;
        return count == 0;
    }
    if (!m_data) {
        m_data = static_cast<void**>(calloc((size_t)count, sizeof(void*)));
        if (!m_data)
            return false;
        m_count = m_allocated = count;
        return true;
    }
    if (count <= m_allocated) {
        if (count > m_count)
            memset(m_data + m_count, 0, (size_t)(count - m_count) * sizeof(void*));
        m_count = count;
        return true;
    }
    int step = m_growBy;
    if (step == 0) {
        step = m_count / 8;
        step = step < 4 ? 4 : step > 1024 ? 1024 : step;
    }
    const int allocate = count > m_allocated + step ? count : m_allocated + step;
    void** grown = static_cast<void**>(calloc((size_t)allocate, sizeof(void*)));
    if (!grown)
        return false;
    memcpy(grown, m_data, (size_t)m_count * sizeof(void*));
    free(m_data);
    m_data = grown;
    m_count = count;
    m_allocated = allocate;
    return true;
}
