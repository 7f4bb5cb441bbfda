// TLS record framing: 1 byte content type, 2 bytes version, 2 bytes length.
#include "platform/tls_records.h"

namespace torvane::platform {

std::size_t TlsRecordSplitter::RecordSize() const {
  const std::uint8_t type = buffer_[0];
  // change_cipher_spec, alert, handshake, application_data.
  if (type < 20 || type > 23 || buffer_[1] != 3) return 0;
  const std::size_t length = (static_cast<std::size_t>(buffer_[3]) << 8) | buffer_[4];
  if (length == 0 && type != 23) return 0;
  if (length > kMaxFragment) return 0;
  return kHeaderSize + length;
}

std::size_t TlsRecordSplitter::Missing() const {
  if (malformed_) return 0;
  if (buffer_.size() < kHeaderSize) return kHeaderSize - buffer_.size();
  const std::size_t size = RecordSize();
  return size > buffer_.size() ? size - buffer_.size() : 0;
}

bool TlsRecordSplitter::Append(std::span<const std::uint8_t> bytes) {
  if (bytes.size() > Missing()) return false;
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  if (buffer_.size() >= kHeaderSize && RecordSize() == 0) malformed_ = true;
  return true;
}

TlsRecordSplitter::State TlsRecordSplitter::Next(std::span<std::uint8_t>& record) {
  record = {};
  if (malformed_) return State::kMalformed;
  if (buffer_.size() < kHeaderSize || Missing() != 0) return State::kNeedMore;
  record = std::span(buffer_.data(), buffer_.size());
  return State::kRecord;
}

void TlsRecordSplitter::Pop() {
  if (!malformed_ && buffer_.size() >= kHeaderSize && Missing() == 0) buffer_.clear();
}

}  // namespace torvane::platform
