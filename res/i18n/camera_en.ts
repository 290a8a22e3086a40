<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>quor::gphoto</name>
    <message>
        <source>相机在 %1 秒内没有响应。请检查相机是否已开机并已连接。</source>
        <translation>The camera did not answer within %1 seconds. Check that it is switched on and connected.</translation>
    </message>
    <message>
        <source>拍摄</source>
        <translation>taking the shot</translation>
    </message>
    <message>
        <source>相机未能拍摄：%1</source>
        <translation>The camera did not take the shot: %1</translation>
    </message>
    <message>
        <source>相机没有拍下照片（可能未能合焦）</source>
        <translation>The camera took no photo (it may not have found focus)</translation>
    </message>
    <message>
        <source>开始连拍</source>
        <translation>starting the series</translation>
    </message>
    <message>
        <source>结束连拍</source>
        <translation>ending the series</translation>
    </message>
    <message>
        <source>打开快门</source>
        <translation>opening the shutter</translation>
    </message>
    <message>
        <source>B 门曝光未能开始：请将快门速度设为 Bulb</source>
        <translation>The bulb exposure never started: set the shutter speed to Bulb</translation>
    </message>
    <message>
        <source>关闭快门</source>
        <translation>closing the shutter</translation>
    </message>
    <message>
        <source>结束实时取景</source>
        <translation>ending live view</translation>
    </message>
    <message>
        <source>移动对焦</source>
        <translation>moving the focus</translation>
    </message>
    <message>
        <source>半按快门</source>
        <translation>pressing the shutter halfway</translation>
    </message>
    <message>
        <source>松开快门</source>
        <translation>letting go of the shutter</translation>
    </message>
    <message>
        <source>对焦</source>
        <translation>focusing</translation>
    </message>
    <message>
        <source>相机在%1时停止响应（%2）</source>
        <translation>The camera stopped answering while %1 (%2)</translation>
    </message>
    <message>
        <source>相机拒绝%1（%2）</source>
        <translation>The camera refused %1 (%2)</translation>
    </message>
    <message>
        <source>报告状态</source>
        <translation>reporting its state</translation>
    </message>
    <message>
        <source>发送照片</source>
        <translation>sending a photo</translation>
    </message>
    <message>
        <source>发送实时取景画面</source>
        <translation>sending live view</translation>
    </message>
    <message>
        <source>移动放大框</source>
        <translation>moving the magnifier frame</translation>
    </message>
    <message>
        <source>放大实时取景</source>
        <translation>magnifying live view</translation>
    </message>
    <message>
        <source>这台相机无法在此连拍：libgphoto2 没有为它提供“%1”</source>
        <translation>This camera cannot shoot a series from here: libgphoto2 offers no &quot;%1&quot; for it</translation>
    </message>
    <message>
        <source>这台相机无法在此打开快门进行 B 门曝光：libgphoto2 没有为它提供“%1”</source>
        <translation>This camera cannot open the shutter for a bulb exposure from here: libgphoto2 offers no &quot;%1&quot; for it</translation>
    </message>
    <message>
        <source>这台相机无法在此移动对焦：libgphoto2 没有为它提供“%1”</source>
        <translation>This camera cannot move the focus from here: libgphoto2 offers no &quot;%1&quot; for it</translation>
    </message>
    <message>
        <source>这台相机无法在此对焦：libgphoto2 没有为它提供“%1”</source>
        <translation>This camera cannot focus from here: libgphoto2 offers no &quot;%1&quot; for it</translation>
    </message>
    <message>
        <source>这台相机不提供实时取景</source>
        <translation>This camera sends no live view</translation>
    </message>
    <message>
        <source>无</source>
        <translation>none</translation>
    </message>
    <message>
        <source>操作：%1</source>
        <translation>actions: %1</translation>
    </message>
    <message>
        <source>操作：%1；缺少 %2</source>
        <translation>actions: %1; lacks %2</translation>
    </message>
    <message>
        <source>机身上的控件：%1</source>
        <translation>widgets on this body: %1</translation>
    </message>
    <message>
        <source>实时取景对焦模式：无法设置（此版本 libgphoto2 没有对应的控件）</source>
        <translation>live-view AF mode: not settable (this libgphoto2 has no widget for it)</translation>
    </message>
    <message>
        <source>依据机身的对焦信息</source>
        <translation>the body&apos;s focus information</translation>
    </message>
    <message>
        <source>假定值：机身未提供对焦信息</source>
        <translation>assumed: the body gives no focus information</translation>
    </message>
    <message>
        <source>放大框按 %1x%2 定位（%3）</source>
        <translation>magnifier frame placed in %1x%2 (%3)</translation>
    </message>
    <message>
        <source>网络相机 %1:%2</source>
        <translation>Network camera %1:%2</translation>
    </message>
    <message>
        <source>相机被另一个程序占用，通常是桌面的照片自动导入（gvfs-gphoto2-volume-monitor，或正在显示相机的文件管理器）。请在文件管理器中卸载相机，或停止该服务（systemctl --user stop gvfs-gphoto2-volume-monitor; pkill gvfsd-gphoto2），然后重新打开相机。</source>
        <translation>The camera is held by another program, usually the desktop&apos;s automatic photo import (gvfs-gphoto2-volume-monitor, or a file manager showing the camera). Unmount the camera in the file manager or stop that service (systemctl --user stop gvfs-gphoto2-volume-monitor; pkill gvfsd-gphoto2), then open the camera again.</translation>
    </message>
    <message>
        <source>相机已断开连接。请检查数据线，并确认相机已开机。</source>
        <translation>The camera is no longer connected. Check the cable and that the camera is switched on.</translation>
    </message>
    <message>
        <source>无法建立与相机的连接。USB 相机：请安装 libgphoto2 的 udev 规则，并将当前用户加入 plugdev 组，然后重新插上相机。网络相机：请检查它的地址，并确认相机已开机。</source>
        <translation>The camera&apos;s connection could not be set up. For a USB camera: install the libgphoto2 udev rules and add your user to the plugdev group, then plug the camera in again. For a network camera: check its address and that it is switched on.</translation>
    </message>
    <message>
        <source>相机一直处于忙碌状态。请等它完成手头的操作（写入存储卡、打开了菜单）后再试。</source>
        <translation>The camera stays busy. Wait until it has finished (writing to the card, a menu open), then try again.</translation>
    </message>
    <message>
        <source>无法打开相机（%1）。请检查相机是否已开机并已连接。</source>
        <translation>The camera could not be opened (%1). Check that it is switched on and connected.</translation>
    </message>
    <message>
        <source>更改设置</source>
        <translation>changing a setting</translation>
    </message>
    <message>
        <source>%1：“%2”不是 host[:port] 格式，已忽略</source>
        <translation>%1: &quot;%2&quot; is not host[:port]; left out</translation>
    </message>
    <message>
        <source>无法下载照片 %1（%2）</source>
        <translation>The photo %1 could not be downloaded (%2)</translation>
    </message>
