#include "component/host/SettingsDialog.h"

#include "component/host/CollapsibleSection.h"
#include "component/host/ComponentState.h"
#include "component/host/SettingsTarget.h"
#include "component/host/WindowFont.h"

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
#include <QTabWidget>
#include <QToolButton>
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

// The tab looked at last: the dialog opens on it again while the program runs.
int lastTab = 0;

// A number with words around it: the text before %1 becomes the prefix, the text after it the suffix.
void SetAffixes(QSpinBox* box, const QString& pattern) {
    const qsizetype at = pattern.indexOf(QLatin1String("%1"));
    box->setPrefix(pattern.left(at));
    box->setSuffix(pattern.mid(at + 2));
}

} // namespace

SettingsDialog::SettingsDialog(ISettingsTarget* target, QWidget* parent) : QDialog(parent), target_(target) {
    setWindowTitle(tr("QuorCtrl 设置"));
    setFont(WindowFont(parent));
    setObjectName(QStringLiteral("QuorCtrlSettings"));
    auto* layout = new QVBoxLayout(this);
    BuildTabs(layout);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    Sync();
    tabs_->setCurrentIndex(lastTab);
    connect(tabs_, &QTabWidget::currentChanged, this, [](int tab) { lastTab = tab; });
}

void SettingsDialog::BuildTabs(QVBoxLayout* layout) {
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("QuorCtrlSettingsTabs"));
    const struct {
        const char* name;
        const char* title;
        void (SettingsDialog::*build)(QVBoxLayout*);
    } pages[] = {{"QuorCtrlSettingsPhotos", QT_TR_NOOP("照片"), &SettingsDialog::BuildPhotos},
                 {"QuorCtrlSettingsLiveView", QT_TR_NOOP("实时取景与辅助"), &SettingsDialog::BuildLiveViewAndAids},
                 {"QuorCtrlSettingsNetwork", QT_TR_NOOP("网络相机"), &SettingsDialog::BuildNetwork},
                 {"QuorCtrlSettingsSimulated", QT_TR_NOOP("模拟相机"), &SettingsDialog::BuildCameras}};
    for (const auto& p : pages) {
        auto* page = new QWidget(tabs_);
        page->setObjectName(QString::fromLatin1(p.name));
        auto* pageLayout = new QVBoxLayout(page);
        (this->*p.build)(pageLayout);
        pageLayout->addStretch();
        tabs_->addTab(page, tr(p.title));
    }
    layout->addWidget(tabs_);
}

void SettingsDialog::BuildPhotos(QVBoxLayout* page) {
    auto* photos = new QGroupBox(tr("照片保存位置"), this);
    auto* photosBox = new QVBoxLayout(photos);
    saveFolder_ = new QLabel(photos);
    saveFolder_->setWordWrap(true);
    saveFolder_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    photosBox->addWidget(saveFolder_);
    auto* row = new QHBoxLayout;
    chooseFolder_ = new QPushButton(tr("选择文件夹..."), photos);
    nextToProgram_ = new QPushButton(tr("程序所在目录"), photos);
    row->addWidget(chooseFolder_);
    row->addWidget(nextToProgram_);
    row->addStretch();
    photosBox->addLayout(row);
    page->addWidget(photos);
    connect(chooseFolder_, &QPushButton::clicked, this, &SettingsDialog::ChooseSaveFolder);
    connect(nextToProgram_, &QPushButton::clicked, this, [this] { UseSaveFolder(QString()); });
}

void SettingsDialog::BuildLiveViewAndAids(QVBoxLayout* page) {
    BuildLiveView(page);
    BuildAids(page);
}

