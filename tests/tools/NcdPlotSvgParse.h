// The pictures the tests write, read back with an XML parser (expat): a
// picture that is not well-formed XML fails the test, and the counts of
// its elements and the texts of its titles are there to check.
#pragma once

#include <expat.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace ncdplot_test {

// Counts the SVG's elements by class, inside each top-level group.
struct SvgCount {
  std::map<std::string, int> byClass;  // "<group id> <class>"
  std::vector<std::string> groups;
  std::vector<std::string> titles;
  bool inTitle = false;
  std::string text;
};

inline void XMLCALL Start(void* data, const XML_Char* name, const XML_Char** attrs) {
  auto& c = *static_cast<SvgCount*>(data);
  std::string id, cls;
  for (int i = 0; attrs[i]; i += 2) {
    if (std::string(attrs[i]) == "id") id = attrs[i + 1];
    if (std::string(attrs[i]) == "class") cls = attrs[i + 1];
  }
  if (std::string(name) == "g") c.groups.push_back(id);
  if (!cls.empty()) ++c.byClass[(c.groups.empty() ? "" : c.groups.back()) + " " + cls];
  c.inTitle = std::string(name) == "title";
  c.text.clear();
}
inline void XMLCALL End(void* data, const XML_Char* name) {
  auto& c = *static_cast<SvgCount*>(data);
  if (std::string(name) == "g") c.groups.pop_back();
  if (std::string(name) == "title") c.titles.push_back(c.text);
  c.inTitle = false;
}
inline void XMLCALL Text(void* data, const XML_Char* s, int len) {
  auto& c = *static_cast<SvgCount*>(data);
  if (c.inTitle) c.text.append(s, static_cast<std::size_t>(len));
}

// Parses the SVG; a parse error fails the test.
inline SvgCount Parse(const std::string& svg) {
  SvgCount count;
  XML_Parser parser = XML_ParserCreate(nullptr);
  XML_SetUserData(parser, &count);
  XML_SetElementHandler(parser, Start, End);
  XML_SetCharacterDataHandler(parser, Text);
  if (XML_Parse(parser, svg.data(), static_cast<int>(svg.size()), 1) == XML_STATUS_ERROR) {
    ADD_FAILURE() << "not well-formed: " << XML_ErrorString(XML_GetErrorCode(parser)) << " at line "
                  << XML_GetCurrentLineNumber(parser);
  }
  XML_ParserFree(parser);
  return count;
}

}  // namespace ncdplot_test
