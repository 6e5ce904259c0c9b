#include "Pds_PahSnapshotCache.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <limits>
#include <memory>
#include <string_view>
#include <vector>

#include "Port_File.h"
#include "Xdm_ViewStore.h"

namespace {

std::atomic<std::uint64_t> g_opened{0};
std::atomic<std::uint64_t> g_ignored{0};
std::atomic<std::uint64_t> g_written{0};
std::atomic<std::uint64_t> g_unwritten{0};
std::atomic<std::int64_t> g_settleNs{-1};

std::int64_t Now() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return std::int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

// How long before its hash began a file must have last changed for its
// time of change to vouch for the bytes hashed. The system stamps a write
// with a clock that moves on once a tick (at most 10 ms), so a write
// after the hash began carries a later time than one a tick or more
// before it; on file systems that keep whole seconds (a time of change
// with no nanoseconds), two writes within a second or two look alike.
std::int64_t SettleNs(std::int64_t changedNs) {
  if (const std::int64_t set = g_settleNs.load(); set >= 0) return set;
  return changedNs % 1000000000 != 0 ? std::int64_t{100000000} : std::int64_t{3000000000};
}

enum class Policy { kOff, kLarge, kAll };

Policy PolicyOf() {
  const char* value = std::getenv("NCD_CACHE");
  if (value == nullptr) return Policy::kLarge;
  if (std::strcmp(value, "off") == 0) return Policy::kOff;
  if (std::strcmp(value, "all") == 0) return Policy::kAll;
  return Policy::kLarge;
}

}  // namespace

std::string Pds_PahSnapshotCache::Folder() {
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && xdg[0] == '/')
    return std::string(xdg) + "/ncd";
  if (const char* home = std::getenv("HOME"); home && home[0] == '/')
    return std::string(home) + "/.cache/ncd";
  return {};
}

// A whole number of megabytes; one too large to count in bytes is no
// limit, and anything else (a sign, spaces, a fraction) is the default.
std::uint64_t Pds_PahSnapshotCache::Limit() {
  const char* value = std::getenv("NCD_CACHE_MAX_MB");
  if (value == nullptr) return kDefaultLimit;
  const char* end = value + std::strlen(value);
  std::uint64_t mb = 0;
  const auto [stop, error] = std::from_chars(value, end, mb);
  constexpr std::uint64_t kNoLimit = std::numeric_limits<std::uint64_t>::max();
  if (error == std::errc::result_out_of_range && stop == end) return kNoLimit;
  if (error != std::errc() || stop != end) return kDefaultLimit;
  return mb > (kNoLimit >> 20) ? kNoLimit : mb << 20;
}

// Keeps the folder within Limit(): the snapshots used longest ago go
// first, `kept` (just written) never. Writers' files left over from a
// process that died more than an hour ago go too. (POSIX calls: the
// library's non-throwing directory calls end the process when they run
// out of memory.)
void Pds_PahSnapshotCache::Prune(const std::string& kept) {
  struct Entry {
    std::int64_t timeNs;
    std::uint64_t size;
    std::string path;
  };
  const std::string folder = Folder();
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
  if (!dir) return;
  std::vector<Entry> snapshots;
  std::uint64_t total = 0;
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const auto ends = [](const std::string& name, std::string_view end) {
    return name.size() > end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0;
  };
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    const std::string path = folder + "/" + name;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    const std::int64_t timeNs =
        std::int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
    if (ends(name, ".tmp") && now.tv_sec - info.st_mtim.tv_sec > 3600) {
      ::unlink(path.c_str());
    } else if (ends(name, ".ncdsnap")) {
      total += static_cast<std::uint64_t>(info.st_size);
      if (path != kept)
        snapshots.push_back({timeNs, static_cast<std::uint64_t>(info.st_size), path});
    }
  }
  std::sort(snapshots.begin(), snapshots.end(),
            [](const Entry& a, const Entry& b) { return a.timeNs < b.timeNs; });
  const std::uint64_t limit = Limit();
  for (const Entry& old : snapshots) {
    if (total <= limit) break;
    if (::unlink(old.path.c_str()) == 0) total -= old.size;
  }
}

