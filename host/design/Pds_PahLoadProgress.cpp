#include "Pds_PahLoadProgress.h"

#include <mutex>

namespace {

// Never destroyed: a load may still run on another thread while the
// process ends.
std::mutex& Lock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}

// Entries of the loads running now; a load files one and takes it back, so
// the list never holds more than the loads under way. Guarded by Lock().
Pds_PahLoadProgress::Entry* g_first = nullptr;

}  // namespace

Pds_PahLoadProgress::Entry::Entry(std::string fileName) : m_fileName(std::move(fileName)) {
  const std::lock_guard<std::mutex> guard(Lock());
  m_next = g_first;
  if (g_first != nullptr) g_first->m_prev = this;
  g_first = this;
}

Pds_PahLoadProgress::Entry::~Entry() {
  const std::lock_guard<std::mutex> guard(Lock());
  if (m_prev != nullptr) m_prev->m_next = m_next;
  if (m_next != nullptr) m_next->m_prev = m_prev;
  if (g_first == this) g_first = m_next;
}

bool Pds_PahLoadProgress::Of(const std::string& fileName, Figures& figures) {
  const std::lock_guard<std::mutex> guard(Lock());
  bool found = false;
  for (const Entry* entry = g_first; entry != nullptr; entry = entry->m_next) {
    if (entry->m_fileName != fileName) continue;
    const Figures seen = entry->Read();
    if (!found || seen.done > figures.done) figures = seen;
    found = true;
  }
  return found;
}
