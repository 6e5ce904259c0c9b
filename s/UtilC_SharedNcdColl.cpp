// The collectables' shared mechanics that need no class: property-name
// comparison, descriptions, helper-library objects, property information,
// identities and the liveness of designs.
#include "UtilC_SharedNcdColl.h"

#include "CitP_Factory.h"
#include "Port_MsgManData.h"
#include "UtilC_SharedNcd.h"
#include "UtilC_SharedNcdCollAlive.h"
#include "UtilC_SharedNcdDesignUse.h"
#include "UtilC_SharedNcdMgr.h"
#include "UtilC_SharedNcdMsg.h"
#include "UtilI_VectorHelper.h"

namespace UtilC::SharedNcd {

namespace {

bool IsWordByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Walks a name in its normalised form: letters in lower case, digits as
// they are, each run of other bytes as one '_' (none at the end), then 0.
class NormalisedName {
 public:
  explicit NormalisedName(const char* text)
      : m_p(reinterpret_cast<const unsigned char*>(text ? text : "")) {}
  int Next() {
    const unsigned char c = *m_p;
    if (c == 0) return 0;
    if (IsWordByte(c)) {
      ++m_p;
      return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
    }
    while (*m_p != 0 && !IsWordByte(*m_p))
      ++m_p;
    return *m_p != 0 ? '_' : 0;
  }

