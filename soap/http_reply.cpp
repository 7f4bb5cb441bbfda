// The reply reader. All bytes received go into reply.buffer; the head is
// parsed in place and the body ends up behind it (decoded, for chunked
// coding). Every loop that receives is bounded by the head and body caps, so
// a hostile server can cost neither unbounded memory nor an endless loop.
#include "soap/http_reply.h"

#include <algorithm>
#include <cctype>
#include <new>

#include "soap/ascii.h"

namespace torvane::soap {
namespace {

constexpr std::size_t kHeadPiece = 2048;
constexpr std::size_t kLargestPiece = 64 * 1024;
constexpr int kMaxEmptyReceives = 5;
constexpr std::size_t kMaxHeaderField = 1024;  // a name or value this long is skipped
constexpr std::string_view kCrLf = "\r\n";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A base-10 length with optional trailing blanks; false when malformed.
bool ParseLength(std::string_view text, std::uint64_t& value) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (text.empty()) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    if (value > (UINT64_MAX - 9) / 10) return false;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return true;
}

class Reader {
 public:
  Reader(ReplySource& source, HttpReply& reply, std::size_t read_block)
      : source_(source), reply_(reply), read_block_(read_block == 0 ? 4096 : read_block) {}

  ReadResult Run();

 private:
  enum class Got { kData, kEmpty, kError };

  // Appends up to `piece` received bytes to the buffer.
  Got ReceiveMore(std::size_t piece);
  ReadResult ReadHead(std::size_t& head_end);
  ReadResult ParseStatus(std::size_t line_end);
  // False when the reply has more header lines than allowed.
  bool AddHeaderLine(std::string_view line, bool to_auth_list);
  ReadResult ReadBodyByLength(std::string_view length_text);
  ReadResult ReadBodyToClose();
  ReadResult DecodeChunked();
  // Chunk decoding helpers: make `count` bytes available at `cursor`.
  bool Need(std::size_t cursor, std::size_t count);
  bool NeedLine(std::size_t cursor, std::size_t max_line, std::size_t& line_end);

  ReplySource& source_;
  HttpReply& reply_;
  std::size_t read_block_;
  std::size_t head_bytes_ = 0;  // heads read so far, 100 Continue ones included
  std::size_t header_lines_ = 0;  // header and trailer lines of the final reply
};

Reader::Got Reader::ReceiveMore(std::size_t piece) {
  std::string& buffer = reply_.buffer;
  const std::size_t old_size = buffer.size();
  buffer.resize(old_size + piece);
  std::size_t received = 0;
  const bool ok = source_.Receive(buffer.data() + old_size, piece, received);
  buffer.resize(old_size + (ok ? std::min(received, piece) : 0));
  if (!ok) return Got::kError;
  return received == 0 ? Got::kEmpty : Got::kData;
}

// Receives until the buffer holds "\r\n\r\n"; head_end is the index after it.
ReadResult Reader::ReadHead(std::size_t& head_end) {
  std::size_t searched = 0;
  int empty_in_a_row = 0;
  for (;;) {
    const std::string& buffer = reply_.buffer;
    const std::size_t found = buffer.find("\r\n\r\n", searched);
    if (found != std::string::npos) {
      head_end = found + 4;
      head_bytes_ += head_end;
      return head_bytes_ > kMaxReplyHead ? ReadResult::kTooLarge : ReadResult::kOk;
    }
    if (head_bytes_ + buffer.size() > kMaxReplyHead) return ReadResult::kTooLarge;
    searched = buffer.size() < 3 ? 0 : buffer.size() - 3;
    switch (ReceiveMore(kHeadPiece)) {
      case Got::kData:
        empty_in_a_row = 0;
        break;
      case Got::kEmpty:
        if (++empty_in_a_row >= kMaxEmptyReceives) return ReadResult::kHeadFailed;
        break;
      case Got::kError:
        return ReadResult::kHeadFailed;
    }
  }
}

// "HTTP/1.1 200 OK": skip the first word and the blanks after it, then a
// decimal status in 100..999.
ReadResult Reader::ParseStatus(std::size_t line_end) {
  const std::string_view line = std::string_view(reply_.buffer).substr(0, line_end);
  std::size_t i = 0;
  while (i < line.size() && !IsBlank(line[i])) ++i;
  while (i < line.size() && IsBlank(line[i])) ++i;
  if (i >= line.size() || line[i] < '0' || line[i] > '9') return ReadResult::kBadStatusLine;
  int status = 0;
  for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
    status = status * 10 + (line[i] - '0');
    if (status > 999) return ReadResult::kBadStatusLine;
  }
  if (status < 100) return ReadResult::kBadStatusLine;
  reply_.status = status;
  return ReadResult::kOk;
}

