// A data folder, a destination and a program folder in a temporary folder, with a recording
// observer: the fixture of the backup and restore tests.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <zip.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "fileset/clsinsieme.h"
#include "operazioni/backup.h"
#include "operazioni/lavoro.h"
#include "operazioni/ripristino.h"
#include "tests/support/variabili.h"
#include "platform/data_ora.h"
#include "platform/programma.h"
#include "span/clsspan.h"
#include "tests/support/cartella_temp.h"
#include "tests/support/registro_prova.h"
#include "tests/support/interazione_script.h"

namespace bv {
// A result as a failed check shows it.
inline void PrintTo(const Risultato& r, std::ostream* os) {
    static const char* const kEsiti[] = {"Completato", "Rinunciato", "Annullato", "Fallito"};
    *os << kEsiti[static_cast<int>(r.esito)];
    if (r.errore) *os << " (Errore " << r.errore->Numero() << ": " << r.errore->Descrizione() << ")";
}
}  // namespace bv

namespace bv::test {

// The hooks of an operation under test: what it told, in order; its questions go to the
// scripted answers; its result's error is recorded as the window would show it.
class Registratore final : public GanciOperazione {
  public:
    void Messaggio(const std::string& testo) override {
        eventi.push_back("msg:" + testo);
        if (suMessaggio) suMessaggio(testo);
    }
    void Avanzamento(double v) override { avanzamenti.push_back(v); }
    void Avviso(const std::string& testo) override { avvisi.push_back(testo); }
    Interazione& Domande() override { return InterazioneCorrente(); }
    void DatiCreati(const std::string& p) override { datiCreati = p; }
    void Registra(const Risultato& r) {
        risultato = r;
        if (!r.errore) return;
        eventi.push_back("errore:" + std::to_string(r.errore->Numero()));
        errori.push_back(r.errore->Numero());
        testiErrori.push_back(r.errore->Descrizione());
        dettagli.push_back(r.errore->Dettaglio());
    }
    bool Contiene(const std::string& e) const {
        return std::find(eventi.begin(), eventi.end(), e) != eventi.end();
    }
    void Azzera() {
        eventi.clear();
        avanzamenti.clear();
        avvisi.clear();
        errori.clear();
        testiErrori.clear();
        dettagli.clear();
        datiCreati.clear();
        risultato = {};
    }

    std::vector<std::string> eventi;
    std::vector<double> avanzamenti;
    std::vector<std::string> avvisi;
    std::vector<int32_t> errori;
    std::vector<std::string> testiErrori;
    std::vector<std::string> dettagli;  // what goes to the log
    std::string datiCreati;
    Risultato risultato;  // the last
    std::function<void(const std::string&)> suMessaggio;
};

// The operations with a recording hook: the result, its error recorded.
inline Risultato EseguiBackup(const RichiestaBackup& r, Registratore& o) {
    Risultato ris = bv::EseguiBackup(r, o);
    o.Registra(ris);
    return ris;
}
inline Risultato EseguiRipristino(const RichiestaRipristino& r, Registratore& o) {
    Risultato ris = bv::EseguiRipristino(r, o);
    o.Registra(ris);
    return ris;
}

class AmbienteOperazioni : public ::testing::Test {
  protected:
    void SetUp() override {
        CreaCartelle(programma_ + "/Temp");
        CreaCartelle(dati_);
        CreaCartelle(dest_);
        ImpostaCartellaProgramma(programma_);
        ImpostaOrologio([] { return DataOra{2024, 3, 15, 18, 42, 7}; });
        test::ImpostaVariabile("BVBACKUP_REGISTRY", (t_ / "registry.reg").c_str());
    }
    void TearDown() override {
        ImpostaCartellaProgramma("");
        ImpostaOrologio({});
        test::TogliVariabile("BVBACKUP_REGISTRY");
    }
    // The host's registration and settings: the stand-in file on POSIX, this test's own
    // registry on Windows.
    void ImpostaRegistro(const DocumentoReg& reg) {
        ScriviFile(t_ / "registry.reg", reg.Contenuto());
        registro_.Carica(reg);
    }
    void Database(const std::string& nome, const std::string& contenuto,
                  const std::vector<std::pair<std::string, std::string>>& compagni,
                  const std::string& cartella = "") {
        ScriviFile(dati_ + "/" + nome, contenuto);
        const std::string c =
            dati_ + "/" + (cartella.empty() ? nome.substr(0, nome.size() - 4) : cartella);
        CreaCartelle(c);
        for (const auto& [f, d] : compagni) ScriviFile(c + "/" + f, d);
    }
    // The members of the set `nome` in `cartella`, rebuilt: name and content, in archive order.
    std::vector<std::pair<std::string, std::string>> Membri(const std::string& cartella,
                                                            const std::string& nome) {
        const std::string zip = t_ / "controllo.zip";
        {
            UsaInterazione silenziosa(nessuna_);
            ClsSpan s;
            s.Ricostruisci(cartella, nome, zip, false);
        }
        std::vector<std::pair<std::string, std::string>> m;
        int e = 0;
        zip_t* z = zip_open(zip.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &e);
        EXPECT_NE(z, nullptr);
        if (z == nullptr) return m;
        for (zip_int64_t i = 0; i < zip_get_num_entries(z, 0); ++i) {
            zip_stat_t st;
            zip_stat_index(z, static_cast<zip_uint64_t>(i), 0, &st);
            std::string d(st.size, '\0');
            zip_file_t* f = zip_fopen_index(z, static_cast<zip_uint64_t>(i), 0);
            zip_fread(f, d.data(), d.size());
            zip_fclose(f);
            m.emplace_back(st.name, d);
        }
        zip_discard(z);
        return m;
    }
    // A restore of the set of the 15th of March 2024 from the destination into the data folder.
    RichiestaRipristino Richiesta() {
        elenco_.Clear();
        elenco_.GetFilenames(dest_, "BV????????#*");
        RichiestaRipristino r;
        r.origine = dest_;
        r.nomeSet = elenco_.GetItem(1);
        r.dataSet = "15/03/2024";
        r.percorsoDati = dati_ + "/";
        r.cartellaTemp = temp_;
        return r;
    }
    size_t VociIn(const std::string& cartella) {
        size_t n = 0;
        for (const auto& v : FsDiSistema().Elenca(cartella)) n += v.nome.empty() ? 0 : 1;
        return n;
    }

    CartellaTemp t_;
    RegistroDiProva registro_;  // the settings the operations save stay this test's own
    std::string programma_ = t_ / "programma";
    std::string temp_ = programma_ + "/Temp";
    std::string dati_ = t_ / "dati";
    std::string dest_ = t_ / "dest";
    InterazioneScriptata interazione_;
    InterazioneNonPresidiata nessuna_;
    Registratore osservatore_;
    ClsInsieme elenco_;
};

}  // namespace bv::test
