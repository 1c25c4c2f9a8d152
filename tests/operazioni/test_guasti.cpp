// The loops that look for data loss: every file operation of a backup and of a restore is
// failed in turn (once, and from then on), and the process is killed at each of them. After
// each, every database and companion folder is whole, old or new; no set at the destination
// is half replaced; nothing of the run stays in the temporary folder; the next start and a
// run without faults bring everything to the restored state.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <random>
#include <regex>

#include "operazioni/stato_avvio.h"
#include "operazioni/backup.h"
#include "operazioni/ripristino.h"
#include "operazioni/verifica_set.h"
#include "platform/file_reg.h"
#include "sicurezza/conferma_set.h"
#include "sicurezza/giornale.h"
#include "sicurezza/nomi_provvisori.h"
#include "tests/operazioni/ambiente_operazioni.h"
#include "tests/support/fs_guasto.h"
#include "tests/support/unita_rimovibile.h"
#include "tests/support/variabili.h"
#include "util/errori.h"

namespace bv {
namespace {

namespace fs = std::filesystem;

using Stato = std::map<std::string, std::string>;

Stato Contenuto(const std::string& cartella) {
    Stato m;
    if (!fs::exists(cartella)) return m;
    for (const auto& e : fs::recursive_directory_iterator(cartella)) {
        // The mark of a restored folder is the restore's own until it ends (or the next start).
        if (e.path().filename().string().starts_with(".~bvnuova-")) continue;
        m[fs::relative(e.path(), cartella).string()] =
            e.is_regular_file() ? test::LeggiTesto(e.path().string()) : "<cartella>";
    }
    return m;
}

std::string Casuale(size_t n) {
    std::mt19937 gen(11);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen());
    return s;
}

// Records each operation's name and path: a failure then says where it happened.
std::function<int(const char*, const std::string&)> Registra(std::vector<std::string>& nomi) {
    return [&nomi](const char* op, const std::string& p) {
        nomi.push_back(std::string(op) + " " + p);
        return 0;
    };
}

// Runs `esegui` once under a counting file system; returns the number of operations, each
// recorded by name in `nomi` (from index 1) so that a failure can say where it happened.
int ContaOperazioni(std::vector<std::string>& nomi, const std::function<void()>& esegui,
                    const std::function<void(test::FsGuasto&)>& prepara = {}) {
    nomi.assign(1, "");
    test::FsGuasto conta;
    if (prepara) prepara(conta);
    conta.prima = Registra(nomi);
    esegui();
    return conta.operazioni;
}

// Runs `esegui` in a child process that dies, as in a power cut, at its k-th file operation
// (no handler runs); `prepara` sets up the child's file system first.
void UccisoAllOperazione(int k, const std::function<void()>& esegui,
                         const std::function<void(test::FsGuasto&)>& prepara = {}) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        test::FsGuasto g;
        if (prepara) prepara(g);
        g.prima = [&g, k](const char*, const std::string&) {
            if (g.operazioni == k) ::_exit(77);
            return 0;
        };
        esegui();
        ::_exit(0);
    }
    int stato = 0;
    ::waitpid(pid, &stato, 0);
}

// The points to try out of n: all of them when few, else an even sample with both ends.
std::vector<int> Punti(int n, int massimo = 70) {
    std::vector<int> p;
    if (n <= massimo) {
        for (int k = 1; k <= n; ++k) p.push_back(k);
        return p;
    }
    for (int i = 0; i < massimo; ++i)
        p.push_back(1 + static_cast<int>(int64_t{i} * (n - 1) / (massimo - 1)));
    return p;
}

std::string Elenco(const Stato& s) {
    std::string r;
    for (const auto& [nome, dati] : s)
        r += "\n  " + nome + " = " + dati.substr(0, 12) + "…" +
             dati.substr(dati.size() > 8 ? dati.size() - 8 : 0);
    return r;
}

