// CCameraConsoleDlg: the camera console, a fixed-size dialog that hosts the camera component's view and
// surrounds it with the controls of the dialog template (ControlTable). Controls are addressed by identifier.
#pragma once

#include "console/DialogUnits.h"
#include "control/Dispatch.h"
#include "control/EventRouting.h"
#include "control/QuorCtrl.h"

#include <QDialog>
#include <QIcon>
#include <QRect>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

class QAbstractButton;
class QComboBox;
class QMouseEvent;

namespace quor::console {
struct ControlDef;
struct PropertyBinding;
class TypedValueGuard;
} // namespace quor::console

// The console's state flags: 32-bit integers used as booleans (liveViewOn may hold -1).
struct ConsoleState {
    std::int32_t cameraOpen = 0;
    std::int32_t liveViewOn = 0;
    std::int32_t afPossible = 0;
    std::int32_t photoShown = 0;
    std::int32_t captureBusy = 0;
    std::int32_t halfPressed = 0;
    std::int32_t continuousActive = 0;
    std::int32_t bulbActive = 0;
};

class CCameraConsoleDlg : public QDialog {
    Q_OBJECT
public:
    // Identifier of the hosted camera view.
    static constexpr int kCameraViewId = 1000;

    // Creates every control and runs the initialisation. An empty factory creates the registered camera
    // component.
    CCameraConsoleDlg(std::string appDirectory, quor::ComponentFactory factory = {}, QWidget* parent = nullptr);
    ~CCameraConsoleDlg() override;

    CCameraConsoleDlg(const CCameraConsoleDlg&) = delete;
    CCameraConsoleDlg& operator=(const CCameraConsoleDlg&) = delete;

    // Controls by identifier. Operations on an identifier without a control do nothing.
    QWidget* GetDlgItem(int id) const;
    int DlgItemId(const QWidget* widget) const; // 0 when the widget is none of the console's controls
    void EnableItem(int id, bool enable);
    bool IsItemEnabled(int id) const;
    // Writing an edit field counts as a change of it, also when the text stays the same.
    void SetItemText(int id, const QString& text);
    QString GetItemText(int id) const;
    bool IsChecked(int id) const;
    // The value paired with the first checked radio of `radios` (control id, value), or `otherwise`.
    int ValueOfCheckedRadio(std::initializer_list<std::pair<int, int>> radios, int otherwise) const;
    void CheckItem(int id, bool checked);
    // Checks `checkId` and unchecks every other radio button from `firstId` to `lastId`.
    void CheckRadioButton(int firstId, int lastId, int checkId);
    std::int32_t GetItemInt(int id) const;
    void SetItemInt(int id, std::int32_t value);

    // Operations shared by the handlers.
    void SetOpenState(bool open);
    void SetFocusButtons(bool enable);
    void UpdateOnionSkinControls();
    void ApplyDisplayMode();
    void RefreshCameraList();

    // Opens the selected camera, or closes the open one.
    void ToggleCamera();

    // The frame callback registered with the component while box 1056 is checked: mirrors each live-view
    // frame in place. The component may call it on any thread; it touches nothing but the buffer.
    static void MirrorFrameCallback(unsigned char* buffer, std::uint32_t width, std::uint32_t height,
                                    std::intptr_t context);

    const ConsoleState& State() const { return state_; }
    QRect TakePhotoRect() const { return takePhotoRect_; }
    const std::string& AppDirectory() const { return appDirectory_; }
    quor::console::BaseUnits DialogBaseUnits() const { return units_; }
    // The routes of the component's events (bound to the camera view's identifier only).
    const quor::EventMap& EventRoutes() const { return events_; }

protected:
    // Component events, after routing. Overridable so that the routing can be observed on its own.
    virtual void OnPropertyValueChanged(std::int32_t code, const std::string& text);
    virtual void OnPropertyOptionAdded(std::int32_t code, const std::string& text, std::int32_t value, bool enable);
    virtual void OnCropRectChanged(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d);
    virtual void OnShutDown();
    virtual void OnOpenSucceed();
    virtual void OnDownloadStart();
    virtual void OnProgressReport(std::int32_t progress);
    virtual void OnDownloadMovieComplete();
    virtual void OnUpdateEvfOutput(std::int16_t state);
    virtual void OnDownloadComplete();
    virtual void OnResetPropertyDesc(std::int32_t code);
    virtual void OnSeriesEnded();

