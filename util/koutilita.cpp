// The utility object's helpers over paths, folders, files and versions, and the error display.
#include "util/koutilita.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/codifica.h"
#include "platform/documento.h"
#include "platform/file_aperto.h"
#include "platform/filesystem.h"
#include "platform/percorsi.h"
#include "platform/programma.h"
#include "platform/versione_pe.h"
#include "util/interazione.h"

namespace bv {

namespace {

constexpr size_t kBloccoConfronto = 50000;
constexpr const char* kChiaveAppPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
constexpr const char* kChiaveShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Component i (1..4) of a version text: the last part stands for the missing ones.
int32_t ComponenteVersione(const std::string& testo, int i) {
    std::string resto = testo;
    std::string parte;
    for (int k = 0; k < i; ++k) {
        const auto punto = resto.find('.');
        if (punto != std::string::npos) {
            parte = resto.substr(0, punto);
            resto = resto.substr(punto + 1);
        } else {
            parte = resto;
        }
    }
    // The leading decimal number, blanks skipped; a 16-bit value or Overflow.
    size_t p = parte.find_first_not_of(' ');
    if (p == std::string::npos) return 0;
    bool negativo = false;
    if (parte[p] == '+' || parte[p] == '-') {
        negativo = parte[p] == '-';
        ++p;
    }
    int64_t valore = 0;
    for (; p < parte.size() && parte[p] >= '0' && parte[p] <= '9'; ++p) {
        valore = valore * 10 + (parte[p] - '0');
        if (valore > 100000) break;  // already too large for 16 bits
    }
    if (negativo) valore = -valore;
    if (valore > 32767 || valore < -32768) throw ErroreStandard(num::Overflow);
    return static_cast<int32_t>(valore);
}

}  // namespace

koUtilita& Utilita() {
    static koUtilita utilita;
    return utilita;
}

std::string koUtilita::AggiungiSepDir(const std::string& percorso) const {
    std::string p = Spazi(percorso);
    if (!p.empty() && p.back() != Separatore()) p += Separatore();
    return p;
}

std::string koUtilita::EstraiPath(const std::string& filename) const {
    const auto p = filename.find_last_of(Separatore());
    // p is 0-based: the separator must stand at position 2 or later counting from 1.
    if (p == std::string::npos || p < 1) return {};
    return filename.substr(0, p + 1);
}

bool koUtilita::IsCartella(const std::string& path) const {
    try {
        return Fs().Info(path).cartella;
    } catch (...) {
        return false;
    }
}

bool koUtilita::CreaPercorsoDirectory(std::string& path) const {
    try {
        if (Spazi(path).empty()) return false;
        if (path.back() != Separatore()) path += Separatore();
        if (Fs().Info(path).cartella) return true;
        // Each level after the first separator; on Windows after the drive's colon.
        size_t inizio = 0;
        if (Separatore() == '\\') {
            const auto due = path.find(':');
            inizio = due == std::string::npos ? 0 : due + 1;
        }
        for (size_t p = path.find(Separatore(), inizio); p != std::string::npos;
             p = path.find(Separatore(), p + 1)) {
            const std::string livello = path.substr(0, p + 1);
            const InfoFile info = Fs().Info(livello);
            if (info.cartella) continue;
            if (p == 0) continue;  // the root
            Fs().CreaCartella(livello);
        }
        return true;
    } catch (...) {
        return false;
    }
}

ValoreRegistro koUtilita::LeggiValoreRegistro(RadiceRegistro radice, const std::string& chiave,
                                              const std::string& nome) const {
    try {
        return LeggiRegistro(radice, chiave, nome);
    } catch (...) {
        return {};
    }
}

std::string koUtilita::CartellaApplicazione(const std::string& APPLICAZIONE) const {
    try {
        const auto v =
            LeggiValoreRegistro(RadiceRegistro::LocalMachine, kChiaveAppPaths + APPLICAZIONE, "");
        return v.trovato ? EstraiPath(v.testo) : std::string();
    } catch (...) {
        return {};
    }
}

std::string koUtilita::CartellaDati() const {
    try {
        auto v = LeggiValoreRegistro(RadiceRegistro::CurrentUser, kChiaveShellFolders, "AppData");
        if (!v.trovato || v.testo.empty()) return {};
        return AggiungiSepDir(v.testo);
    } catch (...) {
        return {};
    }
}

bool koUtilita::FileAperto(const std::string& file) const {
    try {
        return FileInUso(file);
    } catch (...) {
        return true;
    }
}

bool koUtilita::WriteAccess(const std::string& strDirName) const {
    try {
        const std::string cartella = AggiungiSepDir(strDirName);
        const std::string prova = cartella + kFileProva;
        TogliCollegamento(prova);
        {
            File f(prova, ModoApertura::Scrittura);
            f.Chiudi();
        }
        try {
            Fs().Rimuovi(prova);
        } catch (...) {  // the probe could be written: that is the answer
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool koUtilita::ConfrontaFile(const std::string& file1, const std::string& file2) const {
    for (const std::string* f : {&file1, &file2}) {
        if (!Fs().Info(*f).file) throw ErroreDaErrno(ENOENT, *f, Oggetto::File, "stat");
    }
    File a(file1, ModoApertura::Lettura);
    File b(file2, ModoApertura::Lettura);
    if (a.Dimensione() != b.Dimensione()) return false;
    std::vector<unsigned char> bufA(kBloccoConfronto);
    std::vector<unsigned char> bufB(kBloccoConfronto);
    for (;;) {
        const size_t na = a.LeggiTutto(bufA.data(), bufA.size());
        const size_t nb = b.LeggiTutto(bufB.data(), bufB.size());
        if (na != nb) return false;  // a file changed length while being read
        if (na == 0) return true;
        if (std::memcmp(bufA.data(), bufB.data(), na) != 0) return false;
    }
}

std::string koUtilita::GetVersione(const std::string& file) const {
    std::optional<VersionePe> v;
    try {
        v = LeggiVersioneFile(file);
    } catch (const Errore&) {  // a file that cannot be read has no version to tell
    }
    if (!v) return "0.0.0.0";
    return std::to_string((*v)[0]) + "." + std::to_string((*v)[1]) + "." + std::to_string((*v)[2]) +
           "." + std::to_string((*v)[3]);
}

int32_t koUtilita::ConfrontaVersione(const std::string& VersioneA,
                                     const std::string& VersioneB) const {
    for (int i = 1; i <= 4; ++i) {
        const int32_t a = ComponenteVersione(VersioneA, i);
        const int32_t b = ComponenteVersione(VersioneB, i);
        if (a != b) return a > b ? 1 : -1;
    }
    return 0;
}

std::string koUtilita::TitoloErrore(int32_t numero) {
    // The number as the platform prints it: a blank stands where a minus sign would.
    return "Errore " + (numero >= 0 ? " " + std::to_string(numero) : std::to_string(numero));
}

void koUtilita::PrintErrore(const Errore& errore) const {
    const std::string testo = errore.Numero() == num::NomeFileNonValido
                                  ? "Impossibile leggere l'unità specificata."
                                  : errore.Descrizione();
    if (!errore.Dettaglio().empty()) {
        ScriviLog("Errore " + std::to_string(errore.Numero()) + ": " + errore.Descrizione() + " [" +
                  errore.Dettaglio() + "]");
    }
    InterazioneCorrente().Messaggio(testo, TitoloErrore(errore.Numero()), Icona::Informazione,
                                    Pulsanti::Ok);
}

std::string koUtilita::FileLog() {
    std::string cartella = CartellaProgramma();
    if (!cartella.empty() && cartella.back() != '/' && cartella.back() != '\\') {
        cartella += Separatore();
    }
    return cartella + NomeProgramma() + ".log";
}

}  // namespace bv

namespace bv {

std::string koUtilita::CartellaEsistentePiuVicina(const std::string& percorso) const {
    std::string p = Spazi(percorso);
    while (!p.empty()) {
        if (IsCartella(p)) return p;
        while (p.size() > 1 && p.back() == Separatore()) p.pop_back();
        const std::string genitore = EstraiPath(p);
        if (genitore.empty() || genitore == p) break;
        p = genitore;
    }
    return {};
}

std::string koUtilita::Sfoglia_Cartella(const std::string& sTitle,
                                        const std::string& partenza) const {
    try {
        return InterazioneCorrente().ScegliCartella(sTitle, CartellaEsistentePiuVicina(partenza));
    } catch (...) {
        return {};
    }
}

bool koUtilita::EseguiEx(const std::string& file, bool muto) const {
    std::string messaggio;
    try {
        // The shell's answers: 3 for a missing folder, 2 for a missing file, 31 when no
        // program is associated with the type.
        const std::string cartella = EstraiPath(file);
        int codice = 33;
        if (const auto shell = ApriDocumentoDiSistema(file)) {
            codice = *shell;  // the system's shell opened it, or said why not
        } else if (!cartella.empty() && !Fs().Info(cartella).cartella) {
            codice = 3;
        } else if (!Fs().Info(file).esiste) {
            codice = 2;
        } else if (!InterazioneCorrente().ApriDocumento(file)) {
            codice = 31;
        }
        if (codice > 32) return true;
        messaggio = file + (codice == 2    ? ": file non trovato!"
                            : codice == 31 ? ": nessun programma associato a questo tipo di file!"
                                           : ": accesso negato!");
    } catch (...) {
        messaggio = ErroreCorrente().Descrizione();
    }
    if (!muto) {
        try {
            InterazioneCorrente().Messaggio(messaggio, "Errore", Icona::Critico, Pulsanti::Ok);
        } catch (...) {
        }
    }
    return false;
}

}  // namespace bv
