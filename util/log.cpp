// The log file: one line appended per call, CR LF, with the date and time in front.
#include "platform/codifica.h"
#include "platform/data_ora.h"
#include "platform/filesystem.h"
#include "util/koutilita.h"

namespace bv {

bool koUtilita::ScriviLog(const std::string& testo, const std::string& filename, bool data,
                          bool CancellaPrecedente) const {
    try {
        const std::string file = filename.empty() ? FileLog() : Spazi(filename);
        const std::string prefisso = data ? TimestampLog(Adesso()) + " " : std::string();
        if (CancellaPrecedente && Fs().Info(file).esiste) Fs().Rimuovi(file);
        File f(file, ModoApertura::Accoda);
        f.ScriviTutto(prefisso + testo + "\r\n");
        f.Chiudi();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace bv
