// What the camera's settings mean for a picture: the pixel size and JPEG quality of a photo, and the exposure
// and white balance with which the simulated scene is seen.
#pragma once

#include "component/sim/PropertyModel.h"
#include "component/sim/SceneRenderer.h"

namespace quor::component {

struct PhotoFormat {
    int width = 0;
    int height = 0;
    int jpegQuality = 90; // 0..100, as QImageWriter takes it
};

// The file a photo at image quality `quality` becomes. RAW settings keep the size of their JPEG counterpart
// at the highest JPEG quality (the component always writes JPEG, whatever the name says).
PhotoFormat PhotoFormatFor(const PropertyOption* quality);

// Red, green and blue gains that the white-balance setting applies to the scene's daylight.
void WhiteBalanceGains(const PropertyOption* whiteBalance, float& red, float& green, float& blue);

// The scene as a shot with the current settings sees it. `bulbSeconds` > 0: a bulb exposure of that length.
// `blur` comes from the lens (0 sharp .. 1).
SceneParams ShotScene(const PropertyModel& model, double blur, double bulbSeconds = 0.0);

// The same for live view, whose exposure simulation stops at three stops either way, as a body's does.
SceneParams LiveViewScene(const PropertyModel& model, double blur);

// The nominal numbers a photo's EXIF block carries (0 where there is none, e.g. for Bulb): the shutter speed in
// seconds ("1/125", "0\"5", "30\""), the f-number ("F5.6") and the ISO speed (Auto as the speed it settles on).
double ShutterSeconds(const PropertyOption* shutter);
double ApertureNumber(const PropertyOption* aperture);
int IsoNumber(const PropertyOption* iso);

} // namespace quor::component