    // Pre-translation: sees every pointer move and key press for the console's window (and windows inside it)
    // before it is dispatched, for the hover half-press and F11. Never consumes anything.
    bool eventFilter(QObject* watched, QEvent* event) override;

    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Construction and initialisation
    void BuildEventRoutes();
    void CreateControls();
    QWidget* CreateControl(const quor::console::ControlDef& def);
    QWidget* CreateCameraView(const quor::console::ControlDef& def);
    void WireControls();
    void InitDialog();

    // Control notifications
    void OnClicked(int id, void (CCameraConsoleDlg::*handler)(), const char* what);
    void NotifyEditChange(int id);
    void OnEditChanged(int id);
    void OnOpenCloseClicked();
    void OnOK();
    void OnDeviceChange();
    void OnPropertySelChange(int comboId);
    void OnSaveToCameraClicked();
    void OnOnionSkinLayersChanged();
    void WireCaptureControls();
    void WireLiveViewControls();
    void WireOptionControls();

    // Pre-translation
    bool IsConsoleWindow(const QObject* watched) const;
    void UpdateHalfPress(const QMouseEvent& event);
    void ToggleDebugInfoKey();

    // Capture commands and transfer progress
    void TakePhotoOrResume();
    void ApplyShowAfterShot();
    void ToggleContinuousShooting();
    void ToggleBulb();
    void OnSettingsClicked();
    void OnGrabFrameClicked();
    void ApplyControlMode();
    void SetProgressPos(std::int32_t pos);

    // Live view and focus
    void OnStartVideoClicked();
    void OnStopVideoClicked();
    void DriveFocus(std::int32_t stepCode);
    void OnAutoFocusClicked();
    void OnFocusFrameClicked();
    void OnAfPointClicked();
    void OnVideoCallbackClicked();
    void OnDebugInfoClicked();
    void RegisterFrameCallback();

    // Crop, rotation, movie and onion-skin options
    void OnCropEnableClicked();
    void OnCropRectClicked();
    void ApplyCropRatio();
    void OnCropShapeSelChange();
    void OnCropFrameClicked();
    void ApplyRotation();
    void ApplyMovieOptions();
    void OnOnionSkinClicked();
    void OnTransparencyScroll();

    // A file in the application directory; `name` starts with "/".
    std::string AppFilePath(const char* name) const { return appDirectory_ + name; }

    // Property panel helpers
    void ApplyKeywordRule(const quor::console::PropertyBinding& row, const std::string& text);

    // List helpers
    QComboBox* ComboAt(int id) const;
    QAbstractButton* ButtonAt(int id) const;
    void ClearCombo(int id);
    void AddSortedItem(int id, const QString& text, std::int32_t value);

    // Runs one entry point; a failed component call ends it there and is reported once.
    void Guard(const char* what, const std::function<void()>& body);

    std::string appDirectory_;
    quor::ComponentFactory factory_;
    quor::console::BaseUnits units_;
    QIcon icon_;

    std::array<QWidget*, 75> items_{}; // by identifier - 1000

    std::unique_ptr<quor::IHostedComponent> component_;
    quor::CQuorCtrl ctrl_;
    quor::EventMap events_;
    quor::NotifyTable notify_;
    std::unique_ptr<quor::IEventSink> sink_;

    ConsoleState state_;
    QRect takePhotoRect_;
    // Puts a property list's typed text back to the camera's value when the field is left.
    quor::console::TypedValueGuard* typedValues_ = nullptr;
};
