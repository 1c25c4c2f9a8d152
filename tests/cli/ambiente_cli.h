// A host registered with its data folder and a destination, for the command line's tests.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "platform/file_reg.h"
#include "platform/programma.h"
#include "tests/support/cartella_temp.h"
#include "tests/support/registro_prova.h"
#include "tools/pe_builder.h"

namespace bv::test {

class AmbienteCli : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* c : {"programma", "host", "dati/dati", "dati/altro", "dest", "runtime"})
            CreaCartelle(t_ / c);
        const auto img = strumenti::CostruisciPe({.versione = std::array<uint16_t, 4>{1, 2, 0, 0}});
        ScriviFile(t_ / "host/Brelvano.exe", std::string(img.byte.begin(), img.byte.end()));
        ScriviFile(t_ / "dati/dati.mdb", std::string(50000, 'd'));
        ScriviFile(t_ / "dati/dati/logo.bmp", "logo");
        ScriviFile(t_ / "dati/altro.mdb", "altro");
        ScriviFile(t_ / "dati/altro/LEGGIMI", "senza estensione");
        DocumentoReg reg;
        reg.Imposta("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Brelvano.exe",
                    "", t_ / "host/Brelvano.exe");
        reg.Imposta("HKCU\\Software\\VB and VBA Program Settings\\KO_Brelvano\\CartellaDati",
                    "Path", t_ / "dati/");
        reg.Imposta("HKCU\\Software\\VB and VBA Program Settings\\KO_BVBackup\\Backup", "Dest",
                    t_ / "dest/");
        ScriviFile(t_ / "registry.reg", reg.Contenuto());
        registro_.Carica(reg);
    }
    std::map<std::string, std::string> Ambiente() const {
        return {{"BVBACKUP_REGISTRY", t_ / "registry.reg"},
                {"XDG_RUNTIME_DIR", t_ / "runtime"},
                {"LC_ALL", "C"}};
    }

    CartellaTemp t_;
    RegistroDiProva registro_;
};

}  // namespace bv::test
