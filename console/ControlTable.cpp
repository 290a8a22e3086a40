#include "console/ControlTable.h"

#include <QtGlobal>

#include <algorithm>
#include <iterator>

namespace quor::console {

namespace {

using K = ControlKind;
constexpr bool H = true;  // hidden
constexpr bool V = false; // visible
constexpr bool G = true;  // starts a radio set
constexpr bool N = false;

// Property combos: drop-down with edit field, sorted style. Information fields: read-only edits.
constexpr std::uint32_t kPropCombo = kEditable | kSorted;
constexpr std::uint32_t kInfoEdit = kReadOnly;
constexpr std::uint32_t kRowLabel = kRightAlign;

// Captions in words are translated as the console makes its controls; numbers and arrows show as they are.
constexpr ControlDef kTable[] = {
    {0, K::GroupBox, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "显示"), 7, 7, 348, 259, V, N, kNoStyle},
    {1000, K::HostedView, "", 18, 57, 323, 183, V, N, kNoStyle},
    {1020, K::PushButton, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "开启视频"), 12, 21, 40, 12, V, N, kNoStyle},

    {0, K::GroupBox, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "相机操作"), 360, 7, 162, 58, V, N, kNoStyle},
    {1001, K::PushButton, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "打开相机"), 477, 21, 41, 12, V, N, kNoStyle},
    {1003, K::PushButton, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "拍照"), 383, 37, 41, 12, V, N, kNoStyle},

    {0, K::GroupBox, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "相机参数"), 360, 69, 162, 240, V, N, kNoStyle},
    {0, K::Label, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "拍摄模式:"), 372, 84, 50, 8, V, N, kRowLabel},
    {1004, K::ComboBox, "", 429, 82, 85, 65, V, N, kPropCombo},
    {0, K::Label, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "感光度:"), 372, 129, 50, 8, V, N, kRowLabel},
    {1005, K::ComboBox, "", 429, 127, 85, 65, V, N, kPropCombo},
    {0, K::Label, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "快门时间:"), 372, 99, 50, 8, V, N, kRowLabel},
    {1006, K::ComboBox, "", 429, 97, 85, 65, V, N, kPropCombo},
    {0, K::Label, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "光圈大小:"), 372, 114, 50, 8, V, N, kRowLabel},
    {1007, K::ComboBox, "", 429, 112, 85, 65, V, N, kPropCombo},
    {0, K::Label, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "测光模式:"), 372, 144, 50, 8, V, N, kRowLabel},
    {1008, K::ComboBox, "", 429, 142, 85, 65, V, N, kPropCombo},
    {0, K::Label, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "曝光补偿:"), 372, 159, 50, 8, V, N, kRowLabel},
    {1009, K::ComboBox, "", 429, 157, 85, 65, V, N, kPropCombo},
    {0, K::Label, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "照片品质:"), 372, 174, 50, 8, V, N, kRowLabel},
    {1010, K::ComboBox, "", 429, 172, 85, 65, V, N, kPropCombo},
    {0, K::Label, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "相机型号:"), 372, 239, 50, 8, V, N, kRowLabel},
    {1011, K::Edit, "", 429, 235, 85, 12, V, N, kInfoEdit},
    {0, K::Label, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "相机序列号:"), 372, 252, 50, 8, V, N, kRowLabel},
    {1012, K::Edit, "", 429, 249, 85, 12, V, N, kInfoEdit},
    {0, K::Label, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "固件版本:"), 372, 265, 50, 8, V, N, kRowLabel},
    {1013, K::Edit, "", 429, 263, 85, 12, V, N, kInfoEdit},
    {1014, K::ComboBox, "", 368, 21, 104, 60, V, N, kNoStyle},
    {0, K::Label, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "白平衡:"), 372, 189, 50, 8, V, N, kRowLabel},
    {1015, K::ComboBox, "", 429, 187, 85, 65, V, N, kPropCombo},
    {0, K::Label, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "电池电量:"), 372, 278, 50, 8, V, N, kRowLabel},
    {1016, K::Edit, "", 429, 277, 85, 12, V, N, kInfoEdit},
    {0, K::Label, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "驱动模式:"), 372, 204, 50, 8, V, N, kRowLabel},
    {1017, K::ComboBox, "", 429, 202, 85, 65, V, N, kPropCombo},
    {0, K::Label, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "对焦模式:"), 372, 219, 50, 8, V, N, kRowLabel},
    {1018, K::ComboBox, "", 429, 217, 85, 65, V, N, kPropCombo},
    {0, K::Label, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "可拍摄张数:"), 372, 291, 50, 8, V, N, kRowLabel},
    {1019, K::Edit, "", 429, 291, 85, 12, V, N, kInfoEdit},

    {1021, K::PushButton, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "关闭视频"), 54, 21, 40, 12, V, N, kNoStyle},
    {1022, K::ComboBox, "", 96, 21, 66, 65, V, N, kPropCombo},
    {1023, K::PushButton, "<<<", 168, 21, 23, 12, V, N, kNoStyle},
    {1024, K::PushButton, "<<", 194, 21, 23, 12, V, N, kNoStyle},
    {1025, K::PushButton, "<", 220, 21, 23, 12, V, N, kNoStyle},
    {1026, K::PushButton, ">", 246, 21, 23, 12, V, N, kNoStyle},
    {1027, K::PushButton, ">>", 272, 21, 23, 12, V, N, kNoStyle},
    {1028, K::PushButton, ">>>", 298, 21, 23, 12, V, N, kNoStyle},
    {1029, K::PushButton, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "连拍"), 477, 37, 41, 12, V, N, kNoStyle},
    {1032, K::PushButton, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "B门"), 430, 37, 41, 12, V, N, kNoStyle},

    {0, K::GroupBox, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "录像功能"), 291, 271, 63, 73, V, N, kNoStyle},
    {1033, K::PushButton, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "录像"), 301, 313, 41, 13, V, N, kNoStyle},
    {1034, K::CheckBox, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "录制视频"), 299, 286, 48, 10, V, N, kNoStyle},
    {1035, K::CheckBox, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "录制音频"), 299, 297, 48, 10, V, N, kNoStyle},
    {1036, K::CheckBox, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "照片保存到相机中"), 266, 226, 80, 10, H, N, kNoStyle},

    {0, K::GroupBox, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "裁剪功能(在开启视频状态下有效)"), 7, 271, 207, 73, V, N, kNoStyle},
    {1037, K::CheckBox, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "开启裁剪功能"), 14, 286, 60, 10, V, N, kNoStyle},
    {1038, K::Edit, "", 79, 284, 26, 12, V, N, kNoStyle},
    {1039, K::Edit, "", 105, 284, 26, 12, V, N, kNoStyle},
    {1040, K::Edit, "", 131, 284, 26, 12, V, N, kNoStyle},
    {1041, K::Edit, "", 157, 284, 26, 12, V, N, kNoStyle},
    {1042, K::PushButton, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "设置"), 185, 284, 24, 12, V, N, kNoStyle},
    {1043, K::CheckBox, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "锁定裁剪比例"), 14, 302, 64, 10, V, N, kNoStyle},
    {1044, K::Edit, "", 79, 300, 26, 12, V, N, kNoStyle},
    {1045, K::Edit, "", 105, 300, 26, 12, V, N, kNoStyle},
    {1046, K::PushButton, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "设置"), 134, 300, 24, 12, V, N, kNoStyle},
    {1047, K::RadioButton, "0", 80, 319, 20, 10, V, G, kNoStyle},
    {1048, K::RadioButton, "90", 108, 319, 24, 10, V, N, kNoStyle},
    {1049, K::RadioButton, "180", 140, 319, 28, 10, V, N, kNoStyle},
    {1050, K::RadioButton, "270", 176, 319, 28, 10, V, N, kNoStyle},
    {1051, K::PushButton, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "对焦"), 324, 21, 27, 12, V, N, kNoStyle},

    {0, K::GroupBox, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "对焦功能"), 220, 271, 65, 73, V, N, kNoStyle},
    {1052, K::CheckBox, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "显示对焦框"), 225, 286, 56, 10, V, N, kNoStyle},
    {1053, K::CheckBox, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "拍照后显示照片"), 383, 53, 72, 10, V, N, kNoStyle},
    {1054, K::RadioButton, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "自动选择"), 225, 301, 48, 10, V, G, kNoStyle},
    {1055, K::RadioButton, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "手动选择"), 225, 315, 48, 10, V, N, kNoStyle},
    {1056, K::CheckBox, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "视频回调处理"), 21, 39, 64, 10, V, N, kNoStyle},
    {1057, K::PushButton, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "参数设置"), 311, 38, 40, 12, V, N, kNoStyle},
    {1058, K::PushButton, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "抓拍视频"), 260, 38, 40, 12, V, N, kNoStyle},
    {0, K::Label, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "显示方式:"), 108, 41, 35, 8, V, N, kRightAlign},
    {1059, K::RadioButton, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "适应"), 147, 40, 32, 10, V, G, kNoStyle},
    {1060, K::RadioButton, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "压缩"), 181, 40, 32, 10, V, N, kNoStyle},
    {1061, K::RadioButton, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "拉升"), 215, 40, 32, 10, V, N, kNoStyle},
    {1062, K::CheckBox, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "显示调试信息"), 21, 250, 64, 10, V, N, kNoStyle},
    {1063, K::CheckBox, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "显示裁剪框"), 14, 318, 52, 10, V, N, kNoStyle},
    {1064, K::CheckBox, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "开启洋葱皮拍摄效果"), 93, 250, 88, 10, H, N, kNoStyle},
    {0, K::Label, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "层数:"), 188, 251, 19, 8, H, N, kNoStyle},
    {1065, K::Edit, "", 209, 249, 26, 12, H, N, kNoStyle},
    {0, K::Label, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "透明度:"), 238, 251, 27, 8, H, N, kNoStyle},
    {1066, K::Trackbar, "", 266, 249, 52, 11, H, N, kNoTicks},
    {1067, K::Label, "150", 321, 250, 13, 8, H, N, kNoStyle},
    {1069, K::RadioButton, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "程序控制"), 143, 230, 48, 10, H, G, kNoStyle},
    {1070, K::RadioButton, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "相机控制"), 207, 230, 48, 10, H, N, kNoStyle},
    {1071, K::ComboBox, "", 164, 299, 40, 30, V, N, kSorted},

    {0, K::GroupBox, QT_TRANSLATE_NOOP("CCameraConsoleDlg", "进度"), 360, 313, 162, 30, V, N, kNoStyle},
    {1074, K::ProgressBar, "", 366, 324, 148, 14, V, N, kBorder},
};

} // namespace

std::span<const ControlDef> ControlTable() { return kTable; }

const ControlDef* FindControlDef(int id) {
    if (id == 0)
        return nullptr;
    const auto* it = std::find_if(std::begin(kTable), std::end(kTable), [id](const ControlDef& d) { return d.id == id; });
    return it == std::end(kTable) ? nullptr : it;
}

} // namespace quor::console
