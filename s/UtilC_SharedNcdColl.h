// UtilC::SharedNcd::Coll and the property registry shared by every
// collectable class.
//
// A collectable is a small counted object that wraps one design-database
// object (block, network, pin, signal or RPM) of one shared design for the
// Tcl layer. It is built from four faces, in this order: CommonI::IRefCount,
// UtilI::ITclCollectable, the class's data face (UtilC_SharedNcdDataI.h) and
// Coll; then the wrapped item, the identity string, the item's bridge id and
// the count (UtilC_SharedNcdCollT.h). The design object creates
// collectables (MakeCollectable) and hands the first reference to its
// caller. A collectable holds a plain pointer to its design, never a
// reference: before touching the design it asks the manager whether the
// design is still in client hands (IsDesignAlive), so a collectable that
// outlives its design or its item is stale and answers nothing.
//
// Each class has a table of read-only properties (name, kind, description,
// getter). Its process-wide statics (ClassStatics) are the class lock, the
// registry built from the table on first use, the cached list of property
// names and the flags that remember which helper libraries it loaded; they
// live until the process ends. Property names are matched with
// ComparePropertyNames, so case and separators do not matter.
//
// Threads: collectables may be used from any thread. Lock order: a
// collectable class lock (a derived class's before its base's, the pin
// class's before the net class's), then the identity lock (BuildId), then
// the design-alive lock (IsDesignAlive), then the manager's lock, then the
// design lock. No class lock is taken while the identity or the
// design-alive lock is held. A lock that cannot be taken raises
// Port_ThrException::LockFailed.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <span>
#include <type_traits>
#include <vector>

#include "CommonI_IRefCount.h"
#include "Port_StringBase.h"
#include "Port_Thr.h"
#include "UtilI_IStringContainer.h"
#include "UtilI_ITclCollectable.h"
#include "UtilI_TcltaskHelpers.h"

namespace UtilC::SharedNcd {

class SharedNcd;

// The kind of a property's value, as handed to property information.
enum PropertyKind : std::uint32_t {
  kKindInt = 2,     // SetInt
  kKindDouble = 3,  // SetDouble
  kKindString = 4,  // SetString
  kKindBool = 5,    // SetBool
  kKindObject = 6,  // SetObject with one object or null
  kKindList = 8     // SetObject with an IObjectList
};

// <0, 0 or >0: case-insensitive, and every run of characters other than
// ASCII letters and digits counts as one separator ('_', which sorts after
// the digits and before the letters; a run at the end counts as nothing).
int ComparePropertyNames(const char* a, const char* b);

struct PropertyNameLess {
  bool operator()(const Port::StringBase& a, const Port::StringBase& b) const {
    return ComparePropertyNames(a.c_str(), b.c_str()) < 0;
  }
};

// An allowed range or value of a property (no table of this component
// uses one; kept for the information objects' sake).
struct ValueRange {
  Port::StringBase text;
  bool isFloat = false;
  bool isRange = false;
  std::int32_t intMin = 0;
  std::int32_t intMax = 0;
  double floatMin = 0.0;
  double floatMax = 0.0;
  // "[%.2f-%.2f]", "[%d-%d]" or the text.
  Port::StringBase Text() const;
};

struct DefaultValue {
  enum Kind : std::uint32_t { kText = 0, kBool = 1, kInt = 2, kDouble = 3, kNone = 4 };
  Port::StringBase text;
  bool boolValue = false;
  std::int32_t intValue = 0;
  double doubleValue = 0.0;
  std::uint32_t kind = kNone;
};

// Helper-library objects a class creates; each class loads the library of
// each kind once (ServiceFlags), whatever the result.
enum class ServiceKind : int { Value, List, Info, NamedValueFactory, Count };

struct ServiceFlags {
  std::once_flag loaded[static_cast<int>(ServiceKind::Count)];
};

// A new object of `kind`, asked for its face, with one reference; empty
// when the helper library is missing or refuses the class.
CommonI::RefCountPtr<CitI::IInterface> CreateServiceFace(ServiceFlags& flags, ServiceKind kind);

template <class I>
constexpr ServiceKind ServiceKindOf() {
  if constexpr (std::is_same_v<I, UtilI::IPropertyValue>) return ServiceKind::Value;
  if constexpr (std::is_same_v<I, UtilI::IObjectList>) return ServiceKind::List;
  if constexpr (std::is_same_v<I, UtilI::IPropertyInfo>) return ServiceKind::Info;
  if constexpr (std::is_same_v<I, UtilI::INamedValueFactory>) return ServiceKind::NamedValueFactory;
}

template <class I>
CommonI::RefCountPtr<I> CreateService(ServiceFlags& flags) {
  CommonI::RefCountPtr<CitI::IInterface> face = CreateServiceFace(flags, ServiceKindOf<I>());
  return CommonI::RefCountPtr<I>::Adopt(static_cast<I*>(face.Detach()));
}

// One registry entry, apart from its getter and setter.
struct PropertyDefBase {
  Port::StringBase name;
  std::uint32_t kind = kKindString;
  std::uint32_t writable = 0;
  Port::StringBase description;
  std::vector<ValueRange> ranges;
  DefaultValue defaultValue;
  Port::StringBase auxText;
  std::vector<Port::StringBase> choices;
  CommonI::RefCountPtr<UtilI::IPropertyInfo> info;  // made on first request

