// TLS on Windows: the system's Schannel through SSPI, TLS 1.2 only (the
// credential form every supported Windows understands), with the server's
// certificate checked by the system's chain engine and SSL policy (roots
// from the machine's store), or by the pin, which replaces the roots. Every
// byte goes through the Socket contract, each wait cut to what is left.
// Incoming bytes are split into whole records (platform/tls_records.h)
// before Schannel decrypts them, so at most one record is buffered.
#define SECURITY_WIN32
// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <wincrypt.h>
#include <security.h>
#include <schannel.h>
// clang-format on

#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "platform/tls_records.h"
#include "platform/tls_stream.h"

namespace torvane::platform {
namespace {

using Clock = std::chrono::steady_clock;

// The server's handshake flight (certificates included) is held whole
// until Schannel takes it; no honest server needs more.
constexpr std::size_t kMaxHandshakeInput = 65536;
// Sent records held back at most, before the reply is read.
constexpr std::size_t kQueueLimit = 65536;

constexpr unsigned long kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                        ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                                        ISC_REQ_EXTENDED_ERROR | ISC_REQ_MANUAL_CRED_VALIDATION;

// SECURITY_FLAG_IGNORE_UNKNOWN_CA of the SSL policy's checks (wininet.h,
// which this file has no other use for).
constexpr DWORD kIgnoreUnknownCa = 0x00000100;

std::uint32_t MsLeft(Clock::time_point end) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
  if (left <= 0) return 0;
  return static_cast<std::uint32_t>(std::min<long long>(left, UINT32_MAX));
}

std::wstring Wide(const std::string& text) {
  std::wstring out;
  for (const char c : text) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return out;
}

struct ContextBuffer {
  void* data = nullptr;
  ~ContextBuffer() {
    if (data) FreeContextBuffer(data);
  }
};

TlsFailure FailureOfPolicy(DWORD error) {
  switch (error) {
    case static_cast<DWORD>(CERT_E_EXPIRED):
    case static_cast<DWORD>(CERT_E_VALIDITYPERIODNESTING):
      return TlsFailure::kExpired;
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
      return TlsFailure::kNameMismatch;
    default:
      return TlsFailure::kUntrusted;
  }
}

// SHA-256 of the certificate's DER SubjectPublicKeyInfo.
bool PinOf(PCCERT_CONTEXT certificate, TlsPin& pin) {
  DWORD size = 0;
  CERT_PUBLIC_KEY_INFO* info = &certificate->pCertInfo->SubjectPublicKeyInfo;
  if (!CryptEncodeObject(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, info, nullptr, &size) || size == 0) return false;
  std::vector<BYTE> der(size);
  if (!CryptEncodeObject(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, info, der.data(), &size)) return false;
  unsigned int length = 0;
  return EVP_Digest(der.data(), size, pin.data(), &length, EVP_sha256(), nullptr) == 1 && length == pin.size();
}

}  // namespace

struct TlsStream::Impl {
  Socket* socket = nullptr;
  CredHandle credentials{};
  CtxtHandle context{};
  bool have_credentials = false;
  bool have_context = false;
  bool established = false;
  bool ended = false;  // the server ended the session
  TlsFailure failure = TlsFailure::kNone;
  SecPkgContext_StreamSizes sizes{};
  std::vector<BYTE> handshake_input;  // handshake bytes Schannel has not taken
  TlsRecordSplitter records;          // application records, one at a time
  std::vector<BYTE> queued;           // encrypted records not sent yet
  std::vector<char> plaintext;        // decrypted, not yet handed out
  std::size_t plaintext_at = 0;

  ~Impl() { Reset(); }

  void Reset() {
    if (have_context) DeleteSecurityContext(&context);
    if (have_credentials) FreeCredentialsHandle(&credentials);
    have_context = have_credentials = established = ended = false;
    handshake_input.clear();
    records = TlsRecordSplitter();
    queued.clear();
    plaintext.clear();
    plaintext_at = 0;
  }

  bool FlushQueued(Clock::time_point end) {
    const bool ok = SendAll(queued.data(), queued.size(), end);
    queued.clear();
    return ok;
  }

