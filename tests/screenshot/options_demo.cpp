// The console on a real X server with live view and the view's options on: crop with its frame image, rotation
// 90 and onion skin over three photos. Driven through the console's own controls (onion skin's are hidden in the
// window, so its box is clicked programmatically), then the whole screen is grabbed from the X server and a few
// facts are checked on the picture.
//   options_demo <output.png>      (needs DISPLAY; check_options_screenshot.sh starts Xvfb)
#include "component/host/QuorCtrlComponent.h"
#include "console/CameraConsoleDlg.h"
#include "control/ComponentRegistry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

bool WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

void Pump(int ms) { WaitFor([] { return false; }, ms); }

// A crop frame as a studio would draw one: a transparent middle inside a solid magenta border with corner marks.
bool WriteCropFrame(const QString& path) {
    QImage frame(400, 300, QImage::Format_ARGB32_Premultiplied);
    frame.fill(Qt::transparent);
    QPainter p(&frame);
    p.setPen(QPen(QColor(255, 0, 255), 12));
    p.drawRect(frame.rect().adjusted(6, 6, -6, -6));
    p.fillRect(0, 0, 60, 60, QColor(255, 0, 255));
    p.fillRect(340, 240, 60, 60, QColor(255, 0, 255));
    p.end();
    return frame.save(path, "PNG");
}

int Fail(const char* what) {
    std::fprintf(stderr, "FAIL: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: options_demo <output.png>\n");
        return 2;
    }
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid() || !WriteCropFrame(dir.filePath(QStringLiteral("CropImg.png"))))
        return Fail("cannot prepare the application folder");

    quor::component::RegisterQuorCtrl();
    const quor::ComponentFactory make = quor::ComponentRegistry::FactoryFor(quor::kQuorCtrlClassId);
    quor::component::QuorCtrlComponent* comp = nullptr;
    CCameraConsoleDlg dlg(dir.path().toStdString(), [&](QWidget* parent, const quor::HostedProperties& props) {
        std::unique_ptr<quor::IHostedComponent> c = make(parent, props);
        comp = dynamic_cast<quor::component::QuorCtrlComponent*>(c.get());
        return c;
    });
    if (!comp)
        return Fail("no component");
    dlg.move(20, 20);
    dlg.show();
    auto click = [&](int id) {
        if (auto* b = qobject_cast<QAbstractButton*>(dlg.GetDlgItem(id)))
            b->click();
        Pump(50);
    };

    click(1001); // open
    if (!WaitFor([&] { return comp->Engine().IsOpen() && dlg.State().cameraOpen; }, 5000))
        return Fail("the camera did not open");
    click(1020); // live view
    if (!WaitFor([&] { return dlg.State().liveViewOn != 0; }, 5000))
        return Fail("live view did not start");
    click(1064); // onion skin (5 layers by default)
    for (int shot = 0; shot < 3; ++shot) {
        click(1003);
        if (!WaitFor([&] { return comp->PendingCaptures() == 0; }, 10000))
            return Fail("a photo never arrived");
        Pump(400); // the marker moves between shots, so the layers differ
    }
    click(1062); // debug overlay off: the picture is what is looked at here
    click(1037); // crop on
    // A crop in the middle of the 1024x680 frame (x, y, width, height in frame pixels).
    dlg.SetItemInt(1038, 262);
    dlg.SetItemInt(1039, 90);
    dlg.SetItemInt(1040, 500);
    dlg.SetItemInt(1041, 500);
    click(1042); // the crop rectangle from the fields
    click(1063); // crop frame
    click(1048); // rotation 90
    Pump(1500);

    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]), "PNG"))
        return Fail("cannot grab or save the screen");

    // Facts on the picture: the window's client area sits at its frame geometry on the screen.
    const QPoint origin = dlg.mapToGlobal(QPoint(0, 0));
    const QRect view(origin + QPoint(22, 100), QSize(500, 330));
    int magenta = 0;
    for (int y = view.top(); y <= view.bottom(); ++y)
        for (int x = view.left(); x <= view.right(); ++x) {
            const QRgb px = shot.pixel(x, y);
            magenta += qRed(px) > 200 && qGreen(px) < 80 && qBlue(px) > 200;
        }
    std::printf("options screenshot: %s; client at %d,%d; crop-frame pixels in the view: %d; onion layers: %d\n",
                argv[1], origin.x(), origin.y(), magenta, comp->State().onionSkinLayers);
    int failed = 0;
    if (dlg.size() != QSize(794, 531))
        failed += Fail("the window is not 794x531");
    if (magenta < 200)
        failed += Fail("the crop frame image is not drawn in the view");
    if (!comp->State().onionSkinEnabled || comp->State().rotation != 90 || !comp->State().cropEnabled)
        failed += Fail("the options did not reach the component");
    dlg.done(0);
    return failed == 0 ? 0 : 1;
}