bool Reader::AddHeaderLine(std::string_view line, bool to_auth_list) {
  if (++header_lines_ > kMaxHeaderLines) return false;
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return true;
  const std::string_view name = line.substr(0, colon);
  std::string_view value = line.substr(colon + 1);
  while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
  if (name.size() >= kMaxHeaderField || value.size() >= kMaxHeaderField) return true;
  reply_.headers.Add(name, value);
  if (to_auth_list && (EqualsNoCase(name, "www-authenticate") || EqualsNoCase(name, "proxy-authenticate")))
    reply_.auth_schemes.emplace_back(value);
  // "set-cookie" would go to a cookie hook; this client keeps no cookies.
  return true;
}

ReadResult Reader::ReadBodyByLength(std::string_view length_text) {
  std::uint64_t length = 0;
  if (!ParseLength(length_text, length)) return ReadResult::kBodyFailed;
  if (length > kMaxReplyBody) return ReadResult::kTooLarge;
  const auto wanted = static_cast<std::size_t>(length);
  while (reply_.buffer.size() - reply_.body_start < wanted) {
    const std::size_t missing = wanted - (reply_.buffer.size() - reply_.body_start);
    // A peer that closes before the announced length fails the body too.
    if (ReceiveMore(std::min(read_block_, missing)) != Got::kData) return ReadResult::kBodyFailed;
  }
  reply_.body_length = wanted;
  reply_.buffer.resize(reply_.body_start + wanted);  // bytes past the body are not ours
  return ReadResult::kOk;
}

ReadResult Reader::ReadBodyToClose() {
  for (;;) {
    const std::size_t have = reply_.buffer.size() - reply_.body_start;
    if (have > kMaxReplyBody) return ReadResult::kTooLarge;
    if (ReceiveMore(read_block_) != Got::kData) break;  // close or error ends the body
  }
  reply_.body_length = reply_.buffer.size() - reply_.body_start;
  reply_.close_connection = true;  // the connection carries nothing more
  return ReadResult::kOk;
}

bool Reader::Need(std::size_t cursor, std::size_t count) {
  while (reply_.buffer.size() - cursor < count) {
    const std::size_t missing = count - (reply_.buffer.size() - cursor);
    // What is missing, but at least one read block and at most 64 KiB
    // (or the read block, when that is larger).
    const std::size_t piece = std::max(read_block_, std::min(missing, kLargestPiece));
    if (ReceiveMore(piece) != Got::kData) return false;
  }
  return true;
}

// Makes a whole line available at `cursor`; fails beyond `max_line` bytes.
bool Reader::NeedLine(std::size_t cursor, std::size_t max_line, std::size_t& line_end) {
  std::size_t searched = cursor;
  for (;;) {
    const std::size_t found = reply_.buffer.find(kCrLf, searched);
    if (found != std::string::npos && found - cursor <= max_line) {
      line_end = found;
      return true;
    }
    if (reply_.buffer.size() - cursor > max_line + 1) return false;
    searched = std::max(cursor, reply_.buffer.size() == 0 ? 0 : reply_.buffer.size() - 1);
    if (ReceiveMore(kHeadPiece) != Got::kData) return false;
  }
}

