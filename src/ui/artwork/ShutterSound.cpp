#include "ui/artwork/ShutterSound.h"

#include <QtEndian>
#include <cmath>
#include <vector>

namespace klik {

namespace {

void appendLE32(QByteArray& b, quint32 v) {
    char bytes[4];
    qToLittleEndian(v, bytes);
    b.append(bytes, 4);
}
void appendLE16(QByteArray& b, quint16 v) {
    char bytes[2];
    qToLittleEndian(v, bytes);
    b.append(bytes, 2);
}

}  // namespace

QByteArray ShutterSound::samples() {
    const double length = 0.26;
    const int n = int(kSampleRate * length);
    std::vector<double> s(n, 0.0);
    quint32 noise = 0x9e3779b9u;
    auto white = [&] {
        noise ^= noise << 13;
        noise ^= noise >> 17;
        noise ^= noise << 5;
        return (noise & 0xffff) / 32768.0 - 1.0;
    };
    // Each click: a burst of noise through a resonant band-pass, with a
    // fast attack and an exponential decay.
    struct Click {
        double at, gain, decay, centre;
    };
    const Click clicks[] = {{0.004, 1.0, 0.012, 3200}, {0.078, 0.75, 0.018, 2100}};
    for (const Click& c : clicks) {
        const double w = 2 * M_PI * c.centre / kSampleRate;
        const double q = 4.0;
        const double alpha = std::sin(w) / (2 * q);
        const double b0 = alpha, b2 = -alpha, a0 = 1 + alpha, a1 = -2 * std::cos(w), a2 = 1 - alpha;
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        const int start = int(c.at * kSampleRate);
        for (int i = start; i < n; ++i) {
            const double t = double(i - start) / kSampleRate;
            const double env = (1 - std::exp(-t / 0.0006)) * std::exp(-t / c.decay);
            if (env < 1e-5 && t > 0.01) break;
            const double x = white() * env;
            const double y = (b0 * x + b2 * x2 - a1 * y1 - a2 * y2) / a0;
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
            // The band-passed crack plus some raw noise for the edge.
            s[i] += c.gain * (y * 2.6 + x * 0.35);
            // The body thump under the first click.
            if (&c == &clicks[0]) s[i] += 0.45 * std::sin(2 * M_PI * 170 * t) * std::exp(-t / 0.03);
        }
    }
    double peak = 0;
    for (double v : s) peak = std::max(peak, std::abs(v));
    const double scale = peak > 0 ? 0.85 / peak : 0;
    QByteArray out;
    out.reserve(n * 2);
    for (double v : s) appendLE16(out, quint16(qint16(std::lround(v * scale * 32767))));
    return out;
}

QByteArray ShutterSound::wav() {
    const QByteArray pcm = samples();
    QByteArray b;
    b.append("RIFF", 4);
    appendLE32(b, quint32(36 + pcm.size()));
    b.append("WAVEfmt ", 8);
    appendLE32(b, 16);
    appendLE16(b, 1);  // PCM
    appendLE16(b, 1);  // mono
    appendLE32(b, kSampleRate);
    appendLE32(b, kSampleRate * 2);
    appendLE16(b, 2);
    appendLE16(b, 16);
    b.append("data", 4);
    appendLE32(b, quint32(pcm.size()));
    b.append(pcm);
    return b;
}

}  // namespace klik
