// Renders the SVG pictures of the shell to the PNG/JPEG files its resources
// hold. Usage: render_images <manifest> <svg folder> <output folder>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextStream>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: render_images <manifest> <svg folder> <output folder>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString manifest = QString::fromLocal8Bit(argv[1]);
    const QDir svgDir(QString::fromLocal8Bit(argv[2]));
    const QDir outDir(QString::fromLocal8Bit(argv[3]));

    QFile f(manifest);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    QTextStream in(&f);
    int failures = 0;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (parts.size() != 4) {
            std::fprintf(stderr, "bad manifest line: %s\n", qPrintable(line));
            ++failures;
            continue;
        }
        QString out = parts[0];
        if (QFileInfo(out).suffix().isEmpty())
            out += QStringLiteral(".png");
        const int w = parts[2].toInt();
        const int h = parts[3].toInt();
        QSvgRenderer renderer(svgDir.filePath(parts[1]));
        if (!renderer.isValid() || w <= 0 || h <= 0) {
            std::fprintf(stderr, "cannot render %s\n", qPrintable(parts[1]));
            ++failures;
            continue;
        }
        const bool jpeg = out.endsWith(QLatin1String(".jpg"));
        QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
        image.fill(jpeg ? Qt::white : Qt::transparent);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            renderer.render(&p);
        }
        const QString path = outDir.filePath(out);
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!(jpeg ? image.convertToFormat(QImage::Format_RGB32).save(path, "JPEG", 90) : image.save(path, "PNG"))) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
