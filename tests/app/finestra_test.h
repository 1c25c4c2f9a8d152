// A window under test: its own program folder and registry stand-in, scripted answers,
// and controls found by object name.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QThread>
#include <type_traits>
#include <array>
#include <optional>

#include "app/etichetta_percorso.h"
#include "app/frmmain.h"
#include "tests/support/variabili.h"
#include "platform/file_reg.h"
#include "platform/percorsi.h"
#include "platform/programma.h"
#include "tests/support/cartella_temp.h"
#include "tests/support/interazione_script.h"
#include "tests/support/registro_prova.h"
#include "tools/pe_builder.h"

namespace bv::test {

// Runs `azione` on `contesto`'s thread and returns its result, waiting for it from another
// thread (a test's file-system hook on the window's worker).
template <class Azione>
auto DallaFinestra(QObject* contesto, Azione azione) -> std::invoke_result_t<Azione> {
    if (QThread::currentThread() == contesto->thread()) return azione();
    using Risultato = std::invoke_result_t<Azione>;
    if constexpr (std::is_void_v<Risultato>) {
        QMetaObject::invokeMethod(contesto, std::move(azione), Qt::BlockingQueuedConnection);
    } else {
        Risultato r{};
        QMetaObject::invokeMethod(
            contesto, [&r, &azione] { r = azione(); }, Qt::BlockingQueuedConnection);
        return r;
    }
}

// The platform's separator, for the paths the window shows.
inline std::string Sep() {
    return std::string(1, Separatore());
}

class FinestraTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CreaCartelle(programma_);
        CreaCartelle(t_ / "host");
        ImpostaCartellaProgramma(programma_);
        test::ImpostaVariabile("BVBACKUP_REGISTRY", (t_ / "registry.reg").c_str());
    }
    void TearDown() override {
        ImpostaCartellaProgramma("");
        test::TogliVariabile("BVBACKUP_REGISTRY");
    }

    void Registra(std::optional<std::array<uint16_t, 4>> versione, bool scriviEseguibile = true) {
        reg_.Imposta("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Brelvano.exe",
                     "", t_ / "host/Brelvano.exe");
        if (scriviEseguibile) {
            const auto img = strumenti::CostruisciPe({.versione = versione});
            ScriviFile(t_ / "host/Brelvano.exe", std::string(img.byte.begin(), img.byte.end()));
        }
    }
    void ImpostaPath(const std::string& p) {
        reg_.Imposta("HKCU\\Software\\VB and VBA Program Settings\\KO_Brelvano\\CartellaDati",
                     "Path", p);
    }
    void ImpostaBackup(const std::string& chiave, const std::string& valore) {
        reg_.Imposta("HKCU\\Software\\VB and VBA Program Settings\\KO_BVBackup\\Backup", chiave,
                     valore);
    }
    void Carica() {
        ScriviFile(t_ / "registry.reg", reg_.Contenuto());
        registro_.Carica(reg_);
        f_.Carica();
        Attendi();
    }
    // The window's jobs (the start, a command, a listing) run on its worker: until they end.
    void Attendi() {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !f_.AlLavoro(); }, 120000));
    }
    template <typename T>
    T* C(const char* nome) {
        auto* c = f_.findChild<T*>(QString::fromLatin1(nome));
        EXPECT_NE(c, nullptr) << nome;
        return c;
    }
    std::string Testo(const char* nome) {
        if (auto* p = f_.findChild<EtichettaPercorso*>(QString::fromLatin1(nome)))
            return p->TestoCompleto().toStdString();
        if (auto* l = f_.findChild<QLabel*>(QString::fromLatin1(nome)))
            return l->text().toStdString();
        return C<QLineEdit>(nome)->text().toStdString();
    }

    CartellaTemp t_;
    std::string programma_ = t_ / "programma";
    RegistroDiProva registro_;  // the registry on Windows, this test's own
    DocumentoReg reg_;
    InterazioneScriptata interazione_;
    FrmMain f_;
};

}  // namespace bv::test
