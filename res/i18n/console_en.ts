<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CCameraConsoleDlg</name>
    <message>
        <source>QuorTovu 佳能单反数码相机控件(QuorCtrl)演示程序,详情访问https://quortovu.example.com</source>
        <translation>QuorTovu Canon EOS camera control (QuorCtrl) demo - details at https://quortovu.example.com</translation>
    </message>
    <message>
        <source>方形</source>
        <translation>Square</translation>
    </message>
    <message>
        <source>圆形</source>
        <translation>Round</translation>
    </message>
    <message>
        <source>拍照</source>
        <translation>Shoot</translation>
    </message>
    <message>
        <source>恢复</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>连拍</source>
        <translation>Burst</translation>
    </message>
    <message>
        <source>B门</source>
        <translation>Bulb</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>打开相机</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>关闭相机</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>显示</source>
        <translation>Live View</translation>
    </message>
    <message>
        <source>开启视频</source>
        <translation>Live On</translation>
    </message>
    <message>
        <source>相机操作</source>
        <translation>Camera</translation>
    </message>
    <message>
        <source>相机参数</source>
        <translation>Camera Settings</translation>
    </message>
    <message>
        <source>拍摄模式:</source>
        <translation>Shooting mode:</translation>
    </message>
    <message>
        <source>感光度:</source>
        <translation>ISO:</translation>
    </message>
    <message>
        <source>快门时间:</source>
        <translation>Shutter:</translation>
    </message>
    <message>
        <source>光圈大小:</source>
        <translation>Aperture:</translation>
    </message>
    <message>
        <source>测光模式:</source>
        <translation>Metering:</translation>
    </message>
    <message>
        <source>曝光补偿:</source>
        <translation>Exp. comp.:</translation>
    </message>
    <message>
        <source>照片品质:</source>
        <translation>Image quality:</translation>
    </message>
    <message>
        <source>相机型号:</source>
        <translation>Model:</translation>
    </message>
    <message>
        <source>相机序列号:</source>
        <translation>Serial No.:</translation>
    </message>
    <message>
        <source>固件版本:</source>
        <translation>Firmware:</translation>
    </message>
    <message>
        <source>白平衡:</source>
        <translation>White balance:</translation>
    </message>
    <message>
        <source>电池电量:</source>
        <translation>Battery:</translation>
    </message>
    <message>
        <source>驱动模式:</source>
        <translation>Drive mode:</translation>
    </message>
    <message>
        <source>对焦模式:</source>
        <translation>AF mode:</translation>
    </message>
    <message>
        <source>可拍摄张数:</source>
        <translation>Shots left:</translation>
    </message>
    <message>
        <source>关闭视频</source>
        <translation>Live Off</translation>
    </message>
    <message>
        <source>录像功能</source>
        <translation>Movie</translation>
    </message>
    <message>
        <source>录像</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>录制视频</source>
        <translation>Video</translation>
    </message>
    <message>
        <source>录制音频</source>
        <translation>Audio</translation>
    </message>
    <message>
        <source>照片保存到相机中</source>
        <translation>Save to camera</translation>
    </message>
    <message>
        <source>裁剪功能(在开启视频状态下有效)</source>
        <translation>Crop (with live view on)</translation>
    </message>
    <message>
        <source>开启裁剪功能</source>
        <translation>Enable crop</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>锁定裁剪比例</source>
        <translation>Lock ratio</translation>
    </message>
    <message>
        <source>对焦</source>
        <translation>AF</translation>
    </message>
    <message>
        <source>对焦功能</source>
        <translation>Focus</translation>
    </message>
    <message>
        <source>显示对焦框</source>
        <translation>AF frame</translation>
    </message>
    <message>
        <source>拍照后显示照片</source>
        <translation>Show after shot</translation>
    </message>
    <message>
        <source>自动选择</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>手动选择</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>视频回调处理</source>
        <translation>Frame callback</translation>
    </message>
    <message>
        <source>参数设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>抓拍视频</source>
        <translation>Grab frame</translation>
    </message>
    <message>
        <source>显示方式:</source>
        <translation>Display:</translation>
    </message>
    <message>
        <source>适应</source>
        <translation>Fit</translation>
    </message>
    <message>
        <source>压缩</source>
        <translation>≤1:1</translation>
    </message>
    <message>
        <source>拉升</source>
        <translation>Fill</translation>
    </message>
    <message>
        <source>显示调试信息</source>
        <translation>Debug info</translation>
    </message>
    <message>
        <source>显示裁剪框</source>
        <translation>Crop frame</translation>
    </message>
    <message>
        <source>开启洋葱皮拍摄效果</source>
        <translation>Onion skin</translation>
    </message>
    <message>
        <source>层数:</source>
        <translation>Skins:</translation>
    </message>
    <message>
        <source>透明度:</source>
        <translation>Alpha:</translation>
    </message>
    <message>
        <source>程序控制</source>
        <translation>Program</translation>
    </message>
    <message>
        <source>相机控制</source>
        <translation>Camera</translation>
    </message>
    <message>
        <source>进度</source>
        <translation>Progress</translation>
    </message>
</context>
<context>
    <name>quor::console::TypedValueGuard</name>
    <message>
        <source>相机此时没有提供可选值</source>
        <translation>The camera offers no values for it just now.</translation>
    </message>
    <message>
        <source>可选：%1</source>
        <translation>Offered: %1.</translation>
    </message>
    <message>
        <source>可选：%1 … %2（共 %3 个）</source>
        <translation>Offered: %1 … %2 (%3 values).</translation>
    </message>
    <message>
        <source>“%1”未被采用：输入的值不会发给相机。</source>
        <translation>“%1” was not applied: typed values are not sent to the camera. </translation>
    </message>
    <message>
        <source>“%1”未被采用，仍为 %2：输入的值不会发给相机。</source>
        <translation>“%1” was not applied, it stays %2: typed values are not sent to the camera. </translation>
    </message>
    <message>
        <source>只有从列表中选择才会改变设置。</source>
        <translation>Only a choice from the list changes the setting. </translation>
    </message>
</context>
</TS>
