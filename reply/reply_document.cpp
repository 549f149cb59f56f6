// ReplyDocument over pugixml. Elements are found by a plain depth-first walk,
// which for replies of at most a few kilobytes beats compiling XPath.
#include "reply/reply_document.h"

#include <cstring>
#include <pugixml.hpp>
#include <string_view>
#include <utility>

namespace zcv {
namespace {

constexpr char kPatternPrefix[] = "//";

// Text kept even when it is only white space, so that text split by child
// elements joins with its blanks; top-level content is parsed as a fragment
// so that stray text or a second root can be refused.
constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_fragment;

const char* ElementName(const char* pattern) {
  std::size_t prefix = std::strlen(kPatternPrefix);
  return std::strncmp(pattern, kPatternPrefix, prefix) == 0 ? pattern + prefix : pattern;
}

// Visits `root` and every node below it in document order until `visit`
// returns false.
template <typename Visit>
void Walk(pugi::xml_node root, Visit visit) {
  pugi::xml_node node = root;
  while (node) {
    if (!visit(node)) return;
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node != root && !node.next_sibling()) node = node.parent();
    if (node == root) return;
    node = node.next_sibling();
  }
}

bool IsText(pugi::xml_node node) {
  return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// `text` without the XML white space at both ends. Tested a character at a
// time: find_first_not_of() searches its set once per character.
std::string Trimmed(std::string_view text) {
  std::size_t first = 0;
  std::size_t end = text.size();
  while (first < end && IsXmlSpace(text[first])) ++first;
  while (end > first && IsXmlSpace(text[end - 1])) --end;
  return std::string(text.substr(first, end - first));
}

std::string TextOf(pugi::xml_node element) {
  // A reply value is one text node: its text needs no joining.
  const pugi::xml_node only = element.first_child();
  if (only && IsText(only) && !only.next_sibling()) return Trimmed(only.value());
  std::string text;
  Walk(element, [&text](pugi::xml_node node) {
    if (IsText(node)) text += node.value();
    return true;
  });
  return Trimmed(text);
}

bool IsBlankText(pugi::xml_node node) {
  const char* p = node.value();
  while (IsXmlSpace(*p)) ++p;
  return *p == '\0';
}

// A fragment parse accepts what a document may not have at its top level:
// more than one element, or text outside the root.
bool HasOneRoot(const pugi::xml_document& document) {
  int elements = 0;
  for (pugi::xml_node child : document.children()) {
    if (child.type() == pugi::node_element) ++elements;
    if (child.type() == pugi::node_cdata) return false;
    if (child.type() == pugi::node_pcdata && !IsBlankText(child)) return false;
  }
  return elements == 1;
}

}  // namespace

struct ReplyDocument::Parsed {
  pugi::xml_document document;
  pugi::xml_node root;
};

ReplyDocument::ReplyDocument() = default;
ReplyDocument::~ReplyDocument() = default;

void ReplyDocument::Load(const char* body, DocumentCreation) {
  if (body == nullptr) throw ReplyError("Load xml failed");
  auto parsed = std::make_unique<Parsed>();
  pugi::xml_parse_result result =
      parsed->document.load_buffer(body, std::strlen(body), kParseOptions, pugi::encoding_utf8);
  if (!result || !HasOneRoot(parsed->document)) throw ReplyError("Load xml failed");
  parsed->root = parsed->document.document_element();
  parsed_ = std::move(parsed);
}

std::string ReplyDocument::SelectText(const char* pattern) const {
  if (!parsed_) throw ReplyError("no document loaded");
  const char* name = ElementName(pattern);
  pugi::xml_node found;
  Walk(parsed_->root, [&found, name](pugi::xml_node node) {
    if (node.type() == pugi::node_element && std::strcmp(node.name(), name) == 0) found = node;
    return !found;
  });
  if (!found) throw ReplyError(std::string("no element ") + name);
  return TextOf(found);
}

ReplyNodeList ReplyDocument::SelectAll(const char* pattern) const {
  if (!parsed_) throw ReplyError("no document loaded");
  const char* name = ElementName(pattern);
  std::vector<std::string> texts;
  Walk(parsed_->root, [&texts, name](pugi::xml_node node) {
    if (node.type() == pugi::node_element && std::strcmp(node.name(), name) == 0) {
      texts.push_back(TextOf(node));
    }
    return true;
  });
  return ReplyNodeList(std::move(texts));
}

}  // namespace zcv
