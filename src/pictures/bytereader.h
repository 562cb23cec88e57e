// Reads a device a block at a time, from where it stands, for the header
// walkers of the picture reader. Used by the picture reader only.
#pragma once

#include <QByteArray>
#include <QIODevice>

#include <cstring>

namespace pictures {

class ByteReader {
public:
    explicit ByteReader(QIODevice& device)
        : m_device(device)
        , m_buffer(kBlock, Qt::Uninitialized)
    {
    }

    // Where the next byte is in the device.
    qint64 pos() const { return m_device.pos() - (m_end - m_pos); }
    // The next byte; -1 at the end.
    int next()
    {
        if (m_pos == m_end && !fill())
            return -1;
        return uchar(m_buffer.constData()[m_pos++]);
    }
    // The bytes between here and the end of the device.
    qint64 left() const { return m_device.size() - pos(); }
    // A big-endian number of so many bytes; -1 at the end.
    qint64 number(int bytes)
    {
        qint64 value = 0;
        for (int i = 0; i < bytes; ++i) {
            const int byte = next();
            if (byte < 0)
                return -1;
            value = value << 8 | byte;
        }
        return value;
    }
    // A little-endian number of so many bytes; -1 at the end.
    qint64 littleNumber(int bytes)
    {
        qint64 value = 0;
        for (int i = 0; i < bytes; ++i) {
            const int byte = next();
            if (byte < 0)
                return -1;
            value |= qint64(byte) << (8 * i);
        }
        return value;
    }
    // The next count bytes (fewer at the end).
    QByteArray bytes(qint64 count)
    {
        QByteArray out(qMin(count, qMax<qint64>(left(), 0)), Qt::Uninitialized);
        return read(out.data(), out.size()) ? out : QByteArray();
    }
    bool read(char* out, qint64 count)
    {
        while (count > 0) {
            if (m_pos == m_end && !fill())
                return false;
            const qint64 n = qMin(count, m_end - m_pos);
            std::memcpy(out, m_buffer.constData() + m_pos, size_t(n));
            m_pos += n;
            out += n;
            count -= n;
        }
        return true;
    }
    // False when fewer bytes are left.
    bool skip(qint64 count)
    {
        const qint64 buffered = m_end - m_pos;
        if (count <= buffered) {
            m_pos += count;
            return true;
        }
        const qint64 target = m_device.pos() + count - buffered;
        m_pos = m_end;
        return target <= m_device.size() && m_device.seek(target);
    }
    // Skips to the next JPEG marker that is neither a stuffed zero nor a
    // restart marker, as in entropy-coded data and as libjpeg skips stray
    // bytes between segments, and returns its code; -1 at the end.
    int nextMarker()
    {
        for (;;) {
            for (;;) {
                if (m_pos == m_end && !fill())
                    return -1;
                const char* begin = m_buffer.constData() + m_pos;
                const void* ff = std::memchr(begin, 0xFF, size_t(m_end - m_pos));
                if (ff) {
                    m_pos += static_cast<const char*>(ff) - begin + 1;
                    break;
                }
                m_pos = m_end;
            }
            int code = next();
            while (code == 0xFF)
                code = next();
            if (code < 0)
                return -1;
            if (code != 0 && (code < 0xD0 || code > 0xD7))
                return code;
        }
    }

private:
    static constexpr qint64 kBlock = 64 * 1024;

    bool fill()
    {
        const qint64 n = m_device.read(m_buffer.data(), kBlock);
        if (n <= 0)
            return false;
        m_pos = 0;
        m_end = n;
        return true;
    }

    QIODevice& m_device;
    QByteArray m_buffer;
    qint64 m_pos = 0;
    qint64 m_end = 0;
};

} // namespace pictures
