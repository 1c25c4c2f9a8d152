// The sets beyond the newest N removed.
//
// Why a cut at any instant is safe: only sets older than the new one are touched, and only
// after the new set took its names (its commit is done and flushed before this runs), so the
// newest verified set is whole whatever happens. Each old set goes in one order: its recovery
// files (a set without them is still whole), then its descriptors from #0 on (from the first
// removal the list shows the remainder as damaged, never as a whole set), then its blocks; the
// folder is flushed after each set. A remainder a cut left is older than every set kept, so the
// next run by the same rule removes it.
#include "operazioni/conserva_set.h"

#include <algorithm>
#include <map>
#include <regex>
#include <tuple>

#include "platform/filesystem.h"
#include "platform/percorsi.h"
#include "util/koutilita.h"

namespace bv {

namespace {

// Set name, and the order of its removal: 0 recovery, 1 descriptor, 2 block; the block number.
struct NomeDelSet {
    std::string set;
    int tipo = 0;
    long numero = 0;
};

bool Analizza(const std::string& nome, NomeDelSet& n) {
    static const std::regex blocco("(BV[0-9]{8})#([0-9]{1,5})(\\.inf)?");
    static const std::regex recupero("(BV[0-9]{8})(\\.vol[0-9]+\\+[0-9]+)?\\.par2");
    std::smatch m;
    if (std::regex_match(nome, m, blocco)) {
        n.set = m[1];
        n.tipo = m[3].matched ? 1 : 2;
        n.numero = std::stol(m[2]);
        return true;
    }
    if (std::regex_match(nome, m, recupero)) {
        n.set = m[1];
        n.tipo = 0;
        return true;
    }
    return false;
}

}  // namespace

std::vector<SetConservato> SetNellaCartella(const std::string& cartella) {
    const std::string c = Utilita().AggiungiSepDir(cartella);
    std::map<std::string, SetConservato> set;  // by name: the date's order
    for (const VoceCartella& v : Fs().Elenca(c)) {
        NomeDelSet n;
        if (!v.file || !Analizza(v.nome, n)) continue;
        SetConservato& s = set[n.set];
        s.nome = n.set;
        s.byte += Fs().Info(c + v.nome).dimensione;
    }
    std::vector<SetConservato> elenco;
    elenco.reserve(set.size());
    for (auto& [nome, s] : set) elenco.push_back(std::move(s));
    return elenco;
}

std::vector<std::string> FileDelSet(const std::string& cartella, const std::string& nome) {
    std::vector<std::pair<NomeDelSet, std::string>> file;
    for (const VoceCartella& v : Fs().Elenca(Utilita().AggiungiSepDir(cartella))) {
        NomeDelSet n;
        if (v.file && Analizza(v.nome, n) && n.set == nome) file.emplace_back(n, v.nome);
    }
    std::sort(file.begin(), file.end(), [](const auto& a, const auto& b) {
        return std::tie(a.first.tipo, a.first.numero, a.second) <
               std::tie(b.first.tipo, b.first.numero, b.second);
    });
    std::vector<std::string> nomi;
    nomi.reserve(file.size());
    for (auto& [n, f] : file) nomi.push_back(std::move(f));
    return nomi;
}

void RimuoviSet(const std::string& cartella, const std::string& nome) {
    const std::string c = Utilita().AggiungiSepDir(cartella);
    for (const std::string& f : FileDelSet(c, nome)) Fs().Rimuovi(c + f);
    Fs().SincronizzaCartella(CartellaSenzaSeparatore(c));
}

std::vector<std::string> ConservaUltimi(const std::string& cartella, int conserva,
                                        const std::string& nuovo) {
    std::vector<std::string> rimossi;
    // Each removable disk is its own: the sets of the other disks are not here to count.
    if (conserva < 1 || SuUnitaRimovibile(cartella)) return rimossi;
    const std::vector<SetConservato> set = SetNellaCartella(cartella);
    // The new set must be there, whole and the newest: otherwise nothing is decided.
    if (set.empty() || set.back().nome != nuovo) return rimossi;
    const size_t daTogliere = set.size() > static_cast<size_t>(conserva)
                                  ? set.size() - static_cast<size_t>(conserva)
                                  : 0;
    for (size_t i = 0; i < daTogliere; ++i) {
        RimuoviSet(cartella, set[i].nome);
        Utilita().ScriviLog("Backup rimosso (conserva gli ultimi " + std::to_string(conserva) +
                            "): " + Utilita().AggiungiSepDir(cartella) + set[i].nome);
        rimossi.push_back(set[i].nome);
    }
    return rimossi;
}

}  // namespace bv