class Guasti : public test::AmbienteOperazioni {
  protected:
    void SetUp() override {
        AmbienteOperazioni::SetUp();
        test::CreaCartelle(t_ / "host");
        DocumentoReg reg;
        reg.Imposta("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Brelvano.exe",
                    "", t_ / "host/Brelvano.exe");
        reg.Imposta("HKCU\\Software\\VB and VBA Program Settings\\KO_Brelvano\\CartellaDati",
                    "Path", dati_ + "/");
        ImpostaRegistro(reg);
        // The set holds the new data; the data folder the old.
        Dati(t_ / "sorgente", "nuovo");
        RichiestaBackup b;
        b.destinazione = dest_;
        b.verifica = false;
        b.percorsoDati = t_ / "sorgente/";
        b.cartellaTemp = temp_;
        test::Registratore o;
        ASSERT_TRUE(EseguiBackup(b, o));
        Dati(dati_, "vecchio");
        vecchio_ = Contenuto(dati_);
        Dati(t_ / "atteso", "nuovo");
        nuovo_ = Contenuto(t_ / "atteso");
    }
    static void Dati(const std::string& c, const std::string& versione) {
        fs::remove_all(c);
        test::CreaCartelle(c + "/anagrafe");
        test::CreaCartelle(c + "/magazzino");
        test::ScriviFile(c + "/anagrafe.mdb", std::string(70000, 'a') + versione);
        test::ScriviFile(c + "/anagrafe/foto.jpg", "foto " + versione);
        test::ScriviFile(c + "/anagrafe/nota.txt", "nota " + versione);
        test::ScriviFile(c + "/Magazzino.mdb", std::string(50000, 'm') + versione);
        test::ScriviFile(c + "/magazzino/listino.pdf", "listino " + versione);
    }
    Esito Ripristina() {
        interazione_.Rispondi(Risposta::Si);
        test::Registratore o;
        return EseguiRipristino(Richiesta(), o).esito;
    }
    // The live databases and folders, without safety copies: each whole, old or new.
    // `finestra`: where the volume has no exchange of names, a folder's live name is absent
    // between two renames; the next start closes that window.
    void OgniDatabaseInteroVecchioONuovo(const std::string& dove, bool finestra = false) {
        const Stato s = Contenuto(dati_);
        for (const char* db : {"anagrafe.mdb", "Magazzino.mdb"}) {
            ASSERT_TRUE(s.count(db)) << dove << ": " << db << " manca";
            EXPECT_TRUE(s.at(db) == vecchio_.at(db) || s.at(db) == nuovo_.at(db))
                << dove << ": " << db << " troncato o estraneo";
        }
        for (const char* cartella : {"anagrafe", "magazzino"}) {
            Stato dentro;
            for (const auto& [nome, dati] : s)
                if (nome.starts_with(std::string(cartella) + "/")) dentro[nome] = dati;
            Stato v;
            Stato n;
            for (const auto& [nome, dati] : vecchio_)
                if (nome.starts_with(std::string(cartella) + "/")) v[nome] = dati;
            for (const auto& [nome, dati] : nuovo_)
                if (nome.starts_with(std::string(cartella) + "/")) n[nome] = dati;
            if (finestra && !s.count(cartella)) continue;
            EXPECT_TRUE(s.count(cartella)) << dove << ": cartella " << cartella << " manca";
            EXPECT_TRUE(dentro == v || dentro == n) << dove << ": cartella " << cartella;
        }
    }
    // After the next start: exactly as before the restore, or exactly restored (with copies).
    void VecchioOppureRipristinato(const std::string& dove) {
        const Stato s = Contenuto(dati_);
        if (s == vecchio_) return;
        Stato atteso = nuovo_;
        for (const auto& [nome, dati] : vecchio_) {
            const auto barra = nome.find('/');
            if (barra == std::string::npos && nome.ends_with(".mdb")) {
                atteso[nome + ".cfb000"] = dati;
            } else if (barra == std::string::npos) {
                atteso[nome + ".cfb000"] = dati;
            } else {
                atteso[nome.substr(0, barra) + ".cfb000" + nome.substr(barra)] = dati;
            }
        }
        EXPECT_TRUE(s == atteso) << dove << ": né vecchio né ripristinato" << Elenco(s);
    }
    void ProssimoAvvio() {
        const std::string esito = RecuperaRipristinoInterrotto();
        (void)esito;
        PulisciCartellaTemp(temp_);
    }
    void Azzera() {
        Dati(dati_, "vecchio");
        fs::remove_all(temp_);
        test::CreaCartelle(temp_);
        fs::remove(PercorsoGiornale());
    }

    Stato vecchio_;
    Stato nuovo_;
};

