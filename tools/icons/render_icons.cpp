// Renders the application icon (the synchronised sky: the satellite is what tells this tool
// apart from any other dark square in a menu) into a hicolor tree, or into a Windows icon file:
//   tamberline-icons DIR SIZE...        ->  DIR/NxN/apps/tamberline.png for each size (px),
//                                           DIR/scalable/apps/tamberline.svg
//   tamberline-icons --ico FILE SIZE... ->  FILE, one PNG image per size (px, at most 256)
// Each size is drawn on its own, as the tray does, so the stars stay visible on the small ones.
// No display is needed: it runs on Qt's offscreen platform and paints on images in memory.
#include <QBuffer>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

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

QImage Render(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    tamberline::PaintSkyIcon(p, size, kWithSatellite);
    p.end();
    return img;
}

void RenderPng(const QString& root, int size) {
    const QString path = Prepare(root, QString("%1x%1").arg(size)) + ".png";
    if (!Render(size).save(path, "PNG")) throw std::runtime_error("cannot write " + path.toStdString());
}

void PutLE(QByteArray& out, quint32 value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

// An icon file may hold PNG images as they are (Windows reads them since Vista, windres and NSIS
// take them): a 6-byte header, a 16-byte entry per image, then the images; numbers little-endian.
void RenderIco(const QString& path, const std::vector<int>& sizes) {
    constexpr int kHeader = 6, kEntry = 16;
    QByteArray head, images;
    PutLE(head, 0, 2);  // reserved
    PutLE(head, 1, 2);  // 1: icon (2 would be a cursor)
    PutLE(head, quint32(sizes.size()), 2);
    for (int size : sizes) {
        if (size > 256) throw std::runtime_error("an icon file holds at most 256 px, not " + std::to_string(size));
        QByteArray png;
        QBuffer buf(&png);
        if (!buf.open(QIODevice::WriteOnly) || !Render(size).save(&buf, "PNG")) {
            throw std::runtime_error("cannot encode the " + std::to_string(size) + " px image");
        }
        const quint32 offset = kHeader + kEntry * quint32(sizes.size()) + quint32(images.size());
        PutLE(head, size & 0xFF, 1);  // width, height: 0 stands for 256
        PutLE(head, size & 0xFF, 1);
        PutLE(head, 0, 1);   // no palette
        PutLE(head, 0, 1);   // reserved
        PutLE(head, 1, 2);   // colour planes
        PutLE(head, 32, 2);  // bits per pixel
        PutLE(head, quint32(png.size()), 4);
        PutLE(head, offset, 4);
        images += png;
    }
    // Whole or not at all: the build takes a file that exists as done.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(head + images) != head.size() + images.size() ||
        !file.commit()) {
        throw std::runtime_error("cannot write " + path.toStdString());
    }
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

std::vector<int> Sizes(int first, int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = first; i < argc; ++i) {
        bool ok = false;
        const int size = QString(argv[i]).toInt(&ok);
        if (!ok || size < 1 || size > 1024) throw std::runtime_error(std::string("bad size: ") + argv[i]);
        sizes.push_back(size);
    }
    return sizes;
}

}  // namespace

int main(int argc, char** argv) {
    const bool ico = argc > 1 && std::string(argv[1]) == "--ico";
    if (argc < (ico ? 4 : 3)) {
        std::fprintf(stderr, "usage: %s OUTPUT-DIR SIZE...\n       %s --ico FILE SIZE...\n", argv[0], argv[0]);
        return 2;
    }
    // The painter's default font goes into the SVG's attributes, so the toolkit must be up.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    try {
        if (ico) {
            RenderIco(QString::fromLocal8Bit(argv[2]), Sizes(3, argc, argv));
        } else {
            const QString root = QString::fromLocal8Bit(argv[1]);
            for (int size : Sizes(2, argc, argv))
                RenderPng(root, size);
            RenderSvg(root);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 1;
    }
    return 0;
}
