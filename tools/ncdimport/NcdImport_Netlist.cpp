#include "NcdImport_Netlist.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/memorystream.h>

#include <algorithm>
#include <unordered_set>

#include "NcdImport_Input.h"

namespace NcdImport {

namespace {

using Value = rapidjson::Value;

const std::string* Find(const Attributes& list, const std::string& key) {
  for (const auto& [k, v] : list) {
    if (k == key) return &v;
  }
  return nullptr;
}

std::string NameOf(const Value& name) {
  return {name.GetString(), name.GetStringLength()};
}

// Walks the document, naming the object being read in its errors. Every
// object it reads holds each key once, and every name it keeps is
// non-empty: the design format's rules, which the names carry over.
class Reader {
 public:
  Reader(const std::string& path, Notes& notes) : m_path(path), m_notes(notes) {}
  Netlist Read(const Value& root);

 private:
  [[noreturn]] void Fail(const std::string& where, const std::string& cause) const {
    throw Error(m_path + ": " + where + ": " + cause);
  }
  const Value& Member(const Value& object, const char* key, const std::string& where) const;
  const Value* Optional(const Value& object, const char* key, bool isObject,
                        const std::string& where) const;
  // The members of an object that holds each key once.
  Value::ConstObject Members(const Value& object, const char* what, const std::string& where) const;
  std::string Named(const char* kind, const Value& name) const;
  std::string Text(const Value& value, const std::string& what, const std::string& where) const;
  Attributes Map(const Value* object, const char* what, const std::string& where) const;
  std::vector<Bit> Bits(const Value& array, const std::string& where) const;
  Dir Direction(const Value& value, const std::string& where) const;
  const Value& TopModule(const Value& modules);
  void ReadPorts(const Value& module, Netlist& n) const;
  void ReadCell(const Value& name, const Value& cell, Netlist& n) const;
  void ReadNetName(const Value& name, const Value& net, Netlist& n) const;
  void ReadVector(const Value& object, BitVector& into, const std::string& where) const;