TEST_F(Guasti, RipristinoConOgniOperazioneCheFallisce) {
    std::vector<std::string> nomi;
    const int n =
        ContaOperazioni(nomi, [this] { ASSERT_EQ(Ripristina(), Esito::Completato); });
    ASSERT_GT(n, 20);
    for (const bool permanente : {false, true}) {
        for (const int k : Punti(n)) {
            const std::string dove = "operazione " + std::to_string(k) + " (" + nomi[k] + ")" +
                                     (permanente ? " e seguenti" : "");
            Azzera();
            Esito esito;
            {
                test::FsGuasto g;
                g.prima = [&g, k, permanente](const char*, const std::string&) {
                    return g.operazioni == k || (permanente && g.operazioni > k) ? EIO : 0;
                };
                esito = Ripristina();
            }
            OgniDatabaseInteroVecchioONuovo(dove);
            if (esito != Esito::Completato && !permanente) {
                // A single failure is undone at once: nothing changed, nothing left.
                EXPECT_TRUE(Contenuto(dati_) == vecchio_) << dove;
                EXPECT_EQ(VociIn(temp_), 0U) << dove;
                EXPECT_FALSE(fs::exists(PercorsoGiornale())) << dove;
            }
            ProssimoAvvio();
            VecchioOppureRipristinato(dove);
            EXPECT_EQ(VociIn(temp_), 0U) << dove;
            // Without faults it now succeeds.
            ASSERT_EQ(Ripristina(), Esito::Completato) << dove;
            EXPECT_EQ(test::LeggiTesto(dati_ + "/anagrafe.mdb"), nuovo_.at("anagrafe.mdb")) << dove;
            EXPECT_EQ(test::LeggiTesto(dati_ + "/magazzino/listino.pdf"), "listino nuovo") << dove;
            interazione_.messaggi.clear();
        }
    }
}

// A cancel asked at every file operation of a restore: before the exchange the data are
// untouched and nothing is left; once the exchange has begun it is finished.
TEST_F(Guasti, RipristinoAnnullatoAOgniOperazione) {
    std::vector<std::string> nomi;
    const int n =
        ContaOperazioni(nomi, [this] { ASSERT_EQ(Ripristina(), Esito::Completato); });
    int annullati = 0;
    for (const int k : Punti(n)) {
        const std::string dove = "annullato all'operazione " + std::to_string(k) + " (" + nomi[k] + ")";
        Azzera();
        interazione_.Rispondi(Risposta::Si);
        test::Registratore o;
        Risultato r;
        {
            test::FsGuasto g;
            g.prima = [&g, &o, k](const char*, const std::string&) {
                if (g.operazioni == k) o.Annulla();
                return 0;
            };
            r = EseguiRipristino(Richiesta(), o);
        }
        EXPECT_FALSE(r.errore) << dove;
        EXPECT_EQ(VociIn(temp_), 0U) << dove;
        EXPECT_FALSE(fs::exists(PercorsoGiornale())) << dove;
        if (r.esito == Esito::Annullato) {
            ++annullati;
            EXPECT_EQ(r.resta, CosaResta::DatiIntatti) << dove;
            EXPECT_TRUE(Contenuto(dati_) == vecchio_) << dove << Elenco(Contenuto(dati_));
        } else {
            EXPECT_EQ(r.esito, Esito::Completato) << dove;
            EXPECT_EQ(test::LeggiTesto(dati_ + "/anagrafe.mdb"), nuovo_.at("anagrafe.mdb")) << dove;
        }
        interazione_.messaggi.clear();
    }
    EXPECT_GT(annullati, static_cast<int>(Punti(n).size()) / 3);  // of the points tried
}

TEST_F(Guasti, RipristinoUccisoAOgniOperazione) {
    std::vector<std::string> nomi;
    const int n =
        ContaOperazioni(nomi, [this] { ASSERT_EQ(Ripristina(), Esito::Completato); });
    for (const int k : Punti(n)) {
        const std::string dove =
            "ucciso all'operazione " + std::to_string(k) + " (" + nomi[k] + ")";
        Azzera();
        interazione_.Rispondi(Risposta::Si);
        UccisoAllOperazione(k, [this] {
            test::Registratore o;
            EseguiRipristino(Richiesta(), o);
        });
        OgniDatabaseInteroVecchioONuovo(dove);
        ProssimoAvvio();
        VecchioOppureRipristinato(dove);
        EXPECT_FALSE(fs::exists(PercorsoGiornale())) << dove;
        EXPECT_EQ(VociIn(temp_), 0U) << dove;
        ASSERT_EQ(Ripristina(), Esito::Completato) << dove;
        EXPECT_EQ(test::LeggiTesto(dati_ + "/Magazzino.mdb"), nuovo_.at("Magazzino.mdb")) << dove;
        interazione_.messaggi.clear();
    }
}

