// The log file: one line appended per call, CR LF, with the date and time in front.
#include "platform/codifica.h"
#include "platform/data_ora.h"
#include "platform/filesystem.h"
#include "util/koutilita.h"

namespace bv {

namespace {

std::string CollegamentoRimosso(const std::string& percorso) {
    return "Collegamento rimosso al posto di un file di BVBackup (non seguito): " + percorso;
}

}  // namespace

bool koUtilita::TogliCollegamento(const std::string& percorso) const {
    if (!Fs().Info(percorso).collegamento) return false;
    Fs().Rimuovi(percorso);
    ScriviLog(CollegamentoRimosso(percorso));
    return true;
}

bool koUtilita::ScriviLog(const std::string& testo, const std::string& filename, bool data,
                          bool CancellaPrecedente) const {
    try {
        const std::string file = filename.empty() ? FileLog() : Spazi(filename);
        const std::string prefisso = data ? TimestampLog(Adesso()) + " " : std::string();
        std::string righe;
        if (Fs().Info(file).collegamento) {
            Fs().Rimuovi(file);
            righe = prefisso + CollegamentoRimosso(file) + "\r\n";
        }
        if (CancellaPrecedente && Fs().Info(file).esiste) Fs().Rimuovi(file);
        File f(file, ModoApertura::Accoda);
        f.ScriviTutto(righe + prefisso + testo + "\r\n");
        f.Chiudi();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace bv
