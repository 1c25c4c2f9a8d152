// The one way the core asks the user something or tells them something: a message box with
// title, text, icon and buttons. The window answers with a real message box, the command
// line on the terminal, the tests with scripted answers.
#pragma once

#include <string>

namespace bv {

enum class Icona { Nessuna, Informazione, Domanda, Avviso, Critico };
// RiprovaMancanteAnnulla: a disk prompt that also takes "disco mancante o illeggibile".
enum class Pulsanti { Ok, SiNo, SiNoAnnulla, RiprovaAnnulla, RiprovaMancanteAnnulla };
enum class Risposta { Ok, Si, No, Annulla, Riprova, Mancante };
// The caption of the answer Mancante.
inline constexpr const char* kTestoDiscoMancante = "Disco mancante o illeggibile";

class Interazione {
  public:
    virtual ~Interazione() = default;
    virtual Risposta Messaggio(const std::string& testo, const std::string& titolo, Icona icona,
                               Pulsanti pulsanti) = 0;
    // A folder chosen by the user, or "" when they cancel; the dialog opens at `iniziale`
    // (an existing folder, or "" for the platform's default).
    virtual std::string ScegliCartella(const std::string& titolo, const std::string& iniziale) = 0;
    // Opens a document with the program the desktop associates with its type; false when
    // nothing could open it.
    virtual bool ApriDocumento(const std::string& file) = 0;
    // A line of text the user types (the recovery key), or "" when they cancel; by default
    // nobody is asked.
    virtual std::string ChiediTesto(const std::string& testo, const std::string& titolo) {
        (void)testo;
        (void)titolo;
        return {};
    }
    // The path of a file to write, chosen by the user (`nome` proposed), or "" when they cancel.
    virtual std::string ScegliFileDaSalvare(const std::string& titolo, const std::string& nome) {
        (void)titolo;
        (void)nome;
        return {};
    }
};

// Answers without asking anyone: OK, No, Cancel; chooses no folder. Used when nothing else
// is installed, so an unattended run ends instead of waiting for an answer.
class InterazioneNonPresidiata final : public Interazione {
  public:
    Risposta Messaggio(const std::string& testo, const std::string& titolo, Icona icona,
                       Pulsanti pulsanti) override;
    std::string ScegliCartella(const std::string& titolo, const std::string& iniziale) override;
    bool ApriDocumento(const std::string& file) override;
};

Interazione& InterazioneCorrente();

// Installs the front end's interaction for as long as it lives.
class UsaInterazione {
  public:
    explicit UsaInterazione(Interazione& interazione);
    ~UsaInterazione();
    UsaInterazione(const UsaInterazione&) = delete;
    UsaInterazione& operator=(const UsaInterazione&) = delete;

  private:
    Interazione* precedente_;
};

}  // namespace bv
