// The lines of the view's debug overlay: the open camera, what the shooting side does, live view, the options.
#include "component/host/QuorCtrlView.h"

#include "component/host/CameraEngine.h"
#include "component/liveview/LiveView.h"
#include "control/PropertyCodes.h"

namespace quor::component {
namespace {

QString OnOff(bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); }

} // namespace

void QuorCtrlView::CameraLines(QStringList& lines) const {
    const int count = engine_->CameraCount();
    const ICameraSession* session = engine_->Session();
    if (!session) {
        lines << QStringLiteral("camera: none open (%1 connected)").arg(count);
        lines << QStringLiteral("state: closed");
        return;
    }
    lines << QStringLiteral("camera %1/%2: %3")
                 .arg(engine_->OpenIndex() + 1)
                 .arg(count)
                 .arg(QString::fromStdString(engine_->OpenDisplayName()));
    lines << QStringLiteral("state: open  battery %1%  shots %2  save to %3")
                 .arg(session->PropertyValue(prop::BatteryLevel))
                 .arg(session->AvailableShots())
                 .arg(session->PropertyValue(prop::SaveTo) == prop::SaveToCamera ? QStringLiteral("card")
                                                                                  : QStringLiteral("computer"));
    auto text = [session](std::int32_t code) { return QString::fromStdString(session->PropertyText(code)); };
    lines << QStringLiteral("%1  %2  %3  ISO %4")
                 .arg(text(prop::ShootingMode), text(prop::ShutterSpeed), text(prop::Aperture), text(prop::IsoSpeed));
    lines << QStringLiteral("%1  %2").arg(text(prop::AfMode), text(prop::DriveMode));
    const FocusState focus = session->Focus();
    QString lens = QStringLiteral("lens %1").arg(focus.manual ? QStringLiteral("MF") : QStringLiteral("AF"));
    if (focus.position >= 0)
        lens += QStringLiteral("  focus %1%2")
                    .arg(focus.position, 0, 'f', 2)
                    .arg(focus.focusing ? QStringLiteral(" (focusing)")
                                        : focus.inFocus ? QStringLiteral(" (in focus)") : QString());
    lines << lens + QStringLiteral("  AF point %1,%2").arg(state_->afPoint.x(), 0, 'f', 2).arg(state_->afPoint.y(), 0, 'f', 2);
    lines << session->DebugLines();
}

void QuorCtrlView::LiveViewLines(QStringList& lines) const {
    if (!live_ || !live_->Running()) {
        lines << QStringLiteral("live view off");
        return;
    }
    const double paintMs = stats_.paints ? stats_.paintNs / 1e6 / double(stats_.paints) : 0.0;
    lines << QStringLiteral("live view %1x%2 @%3: shown %4 fps, produced %5 fps, dropped %6")
                 .arg(live_->Width())
                 .arg(live_->Height())
                 .arg(live_->Fps() == 0 ? QStringLiteral("camera's rate") : QString::number(live_->Fps()))
                 .arg(stats_.shownFps, 0, 'f', 1)
                 .arg(stats_.producedFps, 0, 'f', 1)
                 .arg(live_->Pool().Dropped());
    lines << QStringLiteral("callback %1 ms  paint %2 ms")
                 .arg(live_->LastCallbackNs() / 1e6, 0, 'f', 2)
                 .arg(paintMs, 0, 'f', 2);
}

void QuorCtrlView::OptionLines(QStringList& lines) const {
    lines << QStringLiteral("display %1  rotation %2  border %3")
                 .arg(QString::fromLatin1(DisplayModeName(state_->displayMode)))
                 .arg(state_->rotation)
                 .arg(state_->borderStyle);
    lines << QStringLiteral("onion skin %1  layers %2  alpha %3")
                 .arg(OnOff(state_->onionSkinEnabled))
                 .arg(state_->onionSkinLayers)
                 .arg(state_->onionSkinAlpha);
    lines << QStringLiteral("crop %1  shape %2  ratio %3  movie: video %4  audio %5")
                 .arg(OnOff(state_->cropEnabled))
                 .arg(state_->cropShape == 1 ? QStringLiteral("round") : QStringLiteral("square"))
                 .arg(state_->cropRatioLocked ? QStringLiteral("%1:%2").arg(state_->cropRatio[0]).arg(state_->cropRatio[1])
                                              : QStringLiteral("free"))
                 .arg(OnOff(state_->movieVideo))
                 .arg(OnOff(state_->movieAudio));
    if (!cropFrameError_.isEmpty())
        lines << cropFrameError_;
}

QStringList QuorCtrlView::DebugLines() const {
    QStringList lines;
    lines << QStringLiteral("QuorCtrl debug");
    CameraLines(lines);
    if (status_) {
        lines << QStringLiteral("shutter %1  control %2  series %3  bulb %4  shots taken %5")
                     .arg(status_->halfPressed ? QStringLiteral("half-pressed: metering, focusing")
                                               : QStringLiteral("released"))
                     .arg(status_->controlMode == 2 ? QStringLiteral("camera") : QStringLiteral("program"))
                     .arg(OnOff(status_->seriesActive))
                     .arg(status_->bulbOpen ? QStringLiteral("open") : QStringLiteral("closed"))
                     .arg(status_->shotsTaken);
    }
    LiveViewLines(lines);
    OptionLines(lines);
    if (status_ && !status_->lastSaved.isEmpty())
        lines << QStringLiteral("last saved: ") + status_->lastSaved;
    return lines;
}

} // namespace quor::component
