// Zippo on libzip (reading, and additions the in-place appender leaves to it) and zlib.
#include "archive/zippo.h"

#include <zip.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "archive/numero_filiere.h"
#include "archive/lavori_in_ordine.h"
#include "archive/lettore_membro.h"
#include "archive/nomi_membri.h"
#include "archive/scrittore_zip.h"
#include "platform/codifica.h"
#include "platform/data_ora.h"
#include "platform/errore.h"
#include "platform/filesystem.h"
#include "platform/percorsi.h"
#include "platform/programma.h"
#include "sicurezza/nomi_provvisori.h"
#include "util/interazione.h"
#include "util/koutilita.h"

namespace bv {

namespace {

constexpr size_t kMassimoTesto = 32001;

struct ChiudiZip {
    void operator()(zip_t* z) const { zip_discard(z); }
};
using ZipPtr = std::unique_ptr<zip_t, ChiudiZip>;

void Log(const std::string& testo) {
    CbStampa(testo.c_str(), testo.size());
}

std::string TestoErroreZip(int codice) {
    zip_error_t e;
    zip_error_init_with_code(&e, codice);
    std::string t = zip_error_strerror(&e);
    zip_error_fini(&e);
    return t;
}

// An Errore of the file-system layer as a result code, with its detail in the log.
int CodiceDaErrore(const Errore& e, const std::string& contesto, int predefinito) {
    Log(contesto + ": " + e.Descrizione() +
        (e.Dettaglio().empty() ? "" : " [" + e.Dettaglio() + "]"));
    return e.Numero() == num::DiscoPieno ? zip_codice::DiscoPieno : predefinito;
}

// With a key, the member is encrypted by libzip as it is written (the others, already
// encrypted, are copied as they are).
int ComprimiConLibzip(const std::string& file, const std::string& nome, const std::string& archivio,
                      const std::string& chiave) {
    int errore = 0;
    ZipPtr z(zip_open(archivio.c_str(), ZIP_CREATE, &errore));
    if (!z) {
        Log("Impossibile aprire l'archivio " + archivio + ": " + TestoErroreZip(errore));
        return zip_codice::ApreArchivio;
    }
    zip_source_t* sorgente = zip_source_file(z.get(), file.c_str(), 0, -1);
    if (sorgente == nullptr) {
        Log("Impossibile leggere " + file + ": " + zip_strerror(z.get()));
        return zip_codice::ApreFile;
    }
    const zip_int64_t indice =
        zip_file_add(z.get(), nome.c_str(), sorgente, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
    if (indice < 0) {
        zip_source_free(sorgente);
        Log("Impossibile aggiungere " + nome + " a " + archivio + ": " + zip_strerror(z.get()));
        return zip_codice::ErroreScrittura;
    }
    zip_set_file_compression(z.get(), static_cast<zip_uint64_t>(indice), ZIP_CM_DEFLATE, 0);
    if (!chiave.empty() && zip_file_set_encryption(z.get(), static_cast<zip_uint64_t>(indice),
                                                   ZIP_EM_AES_256, chiave.c_str()) != 0) {
        Log("Cifratura di " + nome + ": " + zip_strerror(z.get()));
        return zip_codice::ErroreScrittura;
    }
    if (zip_close(z.get()) != 0) {
        Log("Errore di scrittura dell'archivio " + archivio + ": " + zip_strerror(z.get()));
        return zip_codice::ErroreScrittura;
    }
    (void)z.release();  // zip_close freed it
    return zip_codice::Ok;
}

// The UNIX file type bits a ZIP entry made on UNIX carries in its external attributes,
// whatever system reads it.
constexpr zip_uint32_t kTipoFile = 0170000;
constexpr zip_uint32_t kCollegamento = 0120000;

bool EUnLink(zip_t* z, zip_uint64_t i) {
    zip_uint8_t sistema = 0;
    zip_uint32_t attributi = 0;
    if (zip_file_get_external_attributes(z, i, 0, &sistema, &attributi) != 0) return false;
    return sistema == ZIP_OPSYS_UNIX && ((attributi >> 16) & kTipoFile) == kCollegamento;
}

// A member recorded as something other than a file or a folder (a pipe, a device, a socket).
bool NonOrdinario(zip_t* z, zip_uint64_t i) {
    zip_uint8_t sistema = 0;
    zip_uint32_t attributi = 0;
    if (zip_file_get_external_attributes(z, i, 0, &sistema, &attributi) != 0) return false;
    if (sistema != ZIP_OPSYS_UNIX) return false;
    const zip_uint32_t tipo = (attributi >> 16) & kTipoFile;
    return tipo != 0 && tipo != 0100000 && tipo != 0040000;
}

// Every member as the name policy sees it.
std::string MotivoRifiuto(zip_t* z, zip_int64_t membri) {
    std::vector<MembroDaControllare> m(static_cast<size_t>(std::max<zip_int64_t>(membri, 0)));
    for (size_t i = 0; i < m.size(); ++i) {
        const char* nome = zip_get_name(z, i, 0);
        const char* grezzo = zip_get_name(z, i, ZIP_FL_ENC_RAW);
        m[i].nome = nome != nullptr ? nome : "";
        m[i].grezzo = grezzo != nullptr ? grezzo : "";
        m[i].collegamento = EUnLink(z, i);
        m[i].nonOrdinario = NonOrdinario(z, i);
    }
    return MotivoRifiuto(m);
}

// Handles on one archive, one per helper thread, opened by the caller one after the other:
// opening reads the directory, and its dates go through the C library's time-zone state,
// which is not for several threads at once.
struct ManiglieZip {
    std::vector<ZipPtr> z;
    std::string errore;  // the log line when one could not be opened

    ManiglieZip(const std::string& archivio, size_t quante, const std::string& chiave) {
        for (size_t t = 0; t < quante; ++t) {
            int codice = 0;
            z.emplace_back(zip_open(archivio.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &codice));
            if (!z.back() && errore.empty())
                errore =
                    "Impossibile aprire l'archivio " + archivio + ": " + TestoErroreZip(codice);
            if (z.back() && !chiave.empty()) zip_set_default_password(z.back().get(), chiave.c_str());
        }
    }
};

// What a job on one member found: a result code with its log line, or an Errore to rethrow.
struct EsitoMembro {
    int codice = 0;
    std::string log;
    std::exception_ptr eccezione;
    std::string differenza;
};

// Runs membro(compito, z, chiave, archivio, fermato, fatti, esito) for every member's job in
// order on every core (LavoriInOrdine), each helper with its own handle `z` on the archive,
// telling `avanzamento` the bytes read so far; returns what each job found (one that throws has
// its exception there).
template <class Compito, class Membro>
std::vector<EsitoMembro> SuOgniMembro(const std::string& archivio,
                                      const std::vector<Compito>& compiti, Membro membro,
                                      const AvanzamentoZip& avanzamento,
                                      const std::string& chiave) {
    std::vector<EsitoMembro> esiti(compiti.size());
    std::atomic<uint64_t> fatti{0};
    ManiglieZip maniglie(archivio, zip_interno::FiliereDisponibili(esiti.size()), chiave);
    const std::vector<std::exception_ptr> eccezioni = zip_interno::LavoriInOrdine(
        esiti.size(), maniglie.z.size(),
        [&](size_t i, size_t filiera, const std::function<bool(size_t)>& fermato) {
            zip_t* z = maniglie.z[filiera].get();
            if (z == nullptr) {
                esiti[i].codice = zip_codice::ErroreGrave;
                esiti[i].log = maniglie.errore;
                return false;
            }
            return membro(
                compiti[i], z, chiave, archivio, [&fermato, i] { return fermato(i); }, fatti,
                esiti[i]);
        },
        [&] {
            if (avanzamento) avanzamento(fatti.load());
        });
    for (size_t i = 0; i < esiti.size(); ++i)
        if (eccezioni[i]) esiti[i].eccezione = eccezioni[i];
    return esiti;
}

// A member's path ("/" between its names) with the platform's separators.
std::string Nativo(std::string relativo) {
    std::replace(relativo.begin(), relativo.end(), '/', Separatore());
    return relativo;
}

// Creates the folders of a member's path below the base folder.
void CreaCartelle(const std::string& base, const std::string& relativo) {
    size_t p = 0;
    while ((p = relativo.find('/', p)) != std::string::npos) {
        const std::string livello = base + Nativo(relativo.substr(0, p));
        if (!Fs().Info(livello).cartella) Fs().CreaCartella(livello);
        ++p;
    }
}

}  // namespace

namespace {

// One member to compare: its entry, the source it is compared with, and what is known before
// its content is read.
struct Confronto {
    zip_uint64_t indice = 0;
    std::string nome;
    std::string sorgente;    // empty: no source to compare with
    std::string differenza;  // told before the content is read
    zip_stat_t st{};
};

// In order, what each member should be compared with; `visti` marks the sources met.
int PreparaConfronti(zip_t* z, const std::string& archivio,
                     const std::map<std::string, std::string>& sorgenti,
                     std::map<std::string, bool>& visti, std::vector<Confronto>& compiti) {
    const zip_int64_t membri = std::max<zip_int64_t>(zip_get_num_entries(z, 0), 0);
    compiti.assign(static_cast<size_t>(membri), {});
    for (size_t i = 0; i < compiti.size(); ++i) {
        Confronto& c = compiti[i];
        c.indice = i;
        if (zip_stat_index(z, c.indice, 0, &c.st) != 0) {
            Log("Archivio " + archivio + ": " + zip_strerror(z));
            return zip_codice::ErroreFormato;
        }
        c.nome = c.st.name;
        const auto s = sorgenti.find(c.nome);
        if (s == sorgenti.end() || visti[c.nome]) {
            c.differenza = c.nome + ": nell'archivio ma non tra i file salvati";
        } else {
            visti[c.nome] = true;
            c.sorgente = s->second;
            if (!c.sorgente.empty() && Fs().Info(c.sorgente).dimensione != c.st.size)
                c.differenza = c.nome + ": dimensione diversa";
        }
    }
    return zip_codice::Ok;
}

// Compares one member with its source as it is inflated, on a helper thread: nothing is
// written; a difference goes to `e.differenza`, a damaged member fails (`e`). True also when
// `fermato` says a member before it failed.
bool ConfrontaMembro(const Confronto& c, zip_t* zt, const std::string& chiave,
                     const std::string& archivio, const std::function<bool()>& fermato,
                     std::atomic<uint64_t>& fatti, EsitoMembro& e) {
    std::unique_ptr<File> sorgente;
    bool diverso = false;
    std::vector<uint8_t> file;
    const auto inizia = [&] {
        // A source is opened as it was before: one that cannot be read throws.
        sorgente.reset();
        if (!c.sorgente.empty())
            sorgente = std::make_unique<File>(c.sorgente, ModoApertura::Lettura);
        diverso = !c.differenza.empty();
        e.differenza.clear();
    };
    const auto confronta = [&](const uint8_t* dati, size_t n) {
        if (!sorgente || diverso) return std::string();
        if (file.size() < n) file.resize(n);
        if (sorgente->LeggiTutto(file.data(), n) != n || std::memcmp(file.data(), dati, n) != 0) {
            diverso = true;
            e.differenza = c.nome + ": contenuto diverso da " + c.sorgente;
        }
        return std::string();
    };
    std::string errore;
    const zip_interno::FineLettura fine = zip_interno::LeggiMembroIntero(
        zt, c.indice, c.st, inizia, confronta, fermato, fatti, errore, chiave);
    if (fine != zip_interno::FineLettura::Fallito && fine != zip_interno::FineLettura::ChiaveErrata)
        return true;
    e.codice = fine == zip_interno::FineLettura::ChiaveErrata ? zip_codice::ChiaveErrata
                                                              : zip_codice::ErroreFormato;
    e.log = "Membro " + c.nome + " di " + archivio + ": " + errore;
    return false;
}

}  // namespace

int ConfrontaMembri(const std::string& archivio, const std::map<std::string, std::string>& sorgenti,
                    EsitoConfronto& esito, const AvanzamentoZip& avanzamento,
                    const std::string& chiave) {
    esito = {};
    const auto diverso = [&esito](const std::string& cosa) {
        if (esito.uguali) esito.primaDifferenza = cosa;
        esito.uguali = false;
    };
    int errore = 0;
    ZipPtr z(zip_open(archivio.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &errore));
    if (!z) {
        Log("Impossibile aprire l'archivio " + archivio + ": " + TestoErroreZip(errore));
        return errore == ZIP_ER_NOENT ? zip_codice::ArchivioMancante : zip_codice::ErroreGrave;
    }
    // First, in order, what each member should be compared with; then the members are
    // inflated and compared on every core, and what they found is told in the archive's order.
    std::map<std::string, bool> visti;
    std::vector<Confronto> compiti;
    if (const int r = PreparaConfronti(z.get(), archivio, sorgenti, visti, compiti);
        r != zip_codice::Ok)
        return r;
    const std::vector<EsitoMembro> esiti =
        SuOgniMembro(archivio, compiti, ConfrontaMembro, avanzamento, chiave);
    for (size_t i = 0; i < compiti.size(); ++i) {
        const EsitoMembro& e = esiti[i];
        if (e.eccezione) std::rethrow_exception(e.eccezione);
        if (e.codice != 0) {
            Log(e.log);
            return e.codice;
        }
        const std::string& differenza =
            compiti[i].differenza.empty() ? e.differenza : compiti[i].differenza;
        if (!differenza.empty() && esito.uguali) diverso(differenza);
    }
    for (const auto& [nome, percorso] : sorgenti)
        if (!visti[nome]) diverso(nome + ": manca nell'archivio (" + percorso + ")");
    return zip_codice::Ok;
}

std::string MotivoMembroRifiutato(const std::string& archivio) {
    int errore = 0;
    ZipPtr z(zip_open(archivio.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &errore));
    if (!z) return {};  // the extraction reports an archive it cannot open
    return MotivoRifiuto(z.get(), std::max<zip_int64_t>(zip_get_num_entries(z.get(), 0), 0));
}

int ControllaMembri(const std::string& archivio, const AvanzamentoZip& avanzamento,
                    const std::string& chiave) {
    std::map<std::string, std::string> membri;
    {
        int errore = 0;
        ZipPtr z(zip_open(archivio.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &errore));
        if (!z) {
            Log("Impossibile aprire l'archivio " + archivio + ": " + TestoErroreZip(errore));
            return errore == ZIP_ER_NOENT ? zip_codice::ArchivioMancante : zip_codice::ErroreGrave;
        }
        for (zip_int64_t i = 0; i < zip_get_num_entries(z.get(), 0); ++i) {
            const char* nome = zip_get_name(z.get(), static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
            if (nome == nullptr) return zip_codice::ErroreFormato;
            membri[nome] = "";  // no source: read whole, its CRC checked
        }
    }
    EsitoConfronto esito;
    return ConfrontaMembri(archivio, membri, esito, avanzamento, chiave);
}

int DimensioneMembri(const std::string& archivio, uint64_t& totale) {
    totale = 0;
    int errore = 0;
    ZipPtr z(zip_open(archivio.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &errore));
    if (!z) {
        Log("Impossibile aprire l'archivio " + archivio + ": " + TestoErroreZip(errore));
        return errore == ZIP_ER_NOENT ? zip_codice::ArchivioMancante : zip_codice::ErroreGrave;
    }
    const zip_int64_t membri = zip_get_num_entries(z.get(), 0);
    for (zip_int64_t i = 0; i < membri; ++i) {
        zip_stat_t st;
        if (zip_stat_index(z.get(), static_cast<zip_uint64_t>(i), 0, &st) != 0 ||
            (st.valid & ZIP_STAT_SIZE) == 0) {
            Log("Archivio " + archivio + ": " + zip_strerror(z.get()));
            return zip_codice::ErroreFormato;
        }
        totale += st.size;
    }
    return zip_codice::Ok;
}

int CbStampa(const char* buffer, size_t lunghezza) {
    try {
        if (buffer == nullptr) return 0;
        const size_t massimo = std::min(lunghezza, kMassimoTesto);
        const void* nul = std::memchr(buffer, '\0', massimo);
        const size_t n =
            nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - buffer) : massimo;
        Utilita().ScriviLog(std::string(buffer, n), {}, true, false);
    } catch (...) {  // nothing may escape into the library's work
    }
    return 0;
}

namespace {

// Inside a catch block: the code of a failed compression, its cause in the log.
int CompressioneFallita(const std::string& file, const std::string& archivio) {
    try {
        throw;
    } catch (const Errore& e) {
        return CodiceDaErrore(e, "Compressione di " + file + " in " + archivio,
                              zip_codice::ErroreScrittura);
    } catch (...) {
        Log("Compressione di " + file + ": " + ErroreCorrente().Descrizione());
        return zip_codice::ErroreScrittura;
    }
}

// The archive copied member by member into a new one, each member's deflated stream taken as
// it is (not inflated and deflated again) and encrypted by libzip (AES-256, WinZip AES), which
// then takes the archive's name.
int CifraArchivio(const std::string& archivio, const std::string& chiave) {
    const std::string cifrato = nomi::Cifrato(archivio);
    int errore = 0;
    ZipPtr in(zip_open(archivio.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &errore));
    if (!in) {
        Log("Impossibile aprire l'archivio " + archivio + ": " + TestoErroreZip(errore));
        return zip_codice::ApreArchivio;
    }
    ZipPtr out(zip_open(cifrato.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &errore));
    if (!out) {
        Log("Impossibile creare l'archivio " + cifrato + ": " + TestoErroreZip(errore));
        return zip_codice::ApreArchivio;
    }
    const zip_int64_t membri = zip_get_num_entries(in.get(), 0);
    for (zip_int64_t i = 0; i < membri; ++i) {
        const auto indice = static_cast<zip_uint64_t>(i);
        const char* nome = zip_get_name(in.get(), indice, 0);
        zip_source_t* sorgente =
            nome != nullptr ? zip_source_zip(out.get(), in.get(), indice, 0, 0, -1) : nullptr;
        if (sorgente == nullptr) {
            Log("Archivio " + archivio + ": " + zip_strerror(in.get()) + " " +
                zip_strerror(out.get()));
            return zip_codice::ErroreFormato;
        }
        const zip_int64_t nuovo = zip_file_add(out.get(), nome, sorgente, ZIP_FL_ENC_UTF_8);
        if (nuovo < 0) zip_source_free(sorgente);
        if (nuovo < 0 || zip_file_set_encryption(out.get(), static_cast<zip_uint64_t>(nuovo),
                                                 ZIP_EM_AES_256, chiave.c_str()) != 0) {
            Log("Cifratura di " + std::string(nome) + ": " + zip_strerror(out.get()));
            return zip_codice::ErroreScrittura;
        }
    }
    if (zip_close(out.get()) != 0) {
        Log("Errore di scrittura dell'archivio " + cifrato + ": " + zip_strerror(out.get()));
        const bool pieno = zip_error_code_system(zip_get_error(out.get())) == ENOSPC;
        return pieno ? zip_codice::DiscoPieno : zip_codice::ErroreScrittura;
    }
    (void)out.release();  // zip_close freed it
    in.reset();
    RinominaDurevole(cifrato, archivio);
    return zip_codice::Ok;
}

}  // namespace

bool PrimoMembroCifrato(const uint8_t* dati, size_t n) {
    // A local header: its signature, then the method (99: WinZip AES) or the encrypted flag.
    constexpr uint8_t kFirma[] = {0x50, 0x4b, 0x03, 0x04};
    if (n < 10 || std::memcmp(dati, kFirma, sizeof kFirma) != 0) return false;
    const unsigned flag = dati[6] | (dati[7] << 8);
    const unsigned metodo = dati[8] | (dati[9] << 8);
    return (flag & 1U) != 0 || metodo == 99;
}

SessioneZip::SessioneZip(std::string archivio) : archivio_(std::move(archivio)) {}

SessioneZip::~SessioneZip() = default;

int SessioneZip::ComprimiCome(const std::string& file, const std::string& nome,
                              const AvanzamentoZip& avanzamento) {
    if (guasto_ != 0) return guasto_;
    try {
        const InfoFile info = Fs().Info(file);
        if (!info.file) {
            Log("File da comprimere non trovato: " + file);
            return zip_codice::ApreFile;
        }
        if (!iniziata_) {
            // Members already there would stay plain: the whole archive is encrypted at the end.
            cifraAllaFine_ = !chiave_.empty() && Fs().Info(archivio_).dimensione > 0;
            iniziata_ = true;
        }
        const std::string chiaveMembri = cifraAllaFine_ ? std::string() : chiave_;
        if (!scrittore_)
            scrittore_ = std::make_unique<zip_interno::ScrittoreZip>(archivio_, chiaveMembri);
        if (scrittore_->Accoda(file, nome, info, avanzamento) == zip_interno::EsitoAccoda::Fatto) {
            byteLetti_ += info.dimensione;
            return zip_codice::Ok;
        }
        // What the appender leaves to the library: the archive made whole first.
        scrittore_->Chiudi();
        scrittore_.reset();
        if (const int r = ComprimiConLibzip(file, nome, archivio_, chiaveMembri); r != 0)
            guasto_ = r;
        if (guasto_ == 0) byteLetti_ += info.dimensione;
        return guasto_;
    } catch (...) {
        scrittore_.reset();
        guasto_ = CompressioneFallita(file, archivio_);
        return guasto_;
    }
}

int SessioneZip::Comprimi(const std::string& file, const AvanzamentoZip& avanzamento) {
    return ComprimiCome(file, NomeDi(file), avanzamento);  // without its folder
}

int SessioneZip::Chiudi() {
    if (guasto_ != 0) return guasto_;
    if (!scrittore_ && chiave_.empty()) return zip_codice::Ok;
    try {
        if (scrittore_) scrittore_->Chiudi();
        scrittore_.reset();
        if (!chiave_.empty() && (cifraAllaFine_ || !iniziata_))
            guasto_ = CifraArchivio(archivio_, chiave_);
        return guasto_;
    } catch (...) {
        scrittore_.reset();
        guasto_ = CompressioneFallita(archivio_, archivio_);
        return guasto_;
    }
}

namespace {

// One member to extract: its entry and where it goes.
struct Compito {
    zip_uint64_t indice = 0;
    std::string nome;
    std::string destinazione;
    zip_stat_t st{};
};

// Opens the archive for reading; a result code (and its log line) when it cannot be.
int ApriDaLeggere(const std::string& archivio, ZipPtr& z) {
    int errore = 0;
    if (!Fs().Info(archivio).file) {
        Log("Archivio non trovato: " + archivio);
        return zip_codice::ArchivioMancante;
    }
    z.reset(zip_open(archivio.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &errore));
    if (!z) {
        Log("Impossibile aprire l'archivio " + archivio + ": " + TestoErroreZip(errore));
        return errore == ZIP_ER_NOENT ? zip_codice::ArchivioMancante : zip_codice::ErroreGrave;
    }
    return zip_codice::Ok;
}

// In order, every member's folders made and its place checked: a link already in the folder
// must not lead a member elsewhere. Folder entries need nothing more.
int PreparaCompiti(zip_t* z, const std::string& archivio, const std::string& base,
                   std::vector<Compito>& compiti) {
    const std::string baseCanonica = PercorsoCanonico(base);
    // Members are mostly in a few folders: each is resolved once.
    std::map<std::string, std::string> canoniche;  // a member's folder -> its real path
    const zip_int64_t membri = zip_get_num_entries(z, 0);
    for (zip_int64_t i = 0; i < membri; ++i) {
        Compito c;
        c.indice = static_cast<zip_uint64_t>(i);
        if (zip_stat_index(z, c.indice, 0, &c.st) != 0) {
            Log("Archivio " + archivio + ": " + zip_strerror(z));
            return zip_codice::ErroreFormato;
        }
        c.nome = c.st.name;
        try {
            CreaCartelle(base, c.nome);
            if (c.nome.back() == '/') continue;  // a folder entry
            c.destinazione = base + Nativo(c.nome);
            const std::string cartellaMembro = CartellaDi(c.destinazione);
            auto risolta = canoniche.find(cartellaMembro);
            if (risolta == canoniche.end())
                risolta = canoniche.emplace(cartellaMembro, PercorsoCanonico(cartellaMembro)).first;
            const std::string& genitore = risolta->second;
            if (baseCanonica.empty() || genitore.empty() ||
                (genitore != baseCanonica && !genitore.starts_with(baseCanonica + Separatore()))) {
                Log("Membro rifiutato, porterebbe fuori dalla cartella di destinazione: " + c.nome);
                return zip_codice::ErroreFormato;
            }
        } catch (const Errore& e) {
            return CodiceDaErrore(e, "Estrazione di " + c.nome + " da " + archivio,
                                  zip_codice::ErroreScrittura);
        }
        compiti.push_back(std::move(c));
    }
    return zip_codice::Ok;
}

// Extracts one member on a helper thread: written under a temporary name beside its place,
// never more than it declares, renamed in only when whole (read as LeggiMembroIntero reads).
// False on a failure (in `e`); true also when `fermato` says a member before it failed and it
// is not needed.
bool EstraiMembro(const Compito& c, zip_t* zt, const std::string& chiave,
                  const std::string& archivio, const std::function<bool()>& fermato,
                  std::atomic<uint64_t>& fatti, EsitoMembro& e) {
    std::string temporaneo;
    std::unique_ptr<File> out;
    uint64_t scritti = 0;
    const auto scarta = [&] {
        out.reset();
        if (temporaneo.empty()) return;
        try {
            Fs().Rimuovi(temporaneo);
        } catch (...) {
        }
        temporaneo.clear();
    };
    const auto inizia = [&] {
        scarta();
        temporaneo = nomi::Estrazione(CartellaDi(c.destinazione));
        out = std::make_unique<File>(temporaneo, ModoApertura::ScritturaEsclusiva);
        scritti = 0;
    };
    const auto scrivi = [&](const uint8_t* dati, size_t n) {
        scritti += n;
        // Never more than the member declares: a lying header cannot fill the disk.
        if ((c.st.valid & ZIP_STAT_SIZE) != 0 && scritti > c.st.size)
            return "piu' dati dei " + std::to_string(c.st.size) + " byte dichiarati";
        out->ScriviTutto(dati, n);
        return std::string();
    };
    try {
        std::string errore;
        const zip_interno::FineLettura fine = zip_interno::LeggiMembroIntero(
            zt, c.indice, c.st, inizia, scrivi, fermato, fatti, errore, chiave);
        if (fine != zip_interno::FineLettura::Letto) {
            scarta();  // failed, or not needed: a member before this one failed
            if (fine == zip_interno::FineLettura::Fermato) return true;
            e.codice = fine == zip_interno::FineLettura::ChiaveErrata ? zip_codice::ChiaveErrata
                                                                      : zip_codice::ErroreFormato;
            e.log = "Membro " + c.nome + " di " + archivio + ": " + errore;
            return false;
        }
        out->Chiudi();
        out.reset();
        RinominaDurevole(temporaneo, c.destinazione);
        temporaneo.clear();
    } catch (...) {
        scarta();
        e.eccezione = std::current_exception();
        return false;
    }
    if (c.st.valid & ZIP_STAT_MTIME) {
        try {
            Fs().ImpostaDataModifica(c.destinazione, c.st.mtime);
        } catch (...) {  // the content is what matters
        }
    }
    return true;
}

// The first failure in the members' order, as a result code with its log line.
int PrimoFallimento(const std::vector<Compito>& compiti, const std::vector<EsitoMembro>& esiti,
                    const std::string& archivio) {
    for (size_t i = 0; i < compiti.size(); ++i) {
        const EsitoMembro& e = esiti[i];
        if (e.eccezione) {
            try {
                std::rethrow_exception(e.eccezione);
            } catch (const Errore& x) {
                return CodiceDaErrore(x, "Estrazione di " + compiti[i].nome + " da " + archivio,
                                      zip_codice::ErroreScrittura);
            } catch (...) {
                Log("Estrazione di " + compiti[i].nome + ": " + ErroreCorrente().Descrizione());
                return zip_codice::ErroreScrittura;
            }
        }
        if (e.codice != 0) {
            Log(e.log);
            return e.codice;
        }
    }
    return zip_codice::Ok;
}

}  // namespace

int Estrai(const std::string& archivio, const std::string& cartella,
           const AvanzamentoZip& avanzamento, const std::string& chiave) {
    ZipPtr z;
    if (const int r = ApriDaLeggere(archivio, z); r != zip_codice::Ok) return r;
    // First every name: a crafted archive writes nothing at all.
    if (const std::string motivo = MotivoRifiuto(z.get(), zip_get_num_entries(z.get(), 0));
        !motivo.empty()) {
        Log("Membro rifiutato, " + motivo + " (" + archivio + ")");
        return zip_codice::ErroreFormato;
    }
    std::string base = Utilita().AggiungiSepDir(cartella);
    if (!Utilita().CreaPercorsoDirectory(base)) {
        Log("Cartella di destinazione non valida: " + cartella);
        return zip_codice::ErroreScrittura;
    }
    std::vector<Compito> compiti;
    if (const int r = PreparaCompiti(z.get(), archivio, base, compiti); r != zip_codice::Ok)
        return r;
    // The members inflated and written on every core; a failure is told as the first in order.
    const std::vector<EsitoMembro> esiti =
        SuOgniMembro(archivio, compiti, EstraiMembro, avanzamento, chiave);
    return PrimoFallimento(compiti, esiti, archivio);
}

}  // namespace bv
