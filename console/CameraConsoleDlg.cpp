#include "console/CameraConsoleDlg.h"

#include "console/ControlTable.h"
#include "console/TypedValueGuard.h"
#include "console/WideComboBox.h"
#include "control/ComponentRegistry.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>

#include <algorithm>

using quor::console::ControlDef;
using quor::console::ControlKind;

namespace {

const char kCaption[] = QT_TRANSLATE_NOOP("CCameraConsoleDlg",
                                          "QuorTovu 佳能单反数码相机控件(QuorCtrl)演示程序,详情访问"
                                          "https://quortovu.example.com");

// The eleven property combos, in the order a closing camera empties them.
constexpr int kPropertyCombosClosingOrder[] = {1007, 1009, 1010, 1008, 1006, 1005, 1004, 1015, 1017, 1018, 1022};

// Controls that work only with an open camera, enabled as it opens.
constexpr int kOpenCameraControls[] = {1003, 1020, 1021, 1053, 1056, 1057, 1069, 1070};

// Controls disabled as a camera closes (besides the property combos and the focus buttons).
constexpr int kClosedCameraControls[] = {1029, 1032, 1033, 1034, 1035, 1037, 1042, 1071, 1052,
                                         1046, 1043, 1056, 1062, 1063, 1064, 1047, 1048, 1049,
                                         1050, 1054, 1055, 1058, 1059, 1060, 1061};

constexpr int kFocusControls[] = {1023, 1024, 1025, 1026, 1027, 1028, 1051};

// Height of a closed drop-down, in dialog units: the template's height covers the dropped list as well.
constexpr int kComboClosedHeightDu = 12;

QIcon LoadConsoleIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 256}) {
        const QString path = QStringLiteral(":/icons/quortovu-%1.png").arg(size);
        if (QFile::exists(path))
            icon.addFile(path, QSize(size, size));
    }
    return icon;
}

} // namespace

CCameraConsoleDlg::CCameraConsoleDlg(std::string appDirectory, quor::ComponentFactory factory, QWidget* parent)
    : QDialog(parent), appDirectory_(std::move(appDirectory)),
      factory_(factory ? std::move(factory) : quor::ComponentRegistry::FactoryFor(quor::kQuorCtrlClassId)) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFont(QFont(QStringLiteral("Times New Roman"), 8));
    units_ = quor::console::BaseUnitsOf(font());
    setFixedSize(quor::console::DluToPixels(units_, quor::console::kDialogWidthDu, quor::console::kDialogHeightDu));
    setWindowTitle(tr(kCaption));
    icon_ = LoadConsoleIcon();

    BuildEventRoutes();
    CreateControls();
    WireControls();
    Guard("initialisation", [this] { InitDialog(); });
    // The pre-translation: an application filter, because it sees each move before any widget does (disabled
    // ones and the camera view included) and keeps working when the console's window is re-created.
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

CCameraConsoleDlg::~CCameraConsoleDlg() {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
    // Drop the subscription first: the component must not reach a half-destroyed console.
    if (component_) {
        component_->Advise(nullptr);
        component_.reset();
    }
    ctrl_.Attach(nullptr);
}

void CCameraConsoleDlg::Guard(const char* what, const std::function<void()>& body) { quor::RunGuarded(what, body); }

void CCameraConsoleDlg::CreateControls() {
    QButtonGroup* radioSet = nullptr;
    for (const ControlDef& def : quor::console::ControlTable()) {
        QWidget* w = def.kind == ControlKind::HostedView ? CreateCameraView(def) : CreateControl(def);
        if (!w)
            continue;
        if (def.kind == ControlKind::RadioButton) {
            if (def.groupStart || !radioSet) {
                radioSet = new QButtonGroup(this);
                radioSet->setExclusive(true);
            }
            radioSet->addButton(static_cast<QAbstractButton*>(w));
        }
        if (def.hidden)
            w->hide();
        if (def.id != 0)
            items_[static_cast<std::size_t>(def.id - quor::console::kFirstControlId)] = w;
    }
    // Group boxes sit beneath everything they frame.
    for (QGroupBox* box : findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly))
        box->lower();
    // Subscribe once every control exists, so an event never finds a control missing.
    if (component_) {
        sink_ = events_.SinkFor(kCameraViewId);
        component_->Advise(sink_.get());
    }
}