</context>
<context>
    <name>quor::session</name>
    <message>
        <source>这次拍摄的照片已丢失；存储卡上仍有这张照片。%1</source>
        <translation>The photo of this shot was lost; the card still has it. %1</translation>
    </message>
    <message>
        <source>这次拍摄的照片已丢失；存储卡上没有副本。%1</source>
        <translation>The photo of this shot was lost; the card has no copy. %1</translation>
    </message>
    <message>
        <source>这次拍摄的照片已丢失；无法确定存储卡上是否有副本。%1</source>
        <translation>The photo of this shot was lost; whether the card has a copy is not known. %1</translation>
    </message>
</context>
<context>
    <name>quor::sim</name>
    <message>
        <source>照片未保存：无法编码</source>
        <translation>The photo was not saved: it could not be encoded</translation>
    </message>
    <message>
        <source>%1（模拟）</source>
        <translation>%1 (sim.)</translation>
    </message>
    <message>
        <source>相机已被拔出</source>
        <translation>The camera was pulled out</translation>
    </message>
    <message>
        <source>相机拒绝拍摄（模拟故障）</source>
        <translation>The camera refused the shot (simulated fault)</translation>
    </message>
    <message>
        <source>存储卡已满</source>
        <translation>The card is full</translation>
    </message>
    <message>
        <source>下次拍摄失败</source>
        <translation>next capture fails</translation>
    </message>
    <message>
        <source>写入失败</source>
        <translation>writes fail</translation>
    </message>
    <message>
        <source>下载时拔出</source>
        <translation>pull out during download</translation>
    </message>
    <message>
        <source>传输缓慢</source>
        <translation>slow transfer</translation>
    </message>
    <message>
        <source>故障：%1</source>
        <translation>faults: %1</translation>
    </message>
    <message>
        <source>照片未保存：电脑上的写入出错（模拟）</source>
        <translation>The photo was not saved: a write error on the computer (simulated)</translation>
    </message>
    <message>
        <source>下载过程中相机被拔出</source>
        <translation>The camera was pulled out during the download</translation>
    </message>
