// The file name set.
#include "fileset/clsinsieme.h"

#include <algorithm>

#include "platform/codifica.h"
#include "platform/collazione.h"
#include "platform/errore.h"
#include "platform/filesystem.h"
#include "platform/percorsi.h"
#include "util/errori.h"
#include "util/koutilita.h"

namespace bv {

namespace {

constexpr int32_t kMassimoVoci = 32767;

// The numeric value of the leading digits of a piece (0 without digits).
int ValoreIniziale(const std::string& s) {
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') break;
        v = v * 10 + (c - '0');
        if (v > 100000) break;
    }
    return v;
}

// A piece that must be a whole number: blanks around it allowed, digits only.
int Numero(const std::string& s) {
    const std::string t = Spazi(s);
    if (t.empty() ||
        !std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        t.size() > 9) {
        throw ErroreStandard(num::TipoNonCorrispondente);
    }
    return std::stoi(t);
}

}  // namespace

ClsInsieme::ClsInsieme() {
    Clear();
}

void ClsInsieme::Clear() {
    voci_.assign(1, std::string());
    chiavi_.clear();
}

std::string ClsInsieme::Chiave(const std::string& item) {
    return Maiuscolo(Spazi(item));
}

int16_t ClsInsieme::Count() const {
    const size_t n = voci_.size() - 1;
    if (n > static_cast<size_t>(kMassimoVoci)) throw ErroreStandard(num::Overflow);
    return static_cast<int16_t>(n);
}

std::string ClsInsieme::GetItem(int index) const {
    if (index < 0) throw ErroreStandard(num::IndiceFuoriIntervallo);
    if (index == 0 || index > Count()) throw ErroreStandard(num::ValoreProprietaNonValido);
    return voci_[static_cast<size_t>(index)];
}

bool ClsInsieme::Presente(const std::string& item) const {
    return chiavi_.count(Chiave(item)) > 0;
}

bool ClsInsieme::Add(const std::string& item, bool univoco, const std::string& terminatore) {
    std::string voce = Spazi(item);
    if (voce.empty()) return false;
    if (!terminatore.empty()) {
        if (const auto p = voce.find(terminatore); p != std::string::npos) voce.resize(p);
    }
    if (univoco && Presente(voce)) return false;
    chiavi_.insert(Chiave(voce));
    voci_.push_back(std::move(voce));
    return true;
}

void ClsInsieme::OrdinaLista(bool decrescente) {
    if (voci_.size() <= 1) return;
    // A stable sort gives exactly the selection sort's order: among equal entries the one
    // with the lower index first, empty entries at the end; without its quadratic cost.
    std::stable_sort(voci_.begin() + 1, voci_.end(),
                     [decrescente](const std::string& a, const std::string& b) {
                         if (a.empty() || b.empty()) return !a.empty() && b.empty();
                         const int c = ConfrontaTestoSenzaMaiuscole(a, b);
                         return decrescente ? c > 0 : c < 0;
                     });
}

bool ClsInsieme::Corrisponde(const std::string& nome, const std::string& modello) {
    if (modello == "*.*") return true;
    std::u32string n = Utf8AUtf32(nome);
    std::u32string m = Utf8AUtf32(modello);
    for (auto& c : n) c = MaiuscolaDi(c);
    for (auto& c : m) c = MaiuscolaDi(c);
    // Iterative matching with one backtracking point: linear in practice, never exponential.
    size_t i = 0, j = 0, stella = std::u32string::npos, ripresa = 0;
    while (i < n.size()) {
        if (j < m.size() && (m[j] == U'?' || m[j] == n[i])) {
            ++i;
            ++j;
        } else if (j < m.size() && m[j] == U'*') {
            stella = j++;
            ripresa = i;
        } else if (stella != std::u32string::npos) {
            j = stella + 1;
            i = ++ripresa;
        } else {
            return false;
        }
    }
    while (j < m.size() && m[j] == U'*') ++j;
    return j == m.size();
}

