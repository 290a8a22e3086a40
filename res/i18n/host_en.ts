<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>quor::component::CameraEngine</name>
    <message>
        <source>%1=&quot;%2&quot; 不是 0 到 %3 之间的数字；模拟 %4 台相机</source>
        <translation>%1=&quot;%2&quot; is not a number from 0 to %3; simulating %4 camera(s)</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
</context>
<context>
    <name>quor::component::CropControl</name>
    <message>
        <source>图片过大（%1 × %2 像素）</source>
        <translation>the picture is too large (%1 × %2 pixels)</translation>
    </message>
    <message>
        <source>无法使用裁剪框图片 %1（%2）；改为显示程序自带的裁剪框</source>
        <translation>The crop frame picture %1 cannot be used (%2); the frame that ships with the program is shown instead</translation>
    </message>
</context>
<context>
    <name>quor::component::DisplayMode</name>
    <message>
        <source>适应</source>
        <translation>fit</translation>
    </message>
    <message>
        <source>压缩</source>
        <translation>compress</translation>
    </message>
    <message>
        <source>拉伸</source>
        <translation>stretch</translation>
    </message>
</context>
<context>
    <name>quor::component::Grid</name>
    <message>
        <source>无</source>
        <translation>none</translation>
    </message>
    <message>
        <source>三分法</source>
        <translation>thirds</translation>
    </message>
    <message>
        <source>黄金分割</source>
        <translation>golden ratio</translation>
    </message>
    <message>
        <source>中心十字</source>
        <translation>centre cross</translation>
    </message>
</context>
<context>
    <name>quor::component::PopOutView</name>
    <message>
        <source>QuorCtrl 实时取景</source>
        <translation>QuorCtrl live view</translation>
    </message>
</context>
<context>
    <name>quor::component::QuorCtrlComponent</name>
    <message>
        <source>这台相机不能放大实时取景画面</source>
        <translation>This camera cannot magnify its live view</translation>
    </message>
