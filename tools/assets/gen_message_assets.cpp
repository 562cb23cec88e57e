// Draws the pictures that lie beside the program for the message views,
// printouts and HTML exports:
//   bubble/bb1_01.png .. bb1_09.png  received bubble, nine-slice frame
//   bubble/bb2_01.png .. bb2_09.png  sent bubble, nine-slice frame
//   bubble/empty_photo.jpg            stand-in for a picture that is missing
//   emoji/<code>.png                  one simple glyph per emoji code
// Everything is drawn with plain shapes (no fonts), so the tool needs no
// display and gives the same pictures on every machine.
//
// Usage: gen_message_assets <output folder>

#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTextStream>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// ------------------------------------------------------------------ bubbles

// The frame insets the painters and the style sheet rely on.
struct Insets {
    int top, right, bottom, left;
};
constexpr Insets kReceived {28, 29, 24, 40};
constexpr Insets kSent {27, 41, 25, 29};

// A chat bubble with its tail at the bottom on the sender's side, drawn at
// the smallest size whose middle slices are plain fill.
QImage drawBubble(bool sent)
{
    const Insets in = sent ? kSent : kReceived;
    const int w = in.left + 24 + in.right;
    const int h = in.top + 16 + in.bottom;
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);

    // Body: a rounded rectangle inset from the image, wider margin on the
    // tail side.
    const qreal radius = 16;
    const QRectF body = sent ? QRectF(3, 3, w - 3 - 11, h - 3 - 6) : QRectF(10, 3, w - 10 - 3, h - 3 - 5);
    QPainterPath path;
    path.addRoundedRect(body, radius, radius);

    // Tail: a curved wedge from the bottom corner of the body out to a tip
    // in the margin.
    QPainterPath tail;
    if (!sent) {
        const qreal bx = body.left(), by = body.bottom();
        tail.moveTo(bx + 2, by - 18);
        tail.lineTo(bx + 2, by - 6);
        tail.quadTo(bx - 1, by - 1, bx - 8, by + 1);
        tail.quadTo(bx + 4, by + 2, bx + 14, by - 4);
        tail.lineTo(bx + 14, by - 18);
        tail.closeSubpath();
    } else {
        const qreal bx = body.right(), by = body.bottom();
        tail.moveTo(bx - 2, by - 18);
        tail.lineTo(bx - 2, by - 6);
        tail.quadTo(bx + 1, by - 1, bx + 8, by + 1);
        tail.quadTo(bx - 4, by + 2, bx - 14, by - 4);
        tail.lineTo(bx - 14, by - 18);
        tail.closeSubpath();
    }
    path = path.united(tail).simplified();

    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // Soft shadow below the bubble.
    p.setPen(Qt::NoPen);
    for (int i = 3; i >= 1; --i) {
        p.setBrush(QColor(40, 60, 90, 14));
        p.drawPath(path.translated(0, i * 0.6));
    }
    const QColor fill = sent ? QColor(0xD2, 0xF4, 0xC4) : QColor(0xFF, 0xFF, 0xFF);
    const QColor edge = sent ? QColor(0x9C, 0xCF, 0x8A) : QColor(0xC4, 0xCC, 0xD8);
    p.setBrush(fill);
    p.setPen(QPen(edge, 1.0));
    p.drawPath(path);
    p.end();
    return img;
}

// Cuts the bubble into its nine pieces: corners, edges, centre, in reading
// order.
std::vector<QImage> sliceBubble(const QImage& img, Insets in)
{
    const int w = img.width(), h = img.height();
    const int xs[3] = {0, in.left, w - in.right};
    const int ws[3] = {in.left, w - in.left - in.right, in.right};
    const int ys[3] = {0, in.top, h - in.bottom};
    const int hs[3] = {in.top, h - in.top - in.bottom, in.bottom};
    std::vector<QImage> pieces;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            pieces.push_back(img.copy(xs[c], ys[r], ws[c], hs[r]));
    return pieces;
}

QImage drawEmptyPhoto()
{
    QImage img(120, 90, QImage::Format_RGB32);
    img.fill(QColor(0xE9, 0xED, 0xF3));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0xB4, 0xBE, 0xCC), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(22, 14, 76, 62), 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xF2, 0xC1, 0x4E));
    p.drawEllipse(QPointF(80, 30), 7, 7);
    p.setBrush(QColor(0x9F, 0xAE, 0xC2));
    p.drawPolygon(QPolygonF({QPointF(26, 72), QPointF(50, 40), QPointF(66, 60), QPointF(74, 52), QPointF(94, 72)}));
    p.end();
    return img;
}

