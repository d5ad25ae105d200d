// The growable array of pointers: it owns its storage, never its elements.
#pragma once

class PtrArray {
public:
    PtrArray();
    ~PtrArray();
    PtrArray(const PtrArray&) = delete;
    PtrArray& operator=(const PtrArray&) = delete;

    int GetSize() const { return m_count; }
    // Null outside the array.
    void* GetAt(int index) const { return index >= 0 && index < m_count ? m_data[index] : nullptr; }
    void SetAt(int index, void* element) {
        if (index >= 0 && index < m_count)
            m_data[index] = element;
    }
    // Appends; the new element's index, or -1 when the storage cannot grow.
    int Add(void* element);
    // A growth step other than -1 is kept first (0: a count/8 between 4
    // and 1024). Count 0 frees the storage; new elements are null. False
    // when the storage cannot grow.
    bool SetSize(int count, int growBy = -1);
    void RemoveAll() { SetSize(0); }

private:
    void** m_data;
    int m_count;
    int m_allocated;
    int m_growBy;
};