  bool SendAll(const void* data, std::size_t size, Clock::time_point end) {
    if (size == 0) return true;
    const std::uint32_t left = MsLeft(end);
    if (left == 0) return false;
    socket->set_timeout_ms(left);
    const Socket::ConstBuffer part{static_cast<const char*>(data), size};
    std::size_t sent = 0;
    return socket->Send(std::span(&part, 1), sent) && sent == size;
  }

  // Receives up to `capacity` bytes; `closed` when the server closed.
  bool ReceiveSome(char* buffer, std::size_t capacity, std::size_t& received, Clock::time_point end) {
    const std::uint32_t left = MsLeft(end);
    if (left == 0) return false;
    socket->set_timeout_ms(left);
    return socket->Receive(buffer, capacity, received);
  }

  bool Acquire() {
    SCHANNEL_CRED cred{};
    cred.dwVersion = SCHANNEL_CRED_VERSION;
    cred.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
    TimeStamp expiry{};
    wchar_t package[] = UNISP_NAME_W;
    if (AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &cred, nullptr, nullptr,
                                  &credentials, &expiry) != SEC_E_OK)
      return false;
    have_credentials = true;
    return true;
  }

  bool RunHandshake(const std::wstring& target, Clock::time_point end) {
    std::wstring name = target;
    bool first = true;
    for (;;) {
      SecBuffer in[2]{{static_cast<unsigned long>(handshake_input.size()), SECBUFFER_TOKEN,
                       handshake_input.empty() ? nullptr : handshake_input.data()},
                      {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc in_desc{SECBUFFER_VERSION, 2, in};
      SecBuffer out[1]{{0, SECBUFFER_TOKEN, nullptr}};
      SecBufferDesc out_desc{SECBUFFER_VERSION, 1, out};
      unsigned long attributes = 0;
      const SECURITY_STATUS status = InitializeSecurityContextW(
          &credentials, first ? nullptr : &context, name.data(), kContextFlags, 0, 0, first ? nullptr : &in_desc, 0,
          first ? &context : nullptr, &out_desc, &attributes, nullptr);
      if (first && (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK)) have_context = true;
      first = false;
      ContextBuffer token{out[0].pvBuffer};
      // The next flight, or the alert of a failure, goes out first.
      if (out[0].cbBuffer != 0 && out[0].pvBuffer && !SendAll(out[0].pvBuffer, out[0].cbBuffer, end)) return false;
      if (status == SEC_E_INCOMPLETE_MESSAGE) {
        if (!ReceiveHandshake(end)) return false;
        continue;
      }
      if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED && status != SEC_I_INCOMPLETE_CREDENTIALS)
        return false;
      // What Schannel did not take stays for the next round (or, at the end,
      // starts the application data).
      if (in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer <= handshake_input.size()) {
        handshake_input.erase(handshake_input.begin(),
                              handshake_input.end() - static_cast<std::ptrdiff_t>(in[1].cbBuffer));
      } else if (status != SEC_I_INCOMPLETE_CREDENTIALS) {
        handshake_input.clear();
      }
      if (status == SEC_E_OK) return true;
      if (handshake_input.empty() && !ReceiveHandshake(end)) return false;
    }
  }

  bool ReceiveHandshake(Clock::time_point end) {
    if (handshake_input.size() >= kMaxHandshakeInput) return false;
    const std::size_t at = handshake_input.size();
    handshake_input.resize(kMaxHandshakeInput);
    std::size_t received = 0;
    const bool ok = ReceiveSome(reinterpret_cast<char*>(handshake_input.data() + at), kMaxHandshakeInput - at,
                                received, end);
    handshake_input.resize(at + received);
    return ok && received != 0;
  }

  // The system's chain engine and SSL policy for `host`; with a pin the
  // roots are not asked, name and dates still are.
  TlsFailure CheckServer(const std::wstring& host, const std::optional<TlsPin>& pin) {
    PCCERT_CONTEXT certificate = nullptr;
    if (QueryContextAttributesW(&context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) != SEC_E_OK ||
        !certificate)
      return TlsFailure::kUntrusted;
    struct CertFree {
      PCCERT_CONTEXT c;
      ~CertFree() { CertFreeCertificateContext(c); }
    } certificate_guard{certificate};

    if (pin) {
      TlsPin actual{};
      if (!PinOf(certificate, actual) || actual != *pin) return TlsFailure::kPinMismatch;
    }
    CERT_CHAIN_PARA chain_para{};
    chain_para.cbSize = sizeof chain_para;
    LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    chain_para.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    chain_para.RequestedUsage.Usage.cUsageIdentifier = 1;
    chain_para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (!CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &chain_para, 0, nullptr,
                                 &chain) ||
        !chain)
      return TlsFailure::kUntrusted;
    struct ChainFree {
      PCCERT_CHAIN_CONTEXT c;
      ~ChainFree() { CertFreeCertificateChain(c); }
    } chain_guard{chain};

    std::wstring server_name = host;
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.fdwChecks = pin ? kIgnoreUnknownCa : 0;
    ssl.pwszServerName = server_name.data();
    CERT_CHAIN_POLICY_PARA policy_para{};
    policy_para.cbSize = sizeof policy_para;
    policy_para.dwFlags = pin ? CERT_CHAIN_POLICY_ALLOW_UNKNOWN_CA_FLAG : 0;
    policy_para.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy_para, &status))
      return TlsFailure::kUntrusted;
    if (status.dwError != 0) return FailureOfPolicy(status.dwError);
    return TlsFailure::kNone;
  }

  // Decrypts the next whole record into the plaintext queue; false on an
  // error. A record that ends the session sets `ended`.
  bool DecryptRecord(std::span<std::uint8_t> record) {
    SecBuffer buffers[4]{{static_cast<unsigned long>(record.size()), SECBUFFER_DATA, record.data()},
                         {0, SECBUFFER_EMPTY, nullptr},
                         {0, SECBUFFER_EMPTY, nullptr},
                         {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS status = DecryptMessage(&context, &desc, 0, nullptr);
    if (status == SEC_I_CONTEXT_EXPIRED) {
      ended = true;
      return true;
    }
    if (status != SEC_E_OK) return false;  // renegotiation is not offered
    for (const SecBuffer& b : buffers) {
      if (b.BufferType == SECBUFFER_EXTRA && b.cbBuffer != 0) return false;  // one record in, one out
      if (b.BufferType == SECBUFFER_DATA && b.cbBuffer != 0) {
        const char* data = static_cast<const char*>(b.pvBuffer);
        plaintext.insert(plaintext.end(), data, data + b.cbBuffer);
      }
    }
    return true;
  }

  // Feeds bytes left over from the handshake to the record splitter.
  bool TakeHandshakeLeftover() {
    std::size_t at = 0;
    while (at < handshake_input.size()) {
      const std::size_t take = std::min(records.Missing(), handshake_input.size() - at);
      if (take == 0) {
        std::span<std::uint8_t> record;
        if (records.Next(record) != TlsRecordSplitter::State::kRecord || !DecryptRecord(record)) return false;
        records.Pop();
        continue;
      }
      records.Append(std::span(handshake_input.data() + at, take));
      at += take;
    }
    handshake_input.clear();
    return true;
  }
};

TlsStream::TlsStream() : impl_(std::make_unique<Impl>()) {}
TlsStream::~TlsStream() = default;

bool TlsStream::established() const { return impl_->established; }
TlsFailure TlsStream::failure() const { return impl_->failure; }
void TlsStream::Close() { impl_->Reset(); }

bool TlsStream::Handshake(Socket& socket, std::string_view host, const std::optional<TlsPin>& pin,
                          std::uint32_t wait_ms) {
  Impl& s = *impl_;
  s.Reset();
  s.socket = &socket;
  s.failure = TlsFailure::kNone;
  std::string name(host);
  if (name.size() >= 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
  const std::wstring target = Wide(name);
  const auto end = Clock::now() + std::chrono::milliseconds(wait_ms);
  const std::uint32_t saved = socket.timeout_ms();
  bool done = s.Acquire() && s.RunHandshake(target, end);
  socket.set_timeout_ms(saved);
  if (done) {
    s.failure = s.CheckServer(target, pin);
    if (s.failure != TlsFailure::kNone) {
      s.Reset();
      return false;
    }
    done = QueryContextAttributesW(&s.context, SECPKG_ATTR_STREAM_SIZES, &s.sizes) == SEC_E_OK &&
           s.TakeHandshakeLeftover();
  }
  if (!done) {
    s.failure = TlsFailure::kHandshakeFailed;
    s.Reset();
    return false;
  }
  s.established = true;
  return true;
}

// Records are queued and go out together when the reply is read (or the
// queue grows large): a request's head and body written one after the
// other would otherwise leave as small segments, the second held back by
// Nagle until the server's delayed acknowledgement of the first.
bool TlsStream::Send(std::span<const Socket::ConstBuffer> buffers, std::size_t& sent) {
  Impl& s = *impl_;
  sent = 0;
  if (!s.established) return false;
  const std::uint32_t budget = s.socket->timeout_ms();
  const auto end = Clock::now() + std::chrono::milliseconds(budget);
  const std::size_t most = std::max<std::size_t>(1, s.sizes.cbMaximumMessage);
  std::vector<BYTE> message(s.sizes.cbHeader + most + s.sizes.cbTrailer);
  bool ok = true;
  for (const Socket::ConstBuffer& buffer : buffers) {
    for (std::size_t offset = 0; ok && offset < buffer.size;) {
      const std::size_t size = std::min(most, buffer.size - offset);
      std::memcpy(message.data() + s.sizes.cbHeader, buffer.data + offset, size);
      SecBuffer parts[4]{{s.sizes.cbHeader, SECBUFFER_STREAM_HEADER, message.data()},
                         {static_cast<unsigned long>(size), SECBUFFER_DATA, message.data() + s.sizes.cbHeader},
                         {s.sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, message.data() + s.sizes.cbHeader + size},
                         {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc desc{SECBUFFER_VERSION, 4, parts};
      ok = EncryptMessage(&s.context, 0, &desc, 0) == SEC_E_OK;
      if (ok) {
        const std::size_t length = parts[0].cbBuffer + parts[1].cbBuffer + parts[2].cbBuffer;
        s.queued.insert(s.queued.end(), message.begin(), message.begin() + static_cast<std::ptrdiff_t>(length));
        ok = s.queued.size() < kQueueLimit || s.FlushQueued(end);
      }
      if (ok) {
        offset += size;
        sent += size;
      }
    }
  }
  s.socket->set_timeout_ms(budget);
  return ok;
}

bool TlsStream::Receive(char* buffer, std::size_t capacity, std::size_t& received) {
  Impl& s = *impl_;
  received = 0;
  if (!s.established) return false;
  const std::uint32_t budget = s.socket->timeout_ms();
  const auto end = Clock::now() + std::chrono::milliseconds(budget);
  bool ok = false;
  std::vector<std::uint8_t> piece;
  // What Send queued goes out before anything is awaited.
  if (!s.FlushQueued(end)) {
    s.socket->set_timeout_ms(budget);
    return false;
  }
  for (;;) {
    if (s.plaintext_at < s.plaintext.size()) {
      received = std::min(capacity, s.plaintext.size() - s.plaintext_at);
      std::memcpy(buffer, s.plaintext.data() + s.plaintext_at, received);
      s.plaintext_at += received;
      if (s.plaintext_at == s.plaintext.size()) {
        s.plaintext.clear();
        s.plaintext_at = 0;
      }
      ok = true;
      break;
    }
    if (s.ended) {
      ok = true;
      break;
    }
    std::span<std::uint8_t> record;
    const auto state = s.records.Next(record);
    if (state == TlsRecordSplitter::State::kMalformed) break;
    if (state == TlsRecordSplitter::State::kRecord) {
      if (!s.DecryptRecord(record)) break;
      s.records.Pop();
      continue;
    }
    // Never more than the record still needs, so one record at most is held.
    piece.resize(s.records.Missing());
    std::size_t got = 0;
    if (!s.ReceiveSome(reinterpret_cast<char*>(piece.data()), piece.size(), got, end)) break;
    if (got == 0) {
      // Closed between records: the end of the reply; inside one: cut.
      ok = s.records.buffered() == 0;
      break;
    }
    s.records.Append(std::span(piece.data(), got));
  }
  s.socket->set_timeout_ms(budget);
  return ok;
}

}  // namespace torvane::platform
