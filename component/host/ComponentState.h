// What the host has told the component through its setters. Kept whether or not a camera is open, so that
// live view, capture and the overlays find it when they start.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "component/liveview/Aids.h"

#include <QPointF>
#include <QString>

namespace quor::component {

enum class DisplayMode : int { Fit = 0, Compress = 1, Stretch = 2 };

struct ComponentState {
    // View
    bool showDebugInfo = false;
    int borderStyle = 0; // 1: single-line border
    DisplayMode displayMode = DisplayMode::Fit;
    int rotation = 0; // degrees: 0, 90, 180 or 270
    bool focusFrameShown = true; // as the host's dialog starts: ticked
    int afPointSelection = 0; // 0 automatic, 1 manual
    QPointF afPoint{0.5, 0.5}; // where the AF point is, as a fraction of the frame

    // Onion skin (the host passes 16-bit values; they are kept as given and bounded where drawn)
    bool onionSkinEnabled = false;
    int onionSkinLayers = 0;
    int onionSkinAlpha = 150;

    // Crop
    bool cropEnabled = false;
    bool cropFlag2 = false;
    bool cropFlag3 = false;
    std::array<std::int32_t, 4> cropRect{10, 10, 100, 100}; // the host dialog's starting numbers
    bool cropFrameShown = false;
    std::string cropImagePath;
    bool cropRatioLocked = false;
    std::array<std::int32_t, 2> cropRatio{};
    int cropShape = 0; // 0 square, 1 round

    // Capture
    bool showAfterShot = true;
    bool movieVideo = true;
    bool movieAudio = true;

    // Aids over live view (the component's own, remembered) and the live-view magnifier.
    AidSettings aids;
    int grid = 0; // GridKind
    int zoomFactor = 1; // 1, 5 or 10
    QPointF zoomCentre{0.5, 0.5}; // as a fraction of the whole frame

    // Live-view frame callback, as registered (0 clears it)
    std::intptr_t frameCallback = 0;
    std::intptr_t frameCallbackContext = 0;
};

// What the component is doing, for the view's overlay.
struct CaptureStatus {
    int controlMode = 1; // 1 program control, 2 camera control
    bool halfPressed = false;
    bool seriesActive = false;
    bool bulbOpen = false;
    int shotsTaken = 0;
    QString lastSaved;
};

QString DisplayModeName(DisplayMode mode);

// Lines drawn over live view to compose by.
enum class GridKind : int { None = 0, Thirds = 1, Golden = 2, Cross = 3 };
constexpr int kGridKinds = 4;
QString GridName(GridKind kind);

} // namespace quor::component
