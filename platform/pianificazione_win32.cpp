// The schedule on Windows: a task of the current user, registered from its XML form with
// schtasks (the /SC /ST form mangles paths with spaces and Wine lacks it).
#include <windows.h>

#include <string>

#include "platform/errore.h"
#include "platform/errori_piattaforma.h"
#include "platform/filesystem.h"
#include "platform/pianificazione.h"
#include "platform/programma.h"
#include "platform/testo_win32.h"

namespace bv {

namespace {

[[noreturn]] void NonRegistrata(const std::string& motivo) {
    std::string t = errori::kTestoPianificazioneNonRegistrata;
    t.replace(t.find("{}"), 2, motivo);
    throw Errore(errori::PianificazioneNonRegistrata, t, motivo);
}

// schtasks with these arguments, no window; its exit code (-1: it did not start).
long Schtasks(const std::wstring& argomenti) {
    std::wstring riga = L"schtasks.exe " + argomenti;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, riga.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          nullptr, &si, &pi))
        return -1;
    ::WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD codice = 1;
    ::GetExitCodeProcess(pi.hProcess, &codice);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return static_cast<long>(codice);
}

}  // namespace

std::string EseguibileFinestra() {
    return CartellaProgramma() + "\\" + kNomePianificazione + ".exe";
}

std::string RegistraPianificazione(const Pianificazione& p) {
    // The task's XML in UTF-16 with its byte-order mark, as it declares, beside the program.
    const std::wstring xml = L"\xFEFF" + Largo(XmlAttivita(p));
    const std::string file = CartellaProgramma() + "\\" + kNomePianificazione + "-attivita.xml";
    try {
        ScriviFileAtomico(file, xml.data(), xml.size() * sizeof(wchar_t));
    } catch (const Errore& e) {
        NonRegistrata("file " + file + " non scritto (" + e.Dettaglio() + ").");
    }
    const long codice = Schtasks(L"/Create /F /TN " + Largo(kNomePianificazione) + L" /XML \"" +
                                 Largo(file) + L"\"");
    if (codice != 0)
        NonRegistrata("l'Utilità di pianificazione ha risposto con il codice " +
                      std::to_string(codice) + ".");
    return "Utilità di pianificazione";
}

void RimuoviPianificazione() {
    Schtasks(L"/Delete /F /TN " + Largo(kNomePianificazione));
    const std::string file = CartellaProgramma() + "\\" + kNomePianificazione + "-attivita.xml";
    if (Fs().Info(file).esiste) Fs().Rimuovi(file);
}

}  // namespace bv
