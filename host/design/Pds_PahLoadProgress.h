// Pds_PahLoadProgress: how far the design loads running in this process
// have read their files.
//
// A load (Pds_PahDesignLoader) files an Entry under its file name for as
// long as it runs, reading and finishing included; its reader moves the
// entry on at every buffer fill (one relaxed store per 64 KiB, nothing a
// load's time shows). Progress is counted in bytes of the file as stored:
// for a gzip-compressed file, bytes of the compressed data, so that the
// total is known from the start.
//
// Of() may be called from any thread while loads run on others; entries are
// guarded by one mutex of this registry, taken briefly and never while
// another lock is taken.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

class Pds_PahLoadProgress {
 public:
  struct Figures {
    std::uint64_t done = 0;   // bytes read
    std::uint64_t total = 0;  // the file's size; 0 until it is open
  };

  // One running load's figures, filed under its file name from construction
  // to destruction.
  class Entry {
   public:
    explicit Entry(std::string fileName);
    ~Entry();
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;

    void SetTotal(std::uint64_t bytes) { m_total.store(bytes, std::memory_order_relaxed); }
    void SetDone(std::uint64_t bytes) { m_done.store(bytes, std::memory_order_relaxed); }
    // The bytes a second thread has read of a part of the same file
    // (a load on two threads); counted into the done figure.
    void SetPartDone(std::uint64_t bytes) { m_partDone.store(bytes, std::memory_order_relaxed); }
    const std::string& FileName() const { return m_fileName; }
    // The bytes the loading thread has read itself (SetDone's), which its
    // reader is no further on than.
    std::uint64_t OwnDone() const { return m_done.load(std::memory_order_relaxed); }
    Figures Read() const {
      const std::uint64_t total = m_total.load(std::memory_order_relaxed);
      const std::uint64_t done =
          m_done.load(std::memory_order_relaxed) + m_partDone.load(std::memory_order_relaxed);
      return {total != 0 && done > total ? total : done, total};
    }

   private:
    std::string m_fileName;
    std::atomic<std::uint64_t> m_done{0};
    std::atomic<std::uint64_t> m_partDone{0};
    std::atomic<std::uint64_t> m_total{0};
    Entry* m_next = nullptr;  // the registry's list, guarded by its mutex
    Entry* m_prev = nullptr;
    friend class Pds_PahLoadProgress;
  };

  // The figures of the load of `fileName` (the name as given to the
  // loader) running now; the one furthest on when several are. False when
  // none runs.
  static bool Of(const std::string& fileName, Figures& figures);
};