  const std::string& m_path;
  Notes& m_notes;
};

const Value& Reader::Member(const Value& object, const char* key, const std::string& where) const {
  auto it = object.FindMember(key);
  if (it == object.MemberEnd()) Fail(where, std::string("missing '") + key + "'");
  return it->value;
}

const Value* Reader::Optional(const Value& object, const char* key, bool isObject,
                              const std::string& where) const {
  auto it = object.FindMember(key);
  if (it == object.MemberEnd()) return nullptr;
  if (isObject && !it->value.IsObject()) Fail(where, std::string("'") + key + "' must be an object");
  return &it->value;
}

Value::ConstObject Reader::Members(const Value& object, const char* what,
                                   const std::string& where) const {
  std::unordered_set<std::string_view> seen;
  seen.reserve(object.MemberCount());
  for (const auto& m : object.GetObject()) {
    if (!seen.insert({m.name.GetString(), m.name.GetStringLength()}).second)
      Fail(where, std::string(what) + " " + Quote(NameOf(m.name)) + " given twice");
  }
  return object.GetObject();
}

// "cell 'x'" for messages; a name that no design may hold is refused.
std::string Reader::Named(const char* kind, const Value& name) const {
  const std::string where = std::string(kind) + " " + Quote(NameOf(name));
  if (name.GetStringLength() == 0) Fail(where, "a name must not be empty");
  return where;
}

// Strings as they are; numbers as decimal text (yosys writes small integer
// parameters as numbers).
std::string Reader::Text(const Value& value, const std::string& what,
                         const std::string& where) const {
  if (value.IsString()) return NameOf(value);
  if (value.IsInt64()) return std::to_string(value.GetInt64());
  if (value.IsUint64()) return std::to_string(value.GetUint64());
  Fail(where, what + " must be a string or an integer");
}

Attributes Reader::Map(const Value* object, const char* what, const std::string& where) const {
  Attributes list;
  if (object == nullptr) return list;
  for (const auto& m : Members(*object, what, where)) {
    std::string key = NameOf(m.name);
    if (key.empty()) Fail(where, std::string(what) + " '' has an empty name");
    list.emplace_back(key, Text(m.value, Quote(key), where));
  }
  return list;
}

std::vector<Bit> Reader::Bits(const Value& array, const std::string& where) const {
  if (!array.IsArray()) Fail(where, "bits must be an array");
  std::vector<Bit> bits;
  bits.reserve(array.Size());
  for (const Value& b : array.GetArray()) {
    if (b.IsInt64() && b.GetInt64() >= 0) {
      bits.push_back(b.GetInt64());
      continue;
    }
    static const std::pair<std::string_view, Bit> kConstants[] = {
        {"0", kConst0}, {"1", kConst1}, {"x", kConstX}, {"z", kConstZ}};
    bool known = false;
    for (const auto& [text, bit] : kConstants) {
      if (b.IsString() && NameOf(b) == text) {
        bits.push_back(bit);
        known = true;
      }
    }
    if (!known) Fail(where, "a bit must be a net number or one of \"0\", \"1\", \"x\", \"z\"");
  }
  return bits;
}

Dir Reader::Direction(const Value& value, const std::string& where) const {
  const std::string text = Text(value, "a direction", where);
  if (text == "input") return Dir::In;
  if (text == "output") return Dir::Out;
  if (text == "inout") return Dir::InOut;
  Fail(where, "direction must be input, output or inout (got " + Quote(text) + ")");
}

// The module marked as top; a file with one module needs no mark.
const Value& Reader::TopModule(const Value& modules) {
  const Value* top = nullptr;
  for (const auto& m : Members(modules, "module", "modules")) {
    if (!m.value.IsObject()) Fail("modules", "each module must be an object");
    auto attrs = m.value.FindMember("attributes");
    if (!top && attrs != m.value.MemberEnd() && attrs->value.IsObject() &&
        attrs->value.HasMember("top"))
      top = &m.name;
  }
  if (!top && modules.MemberCount() == 1) top = &modules.MemberBegin()->name;
  if (!top) Fail("modules", "no top module (none is marked \"top\")");
  Named("module", *top);
  for (const auto& m : modules.GetObject()) {
    if (&m.name != top) m_notes.Add("module other than the top", NameOf(m.name));
  }
  return *top;
}

// Yosys numbers a vector's bits from `offset`; the numbers must fit.
void Reader::ReadVector(const Value& object, BitVector& into, const std::string& where) const {
  auto offset = object.FindMember("offset");
  if (offset != object.MemberEnd() && offset->value.IsInt64()) into.offset = offset->value.GetInt64();
  auto upto = object.FindMember("upto");
  if (upto != object.MemberEnd() && upto->value.IsInt64()) into.upto = upto->value.GetInt64() != 0;
  const auto last = static_cast<std::int64_t>(into.bits.empty() ? 0 : into.bits.size() - 1);
  if (into.offset > INT64_MAX - last)
    Fail(where, "'offset' " + std::to_string(into.offset) + " leaves no number for its last bit");
}

void Reader::ReadPorts(const Value& module, Netlist& n) const {
  const Value* ports = Optional(module, "ports", true, "module " + Quote(n.moduleName));
  if (!ports) return;
  for (const auto& m : Members(*ports, "port", "module " + Quote(n.moduleName))) {
    const std::string where = Named("port", m.name);
    if (!m.value.IsObject()) Fail(where, "must be an object");
    Port& p = n.ports.emplace_back();
    p.name = NameOf(m.name);
    p.dir = Direction(Member(m.value, "direction", where), where);
    p.bits = Bits(Member(m.value, "bits", where), where);
    ReadVector(m.value, p, where);
  }
}

void Reader::ReadCell(const Value& name, const Value& cell, Netlist& n) const {
  const std::string where = Named("cell", name);
  if (!cell.IsObject()) Fail(where, "must be an object");
  Cell& c = n.cells.emplace_back();
  c.name = NameOf(name);
  c.type = Text(Member(cell, "type", where), "'type'", where);
  if (c.type.empty()) Fail(where, "'type' must not be empty");
  const Value* parameters = Optional(cell, "parameters", true, where);
  c.parameters = Map(parameters, "parameter", where);
  if (parameters) {
    for (const auto& m : parameters->GetObject()) {
      if (m.value.IsNumber()) c.numberParameters.push_back(NameOf(m.name));
    }
  }
  c.attributes = Map(Optional(cell, "attributes", true, where), "attribute", where);
  const Value* dirs = Optional(cell, "port_directions", true, where);
  const Value* conns = Optional(cell, "connections", true, where);
  if (!conns) return;
  for (const auto& m : Members(*conns, "connection of port", where)) {
    CellPort& p = c.ports.emplace_back();
    const std::string portWhere = where + " " + Named("port", m.name);
    p.name = NameOf(m.name);
    p.bits = Bits(m.value, portWhere);
    auto dir = dirs ? dirs->FindMember(m.name) : conns->MemberEnd();
    if (!dirs || dir == dirs->MemberEnd()) Fail(portWhere, "has no entry in 'port_directions'");
    p.dir = Direction(dir->value, portWhere);
  }
}

void Reader::ReadNetName(const Value& name, const Value& net, Netlist& n) const {
  const std::string where = Named("net", name);
  if (!net.IsObject()) Fail(where, "must be an object");
  NetName& nn = n.netNames.emplace_back();
  nn.name = NameOf(name);
  nn.bits = Bits(Member(net, "bits", where), where);
  ReadVector(net, nn, where);
  auto hide = net.FindMember("hide_name");
  nn.hidden = hide != net.MemberEnd() && hide->value.IsInt64() && hide->value.GetInt64() != 0;
  for (auto& [key, value] : Map(Optional(net, "attributes", true, where), "attribute", where)) {
    if (key == "ROUTING") {
      nn.hasRouting = true;
      nn.routing = std::move(value);
    } else {
      nn.otherAttributes.emplace_back(std::move(key), std::move(value));
    }
  }
}

Netlist Reader::Read(const Value& root) {
  if (!root.IsObject()) Fail("the file", "must hold a JSON object");
  Netlist n;
  n.path = m_path;
  if (const Value* creator = Optional(root, "creator", false, "the file"))
    n.creator = Text(*creator, "'creator'", "the file");
  const Value& modules = Member(root, "modules", "the file");
  if (!modules.IsObject()) Fail("the file", "'modules' must be an object");
  const Value& top = TopModule(modules);
  n.moduleName = NameOf(top);
  const Value& module = modules[top];
  const std::string where = "module " + Quote(n.moduleName);
  n.settings = Map(Optional(module, "settings", true, where), "setting", where);
  n.moduleAttributes = Map(Optional(module, "attributes", true, where), "attribute", where);
  ReadPorts(module, n);
  if (const Value* cells = Optional(module, "cells", true, where)) {
    n.cells.reserve(cells->MemberCount());
    for (const auto& m : Members(*cells, "cell", where))
      ReadCell(m.name, m.value, n);
  }
  if (const Value* nets = Optional(module, "netnames", true, where)) {
    n.netNames.reserve(nets->MemberCount());
    for (const auto& m : Members(*nets, "net", where))
      ReadNetName(m.name, m.value, n);
  }
  return n;
}

std::string SyntaxText(rapidjson::ParseErrorCode code) {
  std::string text = rapidjson::GetParseError_En(code);
  if (!text.empty() && text.back() == '.') text.pop_back();
  if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') text[0] = static_cast<char>(text[0] + 32);
  return text;
}

// The parser's events on their way into the document. The parse is
// iterative, so no nesting can exhaust the stack; the guard bounds the
// nesting all the same (a netlist nests seven levels) and refuses strings
// that no name or value of a design may hold: a NUL, which would cut the
// text short, and a lone low surrogate, which RapidJSON writes as three
// bytes that are not UTF-8 (bytes that are not UTF-8 the parser refuses).
class Guard {
 public:
  static constexpr unsigned kMaxNesting = 256;
  explicit Guard(rapidjson::Document& doc) : m_doc(doc) {}
  const std::string& Problem() const { return m_problem; }

