// The SAX reader over the platform's COM SAX XML reader. The handlers below
// live on the stack of one Parse call; the reader drops its references to
// them before that call returns, so their reference counts only count.
#include <windows.h>
#include <objbase.h>
#include <msxml2.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "platform/sax_reader.h"
#include "platform/win32/com_ptr.h"

namespace torvane::platform {
namespace {

constexpr CLSID kClsidSaxXmlReader = {
    0x079AA557, 0x4A18, 0x424A, {0x8E, 0xEE, 0xE3, 0x9F, 0x0A, 0x8D, 0x41, 0xB9}};
constexpr IID kIidSaxXmlReader = {
    0xA4F96ED0, 0xF829, 0x476E, {0x81, 0xC0, 0xCD, 0xC7, 0xBD, 0x2A, 0x08, 0x02}};
constexpr IID kIidSaxContentHandler = {
    0x1545CDFA, 0x9E4E, 0x4497, {0xA8, 0xA4, 0x2B, 0xF7, 0xD0, 0x11, 0x2C, 0x44}};
constexpr IID kIidSaxLexicalHandler = {
    0x7F85D5F5, 0x47A8, 0x4497, {0xBD, 0xA5, 0x84, 0xBA, 0x04, 0x81, 0x9E, 0xA6}};

std::u16string_view View(const wchar_t* p, int n) {
  if (!p || n <= 0) return {};
  return {reinterpret_cast<const char16_t*>(p), static_cast<std::size_t>(n)};
}

// Reference counting for objects whose lifetime the caller guarantees.
class StackObject {
 protected:
  ULONG AddRefImpl() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG ReleaseImpl() { return static_cast<ULONG>(InterlockedDecrement(&refs_)); }

 private:
  LONG refs_ = 1;
};

// COM interfaces have no virtual destructor; these objects are never
// deleted through them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

class ContentHandler final : public ISAXContentHandler, private StackObject {
 public:
  explicit ContentHandler(SaxHandler& handler) : handler_(handler) {}
  bool failed() const { return failed_; }

  HRESULT WINAPI QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, kIidSaxContentHandler)) {
      *out = static_cast<ISAXContentHandler*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG WINAPI AddRef() override { return AddRefImpl(); }
  ULONG WINAPI Release() override { return ReleaseImpl(); }

  HRESULT WINAPI putDocumentLocator(ISAXLocator*) override { return S_OK; }
  HRESULT WINAPI startDocument() override { return S_OK; }
  HRESULT WINAPI endDocument() override { return S_OK; }
  HRESULT WINAPI startPrefixMapping(const wchar_t* prefix, int prefix_len, const wchar_t* uri,
                                    int uri_len) override {
    return Result(handler_.StartPrefixMapping(View(prefix, prefix_len), View(uri, uri_len)));
  }
  HRESULT WINAPI endPrefixMapping(const wchar_t*, int) override { return S_OK; }
  HRESULT WINAPI startElement(const wchar_t* uri, int uri_len, const wchar_t* local, int local_len,
                              const wchar_t* qname, int qname_len,
                              ISAXAttributes* attributes) override {
    if (failed_) return E_FAIL;
    std::vector<SaxAttribute> list;
    int count = 0;
    if (attributes && SUCCEEDED(attributes->getLength(&count)) && count > 0) {
      list.reserve(static_cast<std::size_t>(count));
      for (int i = 0; i < count; ++i) {
        const wchar_t *a_uri = nullptr, *a_local = nullptr, *a_qname = nullptr, *a_value = nullptr;
        int a_uri_len = 0, a_local_len = 0, a_qname_len = 0, a_value_len = 0;
        if (FAILED(attributes->getName(i, &a_uri, &a_uri_len, &a_local, &a_local_len, &a_qname,
                                       &a_qname_len)) ||
            FAILED(attributes->getValue(i, &a_value, &a_value_len))) {
          return Result(false);
        }
        // Namespace declarations are reported as prefix mappings only.
        const std::u16string_view q = View(a_qname, a_qname_len);
        if (q == u"xmlns" || q.starts_with(u"xmlns:")) continue;
        list.push_back({View(a_uri, a_uri_len), View(a_local, a_local_len), q,
                        View(a_value, a_value_len)});
      }
    }
    return Result(handler_.StartElement(View(uri, uri_len), View(local, local_len),
                                        View(qname, qname_len), list));
  }
  HRESULT WINAPI endElement(const wchar_t* uri, int uri_len, const wchar_t* local, int local_len,
                            const wchar_t*, int) override {
    if (failed_) return E_FAIL;
    return Result(handler_.EndElement(View(uri, uri_len), View(local, local_len)));
  }
  HRESULT WINAPI characters(const wchar_t* chars, int len) override {
    if (failed_) return E_FAIL;
    if (len <= 0) return S_OK;
    return Result(handler_.Characters(View(chars, len)));
  }
  HRESULT WINAPI ignorableWhitespace(const wchar_t*, int) override { return S_OK; }
  HRESULT WINAPI processingInstruction(const wchar_t*, int, const wchar_t*, int) override {
    return S_OK;
  }
  HRESULT WINAPI skippedEntity(const wchar_t*, int) override { return Result(false); }

 private:
  HRESULT Result(bool ok) {
    if (!ok) failed_ = true;
    return ok ? S_OK : E_FAIL;
  }

  SaxHandler& handler_;
  bool failed_ = false;
};

// Stops the parse at a document type declaration, before any entity is
// declared or an external subset read.
class DtdRefusal final : public ISAXLexicalHandler, private StackObject {
 public:
  bool seen() const { return seen_; }

