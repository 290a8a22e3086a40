// The simulated lens: where it is focused against where the subject is, stepped by DriveLens and driven by
// autofocus. Lives on the window's thread; the live-view producer reads only the resulting blur (atomic).
#pragma once

#include <QObject>
#include <QPointF>
#include <QTimer>

#include <atomic>

namespace quor::component {

class Lens : public QObject {
    Q_OBJECT
public:
    // The subject sits here on the lens's 0 (closest) .. 1 (infinity) focus scale.
    static constexpr double kSubject = 0.42;
    // Blur grows with the focus error; a third of the scale away is as blurred as it gets.
    static constexpr double kBlurPerError = 3.0;
    static constexpr int kAfTickMs = 16;

    Lens();

    // DriveLens step codes: 1, 2, 3 towards near in small, medium and large steps; 0x8001..0x8003 towards far.
    // False for any other code.
    bool Drive(int code);
    // Starts converging on the subject; sharp in well under a second.
    void StartAutoFocus();
    void StopAutoFocus();
    bool Focusing() const { return timer_.isActive(); }
    // True after an autofocus has converged, until the lens is moved by hand.
    bool InFocus() const { return inFocus_; }

    double Position() const { return position_; }
    void SetPosition(double position);
    double Blur() const { return blur_.load(std::memory_order_relaxed); }

    // The AF point, as a fraction of the frame (0..1 both ways; the centre by default).
    QPointF AfPoint() const { return afPoint_; }
    void SetAfPoint(QPointF point);

signals:
    void changed();

private:
    void Step();

    double position_ = kSubject + 0.12;
    std::atomic<double> blur_{0.0};
    bool inFocus_ = false;
    QPointF afPoint_{0.5, 0.5};
    QTimer timer_;
};

} // namespace quor::component
