// Renders the application icon (the synchronised sky: the satellite is what tells this tool
// apart from any other dark square in a menu) into a hicolor tree:
//   tamberline-icons DIR SIZE...  ->  DIR/NxN/apps/tamberline.png for each size (px),
//                                     DIR/scalable/apps/tamberline.svg
// Each size is drawn on its own, as the tray does, so the stars stay visible on the small ones.
// No display is needed: it runs on Qt's offscreen platform and paints on images in memory.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdio>
#include <stdexcept>

#include "ui/pictures.h"

namespace {

constexpr bool kWithSatellite = true;
// The scalable drawing is used above 256 px, so it takes the large size's fine stars.
constexpr int kScalableBase = 256;

QString Prepare(const QString& root, const QString& sub) {
    const QString dir = root + "/" + sub + "/apps";
    if (!QDir().mkpath(dir)) throw std::runtime_error("cannot create " + dir.toStdString());
    return dir + "/tamberline";
}

void RenderPng(const QString& root, int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    tamberline::PaintSkyIcon(p, size, kWithSatellite);
    p.end();
    const QString path = Prepare(root, QString("%1x%1").arg(size)) + ".png";
    if (!img.save(path, "PNG")) throw std::runtime_error("cannot write " + path.toStdString());
}

void RenderSvg(const QString& root) {
    const QString path = Prepare(root, "scalable") + ".svg";
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(kScalableBase, kScalableBase));
    svg.setViewBox(QRect(0, 0, kScalableBase, kScalableBase));
    svg.setTitle("Tamberline");
    QPainter p;
    if (!p.begin(&svg)) throw std::runtime_error("cannot write " + path.toStdString());
    tamberline::PaintSkyIcon(p, kScalableBase, kWithSatellite);
    p.end();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT-DIR SIZE...\n", argv[0]);
        return 2;
    }
    // The painter's default font goes into the SVG's attributes, so the toolkit must be up.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    try {
        const QString root = QString::fromLocal8Bit(argv[1]);
        for (int i = 2; i < argc; ++i) {
            bool ok = false;
            const int size = QString(argv[i]).toInt(&ok);
            if (!ok || size < 1 || size > 1024) throw std::runtime_error(std::string("bad size: ") + argv[i]);
            RenderPng(root, size);
        }
        RenderSvg(root);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
    return 0;
}
