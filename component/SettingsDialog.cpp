#include "component/SettingsDialog.h"

#include "component/QuorCtrlComponent.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include <limits>
#include <string>
#include <vector>

namespace quor::component {
namespace {

struct SizeChoice {
    int width, height;
};
constexpr SizeChoice kSizes[] = {{640, 424}, {1024, 680}, {1280, 720}, {1920, 1080}};
constexpr int kRates[] = {15, 30, 60};

} // namespace

SettingsDialog::SettingsDialog(QuorCtrlComponent* component, QWidget* parent)
    : QDialog(parent), component_(component) {
    setWindowTitle(QStringLiteral("QuorCtrl settings"));
    setObjectName(QStringLiteral("QuorCtrlSettings"));
    auto* layout = new QVBoxLayout(this);

    auto* photos = new QGroupBox(QStringLiteral("Save photos in"), this);
    auto* photosBox = new QVBoxLayout(photos);
    saveFolder_ = new QLabel(photos);
    saveFolder_->setWordWrap(true);
    saveFolder_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    photosBox->addWidget(saveFolder_);
    auto* photosRow = new QHBoxLayout;
    chooseFolder_ = new QPushButton(QStringLiteral("Choose a folder..."), photos);
    nextToProgram_ = new QPushButton(QStringLiteral("Next to the program"), photos);
    photosRow->addWidget(chooseFolder_);
    photosRow->addWidget(nextToProgram_);
    photosRow->addStretch();
    photosBox->addLayout(photosRow);
    layout->addWidget(photos);
    connect(chooseFolder_, &QPushButton::clicked, this, &SettingsDialog::ChooseSaveFolder);
    connect(nextToProgram_, &QPushButton::clicked, this, [this] { UseSaveFolder(QString()); });

    auto* cameras = new QGroupBox(QStringLiteral("Simulated cameras"), this);
    auto* camerasForm = new QFormLayout(cameras);
    cameraCount_ = new QSpinBox(cameras);
    cameraCount_->setRange(0, CameraEngine::kMaxCameras);
    camerasForm->addRow(QStringLiteral("Connected:"), cameraCount_);
    auto* plugRow = new QHBoxLayout;
    auto* plug = new QPushButton(QStringLiteral("Plug in one more"), cameras);
    pullIndex_ = new QSpinBox(cameras);
    pullIndex_->setPrefix(QStringLiteral("#"));
    auto* pull = new QPushButton(QStringLiteral("Pull out"), cameras);
    plugRow->addWidget(plug);
    plugRow->addStretch();
    plugRow->addWidget(pullIndex_);
    plugRow->addWidget(pull);
    camerasForm->addRow(plugRow);
    manualFocus_ = new QCheckBox(QStringLiteral("Lens switched to MF"), cameras);
    camerasForm->addRow(manualFocus_);
    cardMegabytes_ = new QSpinBox(cameras);
    cardMegabytes_->setRange(0, std::numeric_limits<int>::max());
    cardMegabytes_->setSuffix(QStringLiteral(" MB free"));
    camerasForm->addRow(QStringLiteral("Card:"), cardMegabytes_);
    layout->addWidget(cameras);

    auto* network = new QGroupBox(QStringLiteral("Network cameras"), this);
    auto* networkForm = new QFormLayout(network);
    auto* networkRow = new QHBoxLayout;
    networkAddress_ = new QLineEdit(network);
    networkAddress_->setPlaceholderText(QStringLiteral("host[:port]"));
    addNetwork_ = new QPushButton(QStringLiteral("Add"), network);
    networkRow->addWidget(networkAddress_);
    networkRow->addWidget(addNetwork_);
    networkForm->addRow(QStringLiteral("Address:"), networkRow);
    networkStatus_ = new QLabel(network);
    networkStatus_->setWordWrap(true);
    networkForm->addRow(networkStatus_);
    layout->addWidget(network);
    connect(addNetwork_, &QPushButton::clicked, this, &SettingsDialog::AddNetworkCamera);
    connect(networkAddress_, &QLineEdit::returnPressed, this, &SettingsDialog::AddNetworkCamera);

    auto* live = new QGroupBox(QStringLiteral("Live view"), this);
    auto* liveForm = new QFormLayout(live);
    frameSize_ = new QComboBox(live);
    for (const SizeChoice& s : kSizes)
        frameSize_->addItem(QStringLiteral("%1 x %2").arg(s.width).arg(s.height), QSize(s.width, s.height));
    frameRate_ = new QComboBox(live);
    for (int r : kRates)
        frameRate_->addItem(QStringLiteral("%1 fps").arg(r), r);
    liveForm->addRow(QStringLiteral("Frame size:"), frameSize_);
    liveForm->addRow(QStringLiteral("Frame rate:"), frameRate_);
    layout->addWidget(live);

    auto* faults = new QGroupBox(QStringLiteral("Faults"), this);
    auto* faultsBox = new QVBoxLayout(faults);
    failNextCapture_ = new QCheckBox(QStringLiteral("Next capture fails"), faults);
    failWrites_ = new QCheckBox(QStringLiteral("Writing photos fails"), faults);
    pullOut_ = new QCheckBox(QStringLiteral("Camera pulled out during the next download"), faults);
    slowTransfer_ = new QCheckBox(QStringLiteral("Slow transfer"), faults);
    for (QCheckBox* b : {failNextCapture_, failWrites_, pullOut_, slowTransfer_})
        faultsBox->addWidget(b);
    layout->addWidget(faults);

    cameraShutter_ = new QPushButton(QStringLiteral("Press the shutter on the camera"), this);
    cameraShutter_->setToolTip(QStringLiteral("In camera-control mode: the photo downloads into the application "
                                              "directory"));
    layout->addWidget(cameraShutter_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    CameraEngine& engine = component_->Engine();
    Simulation& sim = component_->Sim();
    connect(cameraCount_, &QSpinBox::valueChanged, this, [this, &engine](int n) {
        engine.SetSimulatedCameraCount(n);
        Sync();
    });
    connect(plug, &QPushButton::clicked, this, [this, &engine] {
        engine.PlugCamera();
        Sync();
    });
    connect(pull, &QPushButton::clicked, this, [this, &engine] {
        engine.PullOutCamera(pullIndex_->value());
        Sync();
    });
    connect(manualFocus_, &QCheckBox::toggled, this, [this](bool on) { component_->SetLensManualFocus(on); });
    connect(cardMegabytes_, &QSpinBox::valueChanged, this, [&engine](int mb) { engine.SetCardFreeMegabytes(mb); });
    auto applyLive = [this, &sim] {
        const QSize size = frameSize_->currentData().toSize();
        sim.liveViewWidth = size.width();
        sim.liveViewHeight = size.height();
        sim.liveViewFps = frameRate_->currentData().toInt();
        component_->ApplyLiveViewSettings();
    };
    connect(frameSize_, &QComboBox::activated, this, applyLive);
    connect(frameRate_, &QComboBox::activated, this, applyLive);
    connect(failNextCapture_, &QCheckBox::toggled, this, [this, &sim](bool on) {
        sim.nextCaptureFails = on;
        component_->View()->Refresh();
    });
    connect(failWrites_, &QCheckBox::toggled, this, [this, &sim](bool on) {
        sim.writesFail = on;
        component_->View()->Refresh();
    });
    connect(pullOut_, &QCheckBox::toggled, this, [this, &sim](bool on) {
        sim.pullOutDuringDownload = on;
        component_->View()->Refresh();
    });
    connect(slowTransfer_, &QCheckBox::toggled, this, [this, &sim](bool on) {
        sim.slowTransfer = on;
        component_->View()->Refresh();
    });
    connect(cameraShutter_, &QPushButton::clicked, this, [this] {
        component_->PressCameraShutter();
        Sync();
    });
    Sync();
}

void SettingsDialog::Sync() {
    // Shows what the component holds now; a one-shot fault that has fired reads unchecked again.
    CameraEngine& engine = component_->Engine();
    const Simulation& sim = component_->Sim();
    const QSignalBlocker b1(cameraCount_), b2(manualFocus_), b3(cardMegabytes_), b4(failNextCapture_),
        b5(failWrites_), b6(pullOut_), b7(slowTransfer_);
    cameraCount_->setValue(engine.SimulatedCameraCount());
    pullIndex_->setRange(0, std::max(0, engine.CameraCount() - 1));
    manualFocus_->setChecked(engine.LensManualFocus());
    cardMegabytes_->setValue(static_cast<int>(std::min<std::int64_t>(engine.CardFreeMegabytes(),
                                                                     std::numeric_limits<int>::max())));
    frameSize_->setCurrentIndex(std::max(0, frameSize_->findData(QSize(sim.liveViewWidth, sim.liveViewHeight))));
    frameRate_->setCurrentIndex(std::max(0, frameRate_->findData(sim.liveViewFps)));
    failNextCapture_->setChecked(sim.nextCaptureFails);
    failWrites_->setChecked(sim.writesFail);
    pullOut_->setChecked(sim.pullOutDuringDownload);
    slowTransfer_->setChecked(sim.slowTransfer);
    cameraShutter_->setEnabled(component_->Status().controlMode == 2 && engine.IsOpen());
    const QString folder = component_->SaveFolder();
    saveFolder_->setText(
        (folder.isEmpty() ? QStringLiteral("Next to the program, where the console asks for them") : folder) +
        QStringLiteral("\nWhere that cannot be written: %1").arg(component_->FallbackFolder()));
    nextToProgram_->setEnabled(!folder.isEmpty());
}

void SettingsDialog::ChooseSaveFolder() {
    const QString start = component_->SaveFolder().isEmpty() ? component_->FallbackFolder() : component_->SaveFolder();
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Save photos in"), start);
    if (!folder.isEmpty())
        UseSaveFolder(folder);
}

void SettingsDialog::UseSaveFolder(const QString& folder) {
    component_->SetSaveFolder(folder);
    Sync();
}

void SettingsDialog::AddNetworkCamera() {
    std::vector<std::string> rejected;
    const auto cameras = gphoto::ParseNetworkCameras(networkAddress_->text().toStdString(), &rejected);
    if (cameras.empty() || !rejected.empty()) {
        networkStatus_->setText(QStringLiteral("Not an address: give host[:port], e.g. 192.168.1.20 or camera.local:15740"));
        return;
    }
    int added = 0;
    for (const gphoto::NetworkCamera& c : cameras)
        added += component_->AddNetworkCamera(c) ? 1 : 0;
    networkStatus_->setText(added ? QStringLiteral("Added to the camera list") : QStringLiteral("Already in the list"));
    networkAddress_->clear();
    Sync();
}

} // namespace quor::component