 private:
  const unsigned char* m_p;
};

// Where the helper objects of each kind come from.
struct ServiceClass {
  const char* library;
  Port::XUID classId;
  Port::XUID faceId;
};

constexpr ServiceClass kServiceClasses[] = {
    {UtilI::kTcltaskHelpersLibrary, UtilI::CLSID_PropertyValue, UtilI::IID_IPropertyValue},
    {UtilI::kTcltaskHelpersLibrary, UtilI::CLSID_ObjectList, UtilI::IID_IObjectList},
    {UtilI::kTcltaskHelpersLibrary, UtilI::CLSID_PropertyInfo, UtilI::IID_IPropertyInfo},
    {UtilI::kTcltaskHelpersLibrary, UtilI::CLSID_NamedValueFactory, UtilI::IID_INamedValueFactory},
};

Port_ThrMutex& IdLock() {
  static Port_ThrMutex* lock = new Port_ThrMutex;
  return *lock;
}

Port_ThrMutex& AliveLock() {
  static Port_ThrMutex* lock = new Port_ThrMutex;
  return *lock;
}

// A temporary string container holding `texts`.
template <class Texts, class ToText>
CommonI::RefCountPtr<UtilI::IStringContainer> Strings(const Texts& texts, ToText toText) {
  CommonI::RefCountPtr<UtilI::IStringContainer> strings = UtilI::MakeStringContainer();
  if (strings) {
    for (const auto& t : texts)
      strings->Add(toText(t));
  }
  return strings;
}

// A value object holding `def`; empty for "no default".
CommonI::RefCountPtr<UtilI::IPropertyValue> DefaultObject(const DefaultValue& def,
                                                          ServiceFlags& flags) {
  if (def.kind == DefaultValue::kNone) return {};
  CommonI::RefCountPtr<UtilI::IPropertyValue> value = CreateService<UtilI::IPropertyValue>(flags);
  if (!value) return {};
  switch (def.kind) {
    case DefaultValue::kText:
      value->SetString(def.text);
      break;
    case DefaultValue::kBool:
      value->SetBool(def.boolValue);
      break;
    case DefaultValue::kInt:
      value->SetInt(def.intValue);
      break;
    case DefaultValue::kDouble:
      value->SetDouble(def.doubleValue);
      break;
    default:
      value->SetString(Port::StringBase());
      break;
  }
  return value;
}

// As printf's "%u".
void AppendDecimal(std::string& text, std::uint32_t value) {
  char digits[10];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0)
    text += digits[--n];
}

// As the C library's "%p": "(nil)" for null, else "0x" and lower-case hex.
void AppendPointer(std::string& text, const void* pointer) {
  if (!pointer) {
    text += "(nil)";
    return;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  auto value = reinterpret_cast<std::uintptr_t>(pointer);
  char digits[2 * sizeof value];
  int n = 0;
  for (; value != 0; value >>= 4)
    digits[n++] = kHex[value & 0xF];
  text += "0x";
  while (n > 0)
    text += digits[--n];
}

}  // namespace

int ComparePropertyNames(const char* a, const char* b) {
  NormalisedName left(a);
  NormalisedName right(b);
  for (;;) {
    const int l = left.Next();
    const int r = right.Next();
    if (l != r || l == 0) return l - r;
  }
}

Port::StringBase ValueRange::Text() const {
  if (isFloat) return Port::StringBase::doFormat("[%.2f-%.2f]", floatMin, floatMax);
  if (isRange) return Port::StringBase::doFormat("[%d-%d]", intMin, intMax);
  return text;
}

Port::StringBase TranslateDescription(const char* text) {
  if (!text || !*text) return {};
  return Port::MsgData(Msg::kComponent, "STATUS").TranslateMsg(text);
}

CommonI::RefCountPtr<CitI::IInterface> CreateServiceFace(ServiceFlags& flags, ServiceKind kind) {
  const int index = static_cast<int>(kind);
  const ServiceClass& service = kServiceClasses[index];
  std::call_once(flags.loaded[index], [&] { CitP::Factory::LoadLibraryFactory(service.library); });
  CommonI::RefCountPtr<CitI::IInterface> instance =
      CitP::Factory::CreateInstanceRef(service.classId);
  if (!instance) return {};
  return CommonI::RefCountPtr<CitI::IInterface>(
      static_cast<CitI::IInterface*>(instance->QueryInterface(service.faceId)));
}

bool PropertyDefBase::RefreshInfo(ServiceFlags& flags) {
  if (!info) info = CreateService<UtilI::IPropertyInfo>(flags);
  if (!info) return false;
  info->SetName(name);
  info->SetKind(kind >= 2 && kind <= 8 ? kind : 0);
  info->SetReadOnly(writable == 0);
  auto strings = Strings(ranges, [](const ValueRange& r) { return r.Text(); });
  if (strings && strings->GetSize() > 0) info->SetRanges(strings);
  if (auto value = DefaultObject(defaultValue, flags)) info->SetDefault(value.get());
  if (!auxText.IsEmpty()) info->SetAuxText(auxText);
  if (strings) {
    strings->Clear();
    for (const Port::StringBase& choice : choices)
      strings->Add(choice);
    if (strings->GetSize() > 0) info->SetChoices(strings);
  }
  info->SetDescription(description);
  return true;
}

void Coll::BuildId(const char* typeName, std::uint32_t bridgeId, Port::StringBase& out) const {
  FormatId(typeName, bridgeId, CaptureId(), out);
}

IdSource Coll::CaptureId() const {
  DesignUse use(design);
  Port_ThrGuard guard(IdLock());
  IdSource source;
  source.set = true;
  source.generation = static_cast<std::uint32_t>(Mgr::LiveGeneration());
  source.alive = IsDesignAlive();
  if (source.alive) {
    const Key& key = design->GetKey();
    source.owner = key.m_owner;
    source.file = key.m_fileName.c_str();
  }
  return source;
}

// The text Port::StringBase::Format gives for "%s%U%p%p" or "%s%p", written
// directly: identities are made for every collectable and probe.
void Coll::FormatId(const char* typeName, std::uint32_t bridgeId, const IdSource& source,
                    Port::StringBase& out) const {
  std::string text;
  if (!source.set) return out.Empty();
  text.reserve(64);
  text += typeName;
  if (source.alive) {
    AppendDecimal(text, bridgeId);
    AppendPointer(text, source.owner);
    AppendPointer(text, source.file);
  } else {
    AppendPointer(text, static_cast<const void*>(this));
  }
  out = std::move(text);
}

Coll::Coll(SharedNcd* design) : design(design), m_designSerial(design ? design->Serial() : 0) {
  s_live.fetch_add(1, std::memory_order_relaxed);
}

[[gnu::tls_model("initial-exec")]] constinit thread_local Coll::LastAlive Coll::t_lastAlive;

bool Coll::AskAlive(const SharedNcd* design, std::uint64_t serial) {
  if (!design) return false;
  Port_ThrGuard guard(AliveLock());
  std::uint64_t generation = 0;
  const bool alive = Mgr::Instance()->IsLive(design, generation);
  if (alive) t_lastAlive = {design, generation};
  return alive && design->Serial() == serial;
}

}  // namespace UtilC::SharedNcd
