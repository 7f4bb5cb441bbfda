// Reply reader: the bytes after the first one are the server's stream. The
// same stream is read whole, one byte per receive, and in pieces chosen by
// the first byte; all three readings must agree, and nothing may crash.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "soap/http_reply.h"

namespace {

using torvane::soap::HttpReply;
using torvane::soap::ReadResult;

class FakeSocket final : public torvane::soap::ReplySource {
 public:
  FakeSocket(std::string_view bytes, std::size_t piece, bool fail_at_end)
      : bytes_(bytes), piece_(piece), fail_at_end_(fail_at_end) {}
  bool Receive(char* buffer, std::size_t capacity, std::size_t& received) override {
    received = std::min({capacity, piece_, bytes_.size() - offset_});
    if (received == 0) return !fail_at_end_;
    std::memcpy(buffer, bytes_.data() + offset_, received);
    offset_ += received;
    return true;
  }

 private:
  std::string_view bytes_;
  std::size_t piece_;
  bool fail_at_end_;
  std::size_t offset_ = 0;
};

struct Outcome {
  ReadResult result;
  int status;
  std::string body;
  std::string headers;  // a few header values, as read
  bool close;
  bool operator==(const Outcome&) const = default;
};

Outcome ReadWith(std::string_view bytes, std::size_t piece, bool fail_at_end, std::size_t read_block) {
  FakeSocket socket(bytes, piece, fail_at_end);
  HttpReply reply;
  Outcome out{torvane::soap::ReadReply(socket, reply, read_block), reply.status, std::string(reply.body()), {}, false};
  if (reply.body_start + reply.body_length > reply.buffer.size()) __builtin_trap();
  for (const char* name : {"Content-Length", "Transfer-Encoding", "Trailer", "X", "Connection", "WWW-Authenticate"}) {
    const std::string* value = reply.headers.Find(name);
    out.headers += value == nullptr ? std::string("-") : *value;
    out.headers += '\n';
  }
  out.close = reply.close_connection;
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = (data[0] & 0x3F) + 1;
  const bool fail_at_end = (data[0] & 0x40) != 0;
  const std::size_t read_block = (data[0] & 0x80) != 0 ? 3 : 4096;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  const Outcome whole = ReadWith(bytes, bytes.size() + 1, fail_at_end, read_block);
  if (!(ReadWith(bytes, 1, fail_at_end, read_block) == whole)) __builtin_trap();
  if (!(ReadWith(bytes, piece, fail_at_end, read_block) == whole)) __builtin_trap();
  return 0;
}
