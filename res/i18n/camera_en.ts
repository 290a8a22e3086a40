<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>quor::sim</name>
    <message>
        <source>照片未保存：存储卡报告写入错误（模拟）</source>
        <translation>The photo was not saved: the card reports a write error (simulated)</translation>
    </message>
    <message>
        <source>照片未保存：无法编码</source>
        <translation>The photo was not saved: it could not be encoded</translation>
    </message>
    <message>
        <source>%1（模拟）</source>
        <translation>%1 (simulated)</translation>
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
        <source>下载过程中相机被拔出，未保存任何内容</source>
        <translation>The camera was pulled out during the download; nothing was saved</translation>
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