</context>
<context>
    <name>quor::component::QuorCtrlView</name>
    <message>
        <source>开</source>
        <translation>on</translation>
    </message>
    <message>
        <source>关</source>
        <translation>off</translation>
    </message>
    <message>
        <source>未打开相机</source>
        <translation>No camera open</translation>
    </message>
    <message>
        <source>%1 — 实时取景未开启</source>
        <translation>%1 — live view off</translation>
    </message>
    <message>
        <source>直方图	H</source>
        <translation>Histogram	H</translation>
    </message>
    <message>
        <source>斑马纹</source>
        <translation>Zebra</translation>
    </message>
    <message>
        <source>峰值对焦	P</source>
        <translation>Focus peaking	P</translation>
    </message>
    <message>
        <source>放大	Z</source>
        <translation>Magnify	Z</translation>
    </message>
    <message>
        <source>大窗口查看...</source>
        <translation>Large view...</translation>
    </message>
    <message>
        <source>设置...</source>
        <translation>Settings...</translation>
    </message>
    <message>
        <source>相机：未打开（已连接 %1 台）</source>
        <translation>camera: none open (%1 connected)</translation>
    </message>
    <message>
        <source>状态：已关闭</source>
        <translation>state: closed</translation>
    </message>
    <message>
        <source>相机 %1/%2：%3</source>
        <translation>camera %1/%2: %3</translation>
    </message>
    <message>
        <source>状态：已打开  电量 %1%  可拍 %2 张  保存到%3</source>
        <translation>state: open  battery %1%  shots %2  save to %3</translation>
    </message>
    <message>
        <source>存储卡</source>
        <translation>card</translation>
    </message>
    <message>
        <source>电脑</source>
        <translation>computer</translation>
    </message>
    <message>
        <source>镜头 %1</source>
        <translation>lens %1</translation>
    </message>
    <message>
        <source>对焦位置 %1%2</source>
        <translation>focus %1%2</translation>
    </message>
    <message>
        <source>（对焦中）</source>
        <translation> (focusing)</translation>
    </message>
    <message>
        <source>（已合焦）</source>
        <translation> (in focus)</translation>
    </message>
    <message>
        <source>对焦点 %1,%2</source>
        <translation>AF point %1,%2</translation>
    </message>
    <message>
        <source>实时取景未开启</source>
        <translation>live view off</translation>
    </message>
    <message>
        <source>实时取景 %1x%2 @%3：显示 %4 帧/秒，产生 %5 帧/秒，丢弃 %6</source>
        <translation>live view %1x%2 @%3: shown %4 fps, produced %5 fps, dropped %6</translation>
    </message>
    <message>
        <source>相机帧率</source>
        <translation>camera&apos;s rate</translation>
    </message>
    <message>
        <source>回调 %1 ms  绘制 %2 ms</source>
        <translation>callback %1 ms  paint %2 ms</translation>
    </message>
    <message>
        <source>显示 %1  旋转 %2  边框 %3</source>
        <translation>display %1  rotation %2  border %3</translation>
    </message>
    <message>
        <source>洋葱皮 %1  层数 %2  透明度 %3</source>
        <translation>onion skin %1  layers %2  alpha %3</translation>
    </message>
    <message>
        <source>裁剪 %1  形状 %2  比例 %3  录像：视频 %4  音频 %5</source>
        <translation>crop %1  shape %2  ratio %3  movie: video %4  audio %5</translation>
    </message>
    <message>
        <source>圆形</source>
        <translation>round</translation>
    </message>
    <message>
        <source>方形</source>
        <translation>square</translation>
    </message>
    <message>
        <source>自由</source>
        <translation>free</translation>
    </message>
    <message>
        <source>QuorCtrl 调试信息</source>
        <translation>QuorCtrl debug</translation>
    </message>
    <message>
        <source>快门 %1  控制 %2  连拍 %3  B门 %4  已拍 %5 张</source>
        <translation>shutter %1  control %2  series %3  bulb %4  shots taken %5</translation>
    </message>
    <message>
        <source>半按：测光、对焦中</source>
        <translation>half-pressed: metering, focusing</translation>
    </message>
    <message>
        <source>松开</source>
        <translation>released</translation>
    </message>
    <message>
        <source>相机</source>
        <translation>camera</translation>
    </message>
    <message>
        <source>程序</source>
        <translation>program</translation>
    </message>
    <message>
        <source>开启</source>
        <translation>open</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>closed</translation>
    </message>
    <message>
        <source>最近保存：%1</source>
        <translation>last saved: %1</translation>
    </message>
    <message>
        <source>网格	G</source>
        <translation>Grid	G</translation>
    </message>
