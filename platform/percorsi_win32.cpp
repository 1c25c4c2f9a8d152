// Path conventions on Windows: backslashes, drive letters, upper case in messages, and names
// found as the file system finds them (letter case ignored, the stored case returned).
#include <windows.h>

#include <cwctype>

#include "platform/codifica.h"
#include "platform/filesystem.h"
#include "platform/percorsi.h"
#include "platform/testo_win32.h"

namespace bv {

char Separatore() {
    return '\\';
}

std::string UnitaDi(const std::string& percorso) {
    return percorso.substr(0, 2);
}

bool UnitaValida(const std::string& unita) {
    // The form alone (a letter and a colon): a drive without a disk, or not there at all, is
    // told by the checks that follow (the folder, the free space).
    return unita.size() == 2 && unita[1] == ':' && std::iswalpha(static_cast<wint_t>(unita[0]));
}

bool NomeAmmessoDalSistema(const std::string& nome) {
    if (nome.empty() || nome.back() == '.' || nome.back() == ' ') return false;
    return nome.find_first_of("<>:\"|?*") == std::string::npos;
}

bool PercorsoAmmessoDalSistema(const std::string& percorso, bool cartellaDaCreare) {
    return Largo(percorso).size() <= LunghezzaMassimaPercorso(cartellaDaCreare);
}

size_t LunghezzaMassimaPercorso(bool cartellaDaCreare) {
    // The final null is counted; CreateDirectoryW keeps 12 units for an 8.3 name.
    return cartellaDaCreare ? MAX_PATH - 12 - 1 : MAX_PATH - 1;
}

std::string CartellaDaArgomento(const std::string& argomento) {
    // No Windows name holds a quote: a final one stands for the backslash it followed.
    if (!argomento.empty() && argomento.back() == '"') {
        return argomento.substr(0, argomento.size() - 1) + "\\";
    }
    return argomento;
}

std::string PercorsoAssoluto(const std::string& percorso) {
    const auto separatore = [](char c) { return c == '\\' || c == '/'; };
    const bool lettera = percorso.size() >= 2 && percorso[1] == ':';
    // "X:" alone is the drive's root to the program; "X:\..." and "\\server\..." are absolute.
    if (percorso.empty() || (lettera && percorso.size() == 2) ||
        (lettera && separatore(percorso[2])) ||
        (percorso.size() >= 2 && separatore(percorso[0]) && separatore(percorso[1])))
        return percorso;
    const std::wstring largo = Largo(percorso);
    const DWORD n = ::GetFullPathNameW(largo.c_str(), 0, nullptr, nullptr);
    if (n == 0) return percorso;
    std::wstring buf(n, L'\0');
    const DWORD scritti = ::GetFullPathNameW(largo.c_str(), n, buf.data(), nullptr);
    if (scritti == 0 || scritti >= n) return percorso;
    buf.resize(scritti);
    return Stretto(buf);
}

std::string PercorsoPerMessaggio(const std::string& percorso) {
    return Maiuscolo(percorso);
}

std::string TrovaNome(const std::string& cartella, const std::string& nome) {
    const std::string esatto = cartella + nome;
    if (nome.find_first_of("*?") != std::string::npos) return esatto;
    WIN32_FIND_DATAW d{};
    const HANDLE h = ::FindFirstFileExW(Largo(esatto).c_str(), FindExInfoBasic, &d,
                                        FindExSearchNameMatch, nullptr, 0);
    if (h == INVALID_HANDLE_VALUE) return esatto;
    ::FindClose(h);
    return cartella + Stretto(d.cFileName);  // the name with the letter case it is stored in
}

std::string PercorsoCanonico(const std::string& percorso) {
    const HANDLE h = ::CreateFileW(Largo(percorso).c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::wstring buf(32768, L'\0');
    const DWORD n = ::GetFinalPathNameByHandleW(h, buf.data(), static_cast<DWORD>(buf.size()),
                                                FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    ::CloseHandle(h);
    if (n == 0 || n >= buf.size()) return {};
    buf.resize(n);
    // "\\?\C:\..." to "C:\..."; "\\?\UNC\server\share" to "\\server\share".
    if (buf.starts_with(L"\\\\?\\UNC\\")) {
        buf = L"\\\\" + buf.substr(8);
    } else if (buf.starts_with(L"\\\\?\\")) {
        buf = buf.substr(4);
    }
    return Stretto(buf);
}

bool SuUnitaRimovibile(const std::string& percorso) {
    return Maiuscolo(UnitaDi(percorso)) == "A:";
}

std::string CartellaFloppy() {
    return "A:\\";
}

}  // namespace bv
