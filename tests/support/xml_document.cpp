#include "support/xml_document.hpp"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <sstream>
#include <string_view>

namespace glycomb::testing {

XmlDocument::XmlDocument(const std::string& text) {
  xmlResetLastError();
  document_ = xmlReadMemory(text.data(), static_cast<int>(text.size()), "report.html", "UTF-8",
                            XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  if (document_ == nullptr) {
    const xmlError* error = xmlGetLastError();
    error_ = error != nullptr && error->message != nullptr
                 ? "line " + std::to_string(error->line) + ": " + error->message
                 : "not well-formed";
  }
}

XmlDocument::~XmlDocument() {
  if (document_ != nullptr) xmlFreeDoc(document_);
}

xmlNode* XmlDocument::Root() const { return xmlDocGetRootElement(document_); }

std::vector<xmlNode*> Elements(xmlNode* root) {
  std::vector<xmlNode*> found;
  if (root == nullptr || root->type != XML_ELEMENT_NODE) return found;
  found.push_back(root);
  for (xmlNode* child = root->children; child != nullptr; child = child->next) {
    const std::vector<xmlNode*> below = Elements(child);
    found.insert(found.end(), below.begin(), below.end());
  }
  return found;
}

std::vector<xmlNode*> ElementsNamed(xmlNode* root, const std::string& name) {
  std::vector<xmlNode*> found;
  for (xmlNode* element : Elements(root)) {
    if (name == reinterpret_cast<const char*>(element->name)) found.push_back(element);
  }
  return found;
}

std::vector<xmlNode*> WithClass(xmlNode* root, const std::string& class_name) {
  std::vector<xmlNode*> found;
  for (xmlNode* element : Elements(root)) {
    if (HasClass(element, class_name)) found.push_back(element);
  }
  return found;
}

bool HasClass(xmlNode* element, const std::string& class_name) {
  std::istringstream tokens(Attribute(element, "class"));
  for (std::string token; tokens >> token;) {
    if (token == class_name) return true;
  }
  return false;
}

std::string Attribute(xmlNode* element, const char* name) {
  xmlChar* value = xmlGetProp(element, reinterpret_cast<const xmlChar*>(name));
  if (value == nullptr) return "";
  std::string text = reinterpret_cast<const char*>(value);
  xmlFree(value);
  return text;
}

double NumberAttribute(xmlNode* element, const char* name) {
  return std::stod(Attribute(element, name));
}

std::string TextOf(xmlNode* element) {
  xmlChar* content = xmlNodeGetContent(element);
  if (content == nullptr) return "";
  std::string text = reinterpret_cast<const char*>(content);
  xmlFree(content);
  return text;
}

std::string ChildText(xmlNode* element, const std::string& name) {
  std::string text;
  for (xmlNode* child = element->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && name == reinterpret_cast<const char*>(child->name)) {
      text += TextOf(child);
    }
  }
  return text;
}

}  // namespace glycomb::testing