</context>
<context>
    <name>quor::component::SettingsDialog</name>
    <message>
        <source>QuorCtrl 设置</source>
        <translation>QuorCtrl settings</translation>
    </message>
    <message>
        <source>按下相机快门</source>
        <translation>Press the shutter on the camera</translation>
    </message>
    <message>
        <source>相机控制模式下：照片下载到程序所在目录</source>
        <translation>In camera-control mode: the photo downloads beside the program</translation>
    </message>
    <message>
        <source>照片保存位置</source>
        <translation>Save photos in</translation>
    </message>
    <message>
        <source>选择文件夹...</source>
        <translation>Choose a folder...</translation>
    </message>
    <message>
        <source>程序所在目录</source>
        <translation>Next to the program</translation>
    </message>
    <message>
        <source>模拟相机</source>
        <translation>Simulated cameras</translation>
    </message>
    <message>
        <source>已连接：</source>
        <translation>Connected:</translation>
    </message>
    <message>
        <source>再接入一台</source>
        <translation>Plug in one more</translation>
    </message>
    <message>
        <source>拔出</source>
        <translation>Pull out</translation>
    </message>
    <message>
        <source>镜头拨到 MF</source>
        <translation>Lens switched to MF</translation>
    </message>
    <message>
        <source>可用 %1 MB</source>
        <translation>%1 MB free</translation>
    </message>
    <message>
        <source>存储卡：</source>
        <translation>Card:</translation>
    </message>
    <message>
        <source>网络相机</source>
        <translation>Network cameras</translation>
    </message>
    <message>
        <source>主机[:端口]</source>
        <translation>host[:port]</translation>
    </message>
    <message>
        <source>添加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>地址：</source>
        <translation>Address:</translation>
    </message>
    <message>
        <source>实时取景</source>
        <translation>Live view</translation>
    </message>
    <message>
        <source>%1 帧/秒</source>
        <translation>%1 fps</translation>
    </message>
    <message>
        <source>画面尺寸：</source>
        <translation>Frame size:</translation>
    </message>
    <message>
        <source>帧率：</source>
        <translation>Frame rate:</translation>
    </message>
    <message>
        <source>画面越小，相机传来越快</source>
        <translation>A smaller frame comes faster from the camera</translation>
    </message>
    <message>
        <source>真实相机发送：</source>
        <translation>Real camera sends:</translation>
    </message>
    <message>
        <source>相机默认</source>
        <translation>As it has it</translation>
    </message>
    <message>
        <source>取景辅助</source>
        <translation>Live-view aids</translation>
    </message>
    <message>
        <source>直方图</source>
        <translation>Histogram</translation>
    </message>
    <message>
        <source>斑马纹标出过曝和欠曝区域</source>
        <translation>Zebra over blown and blocked areas</translation>
    </message>
    <message>
        <source>亮度（0-255）达到此值即算过曝；256 表示不标</source>
        <translation>Brightness (0-255) from which an area counts as blown; 256: none</translation>
    </message>
    <message>
        <source>关</source>
        <translation>off</translation>
    </message>
    <message>
        <source>亮度不超过此值即算欠曝</source>
        <translation>Brightness up to which an area counts as blocked</translation>
    </message>
    <message>
        <source>过曝≥</source>
        <translation>from</translation>
    </message>
    <message>
        <source>欠曝≤</source>
        <translation>up to</translation>
    </message>
    <message>
        <source>峰值对焦</source>
        <translation>Focus peaking</translation>
    </message>
    <message>
        <source>灵敏度 %1</source>
        <translation>%1 sensitivity</translation>
    </message>
    <message>
        <source>红</source>
        <translation>red</translation>
    </message>
    <message>
        <source>黄</source>
        <translation>yellow</translation>
    </message>
    <message>
        <source>绿</source>
        <translation>green</translation>
    </message>
    <message>
        <source>青</source>
        <translation>cyan</translation>
    </message>
    <message>
        <source>白</source>
        <translation>white</translation>
    </message>
    <message>
        <source>网格：</source>
        <translation>Grid:</translation>
    </message>
    <message>
        <source>下一次拍摄失败</source>
        <translation>Next capture fails</translation>
    </message>
    <message>
        <source>照片写入失败</source>
        <translation>Writing photos fails</translation>
    </message>
    <message>
        <source>下一次下载时拔出相机</source>
        <translation>Camera pulled out during the next download</translation>
    </message>
    <message>
        <source>传输缓慢</source>
        <translation>Slow transfer</translation>
    </message>
    <message>
        <source>%1
无法写入时：%2</source>
        <translation>%1
Where that cannot be written: %2</translation>
    </message>
    <message>
        <source>程序所在目录，即控制台指定的位置</source>
        <translation>Next to the program, where the console asks for them</translation>
    </message>
    <message>
        <source>不是有效地址：请输入 主机[:端口]，例如 192.168.1.20 或 camera.local:15740</source>
        <translation>Not an address: give host[:port], e.g. 192.168.1.20 or camera.local:15740</translation>
    </message>
    <message>
        <source>已加入相机列表</source>
        <translation>Added to the camera list</translation>
    </message>
    <message>
        <source>已在列表中</source>
        <translation>Already in the list</translation>
    </message>
    <message>
        <source>照片</source>
        <translation>Photos</translation>
    </message>
    <message>
        <source>实时取景与辅助</source>
        <translation>Live view and aids</translation>
    </message>
    <message>
        <source>测试用</source>
        <translation>For testing</translation>
    </message>
</context>
<context>
    <name>quor::component::ShootingController</name>
    <message>
        <source>无法编码这一帧画面</source>
        <translation>The frame could not be encoded</translation>
    </message>
    <message>
        <source>连拍已停止。%1</source>
        <translation>The series was stopped. %1</translation>
    </message>
</context>
</TS>