// Chunks: a hexadecimal size directly followed by "\r\n", the data, "\r\n";
// up to a size of 0, then an optional "\r\n" or trailer lines up to an empty
// line. Consumed raw bytes are dropped as decoding goes, so memory stays
// near the decoded body.
ReadResult Reader::DecodeChunked() {
  std::string decoded;
  const std::size_t start = reply_.body_start;
  constexpr std::size_t kMaxSizeLine = 8;  // eight hex digits fill 32 bits
  for (;;) {
    std::size_t line_end = 0;
    if (!NeedLine(start, kMaxSizeLine, line_end)) return ReadResult::kChunkFailed;
    const std::string_view digits = std::string_view(reply_.buffer).substr(start, line_end - start);
    if (digits.empty()) return ReadResult::kChunkFailed;
    std::uint64_t size = 0;
    for (char c : digits) {
      const int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                    : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
                    : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                                                                : -1;
      if (v < 0) return ReadResult::kChunkFailed;
      size = size * 16 + static_cast<std::uint64_t>(v);
    }
    if (size > UINT32_MAX) return ReadResult::kChunkFailed;
    std::size_t cursor = line_end + 2;
    if (size == 0) {
      reply_.buffer.erase(start, cursor - start);
      break;
    }
    if (size > kMaxReplyBody - decoded.size()) return ReadResult::kTooLarge;
    const auto count = static_cast<std::size_t>(size);
    if (!Need(cursor, count + 2)) return ReadResult::kChunkFailed;
    if (reply_.buffer.compare(cursor + count, 2, kCrLf) != 0) return ReadResult::kChunkFailed;
    decoded.append(reply_.buffer, cursor, count);
    cursor += count + 2;
    reply_.buffer.erase(start, cursor - start);
  }

  // After the last chunk: "\r\n" ends the body; a peer that closes here ends
  // it too; anything else is trailer lines, kept when the reply announced a
  // "Trailer" header.
  const bool keep_trailers = reply_.headers.Find("Trailer") != nullptr;
  std::size_t cursor = start;
  while (reply_.buffer.size() - cursor < 2) {
    const Got got = ReceiveMore(kHeadPiece);
    if (got == Got::kError) return ReadResult::kChunkFailed;
    if (got == Got::kEmpty) break;
  }
  if (reply_.buffer.size() - cursor >= 2 && reply_.buffer.compare(cursor, 2, kCrLf) != 0) {
    for (;;) {
      std::size_t line_end = 0;
      if (!NeedLine(cursor, kMaxReplyHead, line_end)) return ReadResult::kChunkFailed;
      if (line_end == cursor) break;
      head_bytes_ += line_end + 2 - cursor;
      if (head_bytes_ > kMaxReplyHead) return ReadResult::kTooLarge;
      if (keep_trailers &&
          !AddHeaderLine(std::string_view(reply_.buffer).substr(cursor, line_end - cursor), false))
        return ReadResult::kTooManyHeaders;
      cursor = line_end + 2;
    }
  }
  reply_.buffer.resize(start);
  reply_.buffer.append(decoded);
  reply_.body_length = decoded.size();
  return ReadResult::kOk;
}

ReadResult Reader::Run() {
  std::size_t head_end = 0;
  for (;;) {
    reply_.headers.Clear();
    reply_.auth_schemes.clear();
    reply_.status = -1;
    if (const ReadResult r = ReadHead(head_end); r != ReadResult::kOk) return r;
    const std::size_t status_end = reply_.buffer.find(kCrLf);
    if (const ReadResult r = ParseStatus(status_end); r != ReadResult::kOk) return r;
    if (reply_.status != 100) break;
    reply_.buffer.erase(0, head_end);  // the next head follows the interim one
  }

  const std::string_view head = std::string_view(reply_.buffer).substr(0, head_end - 2);
  std::size_t line_start = reply_.buffer.find(kCrLf) + 2;
  while (line_start < head.size()) {
    const std::size_t line_end = head.find(kCrLf, line_start);
    if (!AddHeaderLine(head.substr(line_start, line_end - line_start), true))
      return ReadResult::kTooManyHeaders;
    line_start = line_end + 2;
  }

  reply_.body_start = head_end;
  ReadResult result = ReadResult::kOk;
  const std::string* transfer = reply_.headers.Find("Transfer-Encoding");
  const std::string* length = reply_.headers.Find("Content-Length");
  if (reply_.status == 204 || reply_.status == 304) {
    reply_.buffer.resize(head_end);  // these never carry a body
  } else if (transfer != nullptr && *transfer == "chunked") {
    result = DecodeChunked();
  } else if (length != nullptr) {
    result = ReadBodyByLength(*length);
  } else {
    result = ReadBodyToClose();
  }
  if (result != ReadResult::kOk) reply_.body_length = 0;

  if (const std::string* connection = reply_.headers.Find("Connection");
      connection != nullptr && EqualsNoCase(*connection, "close"))
    reply_.close_connection = true;
  return result;
}

}  // namespace

void HttpReply::Clear() {
  status = -1;
  headers.Clear();
  auth_schemes.clear();
  buffer.clear();
  body_start = 0;
  body_length = 0;
  close_connection = false;
}

ReadResult ReadReply(ReplySource& source, HttpReply& reply, std::size_t read_block) {
  reply.Clear();
  try {
    return Reader(source, reply, read_block).Run();
  } catch (const std::bad_alloc&) {
    reply.body_length = 0;
    return ReadResult::kOutOfMemory;
  }
}

}  // namespace torvane::soap
