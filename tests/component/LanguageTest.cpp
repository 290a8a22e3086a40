// The console with the real component in either language: as written (Chinese) when no catalogue is installed,
// English from the catalogues; every English caption inside its control, and one typeface throughout.
#include "component/host/CollapsibleSection.h"
#include "component/host/PopOutView.h"
#include "component/host/QuorCtrlComponent.h"
#include "component/host/QuorCtrlView.h"
#include "component/host/SettingsDialog.h"
#include "console/CameraConsoleDlg.h"
#include "res/i18n/Translations.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QAbstractItemView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace quor::component::test {
namespace {

struct Caption {
    QWidget* control;
    QString text;
};

QString TextOf(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return g->title();
    return {};
}

// Every control of the console that shows a caption, top to bottom and left to right.
std::vector<Caption> Captions(const QWidget& console) {
    std::vector<Caption> captions;
    for (QWidget* w : console.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (const QString text = TextOf(w); !text.isEmpty())
            captions.push_back({w, text});
    std::sort(captions.begin(), captions.end(), [](const Caption& a, const Caption& b) {
        const QPoint p = a.control->pos(), q = b.control->pos();
        return std::pair(p.y(), p.x()) < std::pair(q.y(), q.x());
    });
    return captions;
}

QStringList TextsOf(const std::vector<Caption>& captions) {
    QStringList texts;
    for (const Caption& c : captions)
        texts << c.text;
    return texts;
}

// The width the style leaves a control's caption: buttons lose their frame, check boxes and radios their mark.
int RoomFor(QWidget* w) {
    QStyleOptionButton option;
    option.initFrom(w);
    if (qobject_cast<QCheckBox*>(w))
        return w->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, w).width();
    if (qobject_cast<QRadioButton*>(w))
        return w->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, w).width();
    if (qobject_cast<QPushButton*>(w))
        return w->style()->subElementRect(QStyle::SE_PushButtonContents, &option, w).width();
    if (qobject_cast<QGroupBox*>(w))
        return w->width() - 2 * w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) - 8; // the title's inset
    return w->width();
}

void ExpectFits(QWidget* w, const QString& text) {
    EXPECT_LE(QFontMetrics(w->font()).horizontalAdvance(text), RoomFor(w))
        << text.toStdString() << " in a control " << w->width() << " px wide";
}

// Words of the other language left in a text: Latin words in the Chinese program, Chinese in the English one.
bool HasLatinWords(const QString& s) { return s.contains(QRegularExpression(QStringLiteral("[A-Za-z]{2,}"))); }
bool HasChinese(const QString& s) {
    return s.contains(QRegularExpression(QStringLiteral("[\\x{3000}-\\x{9fff}\\x{ff00}-\\x{ffef}]")));
}

// Every caption, item and title of the component's settings dialog.
QStringList DialogTexts(const QWidget& dialog) {
    QStringList texts{dialog.windowTitle()};
    for (QWidget* w : dialog.findChildren<QWidget*>())
        if (!qobject_cast<QDialogButtonBox*>(w->parentWidget())) // Qt's own buttons speak Qt's catalogue
            texts << TextOf(w) << w->toolTip();
    for (QComboBox* combo : dialog.findChildren<QComboBox*>())
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
    for (QTabWidget* tabs : dialog.findChildren<QTabWidget*>())
        for (int i = 0; i < tabs->count(); ++i)
            texts << tabs->tabText(i);
    texts.removeAll(QString());
    return texts;
}

