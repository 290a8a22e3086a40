// The component's own settings dialog, in four tabs: where photos are saved; live-view frames and aids; network
// cameras; the simulated cameras (how many, the lens switch, the card, the body's shutter button), with the
// switches for testing (plugging, pulling out, faults to inject) in a section that starts closed and is there only
// while simulated cameras are. Every change applies at once and is remembered (the faults excepted); the dialog
// only closes, and opens again on the tab last looked at.
#pragma once

#include <QDialog>
#include <QPushButton>

class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QVBoxLayout;

namespace quor::component {

class CollapsibleSection;
class ISettingsTarget;

class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    SettingsDialog(ISettingsTarget* target, QWidget* parent);

    // For tests: the tabs, the section for testing, and the controls by what they set.
    QTabWidget* tabs() const { return tabs_; }
    CollapsibleSection* testing() const { return testing_; }
    QSpinBox* cameraCount() const { return cameraCount_; }
    QPushButton* plugCamera() const { return plug_; }
    QPushButton* pullOutCamera() const { return pull_; }
    QComboBox* frameSize() const { return frameSize_; }
    QComboBox* frameRate() const { return frameRate_; }
    QComboBox* cameraLiveSize() const { return cameraLiveSize_; }
    QCheckBox* manualFocus() const { return manualFocus_; }
    QSpinBox* cardMegabytes() const { return cardMegabytes_; }
    QCheckBox* failNextCapture() const { return failNextCapture_; }
    QCheckBox* failWrites() const { return failWrites_; }
    QCheckBox* pullOut() const { return pullOut_; }
    QCheckBox* slowTransfer() const { return slowTransfer_; }
    QPushButton* cameraShutter() const { return cameraShutter_; }
    QLineEdit* networkAddress() const { return networkAddress_; }
    QPushButton* addNetworkCamera() const { return addNetwork_; }
    QLabel* networkStatus() const { return networkStatus_; }
    QLabel* saveFolder() const { return saveFolder_; }
    QPushButton* chooseSaveFolder() const { return chooseFolder_; }
    QPushButton* saveNextToProgram() const { return nextToProgram_; }
    QCheckBox* histogram() const { return histogram_; }
    QCheckBox* zebra() const { return zebra_; }
    QCheckBox* peaking() const { return peaking_; }
    QComboBox* grid() const { return grid_; }
    // What the folder chooser does with the folder picked.
    void UseSaveFolder(const QString& folder);

private:
    void BuildTabs(QVBoxLayout* layout);
    void BuildPhotos(QVBoxLayout* page);
    void BuildLiveViewAndAids(QVBoxLayout* page);
    void BuildNetwork(QVBoxLayout* page);
    void BuildCameras(QVBoxLayout* page);
    void BuildLiveView(QLayout* layout);
    void BuildAids(QLayout* layout);
    void BuildTesting(QVBoxLayout* page);
    void SyncCameraLiveSize();
    void ApplyAids();
    void SyncAids();
    void ApplyFaults();
    void Sync();
    void AddNetworkCamera();
    void ChooseSaveFolder();

    ISettingsTarget* target_;
    QTabWidget* tabs_;
    CollapsibleSection* testing_;
    QSpinBox* cameraCount_;
    QPushButton* plug_;
    QSpinBox* pullIndex_;
    QPushButton* pull_;
    QComboBox* frameSize_;
    QComboBox* frameRate_;
    QComboBox* cameraLiveSize_;
    QCheckBox* manualFocus_;
    QSpinBox* cardMegabytes_;
    QCheckBox* failNextCapture_;
    QCheckBox* failWrites_;
    QCheckBox* pullOut_;
    QCheckBox* slowTransfer_;
    QPushButton* cameraShutter_;
    QLineEdit* networkAddress_;
    QPushButton* addNetwork_;
    QLabel* networkStatus_;
    QLabel* saveFolder_;
    QPushButton* chooseFolder_;
    QPushButton* nextToProgram_;
    QCheckBox* histogram_;
    QCheckBox* zebra_;
    QCheckBox* peaking_;
    QSpinBox* zebraHigh_;
    QSpinBox* zebraLow_;
    QSpinBox* peakSensitivity_;
    QComboBox* peakColour_;
    QComboBox* grid_;
};

} // namespace quor::component