TEST_F(Guasti, RipristinoConDatiSuUnAltroFileSystemEVolumeSenzaCollegamenti) {
    // Moves across file systems copy; a volume without hard links gets flushed copies; one
    // without an exchange of names gets two renames. Killed at each step all the same.
    const auto prepara = [this](test::FsGuasto& g) {
        g.erroreRinomina = [this](const std::string& da, const std::string& a) {
            return da.starts_with(temp_) && a.starts_with(dati_) ? EXDEV : 0;
        };
        g.erroreCollega = EPERM;
        g.scambioNonSupportato = true;
    };
    std::vector<std::string> nomi;
    const int n = ContaOperazioni(
        nomi, [this] { ASSERT_EQ(Ripristina(), Esito::Completato); }, prepara);
    for (const int k : Punti(n, 40)) {
        const std::string dove =
            "ucciso all'operazione " + std::to_string(k) + " (" + nomi[k] + ")";
        Azzera();
        interazione_.Rispondi(Risposta::Si);
        UccisoAllOperazione(
            k,
            [this] {
                test::Registratore o;
                EseguiRipristino(Richiesta(), o);
            },
            prepara);
        OgniDatabaseInteroVecchioONuovo(dove, true);
        ProssimoAvvio();
        VecchioOppureRipristinato(dove);
        interazione_.messaggi.clear();
    }
}

// The next start tells the user what it did with a restore that a crash interrupted.
struct CasoInterrotto {
    const char* nome;
    const char* operazione;  // the process dies at the first operation of this kind...
    const char* su;          // ...on a path containing this
    const char* messaggio;
    bool ripristinato;
};

class RipristinoInterrotto : public Guasti, public ::testing::WithParamInterface<CasoInterrotto> {};

TEST_P(RipristinoInterrotto, IlProssimoAvvioLoCompletaOLoAnnulla) {
    interazione_.Rispondi(Risposta::Si);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        test::FsGuasto g;
        g.prima = [](const char* op, const std::string& p) {
            if (std::string(op) == GetParam().operazione &&
                p.find(GetParam().su) != std::string::npos)
                ::_exit(77);
            return 0;
        };
        test::Registratore o;
        EseguiRipristino(Richiesta(), o);
        ::_exit(0);
    }
    int stato = 0;
    ::waitpid(pid, &stato, 0);
    ASSERT_EQ(WEXITSTATUS(stato), 77);
    ASSERT_TRUE(fs::exists(PercorsoGiornale()));
    interazione_.messaggi.clear();
    try {
        // The host here is too old: the start ends after the recovery, told first.
        CaricaAvvio(true, [this](const std::string& t) {
            interazione_.Messaggio(t, "Ripristino", Icona::Informazione, Pulsanti::Ok);
        });
    } catch (const Errore& e) {
        EXPECT_EQ(e.Numero(), errori::VersioneHost);
    }
    ASSERT_FALSE(interazione_.messaggi.empty());
    EXPECT_EQ(interazione_.messaggi[0].testo, GetParam().messaggio);
    EXPECT_EQ(interazione_.messaggi[0].titolo, "Ripristino");
    EXPECT_FALSE(fs::exists(PercorsoGiornale()));
    EXPECT_EQ(VociIn(temp_), 0U);
    if (GetParam().ripristinato) {
        VecchioOppureRipristinato("dopo l'avvio");
        EXPECT_NE(Contenuto(dati_), vecchio_);
    } else {
        EXPECT_EQ(Contenuto(dati_), vecchio_);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Casi, RipristinoInterrotto,
    ::testing::Values(
        CasoInterrotto{"in_preparazione", "mkdir", "~bvripristino",
                       "Un ripristino interrotto è stato annullato: i dati non sono stati "
                       "modificati.",
                       false},
        CasoInterrotto{"a_meta_sostituzione", "exchange", "~bvripristino2",
                       "Un ripristino interrotto è stato completato. I dati sostituiti sono nelle "
                       "copie di sicurezza (.cfb).",
                       true}),
    [](const auto& info) { return std::string(info.param.nome); });

