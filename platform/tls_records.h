#pragma once
// Splits the bytes a TLS server sends into whole records, so that a record
// layer that decrypts one record at a time (the Windows backend's Schannel
// read loop) never sees a partial one and never buffers more than one
// record. Bytes come in as they arrive, in pieces of any size; each record
// is handed out whole, header included. A header that cannot start a TLS
// 1.2+ record (unknown content type, a version other than 3.x, a length
// beyond the protocol's limit) makes the stream malformed for good.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace torvane::platform {

class TlsRecordSplitter {
 public:
  static constexpr std::size_t kHeaderSize = 5;
  // The longest ciphertext fragment a TLS 1.2 record may carry (2^14 + 2048).
  static constexpr std::size_t kMaxFragment = 16384 + 2048;
  static constexpr std::size_t kMaxRecord = kHeaderSize + kMaxFragment;

  enum class State { kNeedMore, kRecord, kMalformed };

  // How many more bytes the next record needs: at most this many should be
  // received next, so the buffer never holds more than one record. 0 when a
  // whole record is buffered or the stream is malformed.
  std::size_t Missing() const;
  // Takes received bytes; at most Missing() of them (false, nothing taken,
  // for more).
  bool Append(std::span<const std::uint8_t> bytes);
  // kRecord with the whole next record in `record` (valid until Pop or
  // Append), kNeedMore, or kMalformed.
  State Next(std::span<std::uint8_t>& record);
  // Drops the record Next handed out.
  void Pop();
  // Bytes held that do not yet make a whole record.
  std::size_t buffered() const { return buffer_.size(); }

 private:
  // The whole record's size from its header; 0 when the header is bad.
  std::size_t RecordSize() const;

  std::vector<std::uint8_t> buffer_;
  bool malformed_ = false;
};

}  // namespace torvane::platform
