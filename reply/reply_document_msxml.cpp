// ReplyDocument over the system's XML DOM component (DOMDocument through
// COM), for the Windows build. The calling thread must be in a COM apartment
// (the readers and the binding-information helper enter one). Every
// reference is held by an owner that releases it on every path.
#include <msxml.h>
#include <windows.h>

#include <utility>

#include "reply/reply_document.h"

namespace zcv {
namespace {

// In-process or local server, as the component has always been created.
constexpr DWORD kClassContext = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER;

// One counted reference, released once.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() { Reset(); }
  ComRef(ComRef&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComRef& operator=(ComRef&& other) noexcept {
    if (this != &other) {
      Reset();
      pointer_ = std::exchange(other.pointer_, nullptr);
    }
    return *this;
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;

  T* get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  T** out() {
    Reset();
    return &pointer_;
  }
  void Reset() {
    if (pointer_ != nullptr) std::exchange(pointer_, nullptr)->Release();
  }

 private:
  T* pointer_ = nullptr;
};

// One BSTR, freed once.
class WideText {
 public:
  WideText() = default;
  ~WideText() { ::SysFreeString(text_); }
  WideText(const WideText&) = delete;
  WideText& operator=(const WideText&) = delete;

  BSTR get() const { return text_; }
  BSTR* out() {
    ::SysFreeString(std::exchange(text_, nullptr));
    return &text_;
  }

  // The ANSI-code-page text as a BSTR; raises when memory runs out.
  static void FromAnsi(const char* text, WideText* out) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0) throw ReplyError("text conversion failed");
    BSTR wide = ::SysAllocStringLen(nullptr, static_cast<UINT>(length - 1));
    if (wide == nullptr) throw ReplyError("out of memory");
    *out->out() = wide;
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide, length);
  }

  // The text in the ANSI code page; an absent text is empty.
  std::string ToAnsi() const {
    const int wideLength = static_cast<int>(::SysStringLen(text_));
    if (wideLength == 0) return std::string();
    const int length =
        ::WideCharToMultiByte(CP_ACP, 0, text_, wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) throw ReplyError("text conversion failed");
    std::string text(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text_, wideLength, &text[0], length, nullptr, nullptr);
    return text;
  }

 private:
  BSTR text_ = nullptr;
};

void Check(HRESULT status) {
  if (FAILED(status)) throw ReplyError("XML DOM call failed");
}

std::string TextOf(IXMLDOMNode* node) {
  WideText text;
  Check(node->get_text(text.out()));
  return text.ToAnsi();
}

}  // namespace

struct ReplyDocument::Parsed {
  ComRef<IXMLDOMDocument> document;
  ComRef<IXMLDOMElement> root;
};

ReplyDocument::ReplyDocument() = default;
ReplyDocument::~ReplyDocument() = default;

void ReplyDocument::Load(const char* body, DocumentCreation creation) {
  if (body == nullptr) throw ReplyError("Load xml failed");
  auto parsed = std::make_unique<Parsed>();
  const HRESULT created =
      ::CoCreateInstance(CLSID_DOMDocument, nullptr, kClassContext, IID_IXMLDOMDocument,
                         reinterpret_cast<void**>(parsed->document.out()));
  if (parsed->document.get() == nullptr ||
      (creation == DocumentCreation::kPlainSuccess && created != S_OK)) {
    throw ReplyError("Create xml instance error");
  }
  parsed->document->put_async(VARIANT_FALSE);

  WideText wideBody;
  WideText::FromAnsi(body, &wideBody);
  VARIANT_BOOL loaded = VARIANT_FALSE;
  Check(parsed->document->loadXML(wideBody.get(), &loaded));
  if (loaded != VARIANT_TRUE) throw ReplyError("Load xml failed");
  parsed->document->get_documentElement(parsed->root.out());
  if (parsed->root.get() == nullptr) throw ReplyError("Load xml failed");
  parsed_ = std::move(parsed);
}

std::string ReplyDocument::SelectText(const char* pattern) const {
  if (!parsed_) throw ReplyError("no document loaded");
  WideText widePattern;
  WideText::FromAnsi(pattern, &widePattern);
  ComRef<IXMLDOMNode> node;
  Check(parsed_->root->selectSingleNode(widePattern.get(), node.out()));
  if (node.get() == nullptr) throw ReplyError(std::string("no element ") + pattern);
  return TextOf(node.get());
}

ReplyNodeList ReplyDocument::SelectAll(const char* pattern) const {
  if (!parsed_) throw ReplyError("no document loaded");
  WideText widePattern;
  WideText::FromAnsi(pattern, &widePattern);
  ComRef<IXMLDOMNodeList> list;
  Check(parsed_->root->selectNodes(widePattern.get(), list.out()));
  std::vector<std::string> texts;
  if (list.get() == nullptr) return ReplyNodeList(std::move(texts));
  for (;;) {
    ComRef<IXMLDOMNode> node;
    Check(list->nextNode(node.out()));
    if (node.get() == nullptr) break;
    texts.push_back(TextOf(node.get()));
  }
  return ReplyNodeList(std::move(texts));
}

}  // namespace zcv
