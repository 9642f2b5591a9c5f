// Makes the desktop's icon files from the program's icon: tovaki-mkicons ICON OUTDIR SIZE...
// writes OUTDIR/<SIZE>x<SIZE>/apps/tovaki.png for each size, scaled from the largest image the
// icon holds (the hicolor theme's layout).
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: tovaki-mkicons ICON OUTDIR SIZE...\n");
        return 2;
    }
    QImageReader reader(args.at(1));
    QImage largest;
    for (int i = 0; i < qMax(1, reader.imageCount()); ++i) {
        if (!reader.jumpToImage(i) && i > 0)
            break;
        const QImage image = reader.read();
        if (!image.isNull() && image.width() > largest.width())
            largest = image;
    }
    if (largest.isNull()) {
        std::fprintf(stderr, "tovaki-mkicons: cannot read %s: %s\n", argv[1],
                     reader.errorString().toLocal8Bit().constData());
        return 1;
    }
    for (qsizetype i = 3; i < args.size(); ++i) {
        const int size = args.at(i).toInt();
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(args.at(2)).arg(size);
        const QImage scaled =
            largest.convertToFormat(QImage::Format_ARGB32)
                .scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (size <= 0 || !QDir().mkpath(folder) ||
            !scaled.save(folder + QStringLiteral("/tovaki.png"), "PNG")) {
            std::fprintf(stderr, "tovaki-mkicons: cannot write the %s pixel icon\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