class GuastiBackup : public Guasti {
  protected:
    RichiestaBackup Backup() {
        RichiestaBackup b;
        b.destinazione = dest_;
        b.verifica = true;
        b.percorsoDati = dati_ + "/";
        b.cartellaTemp = temp_;
        return b;
    }
    // Whatever failed, no descriptor names a block that is missing or short.
    void NessunDescrittoreSenzaIlSuoBlocco(const std::string& dove) {
        for (const auto& e : fs::directory_iterator(dest_)) {
            const std::string nome = e.path().filename();
            if (!nome.starts_with("BV") || !nome.ends_with(".inf")) continue;
            const std::string blocco = dest_ + "/" + nome.substr(0, nome.size() - 4);
            const std::string d = test::LeggiTesto(e.path().string());
            const auto p = d.find("SIZE_BLOCCO=") + 12;
            ASSERT_TRUE(fs::exists(blocco)) << dove << ": " << nome;
            EXPECT_EQ(std::to_string(fs::file_size(blocco)), d.substr(p, d.find('\r', p) - p))
                << dove << ": " << nome;
        }
    }
    // The next start, then one whole set, old or new, and a backup that works again.
    void UnSetInteroDopoIlProssimoAvvio(const Stato& primo, const Stato& secondo,
                                        const std::string& dove) {
        CompletaConfermeInterrotte(dest_);
        PulisciCartellaTemp(temp_);
        const Stato s = Set();
        EXPECT_TRUE(s == primo || s == secondo) << dove << Elenco(s);
        NessunDescrittoreSenzaIlSuoBlocco(dove);
        test::Registratore o;
        ASSERT_TRUE(EseguiBackup(Backup(), o)) << dove;
        EXPECT_TRUE(Set() == secondo) << dove;
    }
    // The set at the destination, rebuilt: its members by name and content.
    Stato Set() {
        Stato m;
        try {
            for (const auto& [nome, dati] : Membri(dest_, "BV20240315")) m[nome] = dati;
        } catch (const Errore& e) {  // a set that cannot be rebuilt
            m["<illeggibile>"] = std::to_string(e.Numero()) + " " + e.Descrizione();
        }
        return m;
    }
};

// A cancel asked at every file operation of a backup: it stops at its next safe point with the
// day's earlier set whole and nothing of its own left, or (asked after the last one) ends.
TEST_F(GuastiBackup, BackupAnnullatoAOgniOperazione) {
    const Stato primo = Set();
    std::vector<std::string> nomi;
    const int n = ContaOperazioni(nomi, [this] {
        test::Registratore o;
        ASSERT_TRUE(EseguiBackup(Backup(), o));
    });
    const Stato secondo = Set();
    int annullati = 0;
    for (const int k : Punti(n, 40)) {
        const std::string dove = "annullato all'operazione " + std::to_string(k) + " (" + nomi[k] + ")";
        Dati(dati_, "nuovo");
        {
            test::Registratore o;
            ASSERT_TRUE(EseguiBackup(Backup(), o));
        }
        Dati(dati_, "vecchio");
        test::Registratore o;
        Risultato r;
        {
            test::FsGuasto g;
            g.prima = [&g, &o, k](const char*, const std::string&) {
                if (g.operazioni == k) o.Annulla();
                return 0;
            };
            r = EseguiBackup(Backup(), o);
        }
        EXPECT_FALSE(r.errore) << dove << ": " << (r.errore ? r.errore->Descrizione() : "");
        if (r.esito == Esito::Annullato) {
            ++annullati;
            EXPECT_EQ(r.resta, CosaResta::PrecedenteIntatto) << dove;
            EXPECT_TRUE(Set() == primo) << dove << ": il set di prima è stato toccato";
            EXPECT_EQ(VociIn(temp_), 0U) << dove;
            for (const auto& e : fs::directory_iterator(dest_))
                EXPECT_FALSE(e.path().filename().string().starts_with("~")) << dove;
        } else {
            EXPECT_EQ(r.esito, Esito::Completato) << dove;
            EXPECT_TRUE(Set() == secondo) << dove;
        }
        NessunDescrittoreSenzaIlSuoBlocco(dove);
    }
    EXPECT_GT(annullati, 30);
}

// A repair in place killed at every file operation: the block is the damaged one or the
// repaired one, never a half; a repair run afterwards mends the set.
TEST_F(GuastiBackup, RiparazioneUccisaAOgniOperazione) {
    const std::string blocco = dest_ + "/BV20240315#0";
    const std::string buono = test::LeggiTesto(blocco);
    std::string danneggiato = buono;
    danneggiato[danneggiato.size() / 2] = static_cast<char>(~danneggiato[danneggiato.size() / 2]);
    RichiestaVerifica r;
    r.origine = dest_;
    r.nomeSet = "BV20240315";
    r.ripara = true;
    r.cartellaTemp = temp_;
    const auto ripara = [&r] {
        test::Registratore o;
        return EseguiVerifica(r, o);
    };
    test::ScriviFile(blocco, danneggiato);
    std::vector<std::string> nomi;
    const int n = ContaOperazioni(nomi, [&] {
        ASSERT_EQ(ripara().verifica.stato, StatoSet::Riparato);
    });
    for (const int k : Punti(n, 40)) {
        const std::string dove = "ucciso all'operazione " + std::to_string(k) + " (" + nomi[k] + ")";
        test::ScriviFile(blocco, danneggiato);
        UccisoAllOperazione(k, [&] { ripara(); });
        const std::string ora = test::LeggiTesto(blocco);
        EXPECT_TRUE(ora == buono || ora == danneggiato) << dove;
        PulisciCartellaTemp(temp_);
        const Risultato dopo = ripara();
        EXPECT_TRUE(dopo.verifica.stato == StatoSet::Riparato || dopo.verifica.stato == StatoSet::Integro)
            << dove;
        EXPECT_EQ(test::LeggiTesto(blocco), buono) << dove;
        EXPECT_EQ(VociIn(temp_), 0U) << dove;
    }
}

