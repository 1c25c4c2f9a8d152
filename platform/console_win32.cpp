// The command line's arguments and standard streams on Windows: the command line read as
// UTF-16, and UTF-8 text written to a console as UTF-16.
#include <windows.h>
#include <shellapi.h>

#include <streambuf>

#include "platform/console.h"
#include "platform/testo_win32.h"

namespace bv {

namespace {

// Where the last whole UTF-8 character of `p[0, n)` ends: a sequence cut by the buffer's end
// waits for its other bytes, so that the console never shows half a character.
size_t FineDelTesto(const char* p, size_t n) {
    for (size_t indietro = 1; indietro <= 3 && indietro <= n; ++indietro) {
        const auto c = static_cast<unsigned char>(p[n - indietro]);
        if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        const size_t lunghezza = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return lunghezza > indietro ? n - indietro : n;
    }
    return n;
}

class BufferConsole final : public std::streambuf {
  public:
    explicit BufferConsole(DWORD quale) : h_(::GetStdHandle(quale)) {
        DWORD modo = 0;
        console_ = h_ != nullptr && h_ != INVALID_HANDLE_VALUE && ::GetConsoleMode(h_, &modo);
        setp(buf_, buf_ + sizeof buf_);
    }
    BufferConsole(const BufferConsole&) = delete;
    BufferConsole& operator=(const BufferConsole&) = delete;

  protected:
    int_type overflow(int_type c) override {
        if (!Svuota()) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return Svuota() ? 0 : -1; }

  private:
    bool Svuota() {
        const size_t n = static_cast<size_t>(pptr() - pbase());
        const size_t fine = console_ ? FineDelTesto(pbase(), n) : n;
        const bool ok = Scrivi(pbase(), fine);
        const size_t resto = n - fine;
        for (size_t i = 0; i < resto; ++i) buf_[i] = buf_[fine + i];
        setp(buf_, buf_ + sizeof buf_);
        pbump(static_cast<int>(resto));
        return ok;
    }
    bool Scrivi(const char* p, size_t n) {
        if (n == 0 || h_ == nullptr || h_ == INVALID_HANDLE_VALUE) return true;
        if (console_) {
            const std::wstring w = Largo(std::string(p, n));
            for (size_t fatto = 0; fatto < w.size();) {
                DWORD scritti = 0;
                if (!::WriteConsoleW(h_, w.data() + fatto, static_cast<DWORD>(w.size() - fatto),
                                     &scritti, nullptr) ||
                    scritti == 0)
                    return false;
                fatto += scritti;
            }
            return true;
        }
        for (size_t fatto = 0; fatto < n;) {
            DWORD scritti = 0;
            if (!::WriteFile(h_, p + fatto, static_cast<DWORD>(n - fatto), &scritti, nullptr) ||
                scritti == 0)
                return false;
            fatto += scritti;
        }
        return true;
    }

    HANDLE h_;
    bool console_ = false;
    char buf_[4096];
};

std::ostream& Flusso(DWORD quale) {
    // Never destroyed: other static objects may still write while the program ends.
    static BufferConsole* uscita = new BufferConsole(STD_OUTPUT_HANDLE);
    static BufferConsole* errore = new BufferConsole(STD_ERROR_HANDLE);
    static std::ostream* o = new std::ostream(uscita);
    // Standard error flushes at every write, as std::cerr: progress shows as it happens.
    static std::ostream* e = [] {
        auto* f = new std::ostream(errore);
        f->setf(std::ios::unitbuf);
        return f;
    }();
    return quale == STD_OUTPUT_HANDLE ? *o : *e;
}

}  // namespace

std::vector<std::string> ArgomentiProgramma(int argc, char** argv) {
    int n = 0;
    LPWSTR* v = ::CommandLineToArgvW(::GetCommandLineW(), &n);
    if (v == nullptr) return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::vector<std::string> a;
    for (int i = 1; i < n; ++i) a.push_back(Stretto(v[i]));
    ::LocalFree(v);
    return a;
}

std::ostream& UscitaStandard() {
    return Flusso(STD_OUTPUT_HANDLE);
}

std::ostream& ErroreStandard() {
    return Flusso(STD_ERROR_HANDLE);
}

}  // namespace bv

namespace bv {

namespace {

std::atomic<bool>* g_richiesta = nullptr;

BOOL WINAPI AlControllo(DWORD evento) {
    switch (evento) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            // The second: the system's default handler ends the process.
            return g_richiesta->exchange(true) ? FALSE : TRUE;
        default:  // closing the console, logging off: the system ends the process anyway
            g_richiesta->store(true);
            return FALSE;
    }
}

}  // namespace

void InterruzioneComeRichiesta(std::atomic<bool>& richiesta) {
    g_richiesta = &richiesta;
    ::SetConsoleCtrlHandler(AlControllo, TRUE);
}

}  // namespace bv
