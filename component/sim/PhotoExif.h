// The EXIF block a simulated photo carries: which body took it and with what settings, like a real camera's.
#pragma once

#include <QByteArray>
#include <QDateTime>

#include <string>

namespace quor::component {

struct PhotoExif {
    std::string make, model, serial;
    double exposureSeconds = 0.0; // 0: not known
    double fNumber = 0.0;         // 0: not known
    int iso = 0;                  // 0: not known
    QDateTime taken;
    int rotation = 0; // degrees the picture is to be turned when shown: 0, 90, 180 or 270
    int width = 0, height = 0;
};

// The JPEG APP1 segment (marker, length, "Exif\0\0" and the TIFF structure) that goes right after the
// start-of-image marker. Empty if it cannot be built.
QByteArray ExifSegment(const PhotoExif& exif);

// A rational close to `value` in the form cameras write: 1/n for short exposures, tenths otherwise.
void ExposureRational(double seconds, unsigned* numerator, unsigned* denominator);

} // namespace quor::component