std::string Pds_PahSnapshotCache::PathOf(const std::string& designFile) {
  const std::string folder = Folder();
  if (folder.empty()) return {};
  const std::string full =
      Port::FileName(designFile).GetFullName(true, nullptr, nullptr, nullptr, nullptr, false).str();
  if (full.empty()) return {};
  char name[32];
  std::snprintf(name, sizeof name, "%016llx.ncdsnap",
                static_cast<unsigned long long>(XXH3_64bits(full.data(), full.size())));
  return folder + "/" + name;
}

Pds_PahSnapshotCache::Counts Pds_PahSnapshotCache::GetCounts() {
  return {g_opened.load(), g_ignored.load(), g_written.load(), g_unwritten.load()};
}

Pds_PahSnapshotCache::Pds_PahSnapshotCache(const std::string& designFile) : m_design(designFile) {
  const Policy policy = PolicyOf();
  if (policy == Policy::kOff || !Stamp()) return;
  if (policy == Policy::kLarge && m_stamp.size < kMinBytes) return;
  m_path = PathOf(designFile);
}

// Size, time and id of the design file, a regular file.
bool Pds_PahSnapshotCache::Stamp() {
  struct stat info {};
  if (::stat(m_design.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  m_stampedNs = Now();
  m_id = Pds_PahFileId::Of(info);
  m_stamp.size = m_id.size;
  m_stamp.timeNs = m_id.modifiedNs;
  m_stamp.device = m_id.device;
  m_stamp.inode = m_id.inode;
  m_stamp.changedNs = m_id.changedNs;
  return true;
}

void Pds_PahSnapshotCache::SetSettleTime(std::int64_t ns) {
  g_settleNs.store(ns);
}

std::unique_ptr<Xdm_ViewStore> Pds_PahSnapshotCache::Open(bool (*stop)(),
                                                          Pds_PahLoadProgress::Entry* progress) {
  if (m_path.empty() || ::access(m_path.c_str(), F_OK) != 0) return nullptr;
  std::string why;
  m_stamp.hash = 0;
  std::unique_ptr<Xdm_ViewStore> store =
      Pds_PahSnapshot::Read(m_path, m_design, m_stamp, why, stop, progress);
  m_hashed = m_stamp.hash != 0;
  (store ? g_opened : g_ignored).fetch_add(1);
  if (store && m_hashed) Restamp();
  // Its time says when it was last used: the folder is pruned by it.
  if (store) ::utimensat(AT_FDCWD, m_path.c_str(), nullptr, 0);
  return store;
}

bool Pds_PahSnapshotCache::Settled() const {
  return m_stampedNs - m_id.changedNs > SettleNs(m_id.changedNs);
}

// A snapshot that was opened after hashing the design file (renamed over
// with the same bytes, its mode changed, or written just before the
// snapshot was made) is stamped with the file as it was hashed, so that
// the next open need not hash it: if the file is still that file, with
// the same time of change, long enough after that time.
void Pds_PahSnapshotCache::Restamp() {
  Pds_PahFileId now;
  if (!Settled() || !Pds_PahFileId::OfPath(m_design, now) || !now.Holds(m_id) ||
      now.changedNs != m_id.changedNs)
    return;
  Pds_PahSnapshot::Vouch(m_path, m_stamp);
}

void Pds_PahSnapshotCache::Save(const Xdm_ViewStore& store) {
  if (m_path.empty()) return;
  try {
    // The file must be the one that was parsed: the same before and after.
    Pds_PahFileId now;
    if (!m_hashed) m_hashed = Pds_PahSnapshot::HashFile(m_design, m_stamp.hash);
    if (!m_hashed || !Pds_PahFileId::OfPath(m_design, now) || !now.Holds(m_id)) return;
    // Any hash began after the file was stamped.
    if (!Settled()) m_stamp.changedNs = 0;
    try {
      std::filesystem::create_directories(Folder());
    } catch (const std::filesystem::filesystem_error&) {
      // No folder: the write below fails and says so.
    }
    const bool written = Pds_PahSnapshot::Write(store, m_stamp, m_path);
    (written ? g_written : g_unwritten).fetch_add(1);
    if (written) {
      try {
        Prune(m_path);
      } catch (const std::bad_alloc&) {
        // Pruning waits for the next snapshot written.
      }
    }
  } catch (const std::bad_alloc&) {
    // Short of memory for the snapshot: the load itself is whole.
    g_unwritten.fetch_add(1);
  }
}
