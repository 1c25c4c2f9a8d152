// The registry of a test. On POSIX the stand-in file a test writes and names in
// BVBACKUP_REGISTRY is the registry: nothing more is done. On Windows this process's
// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE are redirected to a private key for as long as the
// object lives, and the document's values are written there: tests running side by side in one
// Wine prefix never see each other's settings, and no real setting is touched.
#pragma once

#include <string>

#include "platform/file_reg.h"

namespace bv::test {

class RegistroDiProva {
  public:
    RegistroDiProva();
    ~RegistroDiProva();
    RegistroDiProva(const RegistroDiProva&) = delete;
    RegistroDiProva& operator=(const RegistroDiProva&) = delete;

    // Writes the document's text values into the redirected registry (Windows only).
    void Carica(const DocumentoReg& documento);

  private:
    std::wstring base_;
    void* utente_ = nullptr;
    void* macchina_ = nullptr;
};

}  // namespace bv::test
