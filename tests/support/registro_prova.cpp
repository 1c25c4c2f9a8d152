// A private registry for each test process on Windows; nothing on POSIX (see the header).
#include "tests/support/registro_prova.h"

#ifdef _WIN32
#include <windows.h>

#include <stdexcept>

#include "platform/testo_win32.h"
#endif

namespace bv::test {

#ifdef _WIN32

RegistroDiProva::RegistroDiProva() : base_(L"Software\\BVBackupProve\\" + std::to_wstring(::GetCurrentProcessId())) {
    HKEY u = nullptr;
    HKEY m = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, (base_ + L"\\HKCU").c_str(), 0, nullptr, 0,
                          KEY_ALL_ACCESS, nullptr, &u, nullptr) != ERROR_SUCCESS ||
        ::RegCreateKeyExW(HKEY_CURRENT_USER, (base_ + L"\\HKLM").c_str(), 0, nullptr, 0,
                          KEY_ALL_ACCESS, nullptr, &m, nullptr) != ERROR_SUCCESS ||
        ::RegOverridePredefKey(HKEY_CURRENT_USER, u) != ERROR_SUCCESS ||
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, m) != ERROR_SUCCESS) {
        throw std::runtime_error("registro di prova non disponibile");
    }
    utente_ = u;
    macchina_ = m;
}

RegistroDiProva::~RegistroDiProva() {
    ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    ::RegCloseKey(static_cast<HKEY>(utente_));
    ::RegCloseKey(static_cast<HKEY>(macchina_));
    ::RegDeleteTreeW(HKEY_CURRENT_USER, base_.c_str());
}

void RegistroDiProva::Carica(const DocumentoReg& documento) {
    for (const auto& v : documento.ValoriTesto()) {
        const auto p = v.chiave.find('\\');
        const HKEY radice = v.chiave.starts_with("HKEY_LOCAL_MACHINE") ? HKEY_LOCAL_MACHINE
                                                                        : HKEY_CURRENT_USER;
        HKEY k = nullptr;
        if (::RegCreateKeyExW(radice, Largo(v.chiave.substr(p + 1)).c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &k, nullptr) != ERROR_SUCCESS) {
            throw std::runtime_error("registro di prova: " + v.chiave);
        }
        const std::wstring testo = Largo(v.testo);
        ::RegSetValueExW(k, Largo(v.nome).c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(testo.c_str()),
                         static_cast<DWORD>((testo.size() + 1) * sizeof(wchar_t)));
        ::RegCloseKey(k);
    }
}

#else

RegistroDiProva::RegistroDiProva() = default;
RegistroDiProva::~RegistroDiProva() = default;
void RegistroDiProva::Carica(const DocumentoReg& /*documento*/) {}

#endif

}  // namespace bv::test
