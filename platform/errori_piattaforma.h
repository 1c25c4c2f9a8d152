// The program's own errors that the platform layer raises itself (the locks'), named as in
// util/errori.h, whose table lists them with these texts: here, because platform/ includes
// nothing from the layers above it.
#pragma once

#include <cstdint>

namespace bv::errori {

inline constexpr int32_t BloccoNonUtilizzabile = 3003;
inline constexpr int32_t OperazioneInCorso = 3004;
inline constexpr int32_t PianificazioneNonRegistrata = 10019;

// "{}": the lock's path.
inline constexpr const char* kTestoBloccoNonUtilizzabile =
    "Impossibile verificare che non sia in esecuzione un'altra copia di BVBackup: {} non può "
    "essere usato come blocco. Rimuoverlo e riprovare.";
inline constexpr const char* kTestoOperazioneInCorso =
    "Un backup o un ripristino è in corso in un'altra copia di BVBackup (ad esempio un backup "
    "pianificato). Attendere che termini e riprovare.";
// "{}": what the scheduler answered.
inline constexpr const char* kTestoPianificazioneNonRegistrata =
    "Impossibile pianificare il backup: {}";

}  // namespace bv::errori
