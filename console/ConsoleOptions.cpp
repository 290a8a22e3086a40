// Crop, rotation, movie and onion-skin options.
#include "console/CameraConsoleDlg.h"

// The component's crop-rectangle reports are routed here; the crop fields follow them once the crop
// controls are in.
void CCameraConsoleDlg::OnCropRectChanged(std::int32_t, std::int32_t, std::int32_t, std::int32_t) {}

// Every change of the layer-count field, typed or written by the console, tells the component the count.
void CCameraConsoleDlg::OnOnionSkinLayersChanged() { ctrl_.SetOnionSkinLayers(GetItemInt(1065)); }