int16_t ClsInsieme::GetFilenames(const std::string& path, const std::string& template_) {
    if (!Utilita().IsCartella(path)) throw errori::DestinazioneNonValidaODiscoNonPronto();
    const std::string cartella = Utilita().AggiungiSepDir(path);
    // List first: a folder that cannot be read leaves the set as it was.
    const auto voci = Fs().Elenca(cartella);
    Clear();
    size_t trovati = 0;
    // A pattern with a "#" lists sets by their blocks and descriptors ("…#n", "…#n.inf"): a
    // name with anything else after the number (a repaired block's damaged copy "#0.1", a
    // file cut short as "#0.tmp") names no set.
    const bool blocchi = template_.find('#') != std::string::npos;
    const auto diUnBlocco = [](const std::string& nome) {
        std::string resto = nome.substr(nome.find('#') + 1);
        if (resto.size() > 4 && resto.ends_with(".inf")) resto.resize(resto.size() - 4);
        return !resto.empty() && resto.find_first_not_of("0123456789") == std::string::npos;
    };
    for (const VoceCartella& v : voci) {
        if (v.file && !v.nascosto && Corrisponde(v.nome, template_) && (!blocchi || diUnBlocco(v.nome))) {
            // Past what the set counts, the folder is named with what to do (still error 6).
            if (++trovati > static_cast<size_t>(kMassimoVoci)) {
                Clear();
                throw Errore(num::Overflow,
                             "La cartella " + PercorsoPerMessaggio(cartella) + " contiene più di " +
                                 std::to_string(kMassimoVoci) +
                                 " file, più di quanti BVBackup ne possa salvare. Spostarne una "
                                 "parte in un'altra cartella e ripetere l'operazione.");
            }
            Add(v.nome, true, "#");
        }
    }
    OrdinaLista(true);
    return Count();
}

std::string ClsInsieme::Trasforma(const std::string& nome, const std::string& mask) {
    const std::u32string m = Utf8AUtf32(mask);
    std::u32string t = Utf8AUtf32(nome);
    if (t.size() > m.size()) t.resize(m.size());
    for (size_t i = 0; i < m.size(); ++i) {
        if (m[i] == U'D' || m[i] == U'd') {
            if (i < t.size()) {
                t[i] = U' ';
            } else {
                t.push_back(U' ');
            }
        }
    }
    return Spazi(Utf32AUtf8(t));
}

DataOra ClsInsieme::To_Date(const std::string& testo, int16_t formato) {
    std::u32string t = Utf8AUtf32(Spazi(testo));
    std::replace(t.begin(), t.end(), U'-', U'/');
    const std::string s = Utf32AUtf8(t);
    if (formato < 1 || formato > 5) throw errori::Crea(errori::FormatoDataNonSupportato);
    const size_t richiesta = (formato == 2 || formato == 5) ? 10 : 8;
    if (t.size() != richiesta || s.size() != richiesta)
        throw errori::Crea(errori::FormatoDataNonValido);
    auto pezzo = [&s](size_t da, size_t n) { return s.substr(da - 1, n); };  // 1-based
    int anno = 0, mese = 0, giorno = 0;
    switch (formato) {
        case 1:  // DDMMYYYY
            giorno = ValoreIniziale(pezzo(1, 2));
            mese = ValoreIniziale(pezzo(3, 2));
            anno = Numero(pezzo(5, 4));
            break;
        case 2:  // DD/MM/YYYY
            giorno = ValoreIniziale(pezzo(1, 2));
            mese = ValoreIniziale(pezzo(4, 2));
            anno = Numero(pezzo(7, 4));
            break;
        case 3:  // YYYYMMDD
            anno = ValoreIniziale(pezzo(1, 4));
            mese = ValoreIniziale(pezzo(5, 2));
            giorno = Numero(pezzo(7, 2));
            break;
        case 4:  // MMDDYYYY
            mese = ValoreIniziale(pezzo(1, 2));
            giorno = ValoreIniziale(pezzo(3, 2));
            anno = Numero(pezzo(5, 4));
            break;
        default:  // 5: MM/DD/YYYY
            mese = ValoreIniziale(pezzo(1, 2));
            giorno = ValoreIniziale(pezzo(4, 2));
            anno = Numero(pezzo(7, 4));
            break;
    }
    // A date the calendar does not have is refused, not rolled over into another one.
    if (!DataValida(anno, mese, giorno)) throw ErroreStandard(num::ArgomentoNonValido);
    return DataOra{anno, mese, giorno, 0, 0, 0};
}

std::vector<RigaInsieme> ClsInsieme::Righe(const std::string& trasformatore, int16_t adata) const {
    std::vector<RigaInsieme> righe;
    const int16_t n = Count();
    for (int i = 1; i <= n; ++i) {
        std::string testo;
        try {
            testo = Trasforma(GetItem(i), trasformatore);
            if (adata != 0) testo = DataBreve(To_Date(testo, adata));
        } catch (const Errore&) {
            continue;  // only this entry is left out
        }
        righe.push_back({testo, i});
    }
    return righe;
}

}  // namespace bv
