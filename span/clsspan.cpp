// The span writer and the rebuild.
#include "span/clsspan.h"

#include <algorithm>
#include <cerrno>

#include "platform/codifica.h"
#include "platform/data_ora.h"
#include "platform/errore.h"
#include "platform/filesystem.h"
#include "platform/percorsi.h"
#include "platform/spazio_disco.h"
#include "sicurezza/conferma_set.h"
#include "sicurezza/nomi_provvisori.h"
#include "span/descrittore.h"
#include "util/errori.h"
#include "util/interazione.h"

namespace bv {

namespace {

constexpr int64_t kMassimo32 = 2147483647;
constexpr size_t kPasso = 4 << 20;  // how much of a block is read at a time

Errore SenzaDisco(const std::string& unita) {
    return errori::CreaCon(errori::SpazioNonDeterminabile, {PercorsoPerMessaggio(unita)});
}

bool Oltre32Bit(int64_t v) {
    return v < -kMassimo32 - 1 || v > kMassimo32;
}

// A failure of what the rebuild writes (the archive, the gathered copies), never the disk's.
struct ErroreDestinazione : Errore {
    explicit ErroreDestinazione(const Errore& e) : Errore(e) {}
};

Errore Annullato() {
    return errori::OperazioneAnnullata();
}

// Whether a plain, visible file of that name exists, found as Windows would find it.
std::string FileNormale(const std::string& cartella, const std::string& nome) {
    const std::string p = TrovaNome(cartella, nome);
    const InfoFile i = Fs().Info(p);
    return i.file && !i.nascosto ? p : std::string();
}

}  // namespace

Errore ArchivioTroppoGrande(const std::string& archivio) {
    return Errore(num::Overflow,
                  "Il backup compresso supera i 2 GB, il massimo che BVBackup può salvare in un "
                  "set. Spostare una parte dei database in un'altra cartella dei dati e farne "
                  "backup separati.",
                  archivio);
}

ClsSpan::ClsSpan() {
    stato_ = StatoVuoto;
    Svuota();
}

ClsSpan::~ClsSpan() {
    Svuota();
}

void ClsSpan::filename(const std::string& valore) {
    filename_ = Spazi(valore);
    if (!filename_.empty()) stato_ = StatoNomeImpostato;
}

void ClsSpan::Svuota() {
    archivio_.reset();
    dimensione_ = 0;
}

void ClsSpan::Dealloca() {
    stato_ = StatoVuoto;
    Svuota();
}

int32_t ClsSpan::DimensioneFile() {
    if (filename_.empty()) throw errori::Crea(errori::FilenameMancante);
    const InfoFile info = Fs().Info(filename_);
    // The existence test of the platform: a plain, visible file.
    if (!info.file || info.nascosto) throw errori::Crea(errori::FilenameInesistente);
    // Sizes are 32-bit in the descriptors: a larger archive could be written but never restored.
    if (info.dimensione > static_cast<uint64_t>(kMassimo32)) throw ArchivioTroppoGrande(filename_);
    dimensione_ = static_cast<int32_t>(info.dimensione);
    return dimensione_;
}

void ClsSpan::CaricaMemoria() {
    Svuota();
    const int32_t n = DimensioneFile();
    // Kept open: the caller may remove the file's name, the blocks are still read from it.
    auto f = std::make_unique<File>(filename_, ModoApertura::Lettura);
    archivio_ = std::move(f);
    dimensione_ = n;
    stato_ = StatoCaricato;
    if (FineCaricamento) FineCaricamento();
}

size_t ClsSpan::AccodaBlocco(File& blocco, size_t lunghezza, File& archivio, int32_t n) {
    std::vector<uint8_t> buf(std::min(kPasso, std::max<size_t>(lunghezza, 1)));
    size_t letti = 0;
    while (letti < lunghezza) {
        const size_t r = blocco.LeggiTutto(buf.data(), std::min(buf.size(), lunghezza - letti));
        if (r == 0) break;
        if (DatiLetti) DatiLetti(n, buf.data(), r);
        try {
            archivio.ScriviTutto(buf.data(), r);
        } catch (const Errore& e) {
            throw ErroreDestinazione(e);
        }
        letti += r;
    }
    dimensione_ = static_cast<int32_t>(static_cast<size_t>(dimensione_) + letti);
    return letti;
}

size_t ClsSpan::EstraiBlocco(size_t offset, size_t limite) const {
    return std::min(limite, static_cast<size_t>(dimensione_) - offset);
}

std::string ClsSpan::NormalizzaCartella(const std::string& path) const {
    if (path.empty()) return path;
    std::string c = path;
    if (Separatore() == '\\') std::replace(c.begin(), c.end(), '/', '\\');
    if (c.back() != Separatore()) c += Separatore();
    return c;
}

bool ClsSpan::VerificaScrittura(const std::string& path) const {
    return utilita_.WriteAccess(path);
}

// The checks of a folder to write in, in their order (9237, 9238, 9235); returns its drive.
std::string ClsSpan::ControllaCartella(const std::string& cartella) const {
    std::string unita = UnitaDi(cartella);
    if (!UnitaValida(unita)) throw errori::Crea(errori::UnitaNonValida);
    if (!utilita_.IsCartella(cartella)) {
        throw errori::CreaCon(errori::PercorsoNonValido, {PercorsoPerMessaggio(cartella)});
    }
    if (!VerificaScrittura(cartella)) {
        throw errori::CreaCon(errori::ScritturaNegata, {PercorsoPerMessaggio(cartella)});
    }
    return unita;
}

void ClsSpan::ControllaDestinazione(const std::string& cartella) {
    GetSpazioDisco(ControllaCartella(NormalizzaCartella(cartella)), false);
}

// A removable drive with no disk in it ends the rebuild as it ends the split (9240): its
// empty mount point must not be read as a disk without the set.
void ClsSpan::ControllaDiscoOrigine(const std::string& origine) const {
    if (Fs().Info(origine).cartella && SpazioLiberoDisco(origine) == -1) {
        throw SenzaDisco(UnitaDi(origine));
    }
}

void ClsSpan::ChiediNuovoDisco(const std::string& unita) {
    std::string testo = PercorsoPerMessaggio(unita) +
                        " spazio disco non disponibile. Inserire un nuovo disco e premere Riprova.";
    // The user labels the disks in the order the restore will ask for them.
    if (prossimoDisco_ > 0)
        testo += " Sarà il disco " + std::to_string(prossimoDisco_) +
                 " del backup: annotarlo sull'etichetta.";
    const Risposta r = Chiedi().Messaggio(testo, "Disco", Icona::Informazione,
                                                       Pulsanti::RiprovaAnnulla);
    if (r != Risposta::Riprova) throw Annullato();
}

int32_t ClsSpan::GetSpazioDisco(const std::string& unita, bool cambioDisk) {
    for (;;) {
        const int64_t v = SpazioLiberoDisco(unita);
        if (v == -1) {
            throw SenzaDisco(unita);
        }
        if (cambioDisk && v < kRiserva) {
            ChiediNuovoDisco(unita);
            continue;
        }
        return static_cast<int32_t>(std::min(v, kMassimo32));
    }
}

void ClsSpan::Span(const std::string& path, const std::string& nomefile) {
    const DataOra inizio = Adesso();
    if (stato_ != StatoCaricato && stato_ != StatoSuddiviso) {
        throw errori::Crea(errori::FileNonCaricato);
    }
    const std::string unita = ControllaCartella(path);
    if (dimensione_ == 0)
        throw errori::CreaCon(errori::DimensioneZero, {PercorsoPerMessaggio(filename_)});

    size_t offset = 0;
    int32_t n = 0;
    bool ultimo = false;
    while (!ultimo) {
        prossimoDisco_ = n + 1;
        // A volume with no usable byte beyond the reserve counts as full.
        int64_t limite = 0;
        for (;;) {
            limite = static_cast<int64_t>(GetSpazioDisco(unita, true)) - kRiserva;
            if (limite > 0) break;
            ChiediNuovoDisco(unita);
        }
        limite = std::min<int64_t>(limite, kMassimoBlocco);
        const std::string cartella = NormalizzaCartella(path);
        const std::string blocco = provvisoria_
                                       ? nomi::Provvisorio(cartella, nomi::Blocco(nomefile, n))
                                       : cartella + nomi::Blocco(nomefile, n);
        const size_t dimensioneBlocco = EstraiBlocco(offset, static_cast<size_t>(limite));
        nomi::ScriviDurevole(
            blocco, dimensioneBlocco, [this, offset, n](uint64_t da, uint8_t* buf, size_t quanti) {
                const size_t letti = archivio_->LeggiDa(offset + da, buf, quanti);
                if (letti != quanti)
                    throw ErroreStandard(num::ErroreIO,
                                         filename_ + ": archivio letto solo in parte");
                if (DatiBlocco) DatiBlocco(n, buf, letti);
                return letti;
            });
        offset += dimensioneBlocco;
        ultimo = offset >= static_cast<size_t>(dimensione_);

        Descrittore d;
        d.inizio = inizio;
        d.termine = Adesso();
        d.nomefile = nomefile;
        d.dimensioneFile = dimensione_;
        d.cartella = cartella;
        d.numero = n;
        d.dimensioneBlocco = static_cast<int32_t>(dimensioneBlocco);
        d.ultimo = ultimo;
        const std::string testo = TestoDescrittore(d);
        nomi::ScriviDurevole(blocco + ".inf", testo);
        ++n;
        if (Avanzamento) Avanzamento(0, Percentuale(static_cast<double>(offset), dimensione_));
    }
    blocchiScritti_ = n;
    prossimoDisco_ = 0;
    stato_ = StatoSuddiviso;
}

void ClsSpan::ConfermaSet(const std::string& path, const std::string& nomefile,
                          const std::vector<std::string>& recupero) {
    bv::ConfermaSet(NormalizzaCartella(path), nomefile, blocchiScritti_, recupero);
}

namespace {

// Whether the folder holds a file of the set (a folder that cannot be listed holds none).
bool SetPresente(const std::string& origine, const std::string& nomefile) {
    try {
        const std::string prefisso = Maiuscolo(nomefile);
        for (const VoceCartella& v : Fs().Elenca(origine.empty() ? "." : origine)) {
            if (v.file && !v.nascosto && Maiuscolo(v.nome).starts_with(prefisso)) return true;
        }
    } catch (const Errore&) {
    }
    return false;
}

}  // namespace

ClsSpan::BloccoDelSet ClsSpan::CercaBlocco(const std::string& origine, const std::string& nomefile,
                                           int32_t n, std::string& inizioSet, bool rimovibile,
                                           bool verifica) {
    const std::string nomeBlocco = nomefile + "#" + std::to_string(n);
    for (;;) {
        ControllaDiscoOrigine(origine);
        BloccoDelSet b{
            false, FileNormale(origine, nomeBlocco), FileNormale(origine, nomeBlocco + ".inf"), {}};
        if (!sostitutivi_.empty()) {
            const std::string sostituto = FileNormale(utilita_.AggiungiSepDir(sostitutivi_), nomeBlocco);
            if (!sostituto.empty()) b.file = sostituto;
        }
        std::string testo = "Inserire il " + std::to_string(n + 1) + "° disco del backup.";
        if (!b.file.empty() && !b.fileDescrittore.empty()) {
            // Read once; a descriptor the medium cannot give back is a read error, not a
            // descriptor without keys.
            b.descrittore = LeggiDescrittore(LeggiFileTesto(b.fileDescrittore));
            // Every descriptor of one run carries the run's start: a block of another run of
            // the same day has the same name but not the same start.
            const std::string inizio = b.descrittore.data + " " + b.descrittore.ora;
            // The first block read gives the run (block 0 may be the missing one).
            if (inizioSet.empty()) inizioSet = inizio;
            if (inizio == inizioSet) return b;
            if (!rimovibile) {
                throw errori::Crea(errori::BackupDiversi,
                                   b.fileDescrittore + ": " + inizio + " invece di " + inizioSet);
            }
            testo = "Il disco inserito appartiene a un altro backup. " + testo;
        } else if (!rimovibile) {
            // A folder of a fixed disk is no disk to insert: the block it lacks is named.
            throw errori::BloccoMancanteIn(origine, b.file.empty() ? nomeBlocco
                                                                   : nomeBlocco + ".inf");
        }
        const bool puoMancare = rimovibile && mancante_;
        const Risposta r = Chiedi().Messaggio(
            testo, verifica ? "Verifica" : "Ripristino", Icona::Informazione,
            puoMancare ? Pulsanti::RiprovaMancanteAnnulla : Pulsanti::RiprovaAnnulla);
        if (puoMancare && r == Risposta::Mancante) return BloccoDelSet{true, {}, {}, {}};
        if (r != Risposta::Riprova) throw Annullato();
    }
}

void ClsSpan::SeparaBlocchi(File& archivio, const std::vector<uint64_t>& lunghezze,
                            const std::string& nomefile) {
    std::vector<uint8_t> buf(kPasso);
    uint64_t offset = 0;
    for (size_t i = 0; i < lunghezze.size(); ++i) {
        File blocco(utilita_.AggiungiSepDir(raccolta_) + nomefile + "#" + std::to_string(i),
                    ModoApertura::ScritturaEsclusiva);
        for (uint64_t fatti = 0; fatti < lunghezze[i];) {
            const auto voluti = static_cast<size_t>(std::min<uint64_t>(buf.size(), lunghezze[i] - fatti));
            const size_t r = archivio.LeggiDa(offset + fatti, buf.data(), voluti);
            if (r != voluti)
                throw ErroreStandard(num::ErroreIO, raccolta_ + ": archivio letto solo in parte");
            blocco.ScriviTutto(buf.data(), r);
            fatti += r;
        }
        blocco.Sincronizza();
        offset += lunghezze[i];
    }
}

void ClsSpan::Ricostruisci(const std::string& pathOrigine, const std::string& nomefile,
                           const std::string& dest, bool verifica) {
    const std::string cartella = utilita_.EstraiPath(dest);
    const std::string unita = ControllaCartella(cartella);
    const int64_t utilizzabile = static_cast<int64_t>(GetSpazioDisco(unita, false)) - kRiserva;

    const std::string origine = utilita_.AggiungiSepDir(pathOrigine);
    ControllaDiscoOrigine(origine);
    if (!SetPresente(origine, nomefile)) throw errori::BackupNonTrovatoIn(pathOrigine);

    Svuota();
    stato_ = StatoRicostruzione;
    const std::string temporaneo = nomi::Temporaneo(dest);
    std::unique_ptr<File> ricostruito;
    // A rebuild that fails leaves no partial archive behind (and `dest` as it was).
    struct Scarta {
        const std::string& percorso;
        std::unique_ptr<File>& file;
        bool attivo = true;
        ~Scarta() {
            if (!attivo) return;
            file.reset();
            try {
                if (Fs().Info(percorso).esiste) Fs().Rimuovi(percorso);
            } catch (...) {  // a removed disk: nothing more to tidy
            }
        }
    } scarta{temporaneo, ricostruito};
    std::string inizioSet;
    const bool rimovibile = SuUnitaRimovibile(origine);
    raccolto_ = false;
    mancanti_.clear();
    dichiarata_ = -1;
    std::vector<uint64_t> lunghezze;  // of the blocks read
    int32_t totale = -1;              // the set's blocks, once the recovery data said
    bool raccogli = false;
    const auto fineRaccolta = [&] {
        raccolto_ = true;
        ricostruito.reset();
    };
    // From here the blocks go to files of their own in the gathering folder, the ones already
    // read taken back out of the archive.
    const auto passaARaccolta = [&] {
        Fs().CreaCartella(raccolta_);
        if (ricostruito) {
            ricostruito->Chiudi();
            ricostruito.reset();
            File letto(temporaneo, ModoApertura::Lettura);
            SeparaBlocchi(letto, lunghezze, nomefile);
        }
        if (Fs().Info(temporaneo).esiste) Fs().Rimuovi(temporaneo);
        raccogli = true;
    };
    for (int32_t n = 0;; ++n) {
        if (raccogli && totale >= 0 && n >= totale) return fineRaccolta();
        const BloccoDelSet b = CercaBlocco(origine, nomefile, n, inizioSet, rimovibile, verifica);
        if (b.mancante) {
            if (!raccogli) passaARaccolta();
            mancanti_.push_back(n);
            if (totale < 0) totale = mancante_(n);
            continue;
        }
        bool leggendo = true;  // until the block is read whole: a failure is the disk's
        try {
            // The block goes straight to the end of the image, so memory holds the archive alone;
            // its length is checked against the descriptor before it is read.
            File f(b.file, ModoApertura::Lettura);
            // Verifying a fresh set: read what is on the medium, not what the system still caches
            // of the writing.
            if (verifica) f.ScartaCache();
            const uint64_t lunghezza = f.Dimensione();
            const DescrittoreLetto& d = b.descrittore;
            const int64_t dimensioneFile = d.dimensioneFile;
            const Errore corrotto =
                errori::Crea(errori::SetCorrotto,
                             b.fileDescrittore + ": SIZE_FILE=" + std::to_string(dimensioneFile));
            if (!d.ultimo || d.app.empty()) throw errori::Crea(errori::FormatoNonValido);
            if (!Oltre32Bit(dimensioneFile) && utilizzabile < dimensioneFile)
                throw errori::SpazioDiscoInsufficiente();
            if (Maiuscolo(d.app) != Maiuscolo(kApplicazioneSpan)) {
                throw errori::Crea(errori::AltroProgramma);
            }
            // A size beyond 32 bits never equals a block's length: the same damaged-block error.
            const Errore danneggiato = errori::Crea(
                errori::BloccoDanneggiato, b.file + ": " + std::to_string(lunghezza) + " byte, " +
                                               std::to_string(d.dimensioneBlocco) + " attesi");
            if (d.dimensioneBlocco < 0 || static_cast<uint64_t>(d.dimensioneBlocco) != lunghezza)
                throw danneggiato;
            if (Oltre32Bit(dimensioneFile) ||
                static_cast<int64_t>(dimensione_) + static_cast<int64_t>(lunghezza) > kMassimo32) {
                throw corrotto;
            }
            dichiarata_ = dimensioneFile;
            if (raccogli) {
                // Gathering: the block goes to a file of its own, for the repair.
                std::unique_ptr<File> copia;
                try {
                    copia = std::make_unique<File>(
                        utilita_.AggiungiSepDir(raccolta_) + nomefile + "#" + std::to_string(n),
                        ModoApertura::ScritturaEsclusiva);
                } catch (const Errore& e) {
                    throw ErroreDestinazione(e);
                }
                const size_t copiati = AccodaBlocco(f, static_cast<size_t>(lunghezza), *copia, n);
                f.Chiudi();
                if (copiati != lunghezza) throw danneggiato;
                leggendo = false;
                copia->Sincronizza();
                lunghezze.push_back(lunghezza);
                if (dimensioneFile > 0 && Avanzamento)
                    Avanzamento(1, Percentuale(dimensione_, static_cast<double>(dimensioneFile)));
                if (*d.ultimo) {
                    if (totale < 0 || totale == n + 1) return fineRaccolta();
                    throw corrotto;  // the recovery data name more blocks than the set has
                }
                continue;
            }
            if (!ricostruito) {
                // The archive grows under a temporary name beside `dest`, which it replaces only
                // when the last block has passed every check.
                try {
                    if (!utilita_.TogliCollegamento(temporaneo) && Fs().Info(temporaneo).esiste)
                        Fs().Rimuovi(temporaneo);
                    ricostruito = std::make_unique<File>(temporaneo, ModoApertura::ScritturaEsclusiva);
                } catch (const Errore& e) {
                    throw ErroreDestinazione(e);
                }
            }
            const size_t letti = AccodaBlocco(f, static_cast<size_t>(lunghezza), *ricostruito, n);
            f.Chiudi();
            if (letti != lunghezza) throw danneggiato;  // the block changed while it was read
            leggendo = false;
            lunghezze.push_back(lunghezza);
            const bool bloccoFinale = *d.ultimo;
            // With no archive size the percentage cannot be computed: on the last block the total
            // check below reports it, on any other the descriptor is not valid.
            if (dimensioneFile > 0) {
                if (Avanzamento)
                    Avanzamento(1, Percentuale(dimensione_, static_cast<double>(dimensioneFile)));
            } else if (!bloccoFinale) {
                throw errori::Crea(errori::FormatoNonValido,
                                   b.fileDescrittore + ": SIZE_FILE mancante");
            }
            if (!bloccoFinale) continue;

            if (dimensione_ != dimensioneFile) throw corrotto;
            ricostruito->Sincronizza();
            ricostruito->Chiudi();
            ricostruito.reset();
            RinominaDurevole(temporaneo, dest);
            Fs().SincronizzaCartella(CartellaDi(dest));
            scarta.attivo = false;
            return;
        } catch (const ErroreDestinazione&) {
            throw;
        } catch (const Errore& e) {
            // A disk whose block cannot be read whole (a read error, a block cut short) may be
            // tried again or said unreadable, its block then rebuilt from the recovery data;
            // what is wrong with the set itself or the destination ends the rebuild.
            const int32_t numero = e.Numero();
            if (!leggendo || !rimovibile || !mancante_ || numero == Annullato().Numero() ||
                numero == errori::SpazioInsufficiente || numero == errori::AltroProgramma ||
                numero == errori::FormatoNonValido || numero == errori::SetCorrotto)
                throw;
            utilita_.ScriviLog("Blocco illeggibile: " + e.Dettaglio());
            if (!raccogli) passaARaccolta();
            const std::string copia = utilita_.AggiungiSepDir(raccolta_) + nomefile + "#" + std::to_string(n);
            if (Fs().Info(copia).esiste) Fs().Rimuovi(copia);
            const Risposta r = Chiedi().Messaggio(
                "Il " + std::to_string(n + 1) + "° disco del backup non si legge (" + e.Descrizione() +
                    "). Reinserirlo e premere Riprova, oppure indicarlo come disco mancante o "
                    "illeggibile.",
                verifica ? "Verifica" : "Ripristino", Icona::Avviso, Pulsanti::RiprovaMancanteAnnulla);
            if (r == Risposta::Mancante) {
                mancanti_.push_back(n);
                if (totale < 0) totale = mancante_(n);
            } else if (r == Risposta::Riprova) {
                --n;
            } else {
                throw Annullato();
            }
        }
    }
}

}  // namespace bv
