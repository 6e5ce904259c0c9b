// Lists of the design database: Xdm_Range and Xdm_Itr.
//
// Both look at pointer arrays owned by the view; they own nothing and are
// cheap to copy. A list stays valid as long as its view is neither freed nor
// edited (Xdm_ViewEditor); any number of threads may walk lists at once.
//
// Xdm_Range<T> has a size and indexing and never holds null. Xdm_Itr<T> is
// the walking form: IsDone()/Current()/Next(), or range-for; it steps over
// slots of objects removed by editing.
#pragma once

#include <cstddef>

template <class T>
class Xdm_Range {
 public:
  using iterator = T* const*;

  Xdm_Range() = default;
  Xdm_Range(T* const* begin, std::size_t size) : m_begin(begin), m_size(size) {}

  iterator begin() const { return m_begin; }
  iterator end() const { return m_begin + m_size; }
  std::size_t size() const { return m_size; }
  bool empty() const { return m_size == 0; }
  T* operator[](std::size_t i) const { return m_begin[i]; }

 private:
  T* const* m_begin = nullptr;
  std::size_t m_size = 0;
};

template <class T>
class Xdm_Itr {
 public:
  struct End {};

  Xdm_Itr() = default;
  Xdm_Itr(T* const* begin, T* const* end) : m_cur(begin), m_end(end) { Skip(); }

  bool IsDone() const { return m_cur == m_end; }
  void Next() {
    if (m_cur != m_end) ++m_cur;
    Skip();
  }
  // Null once the walk is done.
  T* Current() const { return IsDone() ? nullptr : *m_cur; }
  T* operator*() const { return Current(); }

  // Range-for: for (Xdm_Pin* pin : block->GetPinItr()) ...
  Xdm_Itr begin() const { return *this; }
  End end() const { return {}; }
  Xdm_Itr& operator++() {
    Next();
    return *this;
  }
  bool operator!=(End) const { return !IsDone(); }
  bool operator==(End) const { return IsDone(); }

  // Number of objects left in the walk (counts; does not move).
  std::size_t Count() const {
    std::size_t n = 0;
    for (T* const* p = m_cur; p != m_end; ++p)
      n += (*p != nullptr);
    return n;
  }

 private:
  void Skip() {
    while (m_cur != m_end && *m_cur == nullptr)
      ++m_cur;
  }
  T* const* m_cur = nullptr;
  T* const* m_end = nullptr;
};
