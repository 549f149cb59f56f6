// The texts of one selection of every element of a name, handed out in
// document order; the same for every XML engine.
#include <utility>

#include "reply/reply_document.h"

namespace zcv {

ReplyNodeList::ReplyNodeList(std::vector<std::string> texts) : texts_(std::move(texts)) {}

std::string ReplyNodeList::NextText() {
  if (next_ >= texts_.size()) throw ReplyError("node list exhausted");
  return texts_[next_++];
}

}  // namespace zcv