  // Brings `info` up to date (creating it first); false when no
  // information object can be made.
  bool RefreshInfo(ServiceFlags& flags);
};

template <class C>
using PropertyGetter = CitI::Result (C::*)(UtilI::IPropertyValue** value);

template <class C>
struct PropertyDef : PropertyDefBase {
  PropertyGetter<C> getter = nullptr;
  PropertyGetter<C> setter = nullptr;  // properties are read-only: never called
};

template <class C>
using PropertyRegistry = std::map<Port::StringBase, PropertyDef<C>, PropertyNameLess>;

// One row of a class's property table.
template <class C>
struct PropertySpec {
  const char* name;
  PropertyKind kind;
  const char* description;  // English, before translation
  PropertyGetter<C> getter;
};

// Stores `fresh` in an out-pointer, releasing what the pointer held.
template <class T>
void ReplaceOut(T** out, CommonI::RefCountPtr<T> fresh) {
  T* previous = *out;
  *out = fresh.Detach();
  if (CommonI::IRefCount* counted = CommonI::RefCountOf(previous)) counted->Release();
}

// The translated description of a table text ("" stays "").
Port::StringBase TranslateDescription(const char* text);

// The per-class statics. Created on first use (thread-safe), never freed.
template <class C>
struct ClassStatics {
  Port_ThrRecursiveLock lock;
  PropertyRegistry<C> registry;
  CommonI::RefCountPtr<UtilI::IStringContainer> names;
  ServiceFlags services;

  // Every operation of a collectable asks for its class lock here: the
  // test for the first use stays inline, the making does not.
  [[gnu::always_inline]] static ClassStatics& Get() {
    static ClassStatics* const statics = Make();
    return *statics;
  }

 private:
  [[gnu::noinline]] static ClassStatics* Make() { return new ClassStatics; }
};

// What a collectable's identity is made of, taken when the identity is
// built; the text is formatted from it when first asked for.
struct IdSource {
  bool set = false;    // false: the identity is empty
  bool alive = false;  // the design was in client hands
  // The manager's live generation before `alive` was taken (its low 32
  // bits, which fit beside the flags): while it is unchanged the design is
  // still in client hands, and a re-targeted probe keeps its source.
  std::uint32_t generation = 0;
  const void* owner = nullptr;
  const void* file = nullptr;
};

// The shared base of every collectable: its design.
class Coll {
 public:
  explicit Coll(SharedNcd* design);
  virtual ~Coll() { s_live.fetch_sub(1, std::memory_order_relaxed); }
  Coll(const Coll&) = delete;
  Coll& operator=(const Coll&) = delete;

  // The identity of (type, item, design instance) while the design is in
  // client hands ("%s%U%p%p": type name, bridge id, the key's owner and the
  // address of its file name); otherwise (type, this collectable: "%s%p").
  void BuildId(const char* typeName, std::uint32_t bridgeId, Port::StringBase& out) const;
  // BuildId in two steps: what the identity is made of (under the identity
  // lock), and its text.
  IdSource CaptureId() const;
  void FormatId(const char* typeName, std::uint32_t bridgeId, const IdSource& source,
                Port::StringBase& out) const;
  // Whether this collectable's design is in client hands (asks the manager,
  // creating it on first use): the design it was made for, not a later one
  // made at the same address. False for null. Inline, in
  // UtilC_SharedNcdCollAlive.h: a search asks it for every name it reads.
  inline bool IsDesignAlive() const;

  // Collectables alive in the process (tests use it to catch leaks).
  static int LiveCount() { return s_live.load(); }

  SharedNcd* const design;

 private:
  // The last design this thread found alive, and the manager's live
  // generation then.
  struct LastAlive {
    const SharedNcd* design = nullptr;
    std::uint64_t generation = 0;
  };
  [[gnu::tls_model("initial-exec")]] static constinit thread_local LastAlive t_lastAlive;
  // IsDesignAlive when this thread's last answer does not hold: asks the manager.
  static bool AskAlive(const SharedNcd* design, std::uint64_t serial);

  const std::uint64_t m_designSerial;  // design->Serial() when made
  static inline std::atomic<int> s_live{0};
};

}  // namespace UtilC::SharedNcd