  HRESULT WINAPI QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, kIidSaxLexicalHandler)) {
      *out = static_cast<ISAXLexicalHandler*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG WINAPI AddRef() override { return AddRefImpl(); }
  ULONG WINAPI Release() override { return ReleaseImpl(); }

  HRESULT WINAPI startDTD(const wchar_t*, int, const wchar_t*, int, const wchar_t*, int) override {
    seen_ = true;
    return E_FAIL;
  }
  HRESULT WINAPI endDTD() override { return seen_ ? E_FAIL : S_OK; }
  HRESULT WINAPI startEntity(const wchar_t*, int) override { return E_FAIL; }
  HRESULT WINAPI endEntity(const wchar_t*, int) override { return E_FAIL; }
  HRESULT WINAPI startCDATA() override { return S_OK; }
  HRESULT WINAPI endCDATA() override { return S_OK; }
  HRESULT WINAPI comment(const wchar_t*, int) override { return S_OK; }

 private:
  bool seen_ = false;
};

#pragma GCC diagnostic pop

// A DTD may hide in any of the encodings the reader accepts; "<!DOCTYPE" with
// the zero bytes of UTF-16 and UTF-32 removed finds it in all of them.
bool MentionsDoctype(std::string_view document) {
  static constexpr std::string_view kMark = "<!DOCTYPE";
  std::size_t matched = 0;
  for (const char c : document) {
    if (c == '\0') continue;
    matched = c == kMark[matched] ? matched + 1 : (c == kMark[0] ? 1 : 0);
    if (matched == kMark.size()) return true;
  }
  return false;
}

// The reader would also take encodings (UTF-7 and the like) in which that
// mark does not show: only those a reply can reasonably use are let through.
bool DeclaresAllowedEncoding(std::string_view document) {
  std::string head;
  for (const char c : document.substr(0, 512)) {
    if (c != '\0') head.push_back(c);
  }
  if (head.rfind("\xEF\xBB\xBF", 0) == 0) head.erase(0, 3);
  if (head.rfind("\xFF\xFE", 0) == 0 || head.rfind("\xFE\xFF", 0) == 0) head.erase(0, 2);
  if (head.rfind("<?xml", 0) != 0) return true;
  const auto end = head.find("?>");
  const auto at = head.find("encoding", 0);
  if (end == std::string::npos) return false;
  if (at == std::string::npos || at > end) return true;
  const auto open = head.find_first_of("\"'", at);
  if (open == std::string::npos || open > end) return false;
  const auto close = head.find(head[open], open + 1);
  if (close == std::string::npos || close > end) return false;
  std::string name = head.substr(open + 1, close - open - 1);
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const char* allowed : {"utf-8", "utf-16", "us-ascii", "iso-8859-1", "gbk", "gb2312",
                              "gb18030"}) {
    if (name == allowed) return true;
  }
  return false;
}

class ComSaxReader final : public SaxReader {
 public:
  explicit ComSaxReader(ComPtr<ISAXXMLReader> reader) : reader_(std::move(reader)) {}

  bool Parse(std::string_view document, SaxHandler& handler) override {
    if (document.empty() || document.size() > ULONG_MAX) return false;
    if (MentionsDoctype(document) || !DeclaresAllowedEncoding(document)) return false;

    ComPtr<IStream> stream;
    if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()))) return false;
    ULONG written = 0;
    if (FAILED(stream->Write(document.data(), static_cast<ULONG>(document.size()), &written)) ||
        written != document.size()) {
      return false;
    }
    LARGE_INTEGER zero{};
    if (FAILED(stream->Seek(zero, STREAM_SEEK_SET, nullptr))) return false;

    ContentHandler content(handler);
    DtdRefusal dtd;
    if (FAILED(reader_->putContentHandler(&content))) return false;
    reader_->putFeature(L"prohibit-dtd", VARIANT_TRUE);
    reader_->putFeature(L"http://xml.org/sax/features/namespace-prefixes", VARIANT_FALSE);
    reader_->putFeature(L"http://xml.org/sax/features/external-general-entities", VARIANT_FALSE);
    reader_->putFeature(L"http://xml.org/sax/features/external-parameter-entities", VARIANT_FALSE);
    VARIANT lexical;
    ::VariantInit(&lexical);
    lexical.vt = VT_UNKNOWN;
    lexical.punkVal = static_cast<ISAXLexicalHandler*>(&dtd);
    reader_->putProperty(L"http://xml.org/sax/properties/lexical-handler", lexical);

    VARIANT input;
    ::VariantInit(&input);
    input.vt = VT_UNKNOWN;
    input.punkVal = stream.get();
    const HRESULT hr = reader_->parse(input);

    // Let go of the stack objects before they end.
    reader_->putContentHandler(nullptr);
    VARIANT none;
    ::VariantInit(&none);
    none.vt = VT_UNKNOWN;
    none.punkVal = nullptr;
    reader_->putProperty(L"http://xml.org/sax/properties/lexical-handler", none);
    return SUCCEEDED(hr) && !content.failed() && !dtd.seen();
  }

 private:
  ComPtr<ISAXXMLReader> reader_;
};

}  // namespace

std::unique_ptr<SaxReader> CreateSaxReader() {
  ComPtr<ISAXXMLReader> reader;
  if (FAILED(::CoCreateInstance(kClsidSaxXmlReader, nullptr, CLSCTX_INPROC_SERVER,
                                kIidSaxXmlReader, reader.PutVoid()))) {
    return nullptr;
  }
  return std::make_unique<ComSaxReader>(std::move(reader));
}

}  // namespace torvane::platform
