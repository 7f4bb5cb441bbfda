#pragma once
// An in-process TLS server on loopback for the transport benchmark: a fresh
// P-256 key and a self-signed certificate for 127.0.0.1 (written to a PEM
// file the clients trust), one blocking thread that completes each
// handshake and answers every request on the connection with `reply` until
// the peer closes. Bench harness code, native only.
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "loopback_server.h"

class TlsLoopbackServer {
 public:
  TlsLoopbackServer(std::string reply, std::string cert_path) : reply_(std::move(reply)), cert_path_(std::move(cert_path)) {
    key_.reset(EVP_EC_gen("P-256"));
    cert_.reset(X509_new());
    X509* cert = cert_.get();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 86400);
    X509_set_pubkey(cert, key_.get());
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("bench"), -1, -1, 0);
    X509_set_issuer_name(cert, name);
    X509V3_CTX v3;
    X509V3_set_ctx_nodb(&v3);
    X509V3_set_ctx(&v3, cert, cert, nullptr, nullptr, 0);
    for (const char* ext : {"subjectAltName=IP:127.0.0.1", "basicConstraints=critical,CA:TRUE"}) {
      const std::string text(ext);
      const auto eq = text.find('=');
      X509_EXTENSION* e = X509V3_EXT_conf(nullptr, &v3, text.substr(0, eq).c_str(), text.substr(eq + 1).c_str());
      X509_add_ext(cert, e, -1);
      X509_EXTENSION_free(e);
    }
    if (X509_sign(cert, key_.get(), EVP_sha256()) == 0) std::abort();
    if (FILE* f = std::fopen(cert_path_.c_str(), "w")) {
      PEM_write_X509(f, cert);
      std::fclose(f);
    }
    ctx_.reset(SSL_CTX_new(TLS_server_method()));
    SSL_CTX_use_certificate(ctx_.get(), cert);
    SSL_CTX_use_PrivateKey(ctx_.get(), key_.get());
    SSL_CTX_set_session_cache_mode(ctx_.get(), SSL_SESS_CACHE_OFF);
    SSL_CTX_set_num_tickets(ctx_.get(), 0);
    listener_.emplace([this](int fd) { Serve(fd); });
  }
  ~TlsLoopbackServer() {
    listener_.reset();  // its thread uses the context: stopped first
    std::remove(cert_path_.c_str());
  }
  int port() const { return listener_->port(); }

 private:
  template <class T, void (*Free)(T*)>
  struct Freer {
    void operator()(T* p) const { Free(p); }
  };

  void Serve(int fd) {
    const std::unique_ptr<SSL, Freer<SSL, SSL_free>> ssl(SSL_new(ctx_.get()));
    SSL_set_fd(ssl.get(), fd);
    if (SSL_accept(ssl.get()) != 1) return;
    AnswerEachRequest([&](char* buffer, std::size_t size) { return SSL_read(ssl.get(), buffer, static_cast<int>(size)); },
                      [&](const std::string& text) {
                        return SSL_write(ssl.get(), text.data(), static_cast<int>(text.size())) ==
                               static_cast<int>(text.size());
                      },
                      reply_);
  }

  std::string reply_;
  std::string cert_path_;
  std::unique_ptr<EVP_PKEY, Freer<EVP_PKEY, EVP_PKEY_free>> key_;
  std::unique_ptr<X509, Freer<X509, X509_free>> cert_;
  std::unique_ptr<SSL_CTX, Freer<SSL_CTX, SSL_CTX_free>> ctx_;
  std::optional<LoopbackListener> listener_;
};