void SettingsDialog::BuildCameras(QVBoxLayout* page) {
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    cameraCount_ = new QSpinBox(this);
    cameraCount_->setRange(0, Simulator::kMaxCameras);
    form->addRow(tr("已连接："), cameraCount_);
    manualFocus_ = new QCheckBox(tr("镜头拨到 MF"), this);
    form->addRow(manualFocus_);
    cardMegabytes_ = new QSpinBox(this);
    cardMegabytes_->setRange(0, std::numeric_limits<int>::max());
    SetAffixes(cardMegabytes_, tr("可用 %1 MB"));
    form->addRow(tr("存储卡："), cardMegabytes_);
    cameraShutter_ = new QPushButton(tr("按下相机快门"), this);
    cameraShutter_->setToolTip(tr("相机控制模式下：照片下载到程序所在目录"));
    auto* shutterRow = new QHBoxLayout;
    shutterRow->addWidget(cameraShutter_);
    shutterRow->addStretch();
    form->addRow(shutterRow);
    page->addLayout(form);
    BuildTesting(page);
    connect(cameraCount_, &QSpinBox::valueChanged, this, [this](int n) {
        target_->SetSimulatedCameraCount(n);
        Sync();
    });
    connect(manualFocus_, &QCheckBox::toggled, this, [this](bool on) { target_->SetLensManualFocus(on); });
    connect(cardMegabytes_, &QSpinBox::valueChanged, this, [this](int mb) { target_->SetCardFreeMegabytes(mb); });
    connect(cameraShutter_, &QPushButton::clicked, this, [this] {
        target_->PressCameraShutter();
        Sync();
    });
}

void SettingsDialog::BuildNetwork(QVBoxLayout* page) {
    auto* form = new QFormLayout;
    auto* row = new QHBoxLayout;
    networkAddress_ = new QLineEdit(this);
    networkAddress_->setPlaceholderText(tr("主机[:端口]"));
    addNetwork_ = new QPushButton(tr("添加"), this);
    row->addWidget(networkAddress_);
    row->addWidget(addNetwork_);
    form->addRow(tr("地址："), row);
    networkStatus_ = new QLabel(this);
    networkStatus_->setWordWrap(true);
    form->addRow(networkStatus_);
    page->addLayout(form);
    connect(addNetwork_, &QPushButton::clicked, this, &SettingsDialog::AddNetworkCamera);
    connect(networkAddress_, &QLineEdit::returnPressed, this, &SettingsDialog::AddNetworkCamera);
}

void SettingsDialog::BuildLiveView(QLayout* layout) {
    auto* live = new QGroupBox(tr("实时取景"), this);
    auto* form = new QFormLayout(live);
    frameSize_ = new QComboBox(live);
    for (const QSize& s : kSizes)
        frameSize_->addItem(QStringLiteral("%1 x %2").arg(s.width()).arg(s.height()), s);
    frameRate_ = new QComboBox(live);
    for (int r : kRates)
        frameRate_->addItem(tr("%1 帧/秒").arg(r), r);
    form->addRow(tr("画面尺寸："), frameSize_);
    form->addRow(tr("帧率："), frameRate_);
    cameraLiveSize_ = new QComboBox(live);
    cameraLiveSize_->setToolTip(tr("画面越小，相机传来越快"));
    form->addRow(tr("真实相机发送："), cameraLiveSize_);
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
    cameraLiveSize_->addItem(tr("相机默认"), QString());
    for (const QString& s : sizes)
        cameraLiveSize_->addItem(s, s);
    cameraLiveSize_->setCurrentIndex(std::max(0, cameraLiveSize_->findData(chosen)));
    cameraLiveSize_->setEnabled(!offered.isEmpty() || !chosen.isEmpty());
}

