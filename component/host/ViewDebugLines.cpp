// The lines of the view's debug overlay: the open camera, what the shooting side does, live view, the options.
#include "component/host/QuorCtrlView.h"

#include "component/host/CameraEngine.h"
#include "component/liveview/LiveView.h"
#include "control/PropertyCodes.h"

#include <QCoreApplication>

namespace quor::component {
namespace {

QString OnOff(bool on) {
    return on ? QCoreApplication::translate("quor::component::QuorCtrlView", "开")
              : QCoreApplication::translate("quor::component::QuorCtrlView", "关");
}

} // namespace

void QuorCtrlView::CameraLines(QStringList& lines) const {
    const int count = engine_->CameraCount();
    const ICameraSession* session = engine_->Session();
    if (!session) {
        lines << tr("相机：未打开（已连接 %1 台）").arg(count);
        lines << tr("状态：已关闭");
        return;
    }
    lines << tr("相机 %1/%2：%3")
                 .arg(engine_->OpenIndex() + 1)
                 .arg(count)
                 .arg(QString::fromStdString(engine_->OpenDisplayName()));
    lines << tr("状态：已打开  电量 %1%  可拍 %2 张  保存到%3")
                 .arg(session->PropertyValue(prop::BatteryLevel))
                 .arg(session->AvailableShots())
                 .arg(session->PropertyValue(prop::SaveTo) == prop::SaveToCamera ? tr("存储卡") : tr("电脑"));
    auto text = [session](std::int32_t code) { return QString::fromStdString(session->PropertyText(code)); };
    lines << QStringLiteral("%1  %2  %3  ISO %4")
                 .arg(text(prop::ShootingMode), text(prop::ShutterSpeed), text(prop::Aperture), text(prop::IsoSpeed));
    lines << QStringLiteral("%1  %2").arg(text(prop::AfMode), text(prop::DriveMode));
    const FocusState focus = session->Focus();
    QStringList lens{tr("镜头 %1").arg(focus.manual ? QStringLiteral("MF") : QStringLiteral("AF"))};
    if (focus.position >= 0)
        lens << tr("对焦位置 %1%2")
                    .arg(focus.position, 0, 'f', 2)
                    .arg(focus.focusing ? tr("（对焦中）") : focus.inFocus ? tr("（已合焦）") : QString());
    lens << tr("对焦点 %1,%2").arg(state_->afPoint.x(), 0, 'f', 2).arg(state_->afPoint.y(), 0, 'f', 2);
    lines << lens.join(QStringLiteral("  "));
    lines << session->DebugLines();
}

void QuorCtrlView::LiveViewLines(QStringList& lines) const {
    if (!live_ || !live_->Running()) {
        lines << tr("实时取景未开启");
        return;
    }
    const double paintMs = stats_.paints ? stats_.paintNs / 1e6 / double(stats_.paints) : 0.0;
    lines << tr("实时取景 %1x%2 @%3：显示 %4 帧/秒，产生 %5 帧/秒，丢弃 %6")
                 .arg(live_->Width())
                 .arg(live_->Height())
                 .arg(live_->Fps() == 0 ? tr("相机帧率") : QString::number(live_->Fps()))
                 .arg(stats_.shownFps, 0, 'f', 1)
                 .arg(stats_.producedFps, 0, 'f', 1)
                 .arg(live_->Pool().Dropped());
    lines << tr("回调 %1 ms  绘制 %2 ms")
                 .arg(live_->LastCallbackNs() / 1e6, 0, 'f', 2)
                 .arg(paintMs, 0, 'f', 2);
}

void QuorCtrlView::OptionLines(QStringList& lines) const {
    lines << tr("显示 %1  旋转 %2  边框 %3")
                 .arg(DisplayModeName(state_->displayMode))
                 .arg(state_->rotation)
                 .arg(state_->borderStyle);
    lines << tr("洋葱皮 %1  层数 %2  透明度 %3")
                 .arg(OnOff(state_->onionSkinEnabled))
                 .arg(state_->onionSkinLayers)
                 .arg(state_->onionSkinAlpha);
    lines << tr("裁剪 %1  形状 %2  比例 %3  录像：视频 %4  音频 %5")
                 .arg(OnOff(state_->cropEnabled))
                 .arg(state_->cropShape == 1 ? tr("圆形") : tr("方形"))
                 .arg(state_->cropRatioLocked ? QStringLiteral("%1:%2").arg(state_->cropRatio[0]).arg(state_->cropRatio[1])
                                              : tr("自由"))
                 .arg(OnOff(state_->movieVideo))
                 .arg(OnOff(state_->movieAudio));
    if (!cropFrameError_.isEmpty())
        lines << cropFrameError_;
}

QStringList QuorCtrlView::DebugLines() const {
    QStringList lines;
    lines << tr("QuorCtrl 调试信息");
    CameraLines(lines);
    if (status_) {
        lines << tr("快门 %1  控制 %2  连拍 %3  B门 %4  已拍 %5 张")
                     .arg(status_->halfPressed ? tr("半按：测光、对焦中") : tr("松开"))
                     .arg(status_->controlMode == 2 ? tr("相机") : tr("程序"))
                     .arg(OnOff(status_->seriesActive))
                     .arg(status_->bulbOpen ? tr("开启") : tr("关闭"))
                     .arg(status_->shotsTaken);
    }
    LiveViewLines(lines);
    OptionLines(lines);
    if (status_ && !status_->lastSaved.isEmpty())
        lines << tr("最近保存：%1").arg(status_->lastSaved);
    return lines;
}

} // namespace quor::component