</context>
<context>
    <name>quor::storage</name>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>无法在 %1 中新建文件</source>
        <translation>cannot create a file in %1</translation>
    </message>
    <message>
        <source>无法写入照片</source>
        <translation>cannot write the photo</translation>
    </message>
    <message>
        <source>无法读取 %1</source>
        <translation>cannot read %1</translation>
    </message>
    <message>
        <source>无法复制 %1</source>
        <translation>cannot copy %1</translation>
    </message>
    <message>
        <source>无法更新 %1</source>
        <translation>cannot update %1</translation>
    </message>
    <message>
        <source>无法将照片写入磁盘</source>
        <translation>cannot write the photo to disk</translation>
    </message>
    <message>
        <source>无法保存 %1</source>
        <translation>cannot save %1</translation>
    </message>
    <message>
        <source>无法保留 %1</source>
        <translation>cannot keep %1</translation>
    </message>
    <message>
        <source>无法打开 %1</source>
        <translation>cannot open %1</translation>
    </message>
    <message>
        <source>无法将 %1 写入磁盘</source>
        <translation>cannot write %1 to disk</translation>
    </message>
    <message>
        <source>不是普通文件</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>超过 %1 MB</source>
        <translation>larger than %1 MB</translation>
    </message>
    <message>
        <source>未指定文件夹</source>
        <translation>no folder was given</translation>
    </message>
    <message>
        <source>不存在</source>
        <translation>does not exist</translation>
    </message>
    <message>
        <source>不是文件夹</source>
        <translation>is not a folder</translation>
    </message>
    <message>
        <source>是系统文件夹</source>
        <translation>is a system folder</translation>
    </message>
    <message>
        <source>无法写入（%1）</source>
        <translation>cannot be written (%1)</translation>
    </message>
    <message>
        <source>所选文件夹</source>
        <translation>the folder</translation>
    </message>
    <message>
        <source>照片未保存：%1 %2，%3 也%4</source>
        <translation>The photo was not saved: %1 %2, and %3 %4</translation>
    </message>
    <message>
        <source>照片改存到 %1，因为 %2 %3</source>
        <translation>Photos are saved in %1, because %2 %3</translation>
    </message>
    <message>
        <source>照片未保存：%1</source>
        <translation>The photo was not saved: %1</translation>
    </message>
    <message>
        <source>照片未保存：%1；也无法存到 %2：%3</source>
        <translation>The photo was not saved: %1; nor in %2: %3</translation>
    </message>
    <message>
        <source>%1 已保存，但%2</source>
        <translation>%1 is saved, but %2</translation>
    </message>
    <message>
        <source>无法保存到 %1（%2）；照片已存到 %3</source>
        <translation>Could not save in %1 (%2); the photo is in %3</translation>
    </message>
    <message>
        <source>%1 中已没有可用的文件名</source>
        <translation>no free file name left in %1</translation>
    </message>
    <message>
        <source>照片已保存为 %1，但%2</source>
        <translation>The photo is kept as %1, but %2</translation>
    </message>
    <message>
        <source>%1 保持原样（无法以其他名称保留：%2）</source>
        <translation>%1 is left as it was (it could not be kept under another name: %2)</translation>
    </message>
    <message>
        <source>设置未能保存：无法写入 %1</source>
        <translation>The settings could not be remembered: %1 cannot be written</translation>
    </message>
    <message>
        <source>磁盘空间已满</source>
        <translation>No space left on device</translation>
    </message>
    <message>
        <source>超出磁盘配额</source>
        <translation>Disk quota exceeded</translation>
    </message>
    <message>
        <source>没有权限</source>
        <translation>Permission denied</translation>
    </message>
    <message>
        <source>不允许此操作</source>
        <translation>Operation not permitted</translation>
    </message>
    <message>
        <source>文件系统为只读</source>
        <translation>Read-only file system</translation>
    </message>
    <message>
        <source>输入/输出错误</source>
        <translation>Input/output error</translation>
    </message>
    <message>
        <source>文件或文件夹不存在</source>
        <translation>No such file or directory</translation>
    </message>
    <message>
        <source>路径不是文件夹</source>
        <translation>Not a directory</translation>
    </message>
    <message>
        <source>是一个文件夹</source>
        <translation>Is a directory</translation>
    </message>
    <message>
        <source>文件名过长</source>
        <translation>File name too long</translation>
    </message>
    <message>
        <source>文件过大</source>
        <translation>File too large</translation>
    </message>
    <message>
        <source>打开的文件过多</source>
        <translation>Too many open files</translation>
    </message>
    <message>
        <source>设备不存在</source>
        <translation>No such device</translation>
    </message>
    <message>
        <source>设备或地址不存在</source>
        <translation>No such device or address</translation>
    </message>
    <message>
        <source>设备或资源忙</source>
        <translation>Device or resource busy</translation>
    </message>
    <message>
        <source>文件句柄已失效</source>
        <translation>Stale file handle</translation>
    </message>
    <message>
        <source>参数无效</source>
        <translation>Invalid argument</translation>
    </message>
</context>
</TS>