TEST_F(GuastiBackup, BackupConOgniOperazioneCheFallisce) {
    // The destination holds the set of the new data; the data folder now holds the old.
    const Stato primo = Set();
    std::vector<std::string> nomi;
    const int n = ContaOperazioni(nomi, [this] {
        test::Registratore o;
        ASSERT_TRUE(EseguiBackup(Backup(), o));
    });
    const Stato secondo = Set();
    ASSERT_NE(primo, secondo);
    for (const bool permanente : {false, true}) {
        for (const int k : Punti(n, 40)) {
            const std::string dove = "operazione " + std::to_string(k) + " (" + nomi[k] + ")" +
                                     (permanente ? " e seguenti" : "");
            // The first set again at the destination.
            Dati(dati_, "nuovo");
            {
                test::Registratore o;
                ASSERT_TRUE(EseguiBackup(Backup(), o));
            }
            ASSERT_TRUE(Set() == primo);
            Dati(dati_, "vecchio");
            test::Registratore o;
            bool riuscito = false;
            {
                test::FsGuasto g;
                g.prima = [&g, k, permanente](const char*, const std::string&) {
                    return g.operazioni == k || (permanente && g.operazioni > k) ? EIO : 0;
                };
                riuscito = EseguiBackup(Backup(), o).Riuscito();
            }
            EXPECT_EQ(Contenuto(dati_), vecchio_) << dove;  // a backup never touches the data
            if (riuscito) {
                EXPECT_TRUE(Set() == secondo) << dove;
            } else {
                EXPECT_EQ(o.errori.size(), 1U) << dove;
                if (!permanente) {
                    EXPECT_TRUE(Set() == primo) << dove << ": il set buono è stato toccato";
                }
                NessunDescrittoreSenzaIlSuoBlocco(dove);
                if (!permanente) {  // permanent faults leave nothing removable
                    EXPECT_EQ(VociIn(temp_), 0U) << dove;
                    for (const auto& e : fs::directory_iterator(dest_))
                        EXPECT_FALSE(e.path().filename().string().starts_with("~")) << dove;
                }
            }
            PulisciCartellaTemp(temp_);
            test::Registratore senzaGuasti;
            ASSERT_TRUE(EseguiBackup(Backup(), senzaGuasti)) << dove;
            EXPECT_TRUE(Set() == secondo) << dove;
            EXPECT_EQ(VociIn(temp_), 0U) << dove;
            for (const auto& e : fs::directory_iterator(dest_))
                EXPECT_FALSE(e.path().filename().string().starts_with("~")) << dove;
        }
    }
}

TEST_F(GuastiBackup, ConfermaConDueGuastiNonPerdeNessunSet) {
    // One rename of the set's commit fails, then one of the renames that undo it: the staged
    // and parked blocks stay for the next start, which puts one whole set in place.
    const Stato primo = Set();
    std::vector<std::string> nomi;
    ContaOperazioni(nomi, [this] {
        test::Registratore o;
        ASSERT_TRUE(EseguiBackup(Backup(), o));
    });
    const Stato secondo = Set();
    std::vector<int> conferma;  // the renames that put a block in place or park an old one
    for (size_t k = 1; k < nomi.size(); ++k) {
        if (nomi[k].starts_with("rename " + dest_ + "/BV") || nomi[k].ends_with(".vecchio"))
            conferma.push_back(static_cast<int>(k));
    }
    ASSERT_GE(conferma.size(), 4U);
    for (const int k : conferma) {
        for (const int m : {1, 2, 3}) {
            const std::string dove = "operazione " + std::to_string(k) + " (" + nomi[k] +
                                     "), poi la rinomina " + std::to_string(m) + " seguente";
            Dati(dati_, "nuovo");
            {
                test::Registratore o;
                ASSERT_TRUE(EseguiBackup(Backup(), o));
            }
            Dati(dati_, "vecchio");
            {
                test::FsGuasto g;
                int dopo = 0;
                g.prima = [&g, &dopo, k, m](const char* op, const std::string&) {
                    if (g.operazioni == k) return EIO;
                    if (g.operazioni > k && std::string(op) == "rename" && ++dopo == m) return EIO;
                    return 0;
                };
                test::Registratore o;
                EseguiBackup(Backup(), o);
            }
            UnSetInteroDopoIlProssimoAvvio(primo, secondo, dove);
            for (const auto& e : fs::directory_iterator(dest_))
                EXPECT_FALSE(e.path().filename().string().starts_with("~")) << dove;
        }
    }
}