class LanguageTest : public ::testing::Test {
protected:
    void TearDown() override {
        dlg_.reset();
        // What every test executable starts with.
        i18n::RemoveTranslations();
        i18n::InstallEnglishCatalogue(QStringLiteral("host"));
        i18n::InstallEnglishCatalogue(QStringLiteral("camera"));
    }
    CCameraConsoleDlg& Make() {
        dlg_.reset();
        ComponentPlaces places;
        places.settingsFile = dir_.filePath(QStringLiteral("QuorCtrl.conf"));
        places.picturesFolder = dir_.filePath(QStringLiteral("QuorTovu"));
        dlg_ = std::make_unique<CCameraConsoleDlg>(
            dir_.path().toStdString(), [this, places](QWidget* parent, const HostedProperties& props) {
                auto c = std::make_unique<QuorCtrlComponent>(parent, props, 1, RealCameraSources(), places);
                comp_ = c.get();
                return c;
            });
        return *dlg_;
    }
    // The component's windows and the console draw in the same typeface.
    void ExpectOneTypeface() {
        const QString family = QFontInfo(dlg_->font()).family();
        SettingsDialog settings(&comp_->Settings(), comp_->View());
        EXPECT_EQ(QFontInfo(settings.font()).family().toStdString(), family.toStdString());
        comp_->View()->OpenPopOut();
        ASSERT_NE(comp_->View()->PopOut(), nullptr);
        EXPECT_EQ(QFontInfo(comp_->View()->PopOut()->font()).family().toStdString(), family.toStdString());
        comp_->View()->PopOut()->close();
    }

    // Every list of the console opens wide enough for its longest item, whatever the list's own width.
    static void ExpectPopupsFitTheirItems(CCameraConsoleDlg& console) {
        for (int id : {1014, 1004, 1006, 1007, 1005, 1008, 1009, 1010, 1015, 1017, 1018, 1022}) {
            auto* combo = qobject_cast<QComboBox*>(console.GetDlgItem(id));
            ASSERT_NE(combo, nullptr);
            int longest = 0;
            for (int i = 0; i < combo->count(); ++i)
                longest = std::max(longest, combo->view()->fontMetrics().horizontalAdvance(combo->itemText(i)));
            combo->showPopup();
            EXPECT_GE(combo->view()->viewport()->width(), longest + 4) << "list " << id;
            combo->hidePopup();
        }
    }

    QTemporaryDir dir_;
    std::unique_ptr<CCameraConsoleDlg> dlg_;
    QuorCtrlComponent* comp_ = nullptr;
};

