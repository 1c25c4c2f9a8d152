// Child processes for the tests on Windows: CreateProcessW with pipes. No pseudo-terminal here.
#include <windows.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "platform/testo_win32.h"
#include "tests/support/processo.h"

namespace bv::test {

namespace {

// One argument quoted as the C runtime splits a command line.
std::wstring Quota(const std::wstring& a) {
    if (!a.empty() && a.find_first_of(L" \t\"") == std::wstring::npos) return a;
    std::wstring q = L"\"";
    size_t barre = 0;
    for (const wchar_t c : a) {
        if (c == L'\\') {
            ++barre;
            continue;
        }
        q.append(c == L'"' ? barre * 2 + 1 : barre, L'\\');
        barre = 0;
        q += c;
    }
    q.append(barre * 2, L'\\');
    return q + L"\"";
}

// The test's environment with `ambiente` added or replaced, as CreateProcessW takes it.
std::wstring Ambiente(const std::map<std::string, std::string>& ambiente) {
    std::map<std::wstring, std::wstring> v;
    wchar_t* blocco = ::GetEnvironmentStringsW();
    for (const wchar_t* p = blocco; *p != L'\0'; p += wcslen(p) + 1) {
        const std::wstring riga = p;
        const auto uguale = riga.find(L'=', 1);
        if (uguale != std::wstring::npos) v[riga.substr(0, uguale)] = riga.substr(uguale + 1);
    }
    ::FreeEnvironmentStringsW(blocco);
    for (const auto& [k, x] : ambiente) v[Largo(k)] = Largo(x);
    std::wstring out;
    for (const auto& [k, x] : v) out += k + L"=" + x + L'\0';
    return out + L'\0';
}

struct Tubo {
    HANDLE leggi = nullptr;
    HANDLE scrivi = nullptr;
    Tubo() {
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        if (!::CreatePipe(&leggi, &scrivi, &sa, 0)) throw std::runtime_error("CreatePipe");
    }
};

std::string LeggiTutto(HANDLE h) {
    std::string s;
    char buf[4096];
    DWORD n = 0;
    while (::ReadFile(h, buf, sizeof buf, &n, nullptr) && n > 0) s.append(buf, n);
    return s;
}

PROCESS_INFORMATION Avvia(const std::string& programma, const std::vector<std::string>& argomenti,
                          const std::map<std::string, std::string>& ambiente, HANDLE in,
                          HANDLE out, HANDLE err) {
    // A path from the build (POSIX, under Wine) is on the drive Wine maps to the root.
    std::wstring eseguibile = Largo(programma);
    if (!eseguibile.empty() && eseguibile[0] == L'/') eseguibile = L"Z:" + eseguibile;
    std::wstring riga = Quota(eseguibile);
    for (const auto& a : argomenti) riga += L" " + Quota(Largo(a));
    std::wstring env = Ambiente(ambiente);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in;
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, riga.data(), nullptr, nullptr, TRUE,
                          CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, env.data(), nullptr, &si,
                          &pi)) {
        throw std::runtime_error("CreateProcessW " + programma);
    }
    return pi;
}

}  // namespace

EsitoProcesso EseguiProcesso(const std::string& programma,
                             const std::vector<std::string>& argomenti,
                             const std::map<std::string, std::string>& ambiente, int secondi) {
    Tubo out;
    Tubo err;
    Tubo in;
    ::SetHandleInformation(out.leggi, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(err.leggi, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(in.scrivi, HANDLE_FLAG_INHERIT, 0);
    const PROCESS_INFORMATION pi = Avvia(programma, argomenti, ambiente, in.leggi, out.scrivi,
                                         err.scrivi);
    ::CloseHandle(out.scrivi);
    ::CloseHandle(err.scrivi);
    ::CloseHandle(in.leggi);
    ::CloseHandle(in.scrivi);  // standard input: empty
    EsitoProcesso e;
    std::thread lettoreErr([&] { e.err = LeggiTutto(err.leggi); });
    e.out = LeggiTutto(out.leggi);
    lettoreErr.join();
    if (::WaitForSingleObject(pi.hProcess, static_cast<DWORD>(secondi) * 1000) != WAIT_OBJECT_0) {
        ::TerminateProcess(pi.hProcess, 1);
        ::WaitForSingleObject(pi.hProcess, INFINITE);
    } else {
        DWORD codice = 0;
        ::GetExitCodeProcess(pi.hProcess, &codice);
        e.stato = static_cast<int>(codice);
    }
    ::CloseHandle(out.leggi);
    ::CloseHandle(err.leggi);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(pi.hThread);
    return e;
}

EsitoProcesso EseguiSuTerminale(const std::string&, const std::vector<std::string>&,
                                const std::map<std::string, std::string>&,
                                const std::function<std::string(const std::string&)>&, int) {
    throw std::runtime_error("nessun terminale simulato su Windows");
}

ProcessoCheTieneAperto::ProcessoCheTieneAperto(const std::string& percorso, int modo) {
    Tubo pronto;
    Tubo fine;
    ::SetHandleInformation(pronto.leggi, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(fine.scrivi, HANDLE_FLAG_INHERIT, 0);
    const PROCESS_INFORMATION pi =
        Avvia(BVTEST_TIENI_APERTO,
              modo == kApertoEsclusivo ? std::vector<std::string>{percorso, "esclusivo"}
                                       : std::vector<std::string>{percorso},
              {}, fine.leggi, pronto.scrivi, pronto.scrivi);
    ::CloseHandle(pronto.scrivi);
    ::CloseHandle(fine.leggi);
    ::CloseHandle(pi.hThread);
    pid_ = reinterpret_cast<intptr_t>(pi.hProcess);
    fine_ = reinterpret_cast<intptr_t>(fine.scrivi);
    char c = 0;
    DWORD n = 0;
    const bool aperto = ::ReadFile(pronto.leggi, &c, 1, &n, nullptr) && n == 1 && c == 'k';
    ::CloseHandle(pronto.leggi);
    if (!aperto) throw std::runtime_error("il processo figlio non ha aperto " + percorso);
}

ProcessoCheTieneAperto::~ProcessoCheTieneAperto() {
    ::CloseHandle(reinterpret_cast<HANDLE>(fine_));
    ::WaitForSingleObject(reinterpret_cast<HANDLE>(pid_), INFINITE);
    ::CloseHandle(reinterpret_cast<HANDLE>(pid_));
}

}  // namespace bv::test
