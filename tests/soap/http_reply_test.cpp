#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "soap/http_reply.h"

namespace torvane::soap {
namespace {

// Hands out scripted pieces; an empty piece is an empty receive, and after
// the script the peer has closed (or, with fail_at_end, the wait failed).
class ScriptedSource final : public ReplySource {
 public:
  explicit ScriptedSource(std::vector<std::string> pieces, bool fail_at_end = false)
      : pieces_(pieces.begin(), pieces.end()), fail_at_end_(fail_at_end) {}
  // Cuts `bytes` into pieces of `size`.
  static ScriptedSource Split(const std::string& bytes, std::size_t size) {
    std::vector<std::string> pieces;
    for (std::size_t i = 0; i < bytes.size(); i += size) pieces.push_back(bytes.substr(i, size));
    return ScriptedSource(std::move(pieces));
  }
  bool Receive(char* buffer, std::size_t capacity, std::size_t& received) override {
    ++calls;
    received = 0;
    if (pieces_.empty()) return !fail_at_end_;
    const std::string& front = pieces_.front();
    received = std::min(capacity, front.size() - offset_);
    std::memcpy(buffer, front.data() + offset_, received);
    offset_ += received;
    if (offset_ == front.size()) {
      pieces_.pop_front();
      offset_ = 0;
    }
    return true;
  }
  int calls = 0;