// On FAT a power cut in the middle of a rename can leave both names on the same clusters; the
// check the system runs at the next mount (fsck.vfat -a) then empties one of the two. Whichever
// name it empties, during the old set's parking or the new set's taking of the names, the next
// start puts one whole set in place.
TEST_F(GuastiBackup, RinominaDellaConfermaDimezzataSuFatEDiscoControllato) {
    const Stato primo = Set();
    Dati(dati_, "vecchio");
    std::vector<std::string> nomi;
    ContaOperazioni(nomi, [this] {
        test::Registratore o;
        ASSERT_TRUE(EseguiBackup(Backup(), o));
    });
    const Stato secondo = Set();
    int provate = 0;
    for (int k = 1; k < static_cast<int>(nomi.size()); ++k) {
        const std::string prefisso = "rename " + dest_ + "/";
        if (!nomi[k].starts_with(prefisso)) continue;
        const std::string a = nomi[k].substr(prefisso.size());
        std::string da;
        if (a.starts_with("~BV") && a.ends_with(".vecchio")) {  // the old set steps aside
            da = a.substr(1, a.size() - 1 - 8);
        } else if (a.starts_with("BV")) {  // the new set takes the name
            da = "~" + a;
        } else {
            continue;
        }
        for (const bool svuotaIlNuovoNome : {false, true}) {
            const std::string dove = "rinomina " + da + " -> " + a + ", svuotato " +
                                     (svuotaIlNuovoNome ? a : da);
            Dati(dati_, "nuovo");
            {
                test::Registratore o;
                ASSERT_TRUE(EseguiBackup(Backup(), o));
            }
            Dati(dati_, "vecchio");
            const std::string percorsoDa = dest_ + "/" + da;
            const std::string percorsoA = dest_ + "/" + a;
            UccisoAllOperazione(
                -1,  // killed inside the rename, below
                [this] {
                    test::Registratore o;
                    EseguiBackup(Backup(), o);
                },
                [&](test::FsGuasto& g) {
                    // The rename half on disk: the new entry written, the old one not yet gone.
                    g.erroreRinomina = [&g, k, percorsoDa, percorsoA](const std::string&,
                                                                      const std::string&) {
                        if (g.operazioni == k) {
                            fs::copy_file(percorsoDa, percorsoA, fs::copy_options::overwrite_existing);
                            ::_exit(77);
                        }
                        return 0;
                    };
                });
            ASSERT_TRUE(fs::exists(percorsoA) && fs::exists(percorsoDa)) << dove;
            fs::resize_file(svuotaIlNuovoNome ? percorsoA : percorsoDa, 0);  // the disk check
            UnSetInteroDopoIlProssimoAvvio(primo, secondo, dove);
            ++provate;
        }
    }
    EXPECT_GE(provate, 8);
}

