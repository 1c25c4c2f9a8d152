// The window's answers to the core's questions: real message boxes and folder dialogs.
#pragma once

#include "util/interazione.h"

class QWidget;

namespace bv {

class InterazioneQt final : public Interazione {
  public:
    explicit InterazioneQt(QWidget* finestra) : finestra_(finestra) {}
    Risposta Messaggio(const std::string& testo, const std::string& titolo, Icona icona,
                       Pulsanti pulsanti) override;
    std::string ScegliCartella(const std::string& titolo, const std::string& iniziale) override;
    bool ApriDocumento(const std::string& file) override;
    std::string ChiediTesto(const std::string& testo, const std::string& titolo) override;
    std::string ScegliFileDaSalvare(const std::string& titolo, const std::string& nome) override;

  private:
    QWidget* finestra_;
};

}  // namespace bv
