// The destination found again on the same stick under another letter.
#include "operazioni/destinazione_ritrovata.h"

#include "operazioni/impostazioni_programma.h"
#include "platform/filesystem.h"
#include "platform/impostazioni.h"
#include "platform/percorsi.h"
#include "platform/codifica.h"

namespace bv {

namespace {

class VolumiDiSistema final : public Volumi {
  public:
    std::optional<VolumeRimovibile> Di(const std::string& percorso) override {
        return VolumeRimovibileDi(percorso);
    }
    std::vector<VolumeRimovibile> Montati() override { return VolumiRimovibili(); }
};

Volumi*& Correnti() {
    static VolumiDiSistema sistema;
    static Volumi* correnti = &sistema;
    return correnti;
}

// Drive letters come in either case; a mount point differing only in case would still need
// the same serial number to be taken.
bool IniziaCon(const std::string& percorso, const std::string& radice) {
    return percorso.size() >= radice.size() &&
           Minuscolo(percorso.substr(0, radice.size())) == Minuscolo(radice);
}

constexpr const char* kChiaveVolume = "DestVolume";
constexpr const char* kChiaveRadice = "DestRadice";
constexpr const char* kChiaveEtichetta = "DestEtichetta";

std::optional<VolumeRimovibile> VolumeDellaSezione(const std::string& sezione) {
    const std::string app = ApplicazioneProgramma();
    VolumeRimovibile v;
    v.identita = LeggiImpostazione(app, sezione, kChiaveVolume, "");
    v.radice = LeggiImpostazione(app, sezione, kChiaveRadice, "");
    v.etichetta = LeggiImpostazione(app, sezione, kChiaveEtichetta, "");
    if (v.identita.empty() || v.radice.empty()) return std::nullopt;
    return v;
}

}  // namespace

Volumi& VolumiCorrenti() { return *Correnti(); }

SostituzioneVolumi::SostituzioneVolumi(Volumi& nuovi) : precedenti_(Correnti()) { Correnti() = &nuovi; }

SostituzioneVolumi::~SostituzioneVolumi() { Correnti() = precedenti_; }

std::optional<DestinazioneRitrovata> RitrovaDestinazione(const std::string& destinazione,
                                                        const VolumeRimovibile& ricordato,
                                                        const std::vector<VolumeRimovibile>& montati) {
    if (destinazione.empty() || Fs().Info(destinazione).cartella) return std::nullopt;
    if (ricordato.identita.empty() || !IniziaCon(destinazione, ricordato.radice)) return std::nullopt;
    const std::string resto = destinazione.substr(ricordato.radice.size());
    for (const VolumeRimovibile& v : montati) {
        if (v.identita != ricordato.identita || Minuscolo(v.radice) == Minuscolo(ricordato.radice))
            continue;
        const std::string cartella = v.radice + resto;
        if (Fs().Info(cartella).cartella) return DestinazioneRitrovata{cartella, v};
    }
    return std::nullopt;
}

std::optional<DestinazioneRitrovata> RitrovaDestinazione(const std::string& destinazione,
                                                        const std::optional<VolumeRimovibile>& ricordato) {
    if (!ricordato || destinazione.empty() || Fs().Info(destinazione).cartella) return std::nullopt;
    return RitrovaDestinazione(destinazione, *ricordato, VolumiCorrenti().Montati());
}

std::string TestoDestinazioneRitrovata(const std::string& destinazione, const DestinazioneRitrovata& d) {
    const std::string chiavetta =
        d.volume.etichetta.empty() ? "la stessa chiavetta" : "la stessa chiavetta «" + d.volume.etichetta + "»";
    return "La cartella " + PercorsoPerMessaggio(destinazione) + " non c'è: " + chiavetta +
           " si trova ora in " + PercorsoPerMessaggio(d.volume.radice) + " e il backup va in " +
           PercorsoPerMessaggio(d.cartella) + ".";
}

void RicordaVolumeDestinazione(const std::string& sezione, const std::string& destinazione) {
    const std::optional<VolumeRimovibile> v = VolumiCorrenti().Di(destinazione);
    const std::string app = ApplicazioneProgramma();
    // A stick not plugged in now keeps what was known of it.
    if (!v && !Fs().Info(destinazione).cartella) return;
    SalvaImpostazione(app, sezione, kChiaveVolume, v ? v->identita : "");
    SalvaImpostazione(app, sezione, kChiaveRadice, v ? v->radice : "");
    SalvaImpostazione(app, sezione, kChiaveEtichetta, v ? v->etichetta : "");
}

std::optional<VolumeRimovibile> VolumeRicordatoPer(const std::string& destinazione) {
    for (const char* sezione : {kSezionePianificazione, kSezioneBackup}) {
        std::optional<VolumeRimovibile> v = VolumeDellaSezione(sezione);
        if (v && IniziaCon(destinazione, v->radice)) return v;
    }
    return std::nullopt;
}

}  // namespace bv
