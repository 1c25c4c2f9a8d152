// A label that shows a path of any length in the room it is given: elided in the middle,
// the whole path in its tooltip. The window's size never depends on the path.
#pragma once

#include <QLabel>

namespace bv {

class EtichettaPercorso final : public QLabel {
    Q_OBJECT

  public:
    explicit EtichettaPercorso(QWidget* genitore = nullptr);
    void ImpostaTesto(const QString& testo);
    QString TestoCompleto() const { return completo_; }
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* evento) override;

  private:
    void Adatta();
    QString completo_;
};

}  // namespace bv
