#include "recupero/riparazione.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <thread>

#include "platform/filesystem.h"
#include "recupero/errori_recupero.h"
#include "recupero/gf16.h"
#include "recupero/scrittore.h"

namespace bv::recupero {
namespace {

using Matrice = std::vector<std::vector<uint16_t>>;

// The inverse of a square matrix, or nothing when it is singular.
std::optional<Matrice> Inversa(Matrice a) {
    const size_t n = a.size();
    Matrice inv(n, std::vector<uint16_t>(n, 0));
    for (size_t i = 0; i < n; ++i) inv[i][i] = 1;
    for (size_t col = 0; col < n; ++col) {
        size_t pivot = col;
        while (pivot < n && a[pivot][col] == 0) ++pivot;
        if (pivot == n) return std::nullopt;
        std::swap(a[col], a[pivot]);
        std::swap(inv[col], inv[pivot]);
        const uint16_t k = gf16::Inverso(a[col][col]);
        for (size_t j = 0; j < n; ++j) {
            a[col][j] = gf16::Moltiplica(a[col][j], k);
            inv[col][j] = gf16::Moltiplica(inv[col][j], k);
        }
        for (size_t r = 0; r < n; ++r) {
            const uint16_t f = a[r][col];
            if (r == col || f == 0) continue;
            for (size_t j = 0; j < n; ++j) {
                a[r][j] ^= gf16::Moltiplica(f, a[col][j]);
                inv[r][j] ^= gf16::Moltiplica(f, inv[col][j]);
            }
        }
    }
    return inv;
}

// Recovery rows chosen greedily so that the system has a solution: each row kept only when
// it is independent of those already kept (a Vandermonde-like matrix almost always is).
std::vector<size_t> ScegliRighe(const std::vector<uint32_t>& esponenti,
                                const std::vector<uint32_t>& incognite) {
    const size_t k = incognite.size();
    std::vector<size_t> scelte;
    Matrice ridotte;
    std::vector<size_t> pivot;
    for (size_t r = 0; r < esponenti.size() && scelte.size() < k; ++r) {
        std::vector<uint16_t> v(k);
        for (size_t j = 0; j < k; ++j) v[j] = gf16::Coefficiente(incognite[j], esponenti[r]);
        for (size_t i = 0; i < ridotte.size(); ++i) {
            const uint16_t f = v[pivot[i]];
            if (f == 0) continue;
            for (size_t j = 0; j < k; ++j) v[j] ^= gf16::Moltiplica(f, ridotte[i][j]);
        }
        const auto nz = std::find_if(v.begin(), v.end(), [](uint16_t x) { return x != 0; });
        if (nz == v.end()) continue;
        const auto p = static_cast<size_t>(nz - v.begin());
        const uint16_t inv = gf16::Inverso(v[p]);
        for (uint16_t& x : v) x = gf16::Moltiplica(x, inv);
        // Keep the reduced rows reduced against the new pivot.
        for (auto& riga : ridotte) {
            const uint16_t f = riga[p];
            if (f == 0) continue;
            for (size_t j = 0; j < k; ++j) riga[j] ^= gf16::Moltiplica(f, v[j]);
        }
        ridotte.push_back(std::move(v));
        pivot.push_back(p);
        scelte.push_back(r);
    }
    return scelte;
}

// dst[r] ^= coef[r] * src for every r, on two threads when it is worth it.
void AccumulaSuTutte(std::vector<std::vector<uint8_t>>& dst, const std::vector<uint16_t>& coef,
                     const uint8_t* src, size_t n) {
    const auto fai = [&](size_t da, size_t a) {
        for (size_t r = da; r < a; ++r) gf16::MoltiplicaAccumula(coef[r], src, dst[r].data(), n);
    };
    const size_t m = dst.size();
    if (m < 2 || n * m < (1U << 20)) return fai(0, m);
    std::thread altro(fai, 0, m / 2);
    fai(m / 2, m);
    altro.join();
}

}  // namespace

EsitoRiparazione Ripara(const InsiemeRecupero& insieme, const Verifica& verifica,
                        const std::string& cartella) {
    EsitoRiparazione esito;
    if (verifica.file.size() != insieme.file.size())
        throw UsoNonValido("verifica di un altro insieme");
    const auto dim = static_cast<size_t>(insieme.dimensioneFetta);
    // The unknowns: global indices of the slices that are not good.
    std::vector<uint32_t> incognite;
    std::map<uint32_t, size_t> posto;  // global index -> unknown's position
    std::vector<uint32_t> base;
    uint32_t g = 0;
    for (size_t f = 0; f < insieme.file.size(); ++f) {
        base.push_back(g);
        if (verifica.file[f].fetteBuone.size() != insieme.file[f].fette.size())
            throw UsoNonValido("verifica di un altro insieme");
        for (size_t j = 0; j < insieme.file[f].fette.size(); ++j, ++g)
            if (!verifica.file[f].fetteBuone[j]) {
                posto[g] = incognite.size();
                incognite.push_back(g);
            }
    }
    const size_t k = incognite.size();
    if (k > insieme.recupero.size()) throw RecuperoInsufficiente(k, insieme.recupero.size());

    std::vector<std::vector<uint8_t>> ricostruite;
    if (k > 0) {
        std::vector<uint32_t> esponenti;
        for (const auto& r : insieme.recupero) esponenti.push_back(r.esponente);
        const std::vector<size_t> righe = ScegliRighe(esponenti, incognite);
        if (righe.size() < k)
            throw RiparazioneNonRiuscita("sistema non risolvibile con le fette di recupero presenti");
        // R'_r = R_r - sum over good slices i of c_i^e_r * s_i.
        std::vector<std::vector<uint8_t>> noti(k, std::vector<uint8_t>(dim));
        for (size_t r = 0; r < k; ++r) {
            const FettaRecuperoDisponibile& fr = insieme.recupero[righe[r]];
            if (!LeggiFetta(fr.percorso, fr.offsetDati, noti[r].data(), dim, fr.offsetDati + dim))
                throw RiparazioneNonRiuscita(fr.percorso + ": fetta di recupero illeggibile");
        }
        std::vector<uint8_t> buf(dim);
        std::vector<uint16_t> coef(k);
        for (size_t f = 0; f < insieme.file.size(); ++f) {
            const FileDescritto& fd = insieme.file[f];
            for (size_t j = 0; j < fd.fette.size(); ++j) {
                if (!verifica.file[f].fetteBuone[j]) continue;
                if (!LeggiFetta(verifica.file[f].percorso, j * insieme.dimensioneFetta, buf.data(), dim,
                                fd.lunghezza))
                    throw RiparazioneNonRiuscita(verifica.file[f].percorso + ": lettura non riuscita");
                for (size_t r = 0; r < k; ++r)
                    coef[r] = gf16::Coefficiente(base[f] + static_cast<uint32_t>(j),
                                                 esponenti[righe[r]]);
                AccumulaSuTutte(noti, coef, buf.data(), dim);
            }
        }
        Matrice a(k, std::vector<uint16_t>(k));
        for (size_t r = 0; r < k; ++r)
            for (size_t j = 0; j < k; ++j) a[r][j] = gf16::Coefficiente(incognite[j], esponenti[righe[r]]);
        const std::optional<Matrice> inv = Inversa(a);
        if (!inv) throw RiparazioneNonRiuscita("matrice singolare");
        // s_j = sum_r inv[j][r] * R'_r, one unknown at a time.
        ricostruite.assign(k, std::vector<uint8_t>(dim, 0));
        for (size_t r = 0; r < k; ++r) {
            for (size_t j = 0; j < k; ++j) coef[j] = (*inv)[j][r];
            AccumulaSuTutte(ricostruite, coef, noti[r].data(), dim);
        }
        // Each rebuilt slice must match what the set recorded for it.
        for (size_t f = 0; f < insieme.file.size(); ++f)
            for (size_t j = 0; j < insieme.file[f].fette.size(); ++j) {
                const auto p = posto.find(base[f] + static_cast<uint32_t>(j));
                if (p == posto.end()) continue;
                const std::vector<uint8_t>& s = ricostruite[p->second];
                if (CalcolaMd5(s.data(), dim) != insieme.file[f].fette[j].first ||
                    static_cast<uint32_t>(crc32(0L, s.data(), static_cast<uInt>(dim))) !=
                        insieme.file[f].fette[j].second)
                    throw RiparazioneNonRiuscita(insieme.file[f].nome + ": fetta " + std::to_string(j) +
                                                 " ricostruita non corrispondente");
            }
    }

    for (size_t f = 0; f < insieme.file.size(); ++f) {
        const VerificaFile& vf = verifica.file[f];
        if (vf.stato == StatoFile::Integro) continue;
        const FileDescritto& fd = insieme.file[f];
        const std::string destinazione = Unisci(cartella, fd.nome);
        const std::string temporaneo = destinazione + ".tmp";
        std::optional<File> originale;
        try {
            if (vf.stato == StatoFile::Danneggiato && fd.lunghezza > 0)
                originale.emplace(vf.percorso, ModoApertura::Lettura);
        } catch (const Errore&) {  // unreadable: every slice of it is rebuilt
        }
        ScriviDurevole(destinazione, temporaneo, fd.lunghezza, [&](uint64_t offset, uint8_t* buf, size_t n) {
            size_t fatti = 0;
            while (fatti < n) {
                const uint64_t o = offset + fatti;
                const uint64_t j = o / insieme.dimensioneFetta;
                const auto dentro = static_cast<size_t>(o % insieme.dimensioneFetta);
                const size_t presi = std::min(dim - dentro, n - fatti);
                const auto p = posto.find(base[f] + static_cast<uint32_t>(j));
                if (p != posto.end()) {
                    std::memcpy(buf + fatti, ricostruite[p->second].data() + dentro, presi);
                } else {
                    if (!originale) throw RiparazioneNonRiuscita(vf.percorso + ": file illeggibile");
                    size_t letti = 0;
                    while (letti < presi) {
                        const size_t r = originale->LeggiDa(o + letti, buf + fatti + letti, presi - letti);
                        if (r == 0) throw RiparazioneNonRiuscita(vf.percorso + ": file accorciato durante la riparazione");
                        letti += r;
                    }
                }
                fatti += presi;
            }
            // Read to its end: closed before the repaired file takes its name (Windows renames
            // nothing over a file still open).
            if (offset + fatti >= fd.lunghezza) originale.reset();
            return fatti;
        });
        esito.riparati.push_back(destinazione);
    }
    esito.fetteRicostruite = static_cast<uint32_t>(k);
    return esito;
}

}  // namespace bv::recupero
