#pragma once
// An in-process TLS server on loopback for the transport benchmark: a fresh
// P-256 key and a self-signed certificate for 127.0.0.1 (written to a PEM
// file the clients trust), one blocking thread that completes each
// handshake and answers every request on the connection with `reply` until
// the peer closes. Bench harness code, native only.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

class TlsLoopbackServer {
 public:
  TlsLoopbackServer(std::string reply, std::string cert_path) : reply_(std::move(reply)), cert_path_(std::move(cert_path)) {
    key_ = EVP_EC_gen("P-256");
    cert_ = X509_new();
    X509_set_version(cert_, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert_), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert_), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert_), 86400);
    X509_set_pubkey(cert_, key_);
    X509_NAME* name = X509_get_subject_name(cert_);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("bench"), -1, -1, 0);
    X509_set_issuer_name(cert_, name);
    X509V3_CTX v3;
    X509V3_set_ctx_nodb(&v3);
    X509V3_set_ctx(&v3, cert_, cert_, nullptr, nullptr, 0);
    for (const char* ext : {"subjectAltName=IP:127.0.0.1", "basicConstraints=critical,CA:TRUE"}) {
      const std::string text(ext);
      const auto eq = text.find('=');
      X509_EXTENSION* e = X509V3_EXT_conf(nullptr, &v3, text.substr(0, eq).c_str(), text.substr(eq + 1).c_str());
      X509_add_ext(cert_, e, -1);
      X509_EXTENSION_free(e);
    }
    if (X509_sign(cert_, key_, EVP_sha256()) == 0) std::abort();
    if (FILE* f = std::fopen(cert_path_.c_str(), "w")) {
      PEM_write_X509(f, cert_);
      std::fclose(f);
    }
    ctx_ = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate(ctx_, cert_);
    SSL_CTX_use_PrivateKey(ctx_, key_);
    SSL_CTX_set_session_cache_mode(ctx_, SSL_SESS_CACHE_OFF);
    SSL_CTX_set_num_tickets(ctx_, 0);

    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int one = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 128) != 0)
      std::abort();
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~TlsLoopbackServer() {
    stop_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    thread_.join();
    ::close(listener_);
    SSL_CTX_free(ctx_);
    X509_free(cert_);
    EVP_PKEY_free(key_);
    std::remove(cert_path_.c_str());
  }
  int port() const { return port_; }

 private:
  void Serve() {
    while (!stop_) {
      const int fd = ::accept(listener_, nullptr, nullptr);
      if (fd < 0) continue;
      const int one = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      SSL* ssl = SSL_new(ctx_);
      SSL_set_fd(ssl, fd);
      if (SSL_accept(ssl) == 1) Answer(ssl);
      SSL_free(ssl);
      ::close(fd);
    }
  }
  void Answer(SSL* ssl) {
    std::string pending;
    char buffer[8192];
    for (;;) {
      std::size_t head_end;
      while ((head_end = pending.find("\r\n\r\n")) == std::string::npos) {
        const int n = SSL_read(ssl, buffer, sizeof buffer);
        if (n <= 0) return;
        pending.append(buffer, static_cast<std::size_t>(n));
      }
      std::size_t length = 0;
      if (const std::size_t at = pending.find("Content-Length: "); at != std::string::npos && at < head_end)
        length = std::stoul(pending.substr(at + 16));
      while (pending.size() < head_end + 4 + length) {
        const int n = SSL_read(ssl, buffer, sizeof buffer);
        if (n <= 0) return;
        pending.append(buffer, static_cast<std::size_t>(n));
      }
      pending.erase(0, head_end + 4 + length);
      if (SSL_write(ssl, reply_.data(), static_cast<int>(reply_.size())) != static_cast<int>(reply_.size())) return;
    }
  }

  std::string reply_;
  std::string cert_path_;
  EVP_PKEY* key_ = nullptr;
  X509* cert_ = nullptr;
  SSL_CTX* ctx_ = nullptr;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};
