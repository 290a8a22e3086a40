#include "component/sim/PhotoExif.h"

#include <libexif/exif-data.h>
#include <libexif/exif-entry.h>
#include <libexif/exif-utils.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace quor::component {
namespace {

constexpr ExifByteOrder kOrder = EXIF_BYTE_ORDER_INTEL;

// An entry of a fixed format in `ifd`, its data allocated for `components`.
ExifEntry* Add(ExifData* data, ExifIfd ifd, ExifTag tag, ExifFormat format, unsigned long components) {
    ExifMem* mem = exif_mem_new_default();
    ExifEntry* e = exif_entry_new_mem(mem);
    const unsigned int size = exif_format_get_size(format) * unsigned(components);
    e->data = static_cast<unsigned char*>(exif_mem_alloc(mem, size));
    e->size = size;
    e->tag = tag;
    e->components = components;
    e->format = format;
    exif_content_add_entry(data->ifd[ifd], e);
    exif_mem_unref(mem);
    exif_entry_unref(e); // the content holds it now
    return e;
}

void AddText(ExifData* data, ExifIfd ifd, ExifTag tag, const std::string& text) {
    if (text.empty())
        return;
    ExifEntry* e = Add(data, ifd, tag, EXIF_FORMAT_ASCII, text.size() + 1);
    std::memcpy(e->data, text.c_str(), text.size() + 1);
}

void AddShort(ExifData* data, ExifIfd ifd, ExifTag tag, unsigned value) {
    exif_set_short(Add(data, ifd, tag, EXIF_FORMAT_SHORT, 1)->data, kOrder, ExifShort(value));
}

void AddLong(ExifData* data, ExifIfd ifd, ExifTag tag, unsigned value) {
    exif_set_long(Add(data, ifd, tag, EXIF_FORMAT_LONG, 1)->data, kOrder, ExifLong(value));
}

void AddRational(ExifData* data, ExifIfd ifd, ExifTag tag, unsigned numerator, unsigned denominator) {
    exif_set_rational(Add(data, ifd, tag, EXIF_FORMAT_RATIONAL, 1)->data, kOrder,
                      ExifRational{numerator, denominator});
}

unsigned OrientationOf(int rotation) {
    switch (rotation) {
    case 90: return 6;  // turn 90 degrees clockwise to show
    case 180: return 3;
    case 270: return 8;
    default: return 1;
    }
}

} // namespace

void ExposureRational(double seconds, unsigned* numerator, unsigned* denominator) {
    if (seconds <= 0.0) {
        *numerator = 0;
        *denominator = 1;
    } else if (seconds < 0.3) {
        *numerator = 1;
        *denominator = unsigned(std::lround(1.0 / seconds));
    } else {
        *numerator = unsigned(std::lround(seconds * 10.0));
        *denominator = 10;
    }
}

QByteArray ExifSegment(const PhotoExif& exif) {
    std::unique_ptr<ExifData, decltype(&exif_data_unref)> data(exif_data_new(), &exif_data_unref);
    if (!data)
        return {};
    ExifData* d = data.get();
    exif_data_set_byte_order(d, kOrder);
    exif_data_set_data_type(d, EXIF_DATA_TYPE_COMPRESSED);
    exif_data_unset_option(d, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION); // nothing added behind our back

    const std::string when = exif.taken.toString(QStringLiteral("yyyy:MM:dd HH:mm:ss")).toStdString();
    AddText(d, EXIF_IFD_0, EXIF_TAG_MAKE, exif.make);
    AddText(d, EXIF_IFD_0, EXIF_TAG_MODEL, exif.model);
    AddShort(d, EXIF_IFD_0, EXIF_TAG_ORIENTATION, OrientationOf(exif.rotation));
    AddText(d, EXIF_IFD_0, EXIF_TAG_SOFTWARE, "QuorTovu");
    AddText(d, EXIF_IFD_0, EXIF_TAG_DATE_TIME, when);
    if (exif.exposureSeconds > 0.0) {
        unsigned n = 0, den = 1;
        ExposureRational(exif.exposureSeconds, &n, &den);
        AddRational(d, EXIF_IFD_EXIF, EXIF_TAG_EXPOSURE_TIME, n, den);
    }
    if (exif.fNumber > 0.0)
        AddRational(d, EXIF_IFD_EXIF, EXIF_TAG_FNUMBER, unsigned(std::lround(exif.fNumber * 10.0)), 10);
    if (exif.iso > 0)
        AddShort(d, EXIF_IFD_EXIF, EXIF_TAG_ISO_SPEED_RATINGS, unsigned(exif.iso));
    AddText(d, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL, when);
    AddText(d, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_DIGITIZED, when);
    if (exif.width > 0 && exif.height > 0) {
        AddLong(d, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION, unsigned(exif.width));
        AddLong(d, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION, unsigned(exif.height));
    }
    AddText(d, EXIF_IFD_EXIF, EXIF_TAG_BODY_SERIAL_NUMBER, exif.serial);

    unsigned char* bytes = nullptr;
    unsigned int size = 0;
    exif_data_save_data(d, &bytes, &size);
    if (!bytes || size == 0 || size > 65533) {
        std::free(bytes);
        return {};
    }
    // The segment: FF E1, a big-endian length that counts itself, then what libexif wrote ("Exif\0\0" + TIFF).
    QByteArray segment(4 + qsizetype(size), Qt::Uninitialized);
    segment[0] = char(0xFF);
    segment[1] = char(0xE1);
    segment[2] = char(((size + 2) >> 8) & 0xFF);
    segment[3] = char((size + 2) & 0xFF);
    std::memcpy(segment.data() + 4, bytes, size);
    std::free(bytes);
    return segment;
}

} // namespace quor::component
