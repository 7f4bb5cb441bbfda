#include "soap/fault_parser.h"

#include <new>

#include "soap/soap_namespaces.h"

namespace torvane::soap {
namespace {

struct LevelName {
  std::u16string_view name;
  int level;
};
constexpr LevelName kLevels[] = {
    {u"Envelope", 1}, {u"Body", 2},         {u"Header", 2},       {u"Fault", 4},
    {u"faultcode", 8}, {u"faultstring", 16}, {u"faultactor", 32}, {u"detail", 64},
};
constexpr int kFaultCodeLevel = 8, kFaultStringLevel = 16, kFaultActorLevel = 32,
              kDetailLevel = 64;

int LevelOf(std::u16string_view name) {
  for (const auto& l : kLevels) {
    if (l.name == name) return l.level;
  }
  return 0;
}

void AppendXmlText(std::u16string_view text, std::u16string& out) {
  for (const char16_t c : text) {
    if (c == u'&') out += u"&amp;";
    else if (c == u'<') out += u"&lt;";
    else if (c == u'>') out += u"&gt;";
    else if (c == u'"') out += u"&quot;";
    else out += c;
  }
}

std::u16string_view Trim(std::u16string_view s) {
  auto space = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
  while (!s.empty() && space(s.front())) s.remove_prefix(1);
  while (!s.empty() && space(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

std::string_view FaultCodeText(int code) {
  switch (code) {
    case kFaultVersionMismatch: return "SOAP Version Mismatch Error";
    case kFaultMustUnderstand: return "SOAP Must Understand Error";
    case kFaultClient: return "SOAP Invalid Request";
    case kFaultServer: return "SOAP Server Application Faulted";
    default: return {};
  }
}

bool FaultHandler::StartPrefixMapping(std::u16string_view prefix, std::u16string_view uri) {
  if (uri == kSoapEnvelopeNs) {
    envelope_prefix_ = prefix;
    have_prefix_ = true;
  }
  return true;
}

bool FaultHandler::StartElement(std::u16string_view uri, std::u16string_view localName,
                                std::u16string_view qName,
                                std::span<const platform::SaxAttribute> attributes) {
  if (skip_ > 0) {
    ++skip_;
    return true;
  }
  if (collecting_) {
    // Markup inside a collected element is kept as XML text.
    text_ += u'<';
    text_ += qName;
    for (const auto& a : attributes) {
      text_ += u' ';
      text_ += a.qName;
      text_ += u"=\"";
      AppendXmlText(a.value, text_);
      text_ += u'"';
    }
    text_ += u'>';
    children_.emplace_back(qName);
    return true;
  }
  const int level = LevelOf(localName);
  if (level == 0) {
    if (level_ <= 4) return false;
    skip_ = 1;
    return true;
  }
  if (level <= 4) {
    if (uri != kSoapEnvelopeNs || level <= level_) return false;
    level_ = level;
    return true;
  }
  level_ = level;
  collecting_ = level;
  text_.clear();
  children_.clear();
  return true;
}

bool FaultHandler::EndElement(std::u16string_view, std::u16string_view) {
  if (skip_ > 0) {
    --skip_;
    return true;
  }
  if (!collecting_) return true;
  if (!children_.empty()) {
    text_ += u"</";
    text_ += children_.back();
    text_ += u'>';
    children_.pop_back();
    return true;
  }
  const int level = collecting_;
  collecting_ = 0;
  return Hand(level, text_);
}

bool FaultHandler::Characters(std::u16string_view text) {
  if (skip_ > 0 || !collecting_) return true;
  if (collecting_ == kDetailLevel) AppendXmlText(text, text_);
  else text_ += text;
  return true;
}

bool FaultHandler::Hand(int level, std::u16string_view text) {
  if (text.empty()) return true;  // nothing was handed over
  switch (level) {
    case kFaultCodeLevel: {
      if (fault_.has_code) return true;
      const std::u16string_view code = Trim(text);
      if (!have_prefix_ || code.size() <= envelope_prefix_.size() ||
          code.substr(0, envelope_prefix_.size()) != envelope_prefix_ ||
          code[envelope_prefix_.size()] != u':') {
        return false;
      }
      const std::u16string_view local = code.substr(envelope_prefix_.size() + 1);
      if (local == u"VersionMismatch") fault_.code = kFaultVersionMismatch;
      else if (local == u"MustUnderstand") fault_.code = kFaultMustUnderstand;
      else if (local == u"Client") fault_.code = kFaultClient;
      else if (local == u"Server") fault_.code = kFaultServer;
      fault_.code_text = code;
      fault_.has_code = true;
      return true;
    }
    case kFaultStringLevel:
      if (fault_.has_string) return false;
      fault_.fault_string = text;
      fault_.has_string = true;
      return true;
    case kFaultActorLevel:
      if (fault_.has_actor) return false;
      fault_.fault_actor = text;
      fault_.has_actor = true;
      return true;
    case kDetailLevel:
      if (fault_.has_detail) return false;
      fault_.detail = text;
      fault_.has_detail = true;
      return true;
    default:
      return false;
  }
}

bool ParseFault(platform::SaxReader& reader, std::string_view body, SoapFault& fault) {
  fault.Clear();
  try {
    FaultHandler handler(fault);
    return reader.Parse(body, handler);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace torvane::soap