// -------------------------------------------------------------------- emoji

constexpr int kEmojiSize = 40;

quint32 mix(quint32 x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

const QColor kPalette[] = {
    QColor(0xE5, 0x48, 0x4D), QColor(0xF0, 0x8C, 0x2E), QColor(0xE8, 0xB9, 0x1A), QColor(0x3C, 0xA5, 0x5C),
    QColor(0x2C, 0x9C, 0xB3), QColor(0x3D, 0x7B, 0xE0), QColor(0x7A, 0x5C, 0xD6), QColor(0xD4, 0x4F, 0x9C),
    QColor(0x6D, 0x7B, 0x8C), QColor(0x8D, 0x6A, 0x4F),
};

bool isFace(uint code)
{
    return (code >= 0x1F600 && code <= 0x1F64F) || (code >= 0xE056 && code <= 0xE05A)
        || (code >= 0xE401 && code <= 0xE418) || (code >= 0xE105 && code <= 0xE108);
}

void drawFace(QPainter& p, uint code)
{
    const quint32 h = mix(code);
    p.setPen(QPen(QColor(0xC9, 0x8A, 0x10), 1.5));
    p.setBrush(QColor(0xFF, 0xCC, 0x33));
    p.drawEllipse(QRectF(3, 3, 34, 34));

    // Eyes: dots, closed arcs or hearts.
    const int eyes = h % 3;
    p.setBrush(QColor(0x5A, 0x3A, 0x10));
    p.setPen(Qt::NoPen);
    for (const qreal x : {14.0, 26.0}) {
        if (eyes == 0) {
            p.drawEllipse(QPointF(x, 16), 2.6, 3.4);
        } else if (eyes == 1) {
            p.setPen(QPen(QColor(0x5A, 0x3A, 0x10), 2.2, Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            QPainterPath arc;
            arc.moveTo(x - 4, 17);
            arc.quadTo(x, 12, x + 4, 17);
            p.drawPath(arc);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x5A, 0x3A, 0x10));
        } else {
            p.setBrush(QColor(0xE0, 0x33, 0x44));
            QPainterPath heart;
            heart.moveTo(x, 20);
            heart.cubicTo(x - 7, 15, x - 3, 9, x, 13);
            heart.cubicTo(x + 3, 9, x + 7, 15, x, 20);
            p.drawPath(heart);
            p.setBrush(QColor(0x5A, 0x3A, 0x10));
        }
    }

    // Mouth: smile, open, flat, frown.
    const int mouth = (h >> 4) % 4;
    p.setPen(QPen(QColor(0x5A, 0x3A, 0x10), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath m;
    switch (mouth) {
    case 0:
        m.moveTo(12, 24);
        m.quadTo(20, 32, 28, 24);
        p.drawPath(m);
        break;
    case 1:
        p.setBrush(QColor(0x7A, 0x2A, 0x1A));
        p.drawEllipse(QRectF(15, 23, 10, 8));
        break;
    case 2:
        p.drawLine(QPointF(14, 27), QPointF(26, 27));
        break;
    default:
        m.moveTo(13, 29);
        m.quadTo(20, 22, 27, 29);
        p.drawPath(m);
        break;
    }
}

QPainterPath starPath(QPointF c, qreal outer, qreal inner, int points)
{
    QPainterPath s;
    for (int i = 0; i < points * 2; ++i) {
        const qreal r = (i % 2) ? inner : outer;
        const qreal a = -M_PI / 2 + i * M_PI / points;
        const QPointF pt(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
        if (i == 0)
            s.moveTo(pt);
        else
            s.lineTo(pt);
    }
    s.closeSubpath();
    return s;
}

void drawTile(QPainter& p, const QColor& color)
{
    p.setPen(Qt::NoPen);
    p.setBrush(color.darker(125));
    p.drawRoundedRect(QRectF(3, 4, 34, 34), 8, 8);
    p.setBrush(color);
    p.drawRoundedRect(QRectF(3, 3, 34, 33), 8, 8);
}

void drawCheck(QPainter& p, const QColor& color, qreal width)
{
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(11, 21), QPointF(17, 27), QPointF(29, 13)}));
}

void drawCross(QPainter& p, const QColor& color, qreal width)
{
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(13, 13), QPointF(27, 27));
    p.drawLine(QPointF(27, 13), QPointF(13, 27));
}

