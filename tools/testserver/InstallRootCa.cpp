// Puts a certificate authority (a DER file) into the current user's "Root" store of the
// Wine prefix the tests run in, so that the loopback HTTPS server is trusted there.
//   qv_install_root_ca.exe <file.der>

#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

struct StoreHandle {
    HCERTSTORE handle = nullptr;
    ~StoreHandle() {
        // Without this close the store is never written back.
        if (handle) CertCloseStore(handle, 0);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qv_install_root_ca <certificate.der>\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    std::vector<unsigned char> der((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (der.empty()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    StoreHandle store;
    store.handle = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    if (!store.handle) {
        std::fprintf(stderr, "cannot open the Root store (error %lu)\n", GetLastError());
        return 1;
    }
    if (!CertAddEncodedCertificateToStore(store.handle, X509_ASN_ENCODING, der.data(),
                                          static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                          nullptr)) {
        std::fprintf(stderr, "cannot add the certificate (error %lu)\n", GetLastError());
        return 1;
    }
    std::printf("test certificate authority installed\n");
    return 0;
}
