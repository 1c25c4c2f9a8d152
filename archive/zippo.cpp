// Zippo on libzip (reading, and additions the in-place appender leaves to it) and zlib.
#include "archive/zippo.h"

#include <zip.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "archive/scrittore_zip.h"
#include "platform/codifica.h"
#include "platform/data_ora.h"
#include "platform/errore.h"
#include "platform/filesystem.h"
#include "platform/percorsi.h"
#include "platform/programma.h"
#include "util/interazione.h"
#include "util/koutilita.h"

namespace bv {

namespace {

constexpr size_t kMassimoTesto = 32001;
constexpr size_t kBlocco = 1 << 20;

struct ChiudiZip {
    void operator()(zip_t* z) const { zip_discard(z); }
};
using ZipPtr = std::unique_ptr<zip_t, ChiudiZip>;

struct ChiudiFileZip {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};
using FileZipPtr = std::unique_ptr<zip_file_t, ChiudiFileZip>;

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

int ComprimiConLibzip(const std::string& file, const std::string& nome,
                      const std::string& archivio) {
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

// Why a set of members cannot be extracted safely ("" when it can): each name on its own,
// then the names together (one name for a file and a folder, names equal but for case).
std::string MotivoRifiuto(zip_t* z, zip_int64_t membri) {
    std::map<std::string, std::string> file;      // upper case -> as written
    std::map<std::string, std::string> cartelle;  // every folder a member implies
    for (zip_int64_t i = 0; i < membri; ++i) {
        const auto indice = static_cast<zip_uint64_t>(i);
        const char* c = zip_get_name(z, indice, 0);
        const std::string n = c != nullptr ? c : "";
        if (!NomeMembroSicuro(n)) return n + ": porterebbe fuori dalla cartella di destinazione";
        // As stored, too: the library shows a byte below 32 of a non-UTF-8 name as a symbol.
        const char* grezzo = zip_get_name(z, indice, ZIP_FL_ENC_RAW);
        if (HaCaratteriDiControllo(n) || (grezzo != nullptr && HaCaratteriDiControllo(grezzo)))
            return n + ": contiene caratteri di controllo";
        if (NomeRiservatoAUnDispositivo(n)) return n + ": nome riservato a un dispositivo";
        if (EUnLink(z, indice)) return n + ": e' un collegamento simbolico";
        if (NonOrdinario(z, indice)) return n + ": non e' un file ordinario";
        std::string percorso = n;
        std::replace(percorso.begin(), percorso.end(), '\\', '/');
        const bool cartella = percorso.back() == '/';
        if (cartella) percorso.pop_back();
        for (size_t p = percorso.find('/'); p != std::string::npos; p = percorso.find('/', p + 1))
            cartelle.emplace(Maiuscolo(percorso.substr(0, p)), percorso.substr(0, p));
        if (cartella) {
            cartelle.emplace(Maiuscolo(percorso), percorso);
            continue;
        }
        const auto [it, nuovo] = file.emplace(Maiuscolo(percorso), percorso);
        if (!nuovo) return n + " e " + it->second + ": nomi uguali a meno di maiuscole";
    }
    for (const auto& [chiave, nome] : file) {
        if (const auto it = cartelle.find(chiave); it != cartelle.end())
            return nome + ": un file e una cartella con lo stesso nome";
    }
    return {};
}

// Inflates the members of an archive on helper threads, each with its own handle on it, ahead
// of the caller, who takes their data member after member in the archive's order. The caller
// keeps every file-system call, the log and the questions, in the order they had without
// helpers; the helpers only read the archive. Each member in flight holds at most a few pieces,
// so memory stays bounded whatever the members' sizes.
class InflazioneParallela {
  public:
    enum class Esito { Dati, Fine, Errore };

    InflazioneParallela(const std::string& archivio, zip_uint64_t membri) : membri_(membri) {
        const size_t filiere = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8);
        for (size_t t = 0; t < std::min<zip_uint64_t>(filiere, membri); ++t) {
            // Opened here, one after the other: opening reads the directory, and its dates go
            // through the C library's time-zone state, which is not for several threads.
            int codice = 0;
            auto z = std::make_shared<ZipPtr>(
                zip_open(archivio.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &codice));
            const std::string errore =
                *z ? "" : "Impossibile aprire l'archivio " + archivio + ": " + TestoErroreZip(codice);
            filiere_.emplace_back([this, z, archivio, errore] { Lavora(z->get(), archivio, errore); });
        }
    }
    ~InflazioneParallela() {
        {
            std::lock_guard<std::mutex> l(m_);
            fermati_ = true;
        }
        cv_.notify_all();
        for (std::thread& t : filiere_) t.join();
    }
    InflazioneParallela(const InflazioneParallela&) = delete;
    InflazioneParallela& operator=(const InflazioneParallela&) = delete;

    // The next piece of member i: Dati with `pezzo` filled, Fine after the last, Errore with
    // the log line of a read that failed (a damaged member, a wrong CRC).
    Esito Prossimo(zip_uint64_t i, std::vector<unsigned char>& pezzo, std::string& errore) {
        std::unique_lock<std::mutex> l(m_);
        Membro& m = membri_[i];
        if (corrente_ != i) {
            corrente_ = i;
            cv_.notify_all();  // its helper may have been waiting for room
        }
        cv_.wait(l, [&] { return m.letti < m.pezzi.size() || m.finito; });
        if (m.letti < m.pezzi.size()) {
            pezzo = std::move(m.pezzi[m.letti++]);
            inAttesa_ -= pezzo.size();
            if (m.letti == m.pezzi.size()) {
                m.pezzi.clear();
                m.letti = 0;
            }
            l.unlock();
            cv_.notify_all();
            return Esito::Dati;
        }
        if (m.errore) {
            errore = m.messaggio;
            return Esito::Errore;
        }
        return Esito::Fine;
    }

    // Member i is not wanted (a folder, a file the user keeps): its helper moves on.
    void Salta(zip_uint64_t i) {
        {
            std::lock_guard<std::mutex> l(m_);
            Membro& m = membri_[i];
            m.scartato = true;
            for (size_t k = m.letti; k < m.pezzi.size(); ++k) inAttesa_ -= m.pezzi[k].size();
            m.pezzi.clear();
            m.letti = 0;
        }
        cv_.notify_all();
    }

  private:
    static constexpr size_t kPezzo = 256 * 1024;
    static constexpr size_t kPezziInAttesa = 8;  // of the member the caller is on: 2 MiB
    // Of the members after it, all together: the helpers wait rather than run further ahead.
    static constexpr size_t kByteInAttesa = 8 << 20;

    struct Membro {
        std::vector<std::vector<unsigned char>> pezzi;
        size_t letti = 0;  // pieces of `pezzi` already taken
        bool finito = false;
        bool errore = false;
        bool scartato = false;
        std::string messaggio;
    };

    void Concludi(Membro& m, const std::string& errore) {
        {
            std::lock_guard<std::mutex> l(m_);
            m.finito = true;
            m.errore = !errore.empty();
            m.messaggio = errore;
        }
        cv_.notify_all();
    }

    void Lavora(zip_t* z, const std::string& archivio, const std::string& erroreApertura) {
        for (;;) {
            zip_uint64_t i = 0;
            {
                std::lock_guard<std::mutex> l(m_);
                if (fermati_ || prossimo_ >= membri_.size()) return;
                i = prossimo_++;
            }
            Membro& m = membri_[i];
            if (z == nullptr) {
                Concludi(m, erroreApertura);
                continue;
            }
            const char* c = zip_get_name(z, i, 0);
            const std::string contesto =
                "Membro " + std::string(c != nullptr ? c : "") + " di " + archivio + ": ";
            FileZipPtr f(zip_fopen_index(z, i, 0));
            if (!f) {
                Concludi(m, contesto + zip_strerror(z));
                continue;
            }
            for (;;) {
                std::vector<unsigned char> pezzo(kPezzo);
                const zip_int64_t r = zip_fread(f.get(), pezzo.data(), pezzo.size());
                if (r < 0) {
                    Concludi(m, contesto + zip_file_strerror(f.get()));
                    break;
                }
                if (r == 0) {
                    Concludi(m, "");
                    break;
                }
                pezzo.resize(static_cast<size_t>(r));
                if (pezzo.size() < kPezzo) pezzo.shrink_to_fit();  // a small file's whole data
                std::unique_lock<std::mutex> l(m_);
                // The member the caller is on never waits for the others: no deadlock, and
                // the members ahead of it are always taken before it.
                cv_.wait(l, [&] {
                    return fermati_ || m.scartato ||
                           (m.pezzi.size() - m.letti < kPezziInAttesa &&
                            (i == corrente_ || inAttesa_ < kByteInAttesa));
                });
                if (fermati_) return;
                if (m.scartato) {
                    m.finito = true;
                    break;
                }
                inAttesa_ += pezzo.size();
                m.pezzi.push_back(std::move(pezzo));
                l.unlock();
                cv_.notify_all();
            }
        }
    }

    std::vector<Membro> membri_;
    std::mutex m_;
    std::condition_variable cv_;
    zip_uint64_t prossimo_ = 0;  // the next member a helper takes
    zip_uint64_t corrente_ = 0;  // the member the caller reads or waits for
    size_t inAttesa_ = 0;        // bytes inflated and not yet taken
    bool fermati_ = false;
    std::vector<std::thread> filiere_;
};

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

bool HaCaratteriDiControllo(const std::string& nome) {
    for (const char c : nome)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

// A component Windows reserves for a device (CON, NUL.txt, COM1): such a file cannot be made
// there, and on other systems must not be.
bool NomeRiservatoAUnDispositivo(const std::string& nome) {
    size_t inizio = 0;
    while (inizio <= nome.size()) {
        size_t fine = nome.find_first_of("/\\", inizio);
        if (fine == std::string::npos) fine = nome.size();
        std::string parte = Maiuscolo(nome.substr(inizio, fine - inizio));
        if (const auto punto = parte.find('.'); punto != std::string::npos) parte.resize(punto);
        while (!parte.empty() && parte.back() == ' ') parte.pop_back();
        static const char* const riservati[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
        for (const char* r : riservati)
            if (parte == r) return true;
        if (parte.size() == 4 && (parte.starts_with("COM") || parte.starts_with("LPT")) &&
            parte[3] >= '1' && parte[3] <= '9')
            return true;
        inizio = fine + 1;
    }
    return false;
}

int ConfrontaMembri(const std::string& archivio, const std::map<std::string, std::string>& sorgenti,
                    EsitoConfronto& esito, const AvanzamentoZip& avanzamento) {
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
    std::vector<unsigned char> membro;
    std::vector<unsigned char> file(kBlocco);
    std::map<std::string, bool> visti;
    uint64_t fatti = 0;
    const zip_int64_t membri = std::max<zip_int64_t>(zip_get_num_entries(z.get(), 0), 0);
    InflazioneParallela inflazione(archivio, static_cast<zip_uint64_t>(membri));
    for (zip_int64_t i = 0; i < membri; ++i) {
        const auto indice = static_cast<zip_uint64_t>(i);
        zip_stat_t st;
        if (zip_stat_index(z.get(), indice, 0, &st) != 0) {
            Log("Archivio " + archivio + ": " + zip_strerror(z.get()));
            return zip_codice::ErroreFormato;
        }
        const std::string nome = st.name;
        const auto s = sorgenti.find(nome);
        std::unique_ptr<File> sorgente;
        if (s == sorgenti.end() || visti[nome]) {
            diverso(nome + ": nell'archivio ma non tra i file salvati");
        } else {
            visti[nome] = true;
            sorgente = std::make_unique<File>(s->second, ModoApertura::Lettura);
            if (sorgente->Dimensione() != st.size) diverso(nome + ": dimensione diversa");
        }
        for (std::string errore;;) {
            const auto letto = inflazione.Prossimo(indice, membro, errore);
            if (letto == InflazioneParallela::Esito::Errore) {
                Log(errore);
                return zip_codice::ErroreFormato;
            }
            if (letto == InflazioneParallela::Esito::Fine) break;
            const size_t quanti = membro.size();
            if (sorgente && esito.uguali &&
                (sorgente->LeggiTutto(file.data(), quanti) != quanti ||
                 std::memcmp(file.data(), membro.data(), quanti) != 0)) {
                diverso(nome + ": contenuto diverso da " + s->second);
            }
            fatti += quanti;
            if (avanzamento) avanzamento(fatti);
        }
    }
    for (const auto& [nome, percorso] : sorgenti)
        if (!visti[nome]) diverso(nome + ": manca nell'archivio (" + percorso + ")");
    return zip_codice::Ok;
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

int CbSovrascrivi(const std::string& nome) {
    try {
        const std::string n = nome.substr(0, std::min<size_t>(nome.find('\0'), 256));
        switch (InterazioneCorrente().Messaggio("Vuoi soprascrivere " + n + "?", "DECOMPRESSIONE",
                                                Icona::Nessuna, Pulsanti::SiNoAnnulla)) {
            case Risposta::Si:
                return 102;
            case Risposta::No:
                return 100;
            default:
                return 104;
        }
    } catch (...) {
        return 104;
    }
}

std::string RigaElenco(uint64_t dimensione, int giorno, int mese, int anno, int ora, int minuto,
                       const std::string& nome) {
    std::string riga(80, ' ');
    std::u32string n = Utf8AUtf32(nome);
    if (n.size() > 50) n.resize(50);
    std::string colonne = Utf32AUtf8(n) + std::string(50 - n.size(), ' ');
    std::string numero = std::string(7, ' ') + std::to_string(dimensione);
    numero = numero.substr(numero.size() - 7);
    char data[32];
    std::snprintf(data, sizeof data, "  %2d/%02d/%02d  %2d:%02d", giorno % 100, mese % 100,
                  anno % 100, ora % 100, minuto % 100);
    riga = colonne + numero + data;
    // Pad to 80 columns, counting characters, not bytes.
    const size_t caratteri = Utf8AUtf32(riga).size();
    if (caratteri < 80) riga += std::string(80 - caratteri, ' ');
    return riga;
}

bool NomeMembroSicuro(const std::string& nome) {
    if (nome.empty() || nome.find('\0') != std::string::npos) return false;
    if (nome[0] == '/' || nome[0] == '\\') return false;
    if (nome.size() >= 2 && nome[1] == ':') return false;  // a drive letter
    size_t inizio = 0;
    while (inizio <= nome.size()) {
        size_t fine = nome.find_first_of("/\\", inizio);
        if (fine == std::string::npos) fine = nome.size();
        if (nome.compare(inizio, fine - inizio, "..") == 0) return false;
        inizio = fine + 1;
    }
    return true;
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

}  // namespace

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
        if (!scrittore_) scrittore_ = std::make_unique<zip_interno::ScrittoreZip>(archivio_);
        if (scrittore_->Accoda(file, nome, info, avanzamento) == zip_interno::EsitoAccoda::Fatto) {
            byteLetti_ += info.dimensione;
            return zip_codice::Ok;
        }
        // What the appender leaves to the library: the archive made whole first.
        scrittore_->Chiudi();
        scrittore_.reset();
        if (const int r = ComprimiConLibzip(file, nome, archivio_); r != 0) guasto_ = r;
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
    if (!scrittore_) return zip_codice::Ok;
    try {
        scrittore_->Chiudi();
        scrittore_.reset();
        return zip_codice::Ok;
    } catch (...) {
        scrittore_.reset();
        guasto_ = CompressioneFallita(archivio_, archivio_);
        return guasto_;
    }
}

int ComprimiCome(const std::string& file, const std::string& nome, const std::string& archivio,
                 const AvanzamentoZip& avanzamento) {
    SessioneZip s(archivio);
    if (const int r = s.ComprimiCome(file, nome, avanzamento); r != 0) return r;
    return s.Chiudi();
}

namespace {

int ComprimiRicorsivo(SessioneZip& s, const std::string& file, int recurse,
                      const AvanzamentoZip& avanzamento) {
    if (recurse != 0 && Fs().Info(file).cartella) {
        std::string cartella = file;
        Utilita().AggiungiSepDir(cartella);
        for (const VoceCartella& v : Fs().Elenca(cartella)) {
            if (!v.file && !v.cartella) continue;
            if (const int r = ComprimiRicorsivo(s, cartella + v.nome, recurse, avanzamento); r != 0)
                return r;
        }
        return zip_codice::Ok;
    }
    return s.Comprimi(file, avanzamento);
}

}  // namespace

int Comprimi(const std::string& file, const std::string& archivio, int recurse,
             const AvanzamentoZip& avanzamento) {
    try {
        SessioneZip s(archivio);
        if (const int r = ComprimiRicorsivo(s, file, recurse, avanzamento); r != 0) return r;
        return s.Chiudi();
    } catch (...) {
        return CompressioneFallita(file, archivio);
    }
}

int Estrai(const std::string& archivio, const std::string& cartella, bool elenco,
           bool chiediSovrascrittura, const AvanzamentoZip& avanzamento) {
    int errore = 0;
    if (!Fs().Info(archivio).file) {
        Log("Archivio non trovato: " + archivio);
        return zip_codice::ArchivioMancante;
    }
    ZipPtr z(zip_open(archivio.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &errore));
    if (!z) {
        Log("Impossibile aprire l'archivio " + archivio + ": " + TestoErroreZip(errore));
        return errore == ZIP_ER_NOENT ? zip_codice::ArchivioMancante : zip_codice::ErroreGrave;
    }
    const zip_int64_t membri = zip_get_num_entries(z.get(), 0);

    if (elenco) {
        for (zip_int64_t i = 0; i < membri; ++i) {
            zip_stat_t st;
            if (zip_stat_index(z.get(), static_cast<zip_uint64_t>(i), 0, &st) != 0) continue;
            const DataOra d = DaSecondi(static_cast<int64_t>(st.mtime));
            const std::string riga = RigaElenco(st.size, d.giorno, d.mese, d.anno, d.ora, d.minuto,
                                                st.name != nullptr ? st.name : "");
            Log(riga);
        }
        return zip_codice::Ok;
    }

    // First every name: a crafted archive writes nothing at all.
    if (const std::string motivo = MotivoRifiuto(z.get(), membri); !motivo.empty()) {
        Log("Membro rifiutato, " + motivo + " (" + archivio + ")");
        return zip_codice::ErroreFormato;
    }

    std::string base = cartella;
    Utilita().AggiungiSepDir(base);
    if (!Utilita().CreaPercorsoDirectory(base)) {
        Log("Cartella di destinazione non valida: " + cartella);
        return zip_codice::ErroreScrittura;
    }
    const std::string baseCanonica = PercorsoCanonico(base);
    bool sovrascriviNessuno = false;
    uint64_t fatti = 0;
    static std::atomic<unsigned> contatore{0};
    std::vector<unsigned char> buf;
    std::map<std::string, std::string> canoniche;  // a member's folder -> its real path
    InflazioneParallela inflazione(archivio, static_cast<zip_uint64_t>(std::max<zip_int64_t>(membri, 0)));

    for (zip_int64_t i = 0; i < membri; ++i) {
        const auto indice = static_cast<zip_uint64_t>(i);
        zip_stat_t st;
        if (zip_stat_index(z.get(), indice, 0, &st) != 0) {
            Log("Archivio " + archivio + ": " + zip_strerror(z.get()));
            return zip_codice::ErroreFormato;
        }
        const std::string nome = st.name;
        std::string temporaneo;
        try {
            CreaCartelle(base, nome);
            if (nome.back() == '/') {  // a folder entry
                inflazione.Salta(indice);
                continue;
            }
            const std::string destinazione = base + Nativo(nome);
            // A link already in the folder must not lead the member elsewhere. Members are
            // mostly in a few folders: each is resolved once.
            const std::string cartellaMembro = CartellaDi(destinazione);
            auto risolta = canoniche.find(cartellaMembro);
            if (risolta == canoniche.end())
                risolta = canoniche.emplace(cartellaMembro, PercorsoCanonico(cartellaMembro)).first;
            const std::string& genitore = risolta->second;
            if (baseCanonica.empty() || genitore.empty() ||
                (genitore != baseCanonica && !genitore.starts_with(baseCanonica + Separatore()))) {
                Log("Membro rifiutato, porterebbe fuori dalla cartella di destinazione: " + nome);
                return zip_codice::ErroreFormato;
            }
            if (Fs().Info(destinazione).esiste && (chiediSovrascrittura || sovrascriviNessuno)) {
                const int r = sovrascriviNessuno ? 104 : CbSovrascrivi(nome);
                if (r == 104) sovrascriviNessuno = true;
                if (r != 102) {
                    inflazione.Salta(indice);
                    continue;
                }
            }
            temporaneo = CartellaDi(destinazione) + Separatore() + ".~bv" + std::to_string(IdProcesso()) + "-" +
                         std::to_string(contatore++) + ".tmp";
            File out(temporaneo, ModoApertura::ScritturaEsclusiva);
            uint64_t scritti = 0;
            for (std::string errore;;) {
                const auto esito = inflazione.Prossimo(indice, buf, errore);
                if (esito == InflazioneParallela::Esito::Errore) {
                    Log(errore);
                    out.Chiudi();
                    Fs().Rimuovi(temporaneo);
                    return zip_codice::ErroreFormato;
                }
                if (esito == InflazioneParallela::Esito::Fine) break;
                const size_t r = buf.size();
                scritti += r;
                // Never more than the member declares: a lying header cannot fill the disk.
                if ((st.valid & ZIP_STAT_SIZE) != 0 && scritti > st.size) {
                    Log("Membro " + nome + " di " + archivio + ": piu' dati dei " +
                        std::to_string(st.size) + " byte dichiarati");
                    out.Chiudi();
                    Fs().Rimuovi(temporaneo);
                    return zip_codice::ErroreFormato;
                }
                out.ScriviTutto(buf.data(), r);
                fatti += r;
                if (avanzamento) avanzamento(fatti);
            }
            out.Chiudi();
            Fs().Rinomina(temporaneo, destinazione);
            temporaneo.clear();
            if (st.valid & ZIP_STAT_MTIME) {
                try {
                    Fs().ImpostaDataModifica(destinazione, st.mtime);
                } catch (...) {  // the content is what matters
                }
            }
        } catch (const Errore& e) {
            if (!temporaneo.empty()) {
                try {
                    Fs().Rimuovi(temporaneo);
                } catch (...) {
                }
            }
            return CodiceDaErrore(e, "Estrazione di " + nome + " da " + archivio,
                                  zip_codice::ErroreScrittura);
        }
    }
    return zip_codice::Ok;
}

}  // namespace bv
