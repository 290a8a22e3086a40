// Crop, rotation, movie and onion-skin options. The controls hold the values; each handler reads them afresh
// and tells the component at the moment its control is operated.
#include "console/CameraConsoleDlg.h"

#include <QComboBox>
#include <QSlider>

void CCameraConsoleDlg::OnCropEnableClicked() { ctrl_.EnableCrop(IsChecked(1037), true, true); }

void CCameraConsoleDlg::OnCropRectClicked() {
    // All four read before the call: a rectangle reported back from inside it rewrites the fields.
    const std::int32_t a = GetItemInt(1038);
    const std::int32_t b = GetItemInt(1039);
    const std::int32_t c = GetItemInt(1040);
    const std::int32_t d = GetItemInt(1041);
    ctrl_.SetCropRect(a, b, c, d);
}

void CCameraConsoleDlg::ApplyCropRatio() {
    const std::int32_t first = GetItemInt(1044);
    const std::int32_t second = GetItemInt(1045);
    ctrl_.SetCropRatio(IsChecked(1043), first, second);
}

void CCameraConsoleDlg::OnCropShapeSelChange() {
    const QComboBox* shapes = ComboAt(1071);
    if (!shapes)
        return;
    // The list is sorted, so the position says nothing: send the shape stored with the item.
    const int index = shapes->currentIndex();
    const QVariant data = index >= 0 ? shapes->itemData(index) : QVariant();
    ctrl_.SetCropShape(data.isValid() ? data.toInt() : -1);
}

void CCameraConsoleDlg::OnCropFrameClicked() { ctrl_.ShowCropFrame(IsChecked(1063), AppFilePath("/CropImg.png")); }

void CCameraConsoleDlg::ApplyRotation() {
    // Radio 1047 ("0") itself is never read: with none of the others checked the angle is 0.
    ctrl_.SetRotation(ValueOfCheckedRadio({{1048, 90}, {1049, 180}, {1050, 270}}, 0));
}

void CCameraConsoleDlg::ApplyMovieOptions() { ctrl_.SetMovieOptions(IsChecked(1034), IsChecked(1035)); }

void CCameraConsoleDlg::OnOnionSkinClicked() {
    ctrl_.EnableOnionSkin(IsChecked(1064));
    UpdateOnionSkinControls();
}

// Every change of the layer-count field, typed or written by the console, tells the component the count.
void CCameraConsoleDlg::OnOnionSkinLayersChanged() { ctrl_.SetOnionSkinLayers(GetItemInt(1065)); }

void CCameraConsoleDlg::OnTransparencyScroll() {
    const auto* slider = qobject_cast<const QSlider*>(GetDlgItem(1066));
    if (!slider)
        return;
    // The position the user moved to; a step is announced before the slider's value follows it.
    const int position = slider->sliderPosition();
    SetItemInt(1067, position);
    ctrl_.SetOnionSkinAlpha(position);
}

// Written into the fields only; they have no change handler, so nothing goes back to the component.
void CCameraConsoleDlg::OnCropRectChanged(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
    SetItemInt(1038, a);
    SetItemInt(1039, b);
    SetItemInt(1040, c);
    SetItemInt(1041, d);
}
