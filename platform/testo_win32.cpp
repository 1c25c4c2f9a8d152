// UTF-8/UTF-16 conversions and Win32 error codes for the Windows platform layer.
#include "platform/testo_win32.h"

namespace bv {

std::wstring Largo(const std::string& testo) {
    if (testo.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, testo.data(), static_cast<int>(testo.size()),
                                        nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, testo.data(), static_cast<int>(testo.size()), out.data(), n);
    return out;
}

std::string Stretto(const wchar_t* testo, size_t n) {
    if (n == 0) return {};
    const int m = ::WideCharToMultiByte(CP_UTF8, 0, testo, static_cast<int>(n), nullptr, 0,
                                        nullptr, nullptr);
    std::string out(static_cast<size_t>(m), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, testo, static_cast<int>(n), out.data(), m, nullptr, nullptr);
    return out;
}

std::string Stretto(const std::wstring& testo) {
    return Stretto(testo.data(), testo.size());
}

TestoRegistro LeggiValoreTesto(HKEY chiave, const std::wstring& nome) {
    DWORD tipo = 0;
    DWORD byte = 0;
    if (::RegQueryValueExW(chiave, nome.c_str(), nullptr, &tipo, nullptr, &byte) != ERROR_SUCCESS)
        return {};
    if (tipo != REG_SZ) return {true, false, {}};
    std::wstring testo(byte / sizeof(wchar_t) + 1, L'\0');
    DWORD n = static_cast<DWORD>(testo.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(chiave, nome.c_str(), nullptr, &tipo,
                           reinterpret_cast<BYTE*>(testo.data()), &n) != ERROR_SUCCESS) {
        return {};
    }
    testo.resize(n / sizeof(wchar_t));
    while (!testo.empty() && testo.back() == L'\0') testo.pop_back();
    return {true, true, Stretto(testo)};
}

std::string TestoCodiceWin32(DWORD codice) {
    wchar_t* buf = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, codice, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
    std::string testo = n > 0 ? Stretto(buf, n) : std::string();
    if (buf != nullptr) ::LocalFree(buf);
    while (!testo.empty() && (testo.back() == '\n' || testo.back() == '\r' || testo.back() == ' '))
        testo.pop_back();
    return testo;
}

void FallisciWin32(const std::string& percorso, Oggetto oggetto, const char* operazione) {
    const DWORD codice = ::GetLastError();
    throw ErroreDaCodiceWin32(codice, percorso, oggetto, operazione, TestoCodiceWin32(codice));
}

}  // namespace bv
