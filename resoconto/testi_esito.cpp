// The result's texts.
#include "resoconto/testi_esito.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/percorsi.h"

namespace bv {

namespace {

std::string Resta(const Risultato& r) {
    const std::string cartella = PercorsoPerMessaggio(r.backup.cartella);
    switch (r.resta) {
        case CosaResta::PrecedenteIntatto:
            return "Il backup precedente di oggi in " + cartella + " è rimasto com'era.";
        case CosaResta::NessunBackup:
            return "Nessun backup è stato scritto in " + cartella + ".";
        case CosaResta::NessunDisco:
            return "Nessun disco è stato scritto.";
        case CosaResta::DischiIncompleti:
            return "Il backup sui dischi non è completo: ripetere il backup.";
        case CosaResta::DatiIntatti:
            return "I dati non sono stati modificati.";
        case CosaResta::SetIntatto:
            return "Il backup non è stato modificato.";
    }
    return {};
}

std::string Blocchi(const std::vector<int>& b) {
    std::string t;
    for (const int n : b) t += (t.empty() ? "#" : ", #") + std::to_string(n);
    return t;
}

std::string TestoVerifica(const RiepilogoVerifica& v) {
    const std::string set = "Il backup " + v.nomeSet + " in " + PercorsoPerMessaggio(v.cartella);
    switch (v.stato) {
        case StatoSet::Integro:
            return set + " è integro: ogni blocco e ogni file è stato controllato.";
        case StatoSet::Riparabile:
            return set + " è danneggiato (" + (v.blocchi.size() == 1 ? "blocco " : "blocchi ") +
                   Blocchi(v.blocchi) +
                   ") ma può essere riparato con i suoi dati di recupero: ripetere la verifica "
                   "con la riparazione.";
        case StatoSet::Riparato:
            return set + " era danneggiato ed è stato riparato: " +
                   (v.blocchi.size() == 1 ? "riscritto il blocco " : "riscritti i blocchi ") +
                   Blocchi(v.blocchi) + ".";
        case StatoSet::NonRiparabile:
            break;
    }
    std::string t = set + " è danneggiato e non può essere riparato";
    if (!v.conRecupero) {
        t += ": non ha dati di recupero.";
    } else if (v.fetteDanneggiate > v.fetteRecupero) {
        t += ": mancano " + std::to_string(v.fetteDanneggiate - v.fetteRecupero) +
             " fette di dati di recupero.";
    } else {
        t += ".";
    }
    if (!v.danno.empty()) t += " " + v.danno;
    return t;
}

}  // namespace

std::string TestoEsito(const Risultato& r) {
    switch (r.esito) {
        case Esito::Completato:
            if (r.operazione == Operazione::Verifica) return TestoVerifica(r.verifica);
            return r.operazione == Operazione::Backup ? "Backup completato correttamente."
                                                      : "Ripristino effettuato con successo";
        case Esito::Annullato:
            return "Operazione annullata. " + Resta(r);
        case Esito::Rinunciato:
            return r.operazione == Operazione::Backup ? "Backup non eseguito."
                                                      : "Ripristino non eseguito.";
        case Esito::Fallito:
            break;
    }
    return {};
}

std::vector<std::string> RigheRiepilogo(const Risultato& r) {
    std::vector<std::string> righe;
    if (!r.Riuscito()) return righe;
    if (r.operazione == Operazione::Verifica) {
        const RiepilogoVerifica& v = r.verifica;
        if (v.conRecupero) {
            righe.push_back("Dati di recupero: " + std::to_string(v.fetteRecupero) + " fette" +
                            (v.fetteDanneggiate > 0
                                 ? ", " + std::to_string(v.fetteDanneggiate) + " da ricostruire."
                                 : "."));
        } else {
            righe.emplace_back("Il backup non ha dati di recupero.");
        }
        return righe;
    }
    if (r.operazione == Operazione::Backup) {
        const RiepilogoBackup& b = r.backup;
        std::string dischi;
        if (b.suDischi || b.dischi > 1)
            dischi = " su " + std::to_string(b.dischi) + (b.dischi == 1 ? " disco" : " dischi");
        if (b.dischiRecupero > 0)
            dischi += " e " + std::to_string(b.dischiRecupero) +
                      (b.dischiRecupero == 1 ? " disco di recupero" : " dischi di recupero");
        righe.push_back("Backup " + b.nomeSet + " in " + PercorsoPerMessaggio(b.cartella) + ": " +
                        DimensioneLeggibile(b.byte) + dischi + ".");
        righe.emplace_back(b.verificato ? "Verificato: ogni file confrontato con l'originale."
                                        : "Non verificato (Verifica dati non selezionata).");
        if (b.oraSostituito == "?") {
            righe.emplace_back("Ha sostituito il backup precedente di oggi.");
        } else if (!b.oraSostituito.empty()) {
            righe.push_back("Ha sostituito il backup di oggi delle " + b.oraSostituito + ".");
        }
        return righe;
    }
    const RiepilogoRipristino& p = r.ripristino;
    for (const DatabaseRipristinato& d : p.database) {
        std::string riga = d.database + ": ripristinato";
        if (!d.copiaDatabase.empty()) riga += ", il precedente conservato come " + d.copiaDatabase;
        if (!d.copiaCartella.empty()) riga += ", la sua cartella come " + d.copiaCartella;
        righe.push_back(riga + ".");
    }
    if (p.byteCopie > 0) {
        righe.push_back("Le copie di sicurezza (.cfb) occupano " + DimensioneLeggibile(p.byteCopie) +
                        " in " + PercorsoPerMessaggio(p.cartellaDati) + ".");
    }
    return righe;
}

std::string TestoCompleto(const Risultato& r) {
    std::string t = TestoEsito(r);
    const std::vector<std::string> righe = RigheRiepilogo(r);
    if (!righe.empty()) t += "\n";
    for (const std::string& d : righe) t += "\n" + d;
    return t;
}

std::string TestoRigaSet(const std::string& data, const DescrizioneSet& d) {
    if (!d.danno.empty()) return data + "  —  danneggiato: " + d.danno;
    std::string t = data + "  —  ";
    if (!d.ora.empty()) t += "ore " + d.ora + ", ";
    t += DimensioneLeggibile(d.byte);
    if (d.blocchi > 1) t += ", " + std::to_string(d.blocchi) + " blocchi";
    if (d.suPiuDischi) t += ", su più dischi";
    if (d.cifrato) t += ", cifrato";
    return t;
}

std::string DimensioneLeggibile(uint64_t byte) {
    char testo[32];
    const double mb = static_cast<double>(byte) / (1024.0 * 1024.0);
    if (byte < uint64_t{1024} * 1024) {
        std::snprintf(testo, sizeof testo, "%llu KB",
                      static_cast<unsigned long long>((byte + 1023) / 1024));
    } else if (mb < 100) {
        std::snprintf(testo, sizeof testo, "%.1f MB", mb);
    } else {
        std::snprintf(testo, sizeof testo, "%.0f MB", mb);
    }
    std::string s = testo;
    std::replace(s.begin(), s.end(), '.', ',');
    return s;
}

std::string StimaTempo::Rimanente(double percento, double secondi) {
    // Too early to tell: the first seconds are the slowest (caches, the first disk).
    if (percento < 3 || secondi < 3 || percento >= 100) return {};
    const double resto = secondi * (100 - percento) / percento;
    stima_ = stima_ < 0 ? resto : 0.7 * stima_ + 0.3 * resto;
    if (stima_ < 60) return "meno di un minuto";
    const long minuti = std::lround(stima_ / 60);
    return minuti == 1 ? "circa 1 minuto" : "circa " + std::to_string(minuti) + " minuti";
}

}  // namespace bv