namespace {

QLabel* MakeLabel(const QString& caption, std::uint32_t style, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(((style & quor::console::kRightAlign) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

QComboBox* MakeCombo(std::uint32_t style, QWidget* parent) {
    auto* combo = new quor::console::WideComboBox(parent);
    if (style & quor::console::kEditable) {
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCompleter(nullptr);
        // Leaving the edit field must not pick a list item: only a selection made in the list counts.
        QObject::disconnect(combo->lineEdit(), &QLineEdit::editingFinished, combo, nullptr);
    }
    return combo;
}

} // namespace

QWidget* CCameraConsoleDlg::CreateControl(const ControlDef& def) {
    using namespace quor::console;
    const QString caption = tr(def.caption);
    QRect rect = DluToPixels(units_, def.x, def.y, def.cx, def.cy);
    QWidget* w = nullptr;
    switch (def.kind) {
    case ControlKind::GroupBox: {
        auto* box = new QGroupBox(caption, this);
        box->setAttribute(Qt::WA_TransparentForMouseEvents);
        w = box;
        break;
    }
    case ControlKind::Label:
        w = MakeLabel(caption, def.style, this);
        break;
    case ControlKind::PushButton:
        w = new QPushButton(caption, this);
        break;
    case ControlKind::CheckBox:
        w = new QCheckBox(caption, this);
        break;
    case ControlKind::RadioButton: {
        auto* radio = new QRadioButton(caption, this);
        radio->setAutoExclusive(false); // exclusive within its own set only (a QButtonGroup)
        w = radio;
        break;
    }
    case ControlKind::ComboBox:
        w = MakeCombo(def.style, this);
        rect.setHeight(MulDiv(kComboClosedHeightDu, units_.y, 8));
        break;
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(this);
        edit->setReadOnly((def.style & kReadOnly) != 0);
        w = edit;
        break;
    }
    case ControlKind::Trackbar: {
        auto* slider = new QSlider(Qt::Horizontal, this);
        slider->setTickPosition((def.style & kNoTicks) ? QSlider::NoTicks : QSlider::TicksBelow);
        w = slider;
        break;
    }
    case ControlKind::ProgressBar: {
        auto* bar = new QProgressBar(this);
        bar->setTextVisible(false);
        w = bar;
        break;
    }
    case ControlKind::HostedView:
        return nullptr;
    }
    w->setGeometry(rect);
    return w;
}

QWidget* CCameraConsoleDlg::CreateCameraView(const ControlDef& def) {
    quor::HostedProperties props;
    props.backRed = 240;
    props.backGreen = 240;
    props.backBlue = 240;
    props.borderStyle = 0;
    Guard("creating the camera view", [&] { component_ = factory_(this, props); });
    if (!component_)
        return nullptr;
    ctrl_.Attach(component_.get());
    QWidget* view = component_->Widget();
    if (!view)
        return nullptr;
    if (view->parentWidget() != this)
        view->setParent(this);
    view->setGeometry(quor::console::DluToPixels(units_, def.x, def.y, def.cx, def.cy));
    view->show();
    return view;
}

void CCameraConsoleDlg::InitDialog() {
    // 1. The controls are bound to their identifiers as they are created.
    // 2. Icon.
    setWindowIcon(icon_);
    // 3. Where the Take photo button sits, in client coordinates.
    if (QWidget* takePhoto = GetDlgItem(1003))
        takePhotoRect_ = takePhoto->geometry();
    // 4. Progress bar.
    if (auto* bar = qobject_cast<QProgressBar*>(GetDlgItem(1074))) {
        bar->setRange(0, 100);
        bar->setValue(0);
    }
    // 5.
    SetOpenState(false);
    // 6. Crop shapes; the list's sorted style places each one.
    AddSortedItem(1071, tr("方形"), 0);
    AddSortedItem(1071, tr("圆形"), 1);
    if (QComboBox* shapes = ComboAt(1071))
        shapes->setCurrentIndex(std::max(0, shapes->findData(0))); // square, wherever its name sorts
    // 7.
    for (int id : {1034, 1035, 1052, 1053, 1062})
        CheckItem(id, true);
    CheckItem(1064, false);
    // 8.
    SetItemInt(1038, 10);
    SetItemInt(1039, 10);
    SetItemInt(1040, 100);
    SetItemInt(1041, 100);
    SetItemInt(1044, -1);
    SetItemInt(1045, -1);
    // 9.
    CheckRadioButton(1047, 1050, 1047);
    CheckRadioButton(1059, 1061, 1060);
    CheckRadioButton(1069, 1070, 1069);
    // 10. The camera view: absolute pixels, above its siblings.
    if (QWidget* view = GetDlgItem(kCameraViewId)) {
        view->raise();
        view->setGeometry(22, 100, 500, 330);
    }
    // 11.
    ApplyDisplayMode();
    // 12. Transparency and layer count; writing the layer field tells the component the count.
    if (auto* slider = qobject_cast<QSlider*>(GetDlgItem(1066))) {
        slider->setRange(0, 255);
        slider->setValue(150);
    }
    SetItemInt(1067, 150);
    SetItemInt(1065, 5);
    // 13.
    ctrl_.SetShowDebugInfo(true);
    ctrl_.SetBorderStyle(1);
    // 14.
    state_ = ConsoleState{};
    // 15.
    RefreshCameraList();
    // 16.
    UpdateOnionSkinControls();
    // 17. The first tab stop takes the focus when the dialog is shown.
}

void CCameraConsoleDlg::SetOpenState(bool open) {
    for (int id : kOpenCameraControls)
        EnableItem(id, open);
    if (open)
        return;
    for (int id : kPropertyCombosClosingOrder)
        EnableItem(id, false);
    for (int id : kPropertyCombosClosingOrder) {
        ClearCombo(id);
        if (typedValues_)
            typedValues_->Reported(ComboAt(id), QString());
    }
    for (int id : {1011, 1012, 1013, 1016, 1019})
        SetItemText(id, QString());
    SetFocusButtons(false);
    for (int id : kClosedCameraControls)
        EnableItem(id, false);
}

void CCameraConsoleDlg::SetFocusButtons(bool enable) {
    for (int id : kFocusControls)
        EnableItem(id, enable);
}

void CCameraConsoleDlg::UpdateOnionSkinControls() {
    const bool enable = IsChecked(1064) && state_.liveViewOn != 0;
    EnableItem(1065, enable);
    EnableItem(1066, enable);
}

void CCameraConsoleDlg::ApplyDisplayMode() { ctrl_.SetDisplayMode(ValueOfCheckedRadio({{1059, 0}, {1060, 1}, {1061, 2}}, 0)); }

void CCameraConsoleDlg::RefreshCameraList() {
    const int count = ctrl_.GetCameraCount();
    QComboBox* cameras = ComboAt(1014);
    if (!cameras)
        return;
    cameras->clear();
    // The list is unsorted, so item i is camera i.
    for (int i = 0; i < count; ++i)
        cameras->addItem(QString::fromStdString(ctrl_.GetCameraName(i)));
    if (count >= 1)
        cameras->setCurrentIndex(0);
    EnableItem(1014, count >= 1);
    EnableItem(1001, count >= 1);
}

void CCameraConsoleDlg::paintEvent(QPaintEvent* event) {
    if (!isMinimized()) {
        QDialog::paintEvent(event);
        return;
    }
    // Minimised: the icon, centred on the erased client area.
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const int size = style()->pixelMetric(QStyle::PM_LargeIconSize, nullptr, this);
    const QPoint at((width() - size + 1) / 2, (height() - size + 1) / 2);
    icon_.paint(&painter, QRect(at, QSize(size, size)));
}
