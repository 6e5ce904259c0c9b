// Lists of the design database: Xdm_Range and Xdm_Itr.
//
// A list is a run of a table of objects owned by the view: either a run of
// the table itself, or a run of an id pool whose ids index the table (the
// view keeps its signals' pins, its networks' signals and its blocks'
// children as 4-byte ids, not pointers). Lists own nothing and are cheap to
// copy. A list stays valid as long as its view is neither freed nor edited
// (Xdm_ViewEditor); any number of threads may walk lists at once.
//
// Xdm_Range<T> has a size and indexing and never holds null. Xdm_Itr<T> is
// the walking form: IsDone()/Current()/Next(), or range-for; it steps over
// objects removed by editing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "Xdm_ObjectIndex.h"

// Where a list's objects are: slot `i` of the run holds id pool[i], or
// id first + i without a pool; the object of an id is table[id], or
// (*objects)[id] for pins and signals, which the view finds without a
// table (Xdm_ObjectIndex.h).
template <class T>
struct Xdm_ListSource {
  T* const* table = nullptr;
  const Xdm_ObjectIndex<T>* objects = nullptr;
  const std::uint32_t* pool = nullptr;
  std::uint32_t first = 0;
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;  // an id an editor took out

  // Null for a removed object.
  T* At(std::size_t i) const {
    std::size_t id = first + i;
    if (pool != nullptr) {
      id = pool[i];
      if (id == kNone) return nullptr;
    }
    return objects != nullptr ? (*objects)[id] : table[id];
  }
};

template <class T>
class Xdm_Range {
 public:
  class iterator {
   public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = T*;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = T*;

    iterator() = default;
    iterator(Xdm_ListSource<T> source, std::size_t at) : m_source(source), m_at(at) {}
    T* operator*() const { return m_source.At(m_at); }
    T* operator[](difference_type n) const { return m_source.At(m_at + n); }
    iterator& operator++() { return ++m_at, *this; }
    iterator& operator--() { return --m_at, *this; }
    iterator operator++(int) { return {m_source, m_at++}; }
    iterator operator--(int) { return {m_source, m_at--}; }
    iterator& operator+=(difference_type n) { return m_at += n, *this; }
    iterator& operator-=(difference_type n) { return m_at -= n, *this; }
    friend iterator operator+(iterator i, difference_type n) { return i += n; }
    friend iterator operator+(difference_type n, iterator i) { return i += n; }
    friend iterator operator-(iterator i, difference_type n) { return i -= n; }
    friend difference_type operator-(iterator a, iterator b) {
      return static_cast<difference_type>(a.m_at) - static_cast<difference_type>(b.m_at);
    }
    friend bool operator==(iterator a, iterator b) { return a.m_at == b.m_at; }
    friend auto operator<=>(iterator a, iterator b) { return a.m_at <=> b.m_at; }

   private:
    Xdm_ListSource<T> m_source;
    std::size_t m_at = 0;
  };

  Xdm_Range() = default;
  // A run of a table.
  Xdm_Range(T* const* begin, std::size_t size) : m_source{begin}, m_size(size) {}
  // Slots [0, size) of `source`.
  Xdm_Range(Xdm_ListSource<T> source, std::size_t size) : m_source(source), m_size(size) {}

  iterator begin() const { return {m_source, 0}; }
  iterator end() const { return {m_source, m_size}; }
  std::size_t size() const { return m_size; }
  bool empty() const { return m_size == 0; }
  T* operator[](std::size_t i) const { return m_source.At(i); }
  const Xdm_ListSource<T>& Source() const { return m_source; }

 private:
  Xdm_ListSource<T> m_source;
  std::size_t m_size = 0;
};

template <class T>
class Xdm_Itr {
 public:
  struct End {};

  Xdm_Itr() = default;
  // A run of a table.
  Xdm_Itr(T* const* begin, T* const* end)
      : m_source{begin}, m_end(static_cast<std::size_t>(end - begin)) {
    Skip();
  }
  // Slots [0, size) of `source`.
  Xdm_Itr(Xdm_ListSource<T> source, std::size_t size) : m_source(source), m_end(size) { Skip(); }
  explicit Xdm_Itr(const Xdm_Range<T>& range) : Xdm_Itr(range.Source(), range.size()) {}

  bool IsDone() const { return m_at == m_end; }
  void Next() {
    if (m_at != m_end) ++m_at;
    Skip();
  }
  // Null once the walk is done.
  T* Current() const { return IsDone() ? nullptr : m_source.At(m_at); }
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
    for (std::size_t i = m_at; i != m_end; ++i)
      n += (m_source.At(i) != nullptr);
    return n;
  }

 private:
  void Skip() {
    while (m_at != m_end && m_source.At(m_at) == nullptr)
      ++m_at;
  }
  Xdm_ListSource<T> m_source;
  std::size_t m_at = 0;
  std::size_t m_end = 0;
};
