// The component's view inside the host window: a quiet placeholder while no camera is open, the camera's
// picture later, and, on request, a small debug overlay of what the component knows.
#pragma once

#include "control/Dispatch.h"

#include <QColor>
#include <QWidget>

namespace quor::component {

class CameraEngine;
struct ComponentState;

class QuorCtrlView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDefaultWidth = 500;
    static constexpr int kDefaultHeight = 330;

    // `engine` and `state` belong to the component and outlive the view.
    QuorCtrlView(QWidget* parent, const HostedProperties& props, const CameraEngine* engine,
                 const ComponentState* state);

    QColor BackColor() const { return back_; }
    // The placeholder's line, or empty when the view shows the camera itself.
    QString PlaceholderText() const;
    // The lines of the debug overlay (also drawn when ShowDebugInfo is on).
    QStringList DebugLines() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintDebugOverlay(QPainter& painter);

    QColor back_;
    const CameraEngine* engine_;
    const ComponentState* state_;
};

} // namespace quor::component
