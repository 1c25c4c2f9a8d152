// The last backup's record: a few "key=value" lines closed by "fine", so that a cut or a hand
// edit that leaves it partial is recognised and ignored.
#include "operazioni/ultimo_backup.h"

#include <map>
#include <sstream>

#include "operazioni/conserva_set.h"
#include "platform/filesystem.h"
#include "platform/programma.h"
#include "util/koutilita.h"

namespace bv {

namespace {

constexpr const char* kIntestazione = "BVBackup ultimo backup 1";

std::string Momento(const DataOra& d) {
    return FormattaData(d, "yyyyMMdd hhmmss");
}

std::optional<DataOra> LeggiMomento(const std::string& s) {
    if (s.size() != 15 || s[8] != ' ') return std::nullopt;
    for (size_t i = 0; i < s.size(); ++i)
        if (i != 8 && (s[i] < '0' || s[i] > '9')) return std::nullopt;
    const auto n = [&s](size_t da, size_t quanti) { return std::stoi(s.substr(da, quanti)); };
    DataOra d{n(0, 4), n(4, 2), n(6, 2), n(9, 2), n(11, 2), n(13, 2)};
    if (!DataValida(d.anno, d.mese, d.giorno) || d.ora > 23 || d.minuto > 59 || d.secondo > 59)
        return std::nullopt;
    return d;
}

// One line per value: line ends in a text become blanks.
std::string SuUnaRiga(std::string s) {
    for (char& c : s)
        if (c == '\n' || c == '\r') c = ' ';
    return s;
}

std::optional<uint64_t> Numero(const std::string& s) {
    if (s.empty() || s.size() > 19 || s.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoull(s);
}

}  // namespace

std::string PercorsoUltimoBackup() {
    return Utilita().AggiungiSepDir(CartellaProgramma()) + kFileUltimoBackup;
}

std::string TestoFileUltimoBackup(const UltimoBackup& u) {
    std::ostringstream t;
    t << kIntestazione << '\n'
      << "quando=" << Momento(u.quando) << '\n'
      << "riuscito=" << (u.riuscito ? 1 : 0) << '\n'
      << "pianificato=" << (u.pianificato ? 1 : 0) << '\n'
      << "set=" << SuUnaRiga(u.nomeSet) << '\n'
      << "cartella=" << SuUnaRiga(u.cartella) << '\n'
      << "byte=" << u.byte << '\n'
      << "dischi=" << u.dischi << '\n'
      << "verificato=" << (u.verificato ? 1 : 0) << '\n'
      << "errore=" << u.numeroErrore << '\n'
      << "testo=" << SuUnaRiga(u.testoErrore) << '\n'
      << "ultimoriuscito=" << (u.ultimoRiuscito ? Momento(*u.ultimoRiuscito) : "") << '\n'
      << "fine\n";
    return t.str();
}

std::optional<UltimoBackup> LeggiTestoUltimoBackup(const std::string& testo) {
    std::istringstream in(testo);
    std::string riga;
    if (!std::getline(in, riga) || riga != kIntestazione) return std::nullopt;
    std::map<std::string, std::string> v;
    bool fine = false;
    while (std::getline(in, riga)) {
        if (!riga.empty() && riga.back() == '\r') riga.pop_back();
        if (riga == "fine") {
            fine = true;
            break;
        }
        const size_t uguale = riga.find('=');
        if (uguale == std::string::npos) return std::nullopt;
        v[riga.substr(0, uguale)] = riga.substr(uguale + 1);
    }
    if (!fine) return std::nullopt;
    for (const char* chiave : {"quando", "riuscito", "pianificato", "set", "cartella", "byte",
                               "dischi", "verificato", "errore", "testo", "ultimoriuscito"})
        if (!v.contains(chiave)) return std::nullopt;
    UltimoBackup u;
    const auto quando = LeggiMomento(v["quando"]);
    const auto byte = Numero(v["byte"]);
    const auto dischi = Numero(v["dischi"]);
    const auto errore = Numero(v["errore"]);
    if (!quando || !byte || !dischi || *dischi > 99999 || !errore || *errore > 99999)
        return std::nullopt;
    const auto vero = [&v](const char* chiave) -> std::optional<bool> {
        if (v[chiave] == "1") return true;
        if (v[chiave] == "0") return false;
        return std::nullopt;
    };
    const auto riuscito = vero("riuscito");
    const auto pianificato = vero("pianificato");
    const auto verificato = vero("verificato");
    if (!riuscito || !pianificato || !verificato) return std::nullopt;
    u.quando = *quando;
    u.riuscito = *riuscito;
    u.pianificato = *pianificato;
    u.verificato = *verificato;
    u.nomeSet = v["set"];
    u.cartella = v["cartella"];
    u.byte = *byte;
    u.dischi = static_cast<int>(*dischi);
    u.numeroErrore = static_cast<int32_t>(*errore);
    u.testoErrore = v["testo"];
    if (!v["ultimoriuscito"].empty()) {
        u.ultimoRiuscito = LeggiMomento(v["ultimoriuscito"]);
        if (!u.ultimoRiuscito) return std::nullopt;
    }
    return u;
}

std::optional<UltimoBackup> LeggiUltimoBackup(const std::string& percorso) {
    try {
        if (!Fs().Info(percorso).file) return std::nullopt;
        return LeggiTestoUltimoBackup(LeggiFileTesto(percorso));
    } catch (const Errore& e) {
        Utilita().ScriviLog("Esito dell'ultimo backup non letto: " + e.Dettaglio());
        return std::nullopt;
    }
}

void RegistraUltimoBackup(const Risultato& r, bool pianificato, const DataOra& quando,
                          const std::string& percorso) {
    if (r.esito != Esito::Completato && r.esito != Esito::Fallito) return;
    UltimoBackup u;
    u.quando = quando;
    u.riuscito = r.Riuscito();
    u.pianificato = pianificato;
    u.cartella = r.backup.cartella;
    if (u.riuscito) {
        u.nomeSet = r.backup.nomeSet;
        u.byte = r.backup.byte;
        u.dischi = r.backup.dischi;
        u.verificato = r.backup.verificato;
        u.ultimoRiuscito = quando;
    } else {
        if (r.errore) {
            u.numeroErrore = r.errore->Numero();
            u.testoErrore = r.errore->Descrizione();
        }
        if (const auto prima = LeggiUltimoBackup(percorso)) u.ultimoRiuscito = prima->ultimoRiuscito;
    }
    const std::string testo = TestoFileUltimoBackup(u);
    try {
        ScriviFileAtomico(percorso, testo.data(), testo.size());
    } catch (const Errore& e) {
        Utilita().ScriviLog("Esito del backup non registrato: " + e.Dettaglio());
    }
}

void PulisciUltimoBackupInterrotto(const std::string& percorso) {
    const size_t sep = percorso.find_last_of("/\\");
    const std::string cartella = sep == std::string::npos ? std::string() : percorso.substr(0, sep + 1);
    const std::string prefisso = percorso.substr(cartella.size()) + ".tmp";
    try {
        for (const VoceCartella& v : Fs().Elenca(cartella)) {
            // "<name>.tmp<process>_<count>", as the durable writer stages it.
            if (!v.file || v.collegamento || !v.nome.starts_with(prefisso)) continue;
            const std::string coda = v.nome.substr(prefisso.size());
            const size_t trattino = coda.find('_');
            if (trattino == 0 || trattino == std::string::npos || trattino + 1 == coda.size() ||
                coda.find_first_not_of("0123456789_") != std::string::npos ||
                coda.find('_', trattino + 1) != std::string::npos)
                continue;
            Fs().Rimuovi(cartella + v.nome);
        }
    } catch (const Errore& e) {  // tried again at the next start
        Utilita().ScriviLog("Copia provvisoria dell'esito non rimossa: " + e.Dettaglio());
    }
}

Risultato EseguiERegistraBackup(const RichiestaBackup& richiesta, GanciOperazione& ganci) {
    Risultato r = EseguiBackup(richiesta, ganci);
    // Only a set that is whole and verified lets older ones go.
    if (r.Riuscito() && r.backup.verificato && richiesta.conserva > 0 && !r.backup.suDischi) {
        try {
            for (const std::string& nome :
                 ConservaUltimi(r.backup.cartella, richiesta.conserva, r.backup.nomeSet)) {
                const std::string avviso =
                    "Rimosso il backup " + nome + " (Conserva gli ultimi " +
                    std::to_string(richiesta.conserva) + " backup).";
                ganci.Avviso(avviso);
                r.avvisi.push_back(avviso);
            }
        } catch (const Errore& e) {
            // The new set is whole: the old ones are kept, and the user told why.
            const std::string avviso = "I backup più vecchi non sono stati rimossi: " + e.Descrizione();
            Utilita().ScriviLog(avviso + " " + e.Dettaglio());
            ganci.Avviso(avviso);
            r.avvisi.push_back(avviso);
        }
    }
    Risultato registrato = r;
    // A run that failed before it named its folder (a stick not plugged in) names the one asked.
    if (registrato.backup.cartella.empty() && !richiesta.floppy)
        registrato.backup.cartella = richiesta.destinazione;
    RegistraUltimoBackup(registrato, richiesta.pianificato, Adesso());
    return r;
}

}  // namespace bv