TEST_F(GuastiBackup, BackupSuDischettiConOgniOperazioneCheFallisce) {
    // Two disks of a small drive; the new-disk prompt answered by swapping them.
    test::ScriviFile(dati_ + "/anagrafe.mdb", Casuale(1600000));
    const auto prepara = [this](test::FsGuasto& g, test::UnitaRimovibile& unita) {
        unita.Collega(g);
        interazione_.allaRisposta = [&unita](const test::MessaggioMostrato& m, Risposta r) {
            if (r != Risposta::Riprova) return;
            std::smatch d;
            if (std::regex_search(m.testo, d, std::regex(R"(Inserire il (\d+)° disco)"))) {
                unita.Inserisci(std::stoi(d[1]) - 1);
            } else {
                unita.Inserisci(unita.Inserito() + 1);
            }
        };
    };
    const auto richiesta = [this] {
        RichiestaBackup b = Backup();
        b.floppy = true;
        b.percentualeRecupero = 0;
        return b;
    };
    int n = 0;
    std::vector<std::string> nomi{""};
    {
        fs::remove_all(t_ / "dischi");
        test::UnitaRimovibile unita(t_ / "floppy", t_ / "dischi", 1457664, 2);
        test::ImpostaVariabile("BVBACKUP_FLOPPY", unita.Cartella().c_str());
        test::FsGuasto conta;
        prepara(conta, unita);
        conta.prima = Registra(nomi);
        for (int i = 0; i < 3; ++i) interazione_.Rispondi(Risposta::Riprova);
        test::Registratore o;
        ASSERT_TRUE(EseguiBackup(richiesta(), o));
        n = conta.operazioni;
    }
    for (const bool permanente : {false, true}) {
        for (const int k : Punti(n, 30)) {
            const std::string dove = "operazione " + std::to_string(k) + " (" + nomi[k] + ")" +
                                     (permanente ? " e seguenti" : "");
            fs::remove_all(t_ / "floppy");
            fs::remove_all(t_ / "dischi");
            test::UnitaRimovibile unita(t_ / "floppy", t_ / "dischi", 1457664, 2);
            test::Registratore o;
            bool riuscito = false;
            {
                test::FsGuasto g;
                prepara(g, unita);
                g.prima = [&g, k, permanente](const char*, const std::string&) {
                    return g.operazioni == k || (permanente && g.operazioni > k) ? EIO : 0;
                };
                for (int i = 0; i < 3; ++i) interazione_.Rispondi(Risposta::Riprova);
                riuscito = EseguiBackup(richiesta(), o).Riuscito();
            }
            EXPECT_EQ(Contenuto(dati_)["anagrafe/foto.jpg"], "foto vecchio") << dove;
            if (!riuscito) {
                EXPECT_EQ(o.errori.size(), 1U) << dove;
                if (!permanente) {
                    EXPECT_EQ(VociIn(temp_), 0U) << dove;
                }
            }
            // On each disk: no descriptor names a block that is missing or short.
            for (int d = 0; d < 2; ++d) {
                const std::string disco = unita.Disco(d);
                for (const auto& e : fs::directory_iterator(disco)) {
                    const std::string nome = e.path().filename();
                    if (!nome.ends_with(".inf")) continue;
                    const std::string blocco = disco + "/" + nome.substr(0, nome.size() - 4);
                    const std::string t = test::LeggiTesto(e.path().string());
                    const auto p = t.find("SIZE_BLOCCO=") + 12;
                    ASSERT_TRUE(fs::exists(blocco)) << dove << ": " << nome;
                    EXPECT_EQ(std::to_string(fs::file_size(blocco)),
                              t.substr(p, t.find('\r', p) - p))
                        << dove << ": " << nome;
                }
            }
            interazione_.messaggi.clear();
            PulisciCartellaTemp(temp_);
        }
    }
    test::TogliVariabile("BVBACKUP_FLOPPY");
}

TEST_F(GuastiBackup, BackupUccisoAOgniOperazione) {
    const Stato primo = Set();
    Dati(dati_, "vecchio");
    std::vector<std::string> nomi;
    const int n = ContaOperazioni(nomi, [this] {
        test::Registratore o;
        ASSERT_TRUE(EseguiBackup(Backup(), o));
    });
    const Stato secondo = Set();
    // Every operation of the final renames, and a sample of the others.
    std::vector<int> punti = Punti(n, 40);
    for (int k = 1; k <= n; ++k) {
        if (nomi[k].find(dest_) != std::string::npos &&
            (nomi[k].starts_with("rename") || nomi[k].starts_with("unlink")))
            punti.push_back(k);
    }
    std::sort(punti.begin(), punti.end());
    punti.erase(std::unique(punti.begin(), punti.end()), punti.end());
    for (const int k : punti) {
        const std::string dove =
            "ucciso all'operazione " + std::to_string(k) + " (" + nomi[k] + ")";
        Dati(dati_, "nuovo");
        {
            test::Registratore o;
            ASSERT_TRUE(EseguiBackup(Backup(), o));
        }
        Dati(dati_, "vecchio");
        UccisoAllOperazione(k, [this] {
            test::Registratore o;
            EseguiBackup(Backup(), o);
        });
        EXPECT_EQ(Contenuto(dati_), vecchio_) << dove;
        NessunDescrittoreSenzaIlSuoBlocco(dove);
        // The next start: a set stopped among its final renames is put in place.
        CompletaConfermeInterrotte(dest_);
        PulisciCartellaTemp(temp_);
        NessunDescrittoreSenzaIlSuoBlocco(dove);
        const Stato dopo = Set();
        EXPECT_TRUE(dopo == primo || dopo == secondo) << dove;
        for (const auto& e : fs::directory_iterator(dest_))
            EXPECT_FALSE(e.path().filename().string().ends_with(".conferma")) << dove;
        EXPECT_EQ(VociIn(temp_), 0U) << dove << Elenco(Contenuto(temp_));
        test::Registratore o;
        ASSERT_TRUE(EseguiBackup(Backup(), o)) << dove;
        EXPECT_TRUE(Set() == secondo) << dove;
    }
}

}  // namespace
}  // namespace bv