 private:
  std::deque<std::string> pieces_;
  std::size_t offset_ = 0;
  bool fail_at_end_;
};

ReadResult Read(const std::string& bytes, HttpReply& reply) {
  ScriptedSource source({bytes});
  return ReadReply(source, reply);
}

TEST(ReplyReader, ContentLengthBodyAndHeaders) {
  HttpReply reply;
  ASSERT_EQ(Read("HTTP/1.1 200 OK\r\nContent-Length: 5\r\ncontent-TYPE:   text/xml\r\n"
                 "X-Dup: 1\r\nx-dup: 2\r\nno colon here\r\n\r\nhelloEXTRA",
                 reply),
            ReadResult::kOk);
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.body(), "hello");
  ASSERT_NE(reply.headers.Find("Content-Type"), nullptr);
  EXPECT_EQ(*reply.headers.Find("Content-Type"), "text/xml");
  ASSERT_NE(reply.headers.Find("X-DUP"), nullptr);
  EXPECT_EQ(*reply.headers.Find("X-DUP"), "1,2");
  EXPECT_EQ(reply.headers.Find("no colon here"), nullptr);
  EXPECT_FALSE(reply.close_connection);
}

TEST(ReplyReader, OverlongHeaderLinesAreSkipped) {
  HttpReply reply;
  const std::string long_value(1024, 'v');
  const std::string short_value(1023, 'v');
  ASSERT_EQ(Read("HTTP/1.1 200 OK\r\nA: " + long_value + "\r\nB: " + short_value + "\r\n" + std::string(1024, 'N') +
                     ": x\r\nContent-Length: 0\r\n\r\n",
                 reply),
            ReadResult::kOk);
  EXPECT_EQ(reply.headers.Find("A"), nullptr);
  ASSERT_NE(reply.headers.Find("B"), nullptr);
  EXPECT_EQ(reply.headers.size(), 2u);
}

TEST(ReplyReader, ContinueIsDroppedAndTheFinalReplyRead) {
  HttpReply reply;
  ASSERT_EQ(Read("HTTP/1.1 100 Continue\r\nX-Interim: yes\r\n\r\nHTTP/1.1 201 Created\r\nContent-Length: 2\r\n\r\nok",
                 reply),
            ReadResult::kOk);
  EXPECT_EQ(reply.status, 201);
  EXPECT_EQ(reply.body(), "ok");
  EXPECT_EQ(reply.headers.Find("X-Interim"), nullptr);
}

TEST(ReplyReader, ChunkedWithAndWithoutTrailers) {
  HttpReply reply;
  ASSERT_EQ(Read("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 3\r\n\r\n"
                 "5\r\nhello\r\nA\r\n, chunked!\r\n0\r\n\r\n",
                 reply),
            ReadResult::kOk);
  EXPECT_EQ(reply.body(), "hello, chunked!");

  ASSERT_EQ(Read("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTrailer: X-Sum\r\n\r\n"
                 "3\r\nabc\r\n0\r\nX-Sum: 42\r\nX-More: 1\r\n\r\n",
                 reply),
            ReadResult::kOk);
  EXPECT_EQ(reply.body(), "abc");
  ASSERT_NE(reply.headers.Find("x-sum"), nullptr);
  EXPECT_EQ(*reply.headers.Find("x-sum"), "42");

  // The final "\r\n" is optional when the peer closes right after the last chunk.
  ASSERT_EQ(Read("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n0\r\n", reply), ReadResult::kOk);
  EXPECT_EQ(reply.body(), "ab");
}

TEST(ReplyReader, CapitalChunkedIsNotChunked) {
  HttpReply reply;
  ASSERT_EQ(Read("HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n", reply), ReadResult::kOk);
  EXPECT_EQ(reply.body(), "3\r\nabc\r\n0\r\n\r\n");  // read up to the close, raw
  EXPECT_TRUE(reply.close_connection);
}

TEST(ReplyReader, MalformedChunkingFails) {
  const std::string head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (const std::string& bad : {
           std::string("5;ext=1\r\nhello\r\n0\r\n\r\n"),  // extensions are not accepted
           std::string("100000000\r\n"),                  // overflows 32 bits
           std::string("FFFFFFFFFFFFFFFFF1\r\n"),          // overflows 64 bits
           std::string("5\r\nhelloXX0\r\n\r\n"),           // no "\r\n" after the data
           std::string("zz\r\n"), std::string("\r\n"),
           std::string("5\r\nhel"),                        // closed inside a chunk
           std::string("5\r\nhello\r\n"),                  // closed before the last chunk
       }) {
    SCOPED_TRACE(bad);
    HttpReply reply;
    EXPECT_EQ(Read(head + bad, reply), ReadResult::kChunkFailed);
    EXPECT_EQ(reply.body_length, 0u);
  }
}

TEST(ReplyReader, ContentLengthEdges) {
  HttpReply reply;
  EXPECT_EQ(Read("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nshort", reply), ReadResult::kBodyFailed);
  EXPECT_EQ(Read("HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", reply), ReadResult::kBodyFailed);
  EXPECT_EQ(Read("HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 1\r\n\r\nx", reply),
            ReadResult::kBodyFailed);  // joined to "1,1"
  EXPECT_EQ(Read("HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n", reply),
            ReadResult::kBodyFailed);
  EXPECT_EQ(Read("HTTP/1.1 200 OK\r\nContent-Length: 4294967296000\r\n\r\n", reply), ReadResult::kTooLarge);
  ASSERT_EQ(Read("HTTP/1.1 200 OK\r\nContent-Length: 3  \r\n\r\nabc", reply), ReadResult::kOk);
  EXPECT_EQ(reply.body(), "abc");

  ScriptedSource failing({"HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nabc"}, true);
  EXPECT_EQ(ReadReply(failing, reply), ReadResult::kBodyFailed);
}

TEST(ReplyReader, BodyUntilCloseAndBodilessStatuses) {
  HttpReply reply;
  ASSERT_EQ(Read("HTTP/1.0 200 OK\r\n\r\nall of it", reply), ReadResult::kOk);
  EXPECT_EQ(reply.body(), "all of it");
  EXPECT_TRUE(reply.close_connection);

  // A receive failure (time-out) also ends a body that runs to the close.
  ScriptedSource stalled({"HTTP/1.0 200 OK\r\n\r\npart"}, true);
  ASSERT_EQ(ReadReply(stalled, reply), ReadResult::kOk);
  EXPECT_EQ(reply.body(), "part");

  ScriptedSource keep_alive({"HTTP/1.1 204 No Content\r\n\r\n"}, true);
  ASSERT_EQ(ReadReply(keep_alive, reply), ReadResult::kOk);
  EXPECT_EQ(reply.status, 204);
  EXPECT_EQ(reply.body_length, 0u);
}

TEST(ReplyReader, StatusLine) {
  HttpReply reply;
  EXPECT_EQ(Read("HTTP/1.1  \t404 Not Found\r\nContent-Length: 0\r\n\r\n", reply), ReadResult::kOk);
  EXPECT_EQ(reply.status, 404);
  for (const char* bad : {"HTTP/1.1 OK\r\n\r\n", "HTTP/1.1\r\n\r\n", "HTTP/1.1 2000 OK\r\n\r\n",
                          "HTTP/1.1 99999999999999999999 OK\r\n\r\n", "HTTP/1.1 42 x\r\n\r\n", "\r\n\r\n"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(Read(bad, reply), ReadResult::kBadStatusLine);
    EXPECT_EQ(reply.status, -1);
  }
}

TEST(ReplyReader, HeadEndsOnFiveEmptyReceivesOrAnError) {
  HttpReply reply;
  ScriptedSource closed({"HTTP/1.1 200 OK\r\n"});
  EXPECT_EQ(ReadReply(closed, reply), ReadResult::kHeadFailed);
  EXPECT_EQ(closed.calls, 6);  // one with data, then five empty ones

  // Empty receives that are not in a row do not end the head.
  ScriptedSource gaps({"HTTP/1.1 200", "", "", "", "", " OK\r\nContent-Length: 0", "", "", "", "", "\r\n\r\n"});
  EXPECT_EQ(ReadReply(gaps, reply), ReadResult::kOk);

  ScriptedSource failing({"HTTP/1.1 200 OK\r\n"}, true);
  EXPECT_EQ(ReadReply(failing, reply), ReadResult::kHeadFailed);
}

TEST(ReplyReader, AuthenticationSchemesAndConnectionClose) {
  HttpReply reply;
  ASSERT_EQ(Read("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"x\"\r\n"
                 "Proxy-Authenticate: NTLM\r\nConnection: CLOSE\r\nContent-Length: 0\r\n\r\n",
                 reply),
            ReadResult::kOk);
  EXPECT_EQ(reply.auth_schemes, (std::vector<std::string>{"Basic realm=\"x\"", "NTLM"}));
  EXPECT_TRUE(reply.close_connection);
}

TEST(ReplyReader, HostileSizesStayBounded) {
  HttpReply reply;
  // An endless head.
  std::string head = "HTTP/1.1 200 OK\r\n";
  while (head.size() <= kMaxReplyHead) head += "X-Filler: 0123456789012345678901234567890123456789\r\n";
  EXPECT_EQ(Read(head + "\r\n", reply), ReadResult::kTooLarge);
  // Endless interim replies.
  std::string interim;
  while (interim.size() <= kMaxReplyHead) interim += "HTTP/1.1 100 Continue\r\n\r\n";
  EXPECT_EQ(Read(interim + "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", reply), ReadResult::kTooLarge);
  // A chunk larger than the body cap is refused before any of it arrives.
  EXPECT_EQ(Read("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFF\r\n", reply), ReadResult::kTooLarge);
  // A body that never ends.
  EXPECT_EQ(Read("HTTP/1.1 200 OK\r\n\r\n" + std::string(kMaxReplyBody + 8192, 'b'), reply), ReadResult::kTooLarge);
}

std::string HeaderLines(std::size_t count, const char* prefix) {
  std::string lines;
  for (std::size_t i = 0; i < count; ++i) lines += prefix + std::to_string(i) + ": v\r\n";
  return lines;
}

// Names built to collide in the table's hash cost quadratic time; the number
// of header lines, trailers and lines without a colon included, is capped.
TEST(ReplyReader, HeaderLinesAreCapped) {
  HttpReply reply;
  const std::string ok = "HTTP/1.1 200 OK\r\n";
  const std::string empty_body = "Content-Length: 0\r\n\r\n";
  ASSERT_EQ(Read(ok + HeaderLines(kMaxHeaderLines - 1, "X-") + empty_body, reply), ReadResult::kOk);
  EXPECT_EQ(reply.headers.size(), kMaxHeaderLines);
  EXPECT_EQ(Read(ok + HeaderLines(kMaxHeaderLines, "X-") + empty_body, reply), ReadResult::kTooManyHeaders);
  std::string no_colon;
  for (std::size_t i = 0; i < kMaxHeaderLines; ++i) no_colon += "no colon here\r\n";
  EXPECT_EQ(Read(ok + no_colon + empty_body, reply), ReadResult::kTooManyHeaders);
  const std::string chunked = "Transfer-Encoding: chunked\r\nTrailer: T\r\n";
  const std::string body = "1\r\na\r\n0\r\n";
  ASSERT_EQ(Read(ok + chunked + HeaderLines(100, "X-") + "\r\n" + body + HeaderLines(154, "T-") + "\r\n", reply),
            ReadResult::kOk);
  EXPECT_EQ(Read(ok + chunked + HeaderLines(100, "X-") + "\r\n" + body + HeaderLines(155, "T-") + "\r\n", reply),
            ReadResult::kTooManyHeaders);
}

// A read block above 64 KiB is honoured for chunk data rather than giving
// the piece size an upper bound below its lower one.
TEST(ReplyReader, LargeReadBlockForChunkData) {
  class Recording final : public ReplySource {
   public:
    explicit Recording(std::string bytes) : bytes_(std::move(bytes)) {}
    bool Receive(char* buffer, std::size_t capacity, std::size_t& received) override {
      capacities.push_back(capacity);
      received = std::min(capacity, bytes_.size() - offset_);
      std::memcpy(buffer, bytes_.data() + offset_, received);
      offset_ += received;
      return true;
    }
    std::vector<std::size_t> capacities;

   private:
    std::string bytes_;
    std::size_t offset_ = 0;
  };
  const std::size_t block = 256 * 1024;
  const std::string data(1 << 20, 'd');
  Recording source("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n100000\r\n" + data +
                   "\r\n0\r\n\r\n");
  HttpReply reply;
  ASSERT_EQ(ReadReply(source, reply, block), ReadResult::kOk);
  EXPECT_EQ(reply.body(), data);
  // Head and size lines are read in 2 KiB pieces, chunk data a block at a time.
  for (const std::size_t capacity : source.capacities) {
    if (capacity != 2048) {
      EXPECT_EQ(capacity, block);
    }
  }
}

// Splitting the same reply at any point must not change what is read.
TEST(ReplyReader, SplitAtEveryBoundary) {
  const std::string bytes =
      "HTTP/1.1 100 Continue\r\n\r\n"
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTrailer: T\r\nX: a\r\nx: b\r\n\r\n"
      "4\r\nWiki\r\n5\r\npedia\r\nE\r\n in\r\n\r\nchunks.\r\n0\r\nT: end\r\n\r\n";
  for (std::size_t cut = 1; cut < bytes.size(); ++cut) {
    SCOPED_TRACE(cut);
    ScriptedSource source({bytes.substr(0, cut), bytes.substr(cut)});
    HttpReply reply;
    ASSERT_EQ(ReadReply(source, reply), ReadResult::kOk);
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body(), "Wikipedia in\r\n\r\nchunks.");
    ASSERT_NE(reply.headers.Find("x"), nullptr);
    EXPECT_EQ(*reply.headers.Find("x"), "a,b");
    ASSERT_NE(reply.headers.Find("t"), nullptr);
    EXPECT_EQ(*reply.headers.Find("t"), "end");
  }
  for (std::size_t size : {1u, 2u, 3u, 7u}) {
    ScriptedSource source = ScriptedSource::Split(bytes, size);
    HttpReply reply;
    ASSERT_EQ(ReadReply(source, reply), ReadResult::kOk);
    EXPECT_EQ(reply.body(), "Wikipedia in\r\n\r\nchunks.");
  }
}

}  // namespace
}  // namespace torvane::soap