  bool Null() { return m_doc.Null(); }
  bool Bool(bool b) { return m_doc.Bool(b); }
  bool Int(int i) { return m_doc.Int(i); }
  bool Uint(unsigned u) { return m_doc.Uint(u); }
  bool Int64(std::int64_t i) { return m_doc.Int64(i); }
  bool Uint64(std::uint64_t u) { return m_doc.Uint64(u); }
  bool Double(double d) { return m_doc.Double(d); }
  bool RawNumber(const char* s, rapidjson::SizeType n, bool copy) {
    return m_doc.RawNumber(s, n, copy);
  }
  bool String(const char* s, rapidjson::SizeType n, bool copy) {
    return Holdable({s, n}) && m_doc.String(s, n, copy);
  }
  bool Key(const char* s, rapidjson::SizeType n, bool copy) {
    return Holdable({s, n}) && m_doc.Key(s, n, copy);
  }
  bool StartObject() { return Enter() && m_doc.StartObject(); }
  bool EndObject(rapidjson::SizeType n) { return --m_depth, m_doc.EndObject(n); }
  bool StartArray() { return Enter() && m_doc.StartArray(); }
  bool EndArray(rapidjson::SizeType n) { return --m_depth, m_doc.EndArray(n); }

 private:
  bool Enter() {
    if (++m_depth <= kMaxNesting) return true;
    m_problem = "JSON nested deeper than " + std::to_string(kMaxNesting) + " levels";
    return false;
  }
  bool Holdable(std::string_view text) {
    if (text.find('\0') != std::string_view::npos) {
      m_problem = "a string must not contain the NUL character (\\u0000)";
    } else {
      for (std::size_t at = text.find('\xED'); at != std::string_view::npos;
           at = text.find('\xED', at + 1)) {
        if (at + 1 < text.size() && static_cast<unsigned char>(text[at + 1]) >= 0xA0)
          m_problem = SyntaxText(rapidjson::kParseErrorStringUnicodeSurrogateInvalid);
      }
    }
    return m_problem.empty();
  }

