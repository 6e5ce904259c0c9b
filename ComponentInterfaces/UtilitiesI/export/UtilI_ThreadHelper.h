// UtilI::ThreadReaderT<Reader, File, Mgr>: the worker functor that reads one
// shared file on a ThreadT<Reader>. It runs the derived reader's Read(),
// stores the outcome under m_lock and tells the manager's listeners with
// one load event.
//
// The outcome (Succeeded) may be asked from any thread while the worker
// runs. Every read that runs to its end is announced exactly once, also
// when its thread is asked to stop after the outcome is known: only a read
// stopped by a cancellation (Read() failed and the derived reader called
// Stopped()) announces nothing. While the listeners run, the functor holds
// a reference to the file, so the file outlives its announcement whatever
// the manager does with it meanwhile.
//
// Mgr must offer `NotifyListeners(CommonI::IEvent&) noexcept`; File must
// offer `QueryInterface(CitI::IID_IInterface)` and an IRefCount face.
#pragma once

#include "CommonI_IRefCount.h"
#include "Port_Thr.h"
#include "UtilI_Event.h"
#include "UtilI_ThreadT.h"

namespace UtilI {

template <class Reader, class File, class Mgr>
class ThreadReaderT {
public:
  // `mgr` is the manager that reads `file` and whose listeners hear of it.
  explicit ThreadReaderT(File* file = nullptr, Mgr* mgr = nullptr) : m_mgr(file ? mgr : nullptr), m_file(file) {}
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
    if ((!ok && m_stopped) || !m_mgr) return ok;
    auto* data = m_file ? static_cast<CitI::IInterface*>(m_file->QueryInterface(CitI::IID_IInterface)) : nullptr;
    CommonI::RefCountPtr<CitI::IInterface> hold(data);
    Event event;
    event.SetSource(m_mgr);
    event.SetData(data);
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
  // For Read(), on the worker: the read failed because its thread was asked
  // to stop, not of its own accord.
  void Stopped() { m_stopped = true; }

  Mgr* m_mgr;
  File* m_file;
  Port_ThrReaderWriterLock m_lock;
  bool m_result = false;

private:
  bool m_stopped = false;  // the worker's own
};

}  // namespace UtilI
