// A report page read by libxml2 as XML, and the look-ups the report tests make in it.
#pragma once

#include <libxml/tree.h>

#include <string>
#include <vector>

namespace glycomb::testing {

class XmlDocument {
 public:
  // Parses `text` without network access; Error() tells why when it is not well-formed XML.
  explicit XmlDocument(const std::string& text);
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  bool WellFormed() const { return document_ != nullptr; }
  const std::string& Error() const { return error_; }
  xmlNode* Root() const;

 private:
  xmlDoc* document_ = nullptr;
  std::string error_;
};

// The elements under `root` (itself included), in document order: all of them, those of one local
// name, or those whose class attribute holds the token `class_name`.
std::vector<xmlNode*> Elements(xmlNode* root);
std::vector<xmlNode*> ElementsNamed(xmlNode* root, const std::string& name);
std::vector<xmlNode*> WithClass(xmlNode* root, const std::string& class_name);

bool HasClass(xmlNode* element, const std::string& class_name);
// The attribute's value, empty when it is absent.
std::string Attribute(xmlNode* element, const char* name);
double NumberAttribute(xmlNode* element, const char* name);
// The text of the element and everything in it.
std::string TextOf(xmlNode* element);
// The text of the element's direct <text> or <title> children named `name`.
std::string ChildText(xmlNode* element, const std::string& name);

}  // namespace glycomb::testing
