// What a transfer makes of the pictures it sends (temporary stand-in).
#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

#include <atomic>

inline constexpr int kMaxImageSide = 1080;
bool isReencoded(const QString& mime);

struct ImageHeader {
    QByteArray format;
    QSize size;
    int orientation = 1;
    bool isEncoded() const { return !format.isEmpty(); }
    bool turns() const { return orientation > 1; }
};
ImageHeader readImageHeader(const QString& path);
ImageHeader readImageHeader(const QByteArray& bytes);
QSize sentSize(const ImageHeader& header, bool upright = true);

struct EncodedImage {
    enum class Result { Encoded, AsItIs, Stopped };
    Result result = Result::AsItIs;
    QByteArray upright;
    QByteArray unturned;
};
EncodedImage encodeImage(const QString& path, const QString& mime, bool withUnturned = false,
                         const std::atomic_bool* stop = nullptr);
EncodedImage encodeImage(const QByteArray& bytes, const QString& mime, bool withUnturned = false,
                         const std::atomic_bool* stop = nullptr);
QByteArray encodedImage(const QString& path, const QString& mime, const std::atomic_bool* stop = nullptr);