TEST_F(LanguageTest, ChineseAsWrittenWithoutCataloguesEnglishFromThemEveryCaptionFitting) {
    i18n::RemoveTranslations();
    CCameraConsoleDlg& zh = Make();
    const QStringList chinese = {
        "显示", "相机操作", "开启视频", "关闭视频", "<<<", "<<", "<", ">", ">>", ">>>", "对焦", "打开相机", "拍照",
        "B门", "连拍", "抓拍视频", "参数设置", "视频回调处理", "适应", "压缩", "拉升", "显示方式:", "拍照后显示照片",
        "相机参数", "拍摄模式:", "快门时间:", "光圈大小:", "感光度:", "测光模式:", "曝光补偿:", "照片品质:", "白平衡:",
        "驱动模式:", "对焦模式:", "照片保存到相机中", "程序控制", "相机控制", "相机型号:", "显示调试信息",
        "开启洋葱皮拍摄效果", "150", "层数:", "透明度:", "相机序列号:", "固件版本:", "裁剪功能(在开启视频状态下有效)",
        "对焦功能", "录像功能", "电池电量:", "设置", "开启裁剪功能", "显示对焦框", "录制视频", "可拍摄张数:", "录制音频",
        "设置", "自动选择", "锁定裁剪比例", "录像", "进度", "手动选择", "显示裁剪框", "0", "90", "180", "270"};
    const std::vector<Caption> zhCaptions = Captions(zh);
    const QString zhCamera = qobject_cast<QComboBox*>(zh.GetDlgItem(1014))->itemText(0);
    EXPECT_EQ(TextsOf(zhCaptions).join(u'|').toStdString(), chinese.join(u'|').toStdString());
    EXPECT_EQ(zh.windowTitle(),
              QString::fromUtf8("QuorTovu 佳能单反数码相机控件(QuorCtrl)演示程序,详情访问https://quortovu.example.com"));
    {
        SettingsDialog settings(&comp_->Settings(), comp_->View());
        EXPECT_EQ(settings.windowTitle(), QStringLiteral("QuorCtrl 设置"));
        for (const QString& text : DialogTexts(settings))
            EXPECT_TRUE(!HasLatinWords(text) || HasChinese(text)) << text.toStdString();
    }
    ExpectOneTypeface();

    ASSERT_EQ(i18n::InstallTranslations(QLocale(QLocale::English, QLocale::UnitedStates)), QStringLiteral("en"));
    CCameraConsoleDlg& en = Make();
    const std::vector<Caption> enCaptions = Captions(en);
    ASSERT_EQ(enCaptions.size(), zhCaptions.size());
    for (std::size_t i = 0; i < enCaptions.size(); ++i) {
        const QString& text = enCaptions[i].text;
        EXPECT_FALSE(HasChinese(text)) << text.toStdString();
        if (HasChinese(chinese[int(i)])) {
            EXPECT_NE(text, chinese[int(i)]);
        }
        ExpectFits(enCaptions[i].control, text);
    }
    EXPECT_TRUE(en.windowTitle().startsWith(QStringLiteral("QuorTovu Canon"))) << en.windowTitle().toStdString();
    // The captions a button takes on as the console works fit it as well, and the console still toggles them.
    static_cast<QAbstractButton*>(en.GetDlgItem(1001))->click();
    ASSERT_EQ(en.State().cameraOpen, 1);
    EXPECT_EQ(en.GetItemText(1001), QStringLiteral("Close"));
    ExpectPopupsFitTheirItems(en);
    // The simulated camera's mark takes no more room in English than in Chinese.
    const QFontMetrics metrics(en.GetDlgItem(1014)->font());
    EXPECT_LE(metrics.horizontalAdvance(qobject_cast<QComboBox*>(en.GetDlgItem(1014))->itemText(0)),
              metrics.horizontalAdvance(zhCamera));
    for (const auto& [id, source] : {std::pair{1001, "关闭相机"}, {1003, "恢复"}, {1029, "停止"}, {1032, "停止"}})
        ExpectFits(en.GetDlgItem(id), CCameraConsoleDlg::tr(source));
    static_cast<QAbstractButton*>(en.GetDlgItem(1001))->click();
    EXPECT_EQ(en.GetItemText(1001), QStringLiteral("Open"));
    {
        SettingsDialog settings(&comp_->Settings(), comp_->View());
        EXPECT_EQ(settings.windowTitle(), QStringLiteral("QuorCtrl settings"));
        for (const QString& text : DialogTexts(settings))
            EXPECT_FALSE(HasChinese(text)) << text.toStdString();
    }
    ExpectOneTypeface();
}

