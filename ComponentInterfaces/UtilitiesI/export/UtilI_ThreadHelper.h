// UtilI::ThreadReaderT<Reader, File, Mgr>: the worker functor that reads one
// shared file on a ThreadT<Reader>. It runs the derived reader's Read(),
// stores the outcome under m_lock and tells the manager's listeners with
// one load event.
//
// The outcome (Succeeded) may be asked from any thread while the worker
// runs. A read whose thread was asked to stop (ThreadT::cancel or its
// teardown) stores its outcome but announces nothing: every read that runs
// to its end is announced exactly once.
//
// Mgr must offer `static Mgr* Instance()` and `NotifyListeners(CommonI::IEvent&)`;
// File must offer `QueryInterface(CitI::IID_IInterface)`.
#pragma once

#include "Port_Thr.h"
#include "UtilI_Event.h"
#include "UtilI_ThreadT.h"

namespace UtilI {

template <class Reader, class File, class Mgr>
class ThreadReaderT {
public:
  explicit ThreadReaderT(File* file = nullptr) : m_mgr(file ? Mgr::Instance() : nullptr), m_file(file) {}
  virtual ~ThreadReaderT() = default;
  ThreadReaderT(const ThreadReaderT&) = delete;
  ThreadReaderT& operator=(const ThreadReaderT&) = delete;

  virtual bool Read() = 0;

  bool operator()(ThreadT<Reader>* /*thread*/) {
    bool ok = Read();
    if (m_lock.writeLock() == 0) {
      m_result = ok;
      m_lock.unlock();
    }
    if (Port_ThrThread::cancelRequested() || !m_mgr) return ok;
    Event event;
    event.SetSource(m_mgr);
    if (m_file) event.SetData(static_cast<CitI::IInterface*>(m_file->QueryInterface(CitI::IID_IInterface)));
    event.SetType(ok ? SharedNcdLoadedID : SharedNcdLoadFailedID);
    m_mgr->NotifyListeners(event);
    return ok;
  }

  // Whether the read has succeeded; false as well when the lock cannot be taken.
  bool Succeeded() {
    if (m_lock.readLock() != 0) return false;
    bool result = m_result;
    m_lock.unlock();
    return result;
  }

  File* GetFile() const { return m_file; }

protected:
  Mgr* m_mgr;
  File* m_file;
  Port_ThrReaderWriterLock m_lock;
  bool m_result = false;
};

}  // namespace UtilI
