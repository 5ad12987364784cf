#pragma once

#include <QGroupBox>

namespace quadrelink {

// A frame of the window: an etched border with its title set into the top
// line, and an interior painted in the frame's own back colour, so that the
// labels inside, painted in the same colour, do not show as patches.
class FrameBox final : public QGroupBox
{
    Q_OBJECT

public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace quadrelink