// The symbols with a meaning of their own; false for the others.
bool drawKnownSymbol(QPainter& p, uint code)
{
    const QColor dark(0x33, 0x3A, 0x44);
    const QColor white(0xFF, 0xFF, 0xFF);
    switch (code) {
    case 0x2714: // heavy check mark
        drawCheck(p, dark, 5);
        return true;
    case 0x2705: // check mark in a green box
        drawTile(p, QColor(0x3C, 0xA5, 0x5C));
        drawCheck(p, white, 4.5);
        return true;
    case 0x2611: // ballot box with check
        p.setPen(QPen(dark, 2.5));
        p.setBrush(white);
        p.drawRoundedRect(QRectF(6, 6, 28, 28), 4, 4);
        drawCheck(p, dark, 4);
        return true;
    case 0x274E: // cross in a green box
        drawTile(p, QColor(0x3C, 0xA5, 0x5C));
        drawCross(p, white, 4.5);
        return true;
    case 0x2795:
    case 0x2796:
    case 0x2797:
        p.setPen(QPen(dark, 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9, 20), QPointF(31, 20));
        if (code == 0x2795)
            p.drawLine(QPointF(20, 9), QPointF(20, 31));
        if (code == 0x2797) {
            p.setPen(Qt::NoPen);
            p.setBrush(dark);
            p.drawEllipse(QPointF(20, 11), 3, 3);
            p.drawEllipse(QPointF(20, 29), 3, 3);
        }
        return true;
    case 0x2709: // envelope
        p.setPen(QPen(QColor(0x8A, 0x96, 0xA8), 2));
        p.setBrush(white);
        p.drawRect(QRectF(5, 10, 30, 21));
        p.drawPolyline(QPolygonF({QPointF(5, 10), QPointF(20, 22), QPointF(35, 10)}));
        return true;
    case 0x2B1B:
    case 0x2B1C:
    case 0x25FC:
    case 0x25FB:
    case 0x25FE:
    case 0x25FD:
    case 0x25AA:
    case 0x25AB: {
        const bool black = code == 0x2B1B || code == 0x25FC || code == 0x25FE || code == 0x25AA;
        const qreal side = (code == 0x2B1B || code == 0x2B1C) ? 30
            : (code == 0x25FC || code == 0x25FB)              ? 22
            : (code == 0x25FE || code == 0x25FD)              ? 16
                                                              : 10;
        p.setPen(QPen(dark, 1.5));
        p.setBrush(black ? dark : white);
        p.drawRect(QRectF(20 - side / 2, 20 - side / 2, side, side));
        return true;
    }
    case 0x26AA:
    case 0x26AB:
        p.setPen(QPen(dark, 1.5));
        p.setBrush(code == 0x26AB ? dark : white);
        p.drawEllipse(QPointF(20, 20), 13, 13);
        return true;
    case 0x2744: // snowflake
        p.setPen(QPen(QColor(0x4A, 0x9A, 0xD8), 2.5, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i < 3; ++i) {
            const qreal a = i * M_PI / 3;
            p.drawLine(QPointF(20 - 15 * std::cos(a), 20 - 15 * std::sin(a)),
                       QPointF(20 + 15 * std::cos(a), 20 + 15 * std::sin(a)));
        }
        return true;
    case 0x203C: // double exclamation mark
    case 0x2049: // exclamation question mark
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xE5, 0x48, 0x4D));
        for (const qreal x : {13.0, 25.0}) {
            p.drawRoundedRect(QRectF(x - 3, 6, 6, 20), 3, 3);
            p.drawEllipse(QPointF(x, 32), 3.2, 3.2);
        }
        return true;
    case 0x3030: // wavy dash
    case 0x27B0: { // curly loop
        p.setPen(QPen(dark, 3.5, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        QPainterPath wave;
        wave.moveTo(5, 22);
        wave.cubicTo(11, 10, 15, 10, 20, 20);
        wave.cubicTo(25, 30, 29, 30, 35, 18);
        p.drawPath(wave);
        return true;
    }
    default:
        return false;
    }
}

// Any other code: a coloured tile with a white shape, both picked by the code.
void drawGenericSymbol(QPainter& p, uint code)
{
    const quint32 h = mix(code * 2654435761U);
    const QColor color = kPalette[h % (sizeof(kPalette) / sizeof(kPalette[0]))];
    drawTile(p, color);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 235));
    const QPointF c(20, 19.5);
    switch ((h >> 8) % 8) {
    case 0:
        p.drawEllipse(c, 9, 9);
        break;
    case 1: {
        QPainterPath heart;
        heart.moveTo(20, 29);
        heart.cubicTo(6, 20, 10, 8, 20, 14);
        heart.cubicTo(30, 8, 34, 20, 20, 29);
        p.drawPath(heart);
        break;
    }
    case 2:
        p.drawPath(starPath(c, 11, 4.6, 5));
        break;
    case 3:
        p.drawPolygon(QPolygonF({QPointF(20, 8), QPointF(31, 19.5), QPointF(20, 31), QPointF(9, 19.5)}));
        break;
    case 4:
        p.drawPolygon(QPolygonF({QPointF(20, 9), QPointF(31, 29), QPointF(9, 29)}));
        break;
    case 5:
        p.drawRoundedRect(QRectF(11, 11, 18, 17), 3, 3);
        break;
    case 6:
        p.setPen(QPen(QColor(255, 255, 255, 235), 4));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(c, 8, 8);
        break;
    default:
        p.drawPolygon(QPolygonF({QPointF(9, 16), QPointF(21, 16), QPointF(21, 10), QPointF(31, 19.5), QPointF(21, 29),
                                 QPointF(21, 23), QPointF(9, 23)}));
        break;
    }
}

