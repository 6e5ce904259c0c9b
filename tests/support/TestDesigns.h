// Helpers for tests that need design files: a private temporary folder,
// small designs written for the case, a counted owner object and an event
// listener that records what it hears.
#pragma once

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "CommonI_IEvent.h"
#include "CommonI_IRefCount.h"
#include "CountedObject.h"
#include "Port_Thr.h"

namespace ncdtest {

// A folder of its own under the system's temporary folder, removed with
// everything in it when the object goes.
class TempDir {
public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ncdtest-XXXXXX").string();
    m_path = ::mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return m_path; }
  // Writes `text` to `name` in this folder and answers the file's path.
  std::string Write(const std::string& name, const std::string& text) const {
    std::filesystem::path file = m_path / name;
    std::ofstream(file) << text;
    return file.string();
  }

private:
  std::filesystem::path m_path;
};

// The smallest valid design, with an optional "faults" object body, e.g.
// R"("load_delay_ms": 200)" or R"("throw": "pds", "message": "no")".
inline std::string MinimalDesign(const std::string& faults = {}) {
  std::string text = R"({"format": "ncd-json", "version": 1, "part": "xc5vlx30ff324-1",
    "top": {"name": "top", "level": 0})";
  if (!faults.empty()) text += R"(, "faults": {)" + faults + "}";
  return text + "}\n";
}

// A counted object that stands for a client (an owner of designs). Counts
// the live owners of the process, so that tests can catch leaked references.
class Owner : public CountedObject<Owner> {
public:
  static Owner* Create() { return new Owner(); }
};

// An owner reference that takes over the new owner's first reference.
inline CommonI::RefCountPtr<CitI::IInterface> NewOwner() {
  return CommonI::RefCountPtr<CitI::IInterface>::Adopt(Owner::Create());
}

// Runs a function for every event it hears, on the thread that sends it
// (a client that reacts to an event at once, from inside OnEvent).
class CallbackListener : public CommonI::IEventListener {
public:
  explicit CallbackListener(std::function<void(CommonI::IEvent&)> onEvent) : m_onEvent(std::move(onEvent)) {}
  void* QueryInterface(const Port::XUID& iid) override { return iid == CitI::IID_IInterface ? this : nullptr; }
  CitI::Result OnEvent(CommonI::IEvent* event) override {
    m_onEvent(*event);
    return 1;
  }

private:
  std::function<void(CommonI::IEvent&)> m_onEvent;
};

// Records the type and data of every event it hears (thread-safe).
class RecordingListener : public CommonI::IEventListener {
public:
  struct Heard {
    Port::XUID type;
    CitI::IInterface* source = nullptr;
    CitI::IInterface* data = nullptr;
    std::uint64_t thread = 0;  // the number of the thread that sent it
  };
  void* QueryInterface(const Port::XUID& iid) override { return iid == CitI::IID_IInterface ? this : nullptr; }
  CitI::Result OnEvent(CommonI::IEvent* event) override {
    Heard heard;
    event->GetType(heard.type);
    event->GetSource(&heard.source);
    event->GetData(&heard.data);
    heard.thread = Port_ThrThreadID::getID().number();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_heard.push_back(heard);
    return 1;
  }
  std::vector<Heard> heard() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_heard;
  }
  std::size_t count(const Port::XUID& type) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::size_t n = 0;
    for (const Heard& h : m_heard) n += h.type == type;
    return n;
  }

private:
  mutable std::mutex m_mutex;
  std::vector<Heard> m_heard;
};

}  // namespace ncdtest
