#include "component/host/SettingsDialog.h"

#include "component/host/SettingsTarget.h"

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

#include <algorithm>
#include <utility>
#include <limits>
#include <string>
#include <vector>

namespace quor::component {
namespace {

constexpr QSize kSizes[] = {{640, 424}, {1024, 680}, {1280, 720}, {1920, 1080}};
constexpr int kRates[] = {15, 30, 60};

} // namespace

SettingsDialog::SettingsDialog(ISettingsTarget* target, QWidget* parent) : QDialog(parent), target_(target) {
    setWindowTitle(QStringLiteral("QuorCtrl settings"));
    setObjectName(QStringLiteral("QuorCtrlSettings"));
    auto* layout = new QVBoxLayout(this);
    BuildPhotos(layout);
    BuildCameras(layout);
    BuildNetwork(layout);
    BuildLiveView(layout);
    BuildAids(layout);
    BuildFaults(layout);
    cameraShutter_ = new QPushButton(QStringLiteral("Press the shutter on the camera"), this);
    cameraShutter_->setToolTip(QStringLiteral("In camera-control mode: the photo downloads beside the program"));
    layout->addWidget(cameraShutter_);
    connect(cameraShutter_, &QPushButton::clicked, this, [this] {
        target_->PressCameraShutter();
        Sync();
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    Sync();
}

void SettingsDialog::BuildPhotos(QLayout* layout) {
    auto* photos = new QGroupBox(QStringLiteral("Save photos in"), this);
    auto* photosBox = new QVBoxLayout(photos);
    saveFolder_ = new QLabel(photos);
    saveFolder_->setWordWrap(true);
    saveFolder_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    photosBox->addWidget(saveFolder_);
    auto* row = new QHBoxLayout;
    chooseFolder_ = new QPushButton(QStringLiteral("Choose a folder..."), photos);
    nextToProgram_ = new QPushButton(QStringLiteral("Next to the program"), photos);
    row->addWidget(chooseFolder_);
    row->addWidget(nextToProgram_);
    row->addStretch();
    photosBox->addLayout(row);
    layout->addWidget(photos);
    connect(chooseFolder_, &QPushButton::clicked, this, &SettingsDialog::ChooseSaveFolder);
    connect(nextToProgram_, &QPushButton::clicked, this, [this] { UseSaveFolder(QString()); });
}

void SettingsDialog::BuildCameras(QLayout* layout) {
    auto* cameras = new QGroupBox(QStringLiteral("Simulated cameras"), this);
    auto* form = new QFormLayout(cameras);
    cameraCount_ = new QSpinBox(cameras);
    cameraCount_->setRange(0, Simulator::kMaxCameras);
    form->addRow(QStringLiteral("Connected:"), cameraCount_);
    auto* plugRow = new QHBoxLayout;
    auto* plug = new QPushButton(QStringLiteral("Plug in one more"), cameras);
    pullIndex_ = new QSpinBox(cameras);
    pullIndex_->setPrefix(QStringLiteral("#"));
    auto* pull = new QPushButton(QStringLiteral("Pull out"), cameras);
    plugRow->addWidget(plug);
    plugRow->addStretch();
    plugRow->addWidget(pullIndex_);
    plugRow->addWidget(pull);
    form->addRow(plugRow);
    manualFocus_ = new QCheckBox(QStringLiteral("Lens switched to MF"), cameras);
    form->addRow(manualFocus_);
    cardMegabytes_ = new QSpinBox(cameras);
    cardMegabytes_->setRange(0, std::numeric_limits<int>::max());
    cardMegabytes_->setSuffix(QStringLiteral(" MB free"));
    form->addRow(QStringLiteral("Card:"), cardMegabytes_);
    layout->addWidget(cameras);
    connect(cameraCount_, &QSpinBox::valueChanged, this, [this](int n) {
        target_->SetSimulatedCameraCount(n);
        Sync();
    });
    connect(plug, &QPushButton::clicked, this, [this] {
        target_->PlugCamera();
        Sync();
    });
    connect(pull, &QPushButton::clicked, this, [this] {
        target_->PullOutCamera(pullIndex_->value());
        Sync();
    });
    connect(manualFocus_, &QCheckBox::toggled, this, [this](bool on) { target_->SetLensManualFocus(on); });
    connect(cardMegabytes_, &QSpinBox::valueChanged, this, [this](int mb) { target_->SetCardFreeMegabytes(mb); });
}

void SettingsDialog::BuildNetwork(QLayout* layout) {
    auto* network = new QGroupBox(QStringLiteral("Network cameras"), this);
    auto* form = new QFormLayout(network);
    auto* row = new QHBoxLayout;
    networkAddress_ = new QLineEdit(network);
    networkAddress_->setPlaceholderText(QStringLiteral("host[:port]"));
    addNetwork_ = new QPushButton(QStringLiteral("Add"), network);
    row->addWidget(networkAddress_);
    row->addWidget(addNetwork_);
    form->addRow(QStringLiteral("Address:"), row);
    networkStatus_ = new QLabel(network);
    networkStatus_->setWordWrap(true);
    form->addRow(networkStatus_);
    layout->addWidget(network);
    connect(addNetwork_, &QPushButton::clicked, this, &SettingsDialog::AddNetworkCamera);
    connect(networkAddress_, &QLineEdit::returnPressed, this, &SettingsDialog::AddNetworkCamera);
}

void SettingsDialog::BuildLiveView(QLayout* layout) {
    auto* live = new QGroupBox(QStringLiteral("Live view"), this);
    auto* form = new QFormLayout(live);
    frameSize_ = new QComboBox(live);
    for (const QSize& s : kSizes)
        frameSize_->addItem(QStringLiteral("%1 x %2").arg(s.width()).arg(s.height()), s);
    frameRate_ = new QComboBox(live);
    for (int r : kRates)
        frameRate_->addItem(QStringLiteral("%1 fps").arg(r), r);
    form->addRow(QStringLiteral("Frame size:"), frameSize_);
    form->addRow(QStringLiteral("Frame rate:"), frameRate_);
    cameraLiveSize_ = new QComboBox(live);
    cameraLiveSize_->setToolTip(QStringLiteral("A smaller frame comes faster from the camera"));
    form->addRow(QStringLiteral("Real camera sends:"), cameraLiveSize_);
    connect(cameraLiveSize_, &QComboBox::activated, this,
            [this] { target_->SetCameraLiveViewSize(cameraLiveSize_->currentData().toString()); });
    layout->addWidget(live);
    auto apply = [this] { target_->SetLiveViewFrames(frameSize_->currentData().toSize(), frameRate_->currentData().toInt()); };
    connect(frameSize_, &QComboBox::activated, this, apply);
    connect(frameRate_, &QComboBox::activated, this, apply);
}

void SettingsDialog::SyncCameraLiveSize() {
    // What the open camera offers, and the choice made before (for the cameras that offer it).
    const QString chosen = target_->CameraLiveViewSize();
    const QStringList offered = target_->CameraLiveViewSizes();
    QStringList sizes = offered;
    if (!chosen.isEmpty() && !sizes.contains(chosen))
        sizes << chosen;
    cameraLiveSize_->clear();
    cameraLiveSize_->addItem(QStringLiteral("As it has it"), QString());
    for (const QString& s : sizes)
        cameraLiveSize_->addItem(s, s);
    cameraLiveSize_->setCurrentIndex(std::max(0, cameraLiveSize_->findData(chosen)));
    cameraLiveSize_->setEnabled(!offered.isEmpty() || !chosen.isEmpty());
}

void SettingsDialog::BuildAids(QLayout* layout) {
    auto* aids = new QGroupBox(QStringLiteral("Live-view aids"), this);
    auto* form = new QFormLayout(aids);
    histogram_ = new QCheckBox(QStringLiteral("Histogram"), aids);
    form->addRow(histogram_);
    zebra_ = new QCheckBox(QStringLiteral("Zebra over blown and blocked areas"), aids);
    zebraHigh_ = new QSpinBox(aids);
    zebraHigh_->setRange(128, 256);
    zebraHigh_->setToolTip(QStringLiteral("Brightness (0-255) from which an area counts as blown; 256: none"));
    zebraLow_ = new QSpinBox(aids);
    zebraLow_->setRange(-1, 127);
    zebraLow_->setSpecialValueText(QStringLiteral("off"));
    zebraLow_->setToolTip(QStringLiteral("Brightness up to which an area counts as blocked"));
    auto* zebraRow = new QHBoxLayout;
    zebraRow->addWidget(zebra_);
    zebraRow->addWidget(new QLabel(QStringLiteral("from"), aids));
    zebraRow->addWidget(zebraHigh_);
    zebraRow->addWidget(new QLabel(QStringLiteral("up to"), aids));
    zebraRow->addWidget(zebraLow_);
    form->addRow(zebraRow);
    peaking_ = new QCheckBox(QStringLiteral("Focus peaking"), aids);
    peakSensitivity_ = new QSpinBox(aids);
    peakSensitivity_->setRange(1, 100);
    peakSensitivity_->setSuffix(QStringLiteral(" sensitivity"));
    peakColour_ = new QComboBox(aids);
    for (const auto& [name, colour] : {std::pair{"red", "#ff2828"}, {"yellow", "#ffe020"}, {"green", "#30ff30"},
                                       {"cyan", "#20e0ff"}, {"white", "#ffffff"}})
        peakColour_->addItem(QString::fromLatin1(name), QString::fromLatin1(colour));
    auto* peakRow = new QHBoxLayout;
    peakRow->addWidget(peaking_);
    peakRow->addWidget(peakSensitivity_);
    peakRow->addWidget(peakColour_);
    form->addRow(peakRow);
    grid_ = new QComboBox(aids);
    for (const char* name : {"none", "thirds", "golden ratio", "centre cross"})
        grid_->addItem(QString::fromLatin1(name));
    form->addRow(QStringLiteral("Grid:"), grid_);
    layout->addWidget(aids);
    for (QCheckBox* b : {histogram_, zebra_, peaking_})
        connect(b, &QCheckBox::toggled, this, &SettingsDialog::ApplyAids);
    for (QSpinBox* b : {zebraHigh_, zebraLow_, peakSensitivity_})
        connect(b, &QSpinBox::valueChanged, this, &SettingsDialog::ApplyAids);
    for (QComboBox* b : {peakColour_, grid_})
        connect(b, &QComboBox::activated, this, &SettingsDialog::ApplyAids);
}

void SettingsDialog::ApplyAids() {
    storage::AidPreferences a;
    a.histogram = histogram_->isChecked();
    a.zebra = zebra_->isChecked();
    a.peaking = peaking_->isChecked();
    a.zebraHigh = zebraHigh_->value();
    a.zebraLow = zebraLow_->value();
    a.peakSensitivity = peakSensitivity_->value();
    a.peakColour = peakColour_->currentData().toString();
    a.grid = grid_->currentIndex();
    target_->SetAids(a);
}

void SettingsDialog::SyncAids() {
    const QSignalBlocker b1(histogram_), b2(zebra_), b3(peaking_), b4(zebraHigh_), b5(zebraLow_),
        b6(peakSensitivity_), b7(peakColour_), b8(grid_);
    const storage::AidPreferences a = target_->Aids();
    histogram_->setChecked(a.histogram);
    zebra_->setChecked(a.zebra);
    peaking_->setChecked(a.peaking);
    zebraHigh_->setValue(a.zebraHigh);
    zebraLow_->setValue(a.zebraLow);
    peakSensitivity_->setValue(a.peakSensitivity);
    const int colour = peakColour_->findData(a.peakColour);
    if (colour < 0)
        peakColour_->addItem(a.peakColour, a.peakColour);
    peakColour_->setCurrentIndex(colour < 0 ? peakColour_->count() - 1 : colour);
    grid_->setCurrentIndex(a.grid);
}

void SettingsDialog::BuildFaults(QLayout* layout) {
    auto* faults = new QGroupBox(QStringLiteral("Faults"), this);
    auto* box = new QVBoxLayout(faults);
    failNextCapture_ = new QCheckBox(QStringLiteral("Next capture fails"), faults);
    failWrites_ = new QCheckBox(QStringLiteral("Writing photos fails"), faults);
    pullOut_ = new QCheckBox(QStringLiteral("Camera pulled out during the next download"), faults);
    slowTransfer_ = new QCheckBox(QStringLiteral("Slow transfer"), faults);
    for (QCheckBox* b : {failNextCapture_, failWrites_, pullOut_, slowTransfer_}) {
        box->addWidget(b);
        connect(b, &QCheckBox::toggled, this, &SettingsDialog::ApplyFaults);
    }
    layout->addWidget(faults);
}

void SettingsDialog::ApplyFaults() {
    Simulation faults = target_->Faults();
    faults.nextCaptureFails = failNextCapture_->isChecked();
    faults.writesFail = failWrites_->isChecked();
    faults.pullOutDuringDownload = pullOut_->isChecked();
    faults.slowTransfer = slowTransfer_->isChecked();
    target_->SetFaults(faults);
}

void SettingsDialog::Sync() {
    // Shows what the component holds now; a one-shot fault that has fired reads unchecked again.
    const QSignalBlocker b1(cameraCount_), b2(manualFocus_), b3(cardMegabytes_), b4(failNextCapture_),
        b5(failWrites_), b6(pullOut_), b7(slowTransfer_);
    cameraCount_->setValue(target_->SimulatedCameraCount());
    pullIndex_->setRange(0, std::max(0, target_->CameraCount() - 1));
    manualFocus_->setChecked(target_->LensManualFocus());
    cardMegabytes_->setValue(
        static_cast<int>(std::min<std::int64_t>(target_->CardFreeMegabytes(), std::numeric_limits<int>::max())));
    frameSize_->setCurrentIndex(std::max(0, frameSize_->findData(target_->LiveViewSize())));
    frameRate_->setCurrentIndex(std::max(0, frameRate_->findData(target_->LiveViewFps())));
    SyncCameraLiveSize();
    const Simulation faults = target_->Faults();
    failNextCapture_->setChecked(faults.nextCaptureFails);
    failWrites_->setChecked(faults.writesFail);
    pullOut_->setChecked(faults.pullOutDuringDownload);
    slowTransfer_->setChecked(faults.slowTransfer);
    cameraShutter_->setEnabled(target_->CanPressCameraShutter());
    const QString folder = target_->SaveFolder();
    saveFolder_->setText(
        (folder.isEmpty() ? QStringLiteral("Next to the program, where the console asks for them") : folder) +
        QStringLiteral("\nWhere that cannot be written: %1").arg(target_->FallbackFolder()));
    nextToProgram_->setEnabled(!folder.isEmpty());
    SyncAids();
}

void SettingsDialog::ChooseSaveFolder() {
    const QString start = target_->SaveFolder().isEmpty() ? target_->FallbackFolder() : target_->SaveFolder();
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Save photos in"), start);
    if (!folder.isEmpty())
        UseSaveFolder(folder);
}

void SettingsDialog::UseSaveFolder(const QString& folder) {
    target_->SetSaveFolder(folder);
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
        added += target_->AddNetworkCamera(c) ? 1 : 0;
    networkStatus_->setText(added ? QStringLiteral("Added to the camera list") : QStringLiteral("Already in the list"));
    networkAddress_->clear();
    Sync();
}

} // namespace quor::component
