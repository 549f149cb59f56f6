// One parsed reply document and the selections the readers make on it.
// Readers use only this interface, so another XML engine can sit behind it:
// pugixml on Linux, the system's XML DOM component over COM on Windows.
#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace zcv {

// Raised for every reason a reply cannot be read; the readers catch it at
// their outer level and turn it into an unreadable-reply result.
class ReplyError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The texts of every element of one name, in document order.
class ReplyNodeList {
 public:
  explicit ReplyNodeList(std::vector<std::string> texts);

  std::size_t length() const { return texts_.size(); }
  // The next element's text; raises ReplyError once the list is exhausted.
  std::string NextText();

 private:
  std::vector<std::string> texts_;
  std::size_t next_ = 0;
};

// How strictly the creation of the Windows DOM document is judged: by the
// object alone, or also by a plain success status. Other engines create
// nothing and ignore it.
enum class DocumentCreation { kObjectReturned, kPlainSuccess };

// Patterns are "//Name" or a bare element name: the element of that name
// anywhere in the document, the root included. An element's text is all the
// text and CDATA below it, in document order, with surrounding XML white
// space removed; bytes pass through as the service sent them.
class ReplyDocument {
 public:
  ReplyDocument();
  ~ReplyDocument();
  ReplyDocument(const ReplyDocument&) = delete;
  ReplyDocument& operator=(const ReplyDocument&) = delete;

  // Parses the whole NUL-terminated body; raises ReplyError when it is not a
  // well-formed document with exactly one root element.
  void Load(const char* body, DocumentCreation creation = DocumentCreation::kObjectReturned);

  // The text of the first matching element in document order; raises
  // ReplyError when none matches.
  std::string SelectText(const char* pattern) const;

  // Every matching element in document order, possibly none.
  ReplyNodeList SelectAll(const char* pattern) const;

 private:
  struct Parsed;
  std::unique_ptr<Parsed> parsed_;
};

}  // namespace zcv
