#pragma once

#include "formdefinition.h"

#include <QWidget>

namespace quadrelink {

// The port-state indicator: a circle that fills its square, painted in its back
// colour with a thin outline.
class Shape final : public QWidget
{
    Q_OBJECT

public:
    explicit Shape(QWidget *parent = nullptr);

    [[nodiscard]] form::Colour BackColor() const { return m_backColour; }
    void setBackColor(form::Colour colour);

    [[nodiscard]] form::Colour BorderColor() const { return m_borderColour; }
    void setBorderColor(form::Colour colour);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    form::Colour m_backColour = form::red;
    form::Colour m_borderColour = form::windowFrame;
};

} // namespace quadrelink
