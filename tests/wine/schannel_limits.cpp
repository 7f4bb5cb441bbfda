// Shows two things Wine's certificate checks do not do that Windows does,
// which is why the TLS tests trust their servers through pins under Wine
// and test the address form of the name check natively only:
//   1. a root added to the user's or the machine's "Root" store is not
//      trusted by the chain engine (Wine trusts the host's CA bundle only);
//   2. the SSL policy does not match an IP address against the
//      certificate's IP entries.
//
//   schannel_limits.exe CA.pem LEAF.pem HOST...
// prints the chain's trust status after adding CA to both root stores (0 on
// Windows; on Wine 0x10000, a partial chain: the root is not found) and, for each HOST, the SSL
// policy's verdict with unknown roots allowed (0 where the certificate
// names the host or address).
// clang-format off
#include <windows.h>
#include <wincrypt.h>
// clang-format on

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<BYTE> Der(const char* pem_path) {
  std::ifstream in(pem_path, std::ios::binary);
  const std::string pem((std::istreambuf_iterator<char>(in)), {});
  DWORD size = 0;
  CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr);
  std::vector<BYTE> der(size);
  if (size == 0 || !CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr))
    der.clear();
  return der;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: schannel_limits CA.pem LEAF.pem HOST...\n");
    return 2;
  }
  const std::vector<BYTE> ca = Der(argv[1]);
  const std::vector<BYTE> leaf_der = Der(argv[2]);
  PCCERT_CONTEXT leaf = CertCreateCertificateContext(X509_ASN_ENCODING, leaf_der.data(), static_cast<DWORD>(leaf_der.size()));
  if (ca.empty() || !leaf) return 2;

  std::vector<PCCERT_CONTEXT> added;
  for (DWORD where : {DWORD{CERT_SYSTEM_STORE_CURRENT_USER}, DWORD{CERT_SYSTEM_STORE_LOCAL_MACHINE}}) {
    HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, where, L"Root");
    PCCERT_CONTEXT in_root = nullptr;
    const BOOL ok = root && CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, ca.data(), static_cast<DWORD>(ca.size()),
                                                             CERT_STORE_ADD_REPLACE_EXISTING, &in_root);
    std::printf("CA added to the %s Root store: %s\n", where == CERT_SYSTEM_STORE_CURRENT_USER ? "user's" : "machine's",
                ok ? "yes" : "no");
    if (in_root) added.push_back(in_root);
    if (root) CertCloseStore(root, 0);
  }

  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  if (CertGetCertificateChain(nullptr, leaf, nullptr, nullptr, &para, 0, nullptr, &chain) && chain) {
    const DWORD trust = chain->TrustStatus.dwErrorStatus;
    std::printf("chain trust status: 0x%lx%s\n", trust,
                (trust & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN)) ? " (the added root is not used)" : "");
    for (int i = 3; i < argc; ++i) {
      std::wstring host;
      for (const char* c = argv[i]; *c; ++c) host.push_back(static_cast<wchar_t>(*c));
      SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
      ssl.cbSize = sizeof ssl;
      ssl.dwAuthType = AUTHTYPE_SERVER;
      ssl.fdwChecks = 0x00000100;  // SECURITY_FLAG_IGNORE_UNKNOWN_CA
      ssl.pwszServerName = host.data();
      CERT_CHAIN_POLICY_PARA policy{};
      policy.cbSize = sizeof policy;
      policy.dwFlags = CERT_CHAIN_POLICY_ALLOW_UNKNOWN_CA_FLAG;
      policy.pvExtraPolicyPara = &ssl;
      CERT_CHAIN_POLICY_STATUS status{};
      status.cbSize = sizeof status;
      CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status);
      std::printf("SSL policy for %s: 0x%lx%s\n", argv[i], status.dwError,
                  status.dwError == static_cast<DWORD>(CERT_E_CN_NO_MATCH) ? " (name mismatch)" : "");
    }
    CertFreeCertificateChain(chain);
  }
  for (PCCERT_CONTEXT c : added) CertDeleteCertificateFromStore(c);
  CertFreeCertificateContext(leaf);
  return 0;
}
