// The last backup's outcome as the window's header and `bvbackup-cli stato` say it:
// "Ultimo backup: oggi alle 09:12, verificato", or, as an alarm, "Il backup pianificato di ieri
// alle 18:00 non è riuscito: <text>" and "Nessun backup da 8 giorni".
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "operazioni/backup_pianificato.h"
#include "operazioni/ultimo_backup.h"
#include "platform/data_ora.h"

namespace bv {

// Days without a successful backup after which the user is warned.
inline constexpr int kGiorniSenzaBackup = 7;

struct TestoUltimoBackup {
    std::vector<std::string> righe;
    bool allarme = false;  // shown in red: a failure, or too long without a backup
};

// Whole calendar days from `da` to `a` (negative when `a` comes first).
int GiorniTra(const DataOra& da, const DataOra& a);

// "oggi alle 09:12", "ieri alle 18:00", "il 03/12/2026 alle 18:00", as seen at `adesso`.
std::string QuandoLeggibile(const DataOra& quando, const DataOra& adesso);

TestoUltimoBackup DescriviUltimoBackup(const std::optional<UltimoBackup>& u, const DataOra& adesso);

// "Backup pianificato ogni giorno alle 18:00 in E:\\Backup\\", "... ogni lunedì e venerdì ...".
std::string TestoPianificazione(const PianificazioneBackup& p);

}  // namespace bv