void SettingsDialog::BuildAids(QLayout* layout) {
    auto* aids = new QGroupBox(tr("取景辅助"), this);
    auto* form = new QFormLayout(aids);
    histogram_ = new QCheckBox(tr("直方图"), aids);
    form->addRow(histogram_);
    zebra_ = new QCheckBox(tr("斑马纹标出过曝和欠曝区域"), aids);
    zebraHigh_ = new QSpinBox(aids);
    zebraHigh_->setRange(128, 256);
    zebraHigh_->setToolTip(tr("亮度（0-255）达到此值即算过曝；256 表示不标"));
    zebraLow_ = new QSpinBox(aids);
    zebraLow_->setRange(-1, 127);
    zebraLow_->setSpecialValueText(tr("关"));
    zebraLow_->setToolTip(tr("亮度不超过此值即算欠曝"));
    auto* zebraRow = new QHBoxLayout;
    zebraRow->addWidget(zebra_);
    zebraRow->addWidget(new QLabel(tr("过曝≥"), aids));
    zebraRow->addWidget(zebraHigh_);
    zebraRow->addWidget(new QLabel(tr("欠曝≤"), aids));
    zebraRow->addWidget(zebraLow_);
    form->addRow(zebraRow);
    peaking_ = new QCheckBox(tr("峰值对焦"), aids);
    peakSensitivity_ = new QSpinBox(aids);
    peakSensitivity_->setRange(1, 100);
    SetAffixes(peakSensitivity_, tr("灵敏度 %1"));
    peakColour_ = new QComboBox(aids);
    for (const auto& [name, colour] : {std::pair{QT_TR_NOOP("红"), "#ff2828"}, {QT_TR_NOOP("黄"), "#ffe020"},
                                       {QT_TR_NOOP("绿"), "#30ff30"}, {QT_TR_NOOP("青"), "#20e0ff"},
                                       {QT_TR_NOOP("白"), "#ffffff"}})
        peakColour_->addItem(tr(name), QString::fromLatin1(colour));
    auto* peakRow = new QHBoxLayout;
    peakRow->addWidget(peaking_);
    peakRow->addWidget(peakSensitivity_);
    peakRow->addWidget(peakColour_);
    form->addRow(peakRow);
    grid_ = new QComboBox(aids);
    for (int k = 0; k < kGridKinds; ++k)
        grid_->addItem(GridName(static_cast<GridKind>(k)));
    form->addRow(tr("网格："), grid_);
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

void SettingsDialog::BuildTesting(QVBoxLayout* page) {
    // Switches to try the program against a camera coming and going, and against faults.
    testing_ = new CollapsibleSection(tr("测试用"), this);
    testing_->setObjectName(QStringLiteral("QuorCtrlSettingsTesting"));
    QWidget* body = testing_->body();
    auto* plugRow = new QHBoxLayout;
    plug_ = new QPushButton(tr("再接入一台"), body);
    pullIndex_ = new QSpinBox(body);
    pullIndex_->setPrefix(QStringLiteral("#"));
    pull_ = new QPushButton(tr("拔出"), body);
    plugRow->addWidget(plug_);
    plugRow->addStretch();
    plugRow->addWidget(pullIndex_);
    plugRow->addWidget(pull_);
    testing_->bodyLayout()->addLayout(plugRow);
    failNextCapture_ = new QCheckBox(tr("下一次拍摄失败"), body);
    failWrites_ = new QCheckBox(tr("照片写入失败"), body);
    pullOut_ = new QCheckBox(tr("下一次下载时拔出相机"), body);
    slowTransfer_ = new QCheckBox(tr("传输缓慢"), body);
    for (QCheckBox* b : {failNextCapture_, failWrites_, pullOut_, slowTransfer_}) {
        testing_->bodyLayout()->addWidget(b);
        connect(b, &QCheckBox::toggled, this, &SettingsDialog::ApplyFaults);
    }
    page->addWidget(testing_);
    connect(plug_, &QPushButton::clicked, this, [this] {
        target_->PlugCamera();
        Sync();
    });
    connect(pull_, &QPushButton::clicked, this, [this] {
        target_->PullOutCamera(pullIndex_->value());
        Sync();
    });
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
    testing_->setVisible(target_->SimulatedCameraCount() > 0);
    const QString folder = target_->SaveFolder();
    saveFolder_->setText(tr("%1\n无法写入时：%2")
                             .arg(folder.isEmpty() ? tr("程序所在目录，即控制台指定的位置") : folder,
                                  target_->FallbackFolder()));
    nextToProgram_->setEnabled(!folder.isEmpty());
    SyncAids();
}

void SettingsDialog::ChooseSaveFolder() {
    const QString start = target_->SaveFolder().isEmpty() ? target_->FallbackFolder() : target_->SaveFolder();
    const QString folder = QFileDialog::getExistingDirectory(this, tr("照片保存位置"), start);
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
        networkStatus_->setText(tr("不是有效地址：请输入 主机[:端口]，例如 192.168.1.20 或 camera.local:15740"));
        return;
    }
    int added = 0;
    for (const gphoto::NetworkCamera& c : cameras)
        added += target_->AddNetworkCamera(c) ? 1 : 0;
    networkStatus_->setText(added ? tr("已加入相机列表") : tr("已在列表中"));
    networkAddress_->clear();
    Sync();
}

} // namespace quor::component
