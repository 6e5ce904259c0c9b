// Xdm_IdPool: the 4-byte ids that a view's lists are slices of (internal
// to host_design).
//
// A pool either owns its ids or borrows them from bytes that outlive it (a
// store read from a snapshot borrows the snapshot's, so that the lists of
// a reopened view cost no memory of their own and are shared by every
// process that maps the snapshot). The first edit of a borrowed pool
// copies it. Readers may read a pool from any number of threads; it
// changes only through the loader and the editor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "Xdm_LargeArray.h"

class Xdm_IdPool {
 public:
  const std::uint32_t* data() const { return m_data; }
  std::size_t size() const { return m_size; }
  std::uint32_t operator[](std::size_t i) const { return m_data[i]; }

  // `size` ids of its own, each `fill`.
  void Assign(std::size_t size, std::uint32_t fill) {
    m_own.assign(size, fill);
    Adopt();
  }
  // Takes `ids` as its own.
  void Assign(Xdm_LargeArray<std::uint32_t>&& ids) {
    m_own = std::move(ids);
    Adopt();
  }
  // `size` ids of its own: those it has, then `fill`.
  void Resize(std::size_t size, std::uint32_t fill) {
    Edit();
    m_own.resize(size, fill);
    Adopt();
  }
  // Reads from `data` (which must outlive the pool) until edited.
  void Borrow(const std::uint32_t* data, std::size_t size) {
    Xdm_LargeArray<std::uint32_t>().swap(m_own);
    m_data = data;
    m_size = size;
  }
  // The ids, writable: borrowed ones are copied first.
  std::uint32_t* Edit() {
    if (m_data != m_own.data()) {
      m_own.assign(m_data, m_data + m_size);
      Adopt();
    }
    return m_own.data();
  }

 private:
  void Adopt() {
    m_data = m_own.data();
    m_size = m_own.size();
  }
  Xdm_LargeArray<std::uint32_t> m_own;
  const std::uint32_t* m_data = nullptr;
  std::size_t m_size = 0;
};