// The settings dialog on a laptop screen (768 px, less the desktop's panels) in either language: every tab fits
// 640 x 700 with every caption whole and every control inside its tab, also with the switches for testing open.
// Those switches sit in a closed section of the simulated cameras' tab, there only while simulated cameras are;
// changes apply at once, and the dialog opens again on the tab looked at last.
TEST_F(LanguageTest, SettingsDialogFitsALaptopScreenInTabsWithTheTestSwitchesTuckedAway) {
    const QStringList pages = {"QuorCtrlSettingsPhotos", "QuorCtrlSettingsLiveView", "QuorCtrlSettingsNetwork",
                               "QuorCtrlSettingsSimulated"};
    for (const bool english : {false, true}) {
        SCOPED_TRACE(english ? "English" : "Chinese");
        if (english)
            ASSERT_EQ(i18n::InstallTranslations(QLocale(QLocale::English, QLocale::UnitedStates)), QStringLiteral("en"));
        else
            i18n::RemoveTranslations();
        Make();
        const int lookedAtLast = english ? 1 : 2;
        {
            SettingsDialog dialog(&comp_->Settings(), comp_->View());
            QTabWidget* tabs = dialog.tabs();
            EXPECT_EQ(tabs->objectName(), QStringLiteral("QuorCtrlSettingsTabs"));
            ASSERT_EQ(tabs->count(), pages.size());
            for (int i = 0; i < tabs->count(); ++i)
                EXPECT_EQ(tabs->widget(i)->objectName(), pages[i]);
            EXPECT_EQ(tabs->tabText(0), english ? QStringLiteral("Photos") : QStringLiteral("照片"));
            EXPECT_EQ(tabs->tabText(3), english ? QStringLiteral("Simulated cameras") : QStringLiteral("模拟相机"));

            CollapsibleSection* testing = dialog.testing();
            QWidget* simulated = tabs->widget(3);
            EXPECT_TRUE(simulated->isAncestorOf(testing));
            EXPECT_EQ(testing->toggle()->text(), english ? QStringLiteral("For testing") : QStringLiteral("测试用"));
            for (QWidget* w : std::initializer_list<QWidget*>{dialog.failNextCapture(), dialog.failWrites(),
                                                              dialog.pullOut(), dialog.slowTransfer(),
                                                              dialog.plugCamera(), dialog.pullOutCamera()})
                EXPECT_TRUE(testing->body()->isAncestorOf(w)) << TextOf(w).toStdString();
            for (QWidget* w : std::initializer_list<QWidget*>{dialog.cameraCount(), dialog.manualFocus(),
                                                              dialog.cardMegabytes(), dialog.cameraShutter()}) {
                EXPECT_TRUE(simulated->isAncestorOf(w));
                EXPECT_FALSE(testing->isAncestorOf(w));
            }

            tabs->setCurrentWidget(simulated);
            dialog.show();
            EXPECT_TRUE(testing->isVisible());
            EXPECT_FALSE(testing->body()->isVisible()) << "closed at first";
            for (const bool open : {false, true}) {
                testing->setOpen(open);
                for (int i = 0; i < tabs->count(); ++i) {
                    tabs->setCurrentIndex(i);
                    QCoreApplication::processEvents();
                    dialog.adjustSize();
                    const QSize size = dialog.size();
                    EXPECT_LE(size.height(), 700) << "tab " << i << (open ? ", testing open" : "");
                    EXPECT_LE(size.width(), 640) << "tab " << i << (open ? ", testing open" : "");
                    QWidget* page = tabs->widget(i);
                    for (QWidget* w : page->findChildren<QWidget*>()) {
                        if (!w->isVisible())
                            continue;
                        EXPECT_TRUE(page->rect().contains(QRect(w->mapTo(page, QPoint()), w->size())))
                            << "tab " << i << ": " << w->metaObject()->className() << " " << TextOf(w).toStdString();
                        auto* label = qobject_cast<QLabel*>(w);
                        if (qobject_cast<QAbstractButton*>(w) || (label && !label->wordWrap()))
                            ExpectFits(w, TextOf(w));
                    }
                }
            }
            tabs->setCurrentWidget(simulated);
            EXPECT_TRUE(testing->body()->isVisible());

            // Changes apply at once, from the switches for testing as from the rest.
            dialog.failWrites()->click();
            EXPECT_TRUE(comp_->Sim().writesFail);
            dialog.failWrites()->click();
            EXPECT_FALSE(comp_->Sim().writesFail);
            dialog.plugCamera()->click();
            EXPECT_EQ(comp_->Engine().SimulatedCameraCount(), 2);
            EXPECT_EQ(dialog.cameraCount()->value(), 2);
            // With no simulated camera there is nothing to test on: the section goes, and comes back with one.
            dialog.cameraCount()->setValue(0);
            EXPECT_EQ(comp_->Engine().SimulatedCameraCount(), 0);
            EXPECT_FALSE(testing->isVisible());
            dialog.cameraCount()->setValue(1);
            EXPECT_EQ(comp_->Engine().SimulatedCameraCount(), 1);
            EXPECT_TRUE(testing->isVisible());
            dialog.pullOutCamera()->click();
            EXPECT_EQ(comp_->Engine().SimulatedCameraCount(), 0);
            EXPECT_EQ(dialog.cameraCount()->value(), 0);
            EXPECT_FALSE(testing->isVisible());
            dialog.cameraCount()->setValue(1);

            tabs->setCurrentIndex(lookedAtLast);
        }
        SettingsDialog again(&comp_->Settings(), comp_->View());
        EXPECT_EQ(again.tabs()->currentIndex(), lookedAtLast);
        EXPECT_FALSE(again.testing()->isOpen());
    }
}

} // namespace
} // namespace quor::component::test