QImage drawEmoji(uint code)
{
    QImage img(kEmojiSize, kEmojiSize, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    if (isFace(code))
        drawFace(p, code);
    else if (!drawKnownSymbol(p, code))
        drawGenericSymbol(p, code);
    p.end();
    return img;
}

// The codes the emoji finder reports for the emoji phones send: the old
// private-use blocks, the listed symbols of the Basic Multilingual Plane and
// the usual blocks of the supplementary planes.
std::vector<uint> emojiCodes()
{
    std::vector<uint> codes;
    const uint privateUse[][2]
        = {{0xE001, 0xE05A}, {0xE101, 0xE15A}, {0xE201, 0xE253}, {0xE301, 0xE34D}, {0xE401, 0xE44C}, {0xE501, 0xE537}};
    for (const auto& r : privateUse)
        for (uint c = r[0]; c <= r[1]; ++c)
            codes.push_back(c);
    const uint bmp[] = {0x203C, 0x2049, 0x2139, 0x2194, 0x2195, 0x21A9, 0x21AA, 0x231A, 0x231B, 0x23EB, 0x23EC,
                        0x23F0, 0x23F3, 0x24C2, 0x25AA, 0x25AB, 0x25FB, 0x25FC, 0x25FD, 0x25FE, 0x2611, 0x267B,
                        0x2693, 0x26AA, 0x26AB, 0x26C5, 0x26D4, 0x2705, 0x2709, 0x270F, 0x2712, 0x2714, 0x2744,
                        0x2747, 0x274E, 0x2795, 0x2796, 0x2797, 0x27B0, 0x2934, 0x2935, 0x2B1B, 0x2B1C, 0x3030};
    for (const uint c : bmp)
        codes.push_back(c);
    const uint supplementary[][2] = {{0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F170, 0x1F19A}, {0x1F1E6, 0x1F1FF},
                                     {0x1F201, 0x1F251}, {0x1F300, 0x1F64F}, {0x1F680, 0x1F6FF}};
    for (const auto& r : supplementary)
        for (uint c = r[0]; c <= r[1]; ++c)
            codes.push_back(c);
    return codes;
}

bool save(const QImage& img, const QString& path, const char* format)
{
    if (img.save(path, format))
        return true;
    std::fprintf(stderr, "gen_message_assets: cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv); // image format plug-ins (JPEG)
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_message_assets <output folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QString bubbleDir = out.absoluteFilePath(QStringLiteral("bubble"));
    const QString emojiDir = out.absoluteFilePath(QStringLiteral("emoji"));
    if (!QDir().mkpath(bubbleDir) || !QDir().mkpath(emojiDir)) {
        std::fprintf(stderr, "gen_message_assets: cannot create %s\n", argv[1]);
        return 1;
    }

    bool ok = true;
    for (const bool sent : {false, true}) {
        const std::vector<QImage> pieces = sliceBubble(drawBubble(sent), sent ? kSent : kReceived);
        for (size_t i = 0; i < pieces.size(); ++i) {
            const QString name
                = QStringLiteral("bb%1_%2.png").arg(sent ? 2 : 1).arg(int(i + 1), 2, 10, QLatin1Char('0'));
            ok = save(pieces[i], QDir(bubbleDir).absoluteFilePath(name), "PNG") && ok;
        }
    }
    ok = save(drawEmptyPhoto(), QDir(bubbleDir).absoluteFilePath(QStringLiteral("empty_photo.jpg")), "JPEG") && ok;

    for (const uint code : emojiCodes()) {
        const QString name = QString::number(code, 16).toUpper() + QStringLiteral(".png");
        ok = save(drawEmoji(code), QDir(emojiDir).absoluteFilePath(name), "PNG") && ok;
    }
    return ok ? 0 : 1;
}
