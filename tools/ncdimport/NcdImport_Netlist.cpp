#include "NcdImport_Netlist.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

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

// Walks the document, naming the object being read in its errors.
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
  std::string Text(const Value& value, const std::string& what, const std::string& where) const;
  Attributes Map(const Value* object, const std::string& where) const;
  std::vector<Bit> Bits(const Value& array, const std::string& where) const;
  Dir Direction(const Value& value, const std::string& where) const;
  const Value& TopModule(const Value& modules);
  void ReadPorts(const Value& module, Netlist& n) const;
  void ReadCell(const std::string& name, const Value& cell, Netlist& n) const;
  void ReadNetName(const std::string& name, const Value& net, Netlist& n) const;
  static void ReadVector(const Value& object, BitVector& into);

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

// Strings as they are; numbers as decimal text (yosys writes small integer
// parameters as numbers).
std::string Reader::Text(const Value& value, const std::string& what,
                         const std::string& where) const {
  if (value.IsString()) return {value.GetString(), value.GetStringLength()};
  if (value.IsInt64()) return std::to_string(value.GetInt64());
  if (value.IsUint64()) return std::to_string(value.GetUint64());
  Fail(where, what + " must be a string or an integer");
}

Attributes Reader::Map(const Value* object, const std::string& where) const {
  Attributes list;
  if (object == nullptr) return list;
  for (const auto& m : object->GetObject()) {
    std::string key(m.name.GetString(), m.name.GetStringLength());
    list.emplace_back(key, Text(m.value, "'" + key + "'", where));
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
    static const std::pair<const char*, Bit> kConstants[] = {
        {"0", kConst0}, {"1", kConst1}, {"x", kConstX}, {"z", kConstZ}};
    bool known = false;
    for (const auto& [text, bit] : kConstants) {
      if (b.IsString() && std::string(b.GetString()) == text) {
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
  Fail(where, "direction must be input, output or inout (got '" + text + "')");
}

// The module marked as top; a file with one module needs no mark.
const Value& Reader::TopModule(const Value& modules) {
  const Value* top = nullptr;
  for (const auto& m : modules.GetObject()) {
    if (!m.value.IsObject()) Fail("modules", "each module must be an object");
    auto attrs = m.value.FindMember("attributes");
    if (!top && attrs != m.value.MemberEnd() && attrs->value.IsObject() &&
        attrs->value.HasMember("top"))
      top = &m.name;
  }
  if (!top && modules.MemberCount() == 1) top = &modules.MemberBegin()->name;
  if (!top) Fail("modules", "no top module (none is marked \"top\")");
  for (const auto& m : modules.GetObject()) {
    if (&m.name != top) m_notes.Add("module other than the top", m.name.GetString());
  }
  return *top;
}

void Reader::ReadVector(const Value& object, BitVector& into) {
  auto offset = object.FindMember("offset");
  if (offset != object.MemberEnd() && offset->value.IsInt64()) into.offset = offset->value.GetInt64();
  auto upto = object.FindMember("upto");
  if (upto != object.MemberEnd() && upto->value.IsInt64()) into.upto = upto->value.GetInt64() != 0;
}

void Reader::ReadPorts(const Value& module, Netlist& n) const {
  const Value* ports = Optional(module, "ports", true, "module '" + n.moduleName + "'");
  if (!ports) return;
  for (const auto& m : ports->GetObject()) {
    const std::string where = "port '" + std::string(m.name.GetString()) + "'";
    if (!m.value.IsObject()) Fail(where, "must be an object");
    Port& p = n.ports.emplace_back();
    p.name = m.name.GetString();
    p.dir = Direction(Member(m.value, "direction", where), where);
    p.bits = Bits(Member(m.value, "bits", where), where);
    ReadVector(m.value, p);
  }
}

void Reader::ReadCell(const std::string& name, const Value& cell, Netlist& n) const {
  const std::string where = "cell '" + name + "'";
  if (!cell.IsObject()) Fail(where, "must be an object");
  Cell& c = n.cells.emplace_back();
  c.name = name;
  c.type = Text(Member(cell, "type", where), "'type'", where);
  c.parameters = Map(Optional(cell, "parameters", true, where), where);
  c.attributes = Map(Optional(cell, "attributes", true, where), where);
  const Value* dirs = Optional(cell, "port_directions", true, where);
  const Value* conns = Optional(cell, "connections", true, where);
  if (!conns) return;
  for (const auto& m : conns->GetObject()) {
    CellPort& p = c.ports.emplace_back();
    p.name = m.name.GetString();
    const std::string portWhere = where + " port '" + p.name + "'";
    p.bits = Bits(m.value, portWhere);
    auto dir = dirs ? dirs->FindMember(m.name) : conns->MemberEnd();
    if (!dirs || dir == dirs->MemberEnd()) Fail(portWhere, "has no entry in 'port_directions'");
    p.dir = Direction(dir->value, portWhere);
  }
}

void Reader::ReadNetName(const std::string& name, const Value& net, Netlist& n) const {
  const std::string where = "net '" + name + "'";
  if (!net.IsObject()) Fail(where, "must be an object");
  NetName& nn = n.netNames.emplace_back();
  nn.name = name;
  nn.bits = Bits(Member(net, "bits", where), where);
  ReadVector(net, nn);
  auto hide = net.FindMember("hide_name");
  nn.hidden = hide != net.MemberEnd() && hide->value.IsInt64() && hide->value.GetInt64() != 0;
  for (auto& [key, value] : Map(Optional(net, "attributes", true, where), where)) {
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
  if (const Value* creator = Optional(root, "creator", false, "the file"))
    n.creator = Text(*creator, "'creator'", "the file");
  const Value& modules = Member(root, "modules", "the file");
  if (!modules.IsObject()) Fail("the file", "'modules' must be an object");
  const Value& top = TopModule(modules);
  n.moduleName = top.GetString();
  const Value& module = modules[top];
  const std::string where = "module '" + n.moduleName + "'";
  n.settings = Map(Optional(module, "settings", true, where), where);
  n.moduleAttributes = Map(Optional(module, "attributes", true, where), where);
  ReadPorts(module, n);
  if (const Value* cells = Optional(module, "cells", true, where)) {
    n.cells.reserve(cells->MemberCount());
    for (const auto& m : cells->GetObject()) ReadCell(m.name.GetString(), m.value, n);
  }
  if (const Value* nets = Optional(module, "netnames", true, where)) {
    n.netNames.reserve(nets->MemberCount());
    for (const auto& m : nets->GetObject()) ReadNetName(m.name.GetString(), m.value, n);
  }
  return n;
}

std::string SyntaxText(rapidjson::ParseErrorCode code) {
  std::string text = rapidjson::GetParseError_En(code);
  if (!text.empty() && text.back() == '.') text.pop_back();
  if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') text[0] = static_cast<char>(text[0] + 32);
  return text;
}

}  // namespace

const std::string* Cell::Parameter(const std::string& key) const {
  return Find(parameters, key);
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

// Yosys numbers a vector's bits from `offset`, downwards when `upto`.
std::string BitVector::BitName(std::size_t i) const {
  if (bits.size() == 1 && offset == 0) return name;
  const auto index = static_cast<std::int64_t>(upto ? bits.size() - 1 - i : i) + offset;
  return name + "[" + std::to_string(index) + "]";
}

Netlist ReadNetlist(const std::string& path, Notes& notes) {
  const std::string text = ReadInput(path);
  rapidjson::Document doc;
  doc.Parse(text.data(), text.size());
  if (doc.HasParseError()) {
    throw Error(path + ":" + Position(text, doc.GetErrorOffset()) + ": " +
                SyntaxText(doc.GetParseError()));
  }
  return Reader(path, notes).Read(doc);
}

}  // namespace NcdImport
