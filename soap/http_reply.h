#pragma once
// Reading one HTTP reply from a byte source: status line (100 Continue
// dropped), header lines, then the body by chunked coding, Content-Length,
// or up to the peer's close. Platform-neutral; the client feeds it a socket,
// tests and the fuzzer feed it scripted bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "soap/http_headers.h"

namespace torvane::soap {

// Where reply bytes come from.
class ReplySource {
 public:
  virtual ~ReplySource() = default;
  // Receives up to `capacity` bytes into `buffer`. Returns false on an error
  // (a time-out included); true with `received` 0 when no data came (the
  // peer closed).
  virtual bool Receive(char* buffer, std::size_t capacity, std::size_t& received) = 0;
};

// Outcome of reading a reply.
enum class ReadResult : int {
  kOk = 0,
  kBadStatusLine = 2,   // no status number, or one out of range
  kHeadFailed = 4,      // receive error, or five empty receives, before the head ended
  kBodyFailed = 5,      // body by Content-Length: receive error, early close, bad length
  kChunkFailed = 6,     // malformed chunked coding, early close, size overflow
  kTooLarge = 7,        // head or body beyond the caps below
  kOutOfMemory = 8,     // the reply buffer could not grow
  kTooManyHeaders = 9,  // more header lines than kMaxHeaderLines
};

// Memory caps against hostile servers, far above any real reply.
inline constexpr std::size_t kMaxReplyHead = 1u << 20;    // 1 MiB of head (status + headers)
inline constexpr std::size_t kMaxReplyBody = 16u << 20;   // 16 MiB of body
// Header lines of one reply (trailers included). Names that collide in the
// header table's hash cost time quadratic in their number; a cap keeps a
// hostile reply cheap.
inline constexpr std::size_t kMaxHeaderLines = 256;

// Reply state kept between reading and the caller.
struct HttpReply {
  int status = -1;                         // -1 until a status line is read
  HttpHeaders headers;
  std::vector<std::string> auth_schemes;   // WWW-Authenticate / Proxy-Authenticate values
  std::string buffer;                      // head, then the (decoded) body
  std::size_t body_start = 0;
  std::size_t body_length = 0;
  bool close_connection = false;           // "Connection: close", or the body ran to the close

  std::string_view body() const { return std::string_view(buffer).substr(body_start, body_length); }
  void Clear();
};

// Reads one reply into `reply` (cleared first). `read_block` is the receive
// size for bodies announced by Content-Length.
ReadResult ReadReply(ReplySource& source, HttpReply& reply, std::size_t read_block = 4096);

}  // namespace torvane::soap