  rapidjson::Document& m_doc;
  unsigned m_depth = 0;
  std::string m_problem;
};

}  // namespace

const std::string* Cell::Parameter(const std::string& key) const {
  return Find(parameters, key);
}
bool Cell::IsNumber(const std::string& key) const {
  return std::find(numberParameters.begin(), numberParameters.end(), key) != numberParameters.end();
}
const std::string* Cell::Attribute(const std::string& key) const {
  return Find(attributes, key);
}
const CellPort* Cell::Port(const std::string& port) const {
  for (const CellPort& p : ports) {
    if (p.name == port) return &p;
  }
  return nullptr;
}

// Yosys numbers a vector's bits from `offset`, downwards when `upto`; the
// reader made sure that the numbers fit.
std::string BitVector::BitName(std::size_t i) const {
  if (bits.size() == 1 && offset == 0) return name;
  const auto index = static_cast<std::int64_t>(upto ? bits.size() - 1 - i : i) + offset;
  return name + "[" + std::to_string(index) + "]";
}

Netlist ReadNetlist(const std::string& path, Notes& notes, std::uint64_t limit) {
  const std::string text = ReadInput(path, limit);
  rapidjson::Document doc;
  Guard guard(doc);
  rapidjson::Reader reader;
  auto parse = [&](rapidjson::Document&) {
    rapidjson::MemoryStream in(text.data(), text.size());
    constexpr unsigned kFlags =
        rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag;
    return !reader.Parse<kFlags>(in, guard).IsError();
  };
  doc.Populate(parse);
  if (reader.HasParseError()) {
    const bool guarded = reader.GetParseErrorCode() == rapidjson::kParseErrorTermination;
    throw Error(path + ":" + Position(text, reader.GetErrorOffset()) + ": " +
                (guarded ? guard.Problem() : SyntaxText(reader.GetParseErrorCode())));
  }
  return Reader(path, notes).Read(doc);
}

}  // namespace NcdImport
